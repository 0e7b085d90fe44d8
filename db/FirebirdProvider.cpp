#include "db/FirebirdProvider.h"

#include <strings.h>

const TOptionTable& TFirebirdProvider::ConnectionOptions() {
  static const TOptionTable table(Name, {
      {"CharLength", TOptionKind::Integer, "0", {}},
      {"Charset", TOptionKind::String, "", {}},
      {"Role", TOptionKind::String, "", {}},
      {"UseUnicode", TOptionKind::Boolean, "False", {}},
      {"SQLDialect", TOptionKind::Integer, "3", {}},
      {"ClientLibrary", TOptionKind::String, "", {}},
      {"Protocol", TOptionKind::Enumerator, "TCP", {"TCP", "NetBEUI", "SPX"}},
      {"TrustedAuthentication", TOptionKind::Boolean, "False", {}},
      {"NoDBTriggers", TOptionKind::Boolean, "False", {}},
      {"SimpleNumericMap", TOptionKind::Boolean, "True", {}},
      {"ForceUnloadClientLibrary", TOptionKind::Boolean, "False", {}},
  });
  return table;
}

const TOptionTable* TFirebirdProvider::TableFor(const std::string& prefix) {
  if (prefix.empty() || ::strcasecmp(prefix.c_str(), Name.c_str()) == 0) return &ConnectionOptions();
  return nullptr;
}
