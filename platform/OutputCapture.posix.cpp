#include "platform/OutputCapture.h"

#include <cstdio>
#include <fcntl.h>
#include <unistd.h>

namespace platform {

// Descriptor 1 is pointed at a pipe for the capture's life and put back
// after. A process without a standard output (descriptor 1 closed) is left
// as it is: the pipe would otherwise take number 1 itself. Both ends are
// non-blocking: text past the pipe's capacity between two collections is
// dropped, never waited for (the errors that matter come first).
TStandardOutputCapture::TStandardOutputCapture() {
  if (::fcntl(STDOUT_FILENO, F_GETFD) < 0) return;
  int ends[2];
  if (::pipe2(ends, O_CLOEXEC | O_NONBLOCK) != 0) return;
  std::fflush(stdout);
  FSaved = ::fcntl(STDOUT_FILENO, F_DUPFD_CLOEXEC, 3);
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
  std::clearerr(stdout);  // a write dropped for a full pipe left its mark
}

void TStandardOutputCapture::Collect() {
  if (FReadEnd < 0) return;
  std::fflush(stdout);  // the engine writes through the C library's buffer
  char buffer[4096];
  for (ssize_t got; (got = ::read(FReadEnd, buffer, sizeof buffer)) > 0;) FText.append(buffer, static_cast<size_t>(got));
}

}  // namespace platform
