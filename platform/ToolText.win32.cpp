#include "platform/ToolText.h"

#include "platform/WideText.h"

namespace platform {

std::string ToolTextToUtf8(const std::string& bytes) { return AnsiToUtf8(bytes); }

}  // namespace platform
