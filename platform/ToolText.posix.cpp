#include "platform/ToolText.h"

namespace platform {

std::string ToolTextToUtf8(const std::string& bytes) { return bytes; }

bool ToolCanReadText(const std::string&) { return true; }

}  // namespace platform
