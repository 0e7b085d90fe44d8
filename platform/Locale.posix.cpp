#include "platform/Locale.h"

#include <clocale>
#include <cstdlib>
#include <cstring>
#include <langinfo.h>

namespace platform {
namespace {

bool CodesetIsUtf8() {
  const char* codeset = ::nl_langinfo(CODESET);
  return codeset != nullptr && std::strcmp(codeset, "UTF-8") == 0;
}

}  // namespace

void SelectUtf8Locale() {
  std::setlocale(LC_ALL, "");
  if (CodesetIsUtf8()) return;
  std::setlocale(LC_ALL, "C.UTF-8");
  // The console tools we start read file names through their own locale:
  // they must agree with ours, or a non-ASCII path fails in them.
  ::setenv("LC_ALL", "C.UTF-8", 1);
}

}  // namespace platform
