// The text console tools write, in the program's own UTF-8.
#pragma once

#include <string>

namespace platform {

// Tools write in the system's ANSI code page: UTF-8 on Linux, a code page
// such as 1258 on Windows.
std::string ToolTextToUtf8(const std::string& bytes);

}  // namespace platform
