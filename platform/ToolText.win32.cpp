#include "platform/ToolText.h"

#include <windows.h>

#include "platform/WideText.h"

namespace platform {

std::string ToolTextToUtf8(const std::string& bytes) { return AnsiToUtf8(bytes); }

// No best-fit mapping: "ế" must not pass as "e" and name another file.
bool ToolCanReadText(const std::string& utf8) {
  const std::wstring wide = Widen(utf8);
  if (wide.empty()) return true;
  BOOL usedDefault = FALSE;
  const int bytes = ::WideCharToMultiByte(CP_ACP, WC_NO_BEST_FIT_CHARS, wide.data(), static_cast<int>(wide.size()),
                                          nullptr, 0, nullptr, &usedDefault);
  return bytes > 0 && !usedDefault;
}

}  // namespace platform
