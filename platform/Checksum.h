// A fast 64-bit checksum of a byte stream, fed in pieces of any size: it
// tells one file's content from another's, not a forgery from the real one.
#pragma once

#include <cstddef>
#include <cstdint>
#include <cstring>
#include <optional>
#include <string>

namespace platform {

class TChecksum {
 public:
  void Add(const char* data, std::size_t size) {
    FLength += size;
    for (; FPendingSize == 0 && size >= sizeof FPending; data += sizeof FPending, size -= sizeof FPending) {
      std::uint64_t word;
      std::memcpy(&word, data, sizeof word);
      FState = Mix(FState, word);
    }
    while (size > 0) {
      const std::size_t take = size < sizeof FPending - FPendingSize ? size : sizeof FPending - FPendingSize;
      std::memcpy(FPending + FPendingSize, data, take);
      FPendingSize += take;
      data += take;
      size -= take;
      if (FPendingSize == sizeof FPending) MixPending();
    }
  }

  std::uint64_t Value() const {
    TChecksum last = *this;
    if (last.FPendingSize > 0) last.MixPending();
    return Mix(last.FState, FLength);
  }

 private:
  static std::uint64_t Mix(std::uint64_t state, std::uint64_t word) {
    state = (state ^ word) * 0x100000001b3ULL;
    return state ^ (state >> 29);
  }

  void MixPending() {
    std::memset(FPending + FPendingSize, 0, sizeof FPending - FPendingSize);
    std::uint64_t word;
    std::memcpy(&word, FPending, sizeof word);
    FState = Mix(FState, word);
    FPendingSize = 0;
  }

  std::uint64_t FState = 0xcbf29ce484222325ULL;
  std::uint64_t FLength = 0;
  char FPending[8] = {};
  std::size_t FPendingSize = 0;
};

// The checksum of everything read(buffer, size) hands out until it returns
// 0; nothing when it fails (returns less than 0).
template <typename Read>
std::optional<std::uint64_t> ChecksumOfStream(Read read) {
  TChecksum checksum;
  std::string buffer(1 << 16, '\0');
  for (;;) {
    const auto got = read(buffer.data(), buffer.size());
    if (got < 0) return std::nullopt;
    if (got == 0) return checksum.Value();
    checksum.Add(buffer.data(), static_cast<std::size_t>(got));
  }
}

}  // namespace platform
