#include "platform/OutputCapture.h"

#include <cstdio>
#include <fcntl.h>
#include <unistd.h>

namespace platform {

TStandardOutputCapture::TStandardOutputCapture() {
  int ends[2];
  if (::pipe2(ends, O_CLOEXEC | O_NONBLOCK) != 0) return;
  std::fflush(stdout);
  FSaved = ::dup(STDOUT_FILENO);
  if (FSaved < 0 || ::dup2(ends[1], STDOUT_FILENO) < 0) {
    ::close(ends[0]);
    ::close(ends[1]);
    if (FSaved >= 0) ::close(FSaved);
    FSaved = -1;
    return;
  }
  ::close(ends[1]);
  FReadEnd = ends[0];
}

TStandardOutputCapture::~TStandardOutputCapture() {
  if (FSaved < 0) return;
  std::fflush(stdout);
  Collect();
  ::dup2(FSaved, STDOUT_FILENO);
  ::close(FSaved);
  ::close(FReadEnd);
}

void TStandardOutputCapture::Collect() {
  if (FReadEnd < 0) return;
  std::fflush(stdout);  // the engine writes through the C library's buffer
  char buffer[4096];
  for (ssize_t got; (got = ::read(FReadEnd, buffer, sizeof buffer)) > 0;) FText.append(buffer, static_cast<size_t>(got));
}

}  // namespace platform
