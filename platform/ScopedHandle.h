// Owns one Windows handle and closes it when it goes out of scope: the
// Windows counterpart of UniqueFd.
#pragma once

#include <windows.h>

namespace platform {

class ScopedHandle {
 public:
  ScopedHandle() = default;
  explicit ScopedHandle(HANDLE handle) : FHandle(handle) {}
  ~ScopedHandle() { Close(); }
  ScopedHandle(const ScopedHandle&) = delete;
  ScopedHandle& operator=(const ScopedHandle&) = delete;
  ScopedHandle(ScopedHandle&& other) noexcept : FHandle(other.FHandle) { other.FHandle = INVALID_HANDLE_VALUE; }
  ScopedHandle& operator=(ScopedHandle&& other) noexcept {
    if (this != &other) {
      Close();
      FHandle = other.FHandle;
      other.FHandle = INVALID_HANDLE_VALUE;
    }
    return *this;
  }

  HANDLE Get() const { return FHandle; }
  HANDLE Release() {
    HANDLE handle = FHandle;
    FHandle = INVALID_HANDLE_VALUE;
    return handle;
  }
  explicit operator bool() const { return FHandle != nullptr && FHandle != INVALID_HANDLE_VALUE; }

  // False when CloseHandle failed; true when nothing was open.
  bool Close() {
    if (!*this) return true;
    const bool closed = ::CloseHandle(FHandle) != 0;
    FHandle = INVALID_HANDLE_VALUE;
    return closed;
  }

 private:
  HANDLE FHandle = INVALID_HANDLE_VALUE;
};

}  // namespace platform
