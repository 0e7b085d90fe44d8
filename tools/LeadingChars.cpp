#include "tools/LeadingChars.h"

#include "platform/Utf8.h"

std::string LeadingChars(const std::string& text, std::size_t count) {
  return platform::CodePointPrefix(text, count);
}
