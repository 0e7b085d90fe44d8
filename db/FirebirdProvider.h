// The "Firebird" provider: its connection option table.
#pragma once

#include <string>

#include "db/ProviderOptions.h"

class TFirebirdProvider {
 public:
  static inline const std::string Name = "Firebird";
  static const TOptionTable& ConnectionOptions();
  // The provider's table for a prefix (empty: this provider), or nullptr.
  static const TOptionTable* TableFor(const std::string& prefix);
};
