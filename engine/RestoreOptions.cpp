#include "engine/RestoreOptions.h"

#include <strings.h>

#include "engine/ScriptErrors.h"
#include "platform/Utf8.h"

namespace {

bool Named(const std::string& name, const char* expected) { return ::strcasecmp(name.c_str(), expected) == 0; }

}  // namespace

TRestoreOptions TRestoreOptions::Parse(const std::string& text) {
  TRestoreOptions options;
  std::size_t start = 0;
  while (start <= text.size()) {
    std::size_t end = text.find(';', start);
    if (end == std::string::npos) end = text.size();
    const std::string field = platform::TrimControlAndBlanks(text.substr(start, end - start));
    start = end + 1;
    if (field.empty()) continue;
    const std::size_t equals = field.find('=');
    const std::string name = platform::TrimControlAndBlanks(field.substr(0, equals));
    const std::string value = equals == std::string::npos ? "" : platform::TrimControlAndBlanks(field.substr(equals + 1));
    if (Named(name, "clientlib")) options.ClientLibrary = value;
    else if (Named(name, "user")) options.User = value;
    else if (Named(name, "password")) options.Password = value;
    else if (Named(name, "c") && equals == std::string::npos) options.Create = true;
    else if (Named(name, "rep") && equals == std::string::npos) options.Replace = true;
    else if (Named(name, "o") && equals == std::string::npos) options.OneAtATime = true;
    else throw EScriptError("Unknown restore option \"" + field + "\"");
  }
  return options;
}
