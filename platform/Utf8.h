// UTF-8 helpers. Text inside the core is UTF-8 in std::string; "characters"
// are Unicode code points, never bytes.
#pragma once

#include <cstddef>
#include <string>

namespace platform {

// Number of code points in a UTF-8 text (a stray byte counts as one).
std::size_t CodePointCount(const std::string& text);

// The first count code points of a UTF-8 text, or all of it when shorter.
std::string CodePointPrefix(const std::string& text, std::size_t count);

// How many bytes at the end of data begin a UTF-8 sequence that is not yet
// complete (0 to 3). Those bytes belong to the next chunk of a stream.
std::size_t IncompleteUtf8Tail(const char* data, std::size_t size);

// The text with its ASCII letters in lower or upper case; other bytes stay.
std::string AsciiLower(std::string text);
std::string AsciiUpper(std::string text);

// The text without leading and trailing characters from U+0000 to U+0020.
std::string TrimControlAndBlanks(const std::string& text);

}  // namespace platform
