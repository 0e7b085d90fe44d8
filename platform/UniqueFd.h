// Owns one POSIX file descriptor and closes it when it goes out of scope.
#pragma once

#include <unistd.h>

namespace platform {

class UniqueFd {
 public:
  UniqueFd() = default;
  explicit UniqueFd(int fd) : FFd(fd) {}
  ~UniqueFd() { Close(); }
  UniqueFd(const UniqueFd&) = delete;
  UniqueFd& operator=(const UniqueFd&) = delete;
  UniqueFd(UniqueFd&& other) noexcept : FFd(other.Release()) {}
  UniqueFd& operator=(UniqueFd&& other) noexcept {
    if (this != &other) {
      Close();
      FFd = other.Release();
    }
    return *this;
  }

  int Get() const { return FFd; }
  explicit operator bool() const { return FFd >= 0; }

  int Release() {
    int fd = FFd;
    FFd = -1;
    return fd;
  }

  // Returns close()'s result; 0 when nothing was open.
  int Close() {
    if (FFd < 0) return 0;
    int result = ::close(FFd);
    FFd = -1;
    return result;
  }

 private:
  int FFd = -1;
};

}  // namespace platform
