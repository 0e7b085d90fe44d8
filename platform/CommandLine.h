// Splitting of one command-line text into program arguments by the Windows
// C-runtime rules, so that a command line means the same on every platform.
#pragma once

#include <string>
#include <vector>

namespace platform {

// Blanks and tabs separate arguments; double quotes group (a doubled quote
// inside quotes is a literal quote); backslashes are literal except before a
// double quote, where 2n backslashes give n and 2n+1 give n and a literal quote.
std::vector<std::string> SplitCommandLine(const std::string& commandLine);

// The argument as one token that SplitCommandLine gives back unchanged:
// enclosed in double quotes, inner quotes and the backslashes before them escaped.
std::string QuoteArgument(const std::string& argument);

}  // namespace platform
