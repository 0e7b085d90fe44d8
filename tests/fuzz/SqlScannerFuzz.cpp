// libFuzzer target for the statement tokenizer and parameter scan: the
// tokens must give the text back, and neither step may crash or hang.
#include <cstdint>
#include <cstdlib>
#include <string>

#include "db/SqlScanner.h"
#include "platform/Exception.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  const std::string text(reinterpret_cast<const char*>(data), size);
  std::string joined;
  for (const auto& token : TokenizeSql(text)) joined += token.Text;
  if (joined != text) std::abort();
  ScanParameters(text, true);
  try {
    UniversalSql(text);
  } catch (const Exception&) {
  }
  return 0;
}
