// Makes a damaged VYR-like database for the demo and the benchmarks:
//   make_vyr_database PATH [PAYROLL_ROWS [DUPLICATED_KEYS [keys]]]
// "keys" makes a sound catalogue with VYR's unique and foreign keys.
#include <cstdio>
#include <cstdlib>
#include <exception>
#include <string>

#include "platform/Locale.h"
#include "support/VyrFixture.h"

int main(int argc, char** argv) {
  if (argc < 2) {
    std::fprintf(stderr, "usage: %s PATH [PAYROLL_ROWS [DUPLICATED_KEYS]]\n", argv[0]);
    return 2;
  }
  platform::SelectUtf8Locale();
  TVyrDamage damage;
  if (argc > 2) damage.PayrollRows = std::atoi(argv[2]);
  if (argc > 3) damage.DuplicatedPayrollKeys = std::atoi(argv[3]);
  if (argc > 4 && std::string(argv[4]) == "keys") {
    damage.KeyIndexes = true;
    damage.DuplicatedCatalogue = false;
    damage.DuplicatedPayrollKeys = 0;
  }
  try {
    CreateVyrDatabase(argv[1], damage);
  } catch (const std::exception& error) {
    std::fprintf(stderr, "%s\n", error.what());
    return 1;
  }
  return 0;
}
