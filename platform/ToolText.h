// The text console tools write, in the program's own UTF-8.
#pragma once

#include <string>

namespace platform {

// Tools write in the system's ANSI code page: UTF-8 on Linux, a code page
// such as 1258 on Windows.
std::string ToolTextToUtf8(const std::string& bytes);

// True when a tool that reads its arguments through the ANSI code page (as
// gfix and gbak do through main) gets the text unchanged: always on Linux;
// on Windows only when every character has its own byte in that code page.
bool ToolCanReadText(const std::string& utf8);

}  // namespace platform
