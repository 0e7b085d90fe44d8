#include "support/Damage.h"

#include <cstdint>
#include <fstream>
#include <stdexcept>
#include <vector>

#include "support/FirebirdTools.h"

namespace {

// On-disk layout of a data page (ODS 12): the page type byte, the relation
// at offset 20, the record count at 22, then one (offset, length) pair of
// 16-bit words per record.
constexpr unsigned char DataPageType = 5;
constexpr std::size_t RelationAt = 20, CountAt = 22, SlotsAt = 24;

std::uint16_t Word(const std::vector<char>& bytes, std::size_t at) {
  return static_cast<std::uint16_t>(static_cast<unsigned char>(bytes[at]) |
                                    static_cast<unsigned char>(bytes[at + 1]) << 8);
}

int Number(const std::string& database, const std::string& query) {
  const std::string output = RunIsqlOn(database, "set list on;\n" + query + ";\n");
  const std::size_t digits = output.find_first_of("0123456789");
  if (digits == std::string::npos) throw std::runtime_error("no number from: " + query + "\n" + output);
  return std::stoi(output.substr(digits));
}

}  // namespace

void DamageARecordOf(const std::string& database, const std::string& table) {
  const int relation = Number(database, "select RDB$RELATION_ID from RDB$RELATIONS where RDB$RELATION_NAME = '" + table + "'");
  const int pageSize = Number(database, "select MON$PAGE_SIZE from MON$DATABASE");
  std::fstream file(database, std::ios::in | std::ios::out | std::ios::binary);
  std::vector<char> page(static_cast<std::size_t>(pageSize));
  for (std::streamoff number = 0; file.read(page.data(), pageSize); ++number) {
    if (static_cast<unsigned char>(page[0]) != DataPageType || Word(page, RelationAt) != relation || Word(page, CountAt) == 0)
      continue;
    const std::uint16_t length = Word(page, SlotsAt + 2);
    const std::uint16_t shorter = static_cast<std::uint16_t>(length - 6);
    page[SlotsAt + 2] = static_cast<char>(shorter & 0xFF);
    page[SlotsAt + 3] = static_cast<char>(shorter >> 8);
    file.clear();
    file.seekp(number * pageSize);
    file.write(page.data(), pageSize);
    return;
  }
  throw std::runtime_error("no data page of " + table + " in " + database);
}
