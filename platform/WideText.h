// Text at the Windows calls: UTF-16 there, UTF-8 inside the program.
#pragma once

#include <string>

namespace platform {

std::wstring Widen(const std::string& utf8);
std::string Narrow(const std::wstring& utf16);

// Text in the system's ANSI code page, as console tools write it, in UTF-8.
std::string AnsiToUtf8(const std::string& ansi);

// The system's own text for an error code, without its line break.
std::string SystemErrorText(unsigned long code);

}  // namespace platform
