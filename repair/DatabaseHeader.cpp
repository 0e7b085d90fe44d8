#include "repair/DatabaseHeader.h"

#include <cstdint>

#include "platform/Files.h"

namespace {

// The header page's layout, the same in ODS 12 and 13: the page type byte
// first, the ODS version (with its 0x8000 mark) at 18, the flags at 42.
constexpr std::size_t HeaderBytes = 44;
constexpr unsigned char HeaderPageType = 1;
constexpr std::uint16_t OdsMark = 0x8000;
constexpr std::uint16_t ShutdownMask = 0x1080;  // multi-user, single-user or full shutdown

std::uint16_t Word(const std::string& bytes, std::size_t at) {
  return static_cast<std::uint16_t>(static_cast<unsigned char>(bytes[at]) |
                                    (static_cast<unsigned char>(bytes[at + 1]) << 8));
}

}  // namespace

std::optional<TDatabaseHeader> ReadDatabaseHeader(const std::string& path) {
  const auto bytes = platform::ReadFileStart(path, HeaderBytes);
  if (!bytes || bytes->size() < HeaderBytes) return std::nullopt;
  const std::uint16_t ods = Word(*bytes, 18);
  if (static_cast<unsigned char>((*bytes)[0]) != HeaderPageType || (ods & OdsMark) == 0 || (ods & 0xFF) < 11)
    return std::nullopt;
  TDatabaseHeader header;
  header.ShutDown = (Word(*bytes, 42) & ShutdownMask) != 0;
  return header;
}
