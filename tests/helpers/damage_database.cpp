// Damages a closed test database the way the damage tests do, for the damage
// campaign:
//   damage_database DB garble pointer|data|index-root|index-node TABLE SEED
//   damage_database DB zero   pointer|data|index-root|index-node TABLE
//   damage_database DB record TABLE
//   damage_database DB cut PAGES
//   damage_database DB lose-index-write TABLE STATEMENT [THEN_STATEMENT]
// The page damaged is the table's first of that kind (for data pages, the
// middle one).
#include <cstdio>
#include <cstdlib>
#include <exception>
#include <map>
#include <stdexcept>
#include <string>

#include "platform/Locale.h"
#include "support/Damage.h"
#include "support/FirebirdTools.h"

namespace {

TPageKind KindNamed(const std::string& name) {
  static const std::map<std::string, TPageKind> kinds = {{"pointer", TPageKind::Pointer},
                                                         {"data", TPageKind::Data},
                                                         {"index-root", TPageKind::IndexRoot},
                                                         {"index-node", TPageKind::IndexNode}};
  const auto found = kinds.find(name);
  if (found == kinds.end()) throw std::runtime_error("unknown page kind " + name);
  return found->second;
}

void RunStatement(const std::string& database, const std::string& statement) {
  const std::string output = RunIsqlOn(database, statement + "\ncommit;\n");
  if (output.find("Statement failed") != std::string::npos) throw std::runtime_error(output);
}

std::uint32_t PageToDamage(const std::string& database, const std::string& table, TPageKind kind) {
  const auto pages = PagesOf(database, table, kind);
  return kind == TPageKind::Data ? pages[pages.size() / 2] : pages.front();
}

void Damage(int argc, char** argv) {
  const std::string database = argv[1], how = argv[2];
  if (how == "garble" && argc == 6)
    return GarblePage(database, PageToDamage(database, argv[4], KindNamed(argv[3])),
                      static_cast<unsigned>(std::strtoul(argv[5], nullptr, 10)));
  if (how == "zero" && argc == 5) return ZeroPage(database, PageToDamage(database, argv[4], KindNamed(argv[3])));
  if (how == "record" && argc == 4) return DamageARecordOf(database, argv[3]);
  if (how == "cut" && argc == 4) return CutPagesOff(database, static_cast<std::uint32_t>(std::atoi(argv[3])));
  if (how == "lose-index-write" && (argc == 5 || argc == 6)) {
    LoseTheIndexWritesOf(database, argv[3], argv[4]);
    if (argc == 6) RunStatement(database, argv[5]);
    return;
  }
  throw std::runtime_error("usage: see the head of damage_database.cpp");
}

}  // namespace

int main(int argc, char** argv) {
  platform::SelectUtf8Locale();
  try {
    if (argc < 3) throw std::runtime_error("usage: see the head of damage_database.cpp");
    Damage(argc, argv);
    return 0;
  } catch (const std::exception& error) {
    std::fprintf(stderr, "%s\n", error.what());
    return 1;
  }
}
