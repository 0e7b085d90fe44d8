#include "support/Damage.h"

#include <cstdint>
#include <filesystem>
#include <fstream>
#include <random>
#include <stdexcept>
#include <vector>

#include "support/FirebirdTools.h"

namespace {

// On-disk layout (ODS 12): every page starts with its type byte and a
// 16-byte header. The page size is a 16-bit word at 16 of the header page.
// The relation is at 20 of a data page, 26 of a pointer page, 16 of an index
// root page and 28 of an index node page. A data page has its record count
// at 22 and one (offset, length) pair of 16-bit words per record from 24.
constexpr std::size_t HeaderBytes = 16, PageSizeAt = 16, CountAt = 22, SlotsAt = 24;

std::size_t RelationAt(TPageKind kind) {
  switch (kind) {
    case TPageKind::Pointer: return 26;
    case TPageKind::Data: return 20;
    case TPageKind::IndexRoot: return 16;
    case TPageKind::IndexNode: return 28;
  }
  return 20;
}

using TPage = std::vector<char>;

std::uint16_t Word(const TPage& bytes, std::size_t at) {
  return static_cast<std::uint16_t>(static_cast<unsigned char>(bytes[at]) |
                                    static_cast<unsigned char>(bytes[at + 1]) << 8);
}

int Number(const std::string& database, const std::string& query) {
  const std::string output = RunIsqlOn(database, "set list on;\n" + query + ";\n");
  const std::size_t digits = output.find_first_of("0123456789");
  if (digits == std::string::npos) throw std::runtime_error("no number from: " + query + "\n" + output);
  return std::stoi(output.substr(digits));
}

int RelationOf(const std::string& database, const std::string& table) {
  return Number(database, "select RDB$RELATION_ID from RDB$RELATIONS where RDB$RELATION_NAME = '" + table + "'");
}

std::size_t PageSize(const std::string& database) {
  std::ifstream file(database, std::ios::binary);
  TPage header(HeaderBytes + 2);
  if (!file.read(header.data(), static_cast<std::streamsize>(header.size())))
    throw std::runtime_error("cannot read the header page of " + database);
  return Word(header, PageSizeAt);
}

std::vector<TPage> ReadPages(const std::string& database) {
  const std::size_t size = PageSize(database);
  std::ifstream file(database, std::ios::binary);
  std::vector<TPage> pages;
  for (TPage page(size); file.read(page.data(), static_cast<std::streamsize>(size));) pages.push_back(page);
  return pages;
}

void WritePage(const std::string& database, std::uint32_t number, const TPage& page) {
  std::fstream file(database, std::ios::in | std::ios::out | std::ios::binary);
  file.seekp(static_cast<std::streamoff>(number) * static_cast<std::streamoff>(page.size()));
  if (!file.write(page.data(), static_cast<std::streamsize>(page.size())))
    throw std::runtime_error("cannot write page " + std::to_string(number) + " of " + database);
}

bool OfTable(const TPage& page, TPageKind kind, int relation) {
  return static_cast<unsigned char>(page[0]) == static_cast<unsigned char>(kind) &&
         Word(page, RelationAt(kind)) == relation;
}

TPage PageAt(const std::string& database, std::uint32_t number) {
  const std::size_t size = PageSize(database);
  std::ifstream file(database, std::ios::binary);
  file.seekg(static_cast<std::streamoff>(number) * static_cast<std::streamoff>(size));
  TPage page(size);
  if (!file.read(page.data(), static_cast<std::streamsize>(size)))
    throw std::runtime_error("no page " + std::to_string(number) + " in " + database);
  return page;
}

}  // namespace

void DamageARecordOf(const std::string& database, const std::string& table) {
  const int relation = RelationOf(database, table);
  const auto pages = ReadPages(database);
  for (std::uint32_t number = 0; number < pages.size(); ++number) {
    TPage page = pages[number];
    if (!OfTable(page, TPageKind::Data, relation) || Word(page, CountAt) == 0) continue;
    const auto shorter = static_cast<std::uint16_t>(Word(page, SlotsAt + 2) - 6);
    page[SlotsAt + 2] = static_cast<char>(shorter & 0xFF);
    page[SlotsAt + 3] = static_cast<char>(shorter >> 8);
    WritePage(database, number, page);
    return;
  }
  throw std::runtime_error("no data page of " + table + " in " + database);
}

std::vector<std::uint32_t> PagesOf(const std::string& database, const std::string& table, TPageKind kind) {
  const int relation = RelationOf(database, table);
  const auto pages = ReadPages(database);
  std::vector<std::uint32_t> found;
  for (std::uint32_t number = 0; number < pages.size(); ++number)
    if (OfTable(pages[number], kind, relation)) found.push_back(number);
  if (found.empty()) throw std::runtime_error("no page of that kind for " + table + " in " + database);
  return found;
}

void GarblePage(const std::string& database, std::uint32_t page, unsigned seed) {
  TPage bytes = PageAt(database, page);
  std::mt19937 draw(seed);
  for (std::size_t at = HeaderBytes; at < bytes.size(); ++at) bytes[at] = static_cast<char>(draw() & 0xFF);
  WritePage(database, page, bytes);
}

void ZeroPage(const std::string& database, std::uint32_t page) {
  WritePage(database, page, TPage(PageSize(database), 0));
}

void CutPagesOff(const std::string& database, std::uint32_t pages) {
  const auto size = std::filesystem::file_size(database);
  std::filesystem::resize_file(database, size - std::min<std::uintmax_t>(size, pages * PageSize(database)));
}

void LoseTheIndexWritesOf(const std::string& database, const std::string& table, const std::string& statement) {
  const int relation = RelationOf(database, table);
  const auto before = ReadPages(database);
  const std::string output = RunIsqlOn(database, statement + "\ncommit;\n");
  if (output.find("Statement failed") != std::string::npos) throw std::runtime_error(output);
  const auto after = ReadPages(database);
  bool lost = false;
  for (std::uint32_t number = 0; number < before.size() && number < after.size(); ++number)
    if (OfTable(after[number], TPageKind::IndexNode, relation) && after[number] != before[number]) {
      WritePage(database, number, before[number]);
      lost = true;
    }
  if (!lost) throw std::runtime_error("the statement changed no index page of " + table);
}
