#include "platform/OutputCapture.h"

#include <cstdio>
#include <fcntl.h>
#include <io.h>
#include <windows.h>

namespace platform {
namespace {

constexpr int StandardOutput = 1;

// Bytes waiting in the pipe behind a C runtime descriptor.
DWORD Waiting(int descriptor) {
  DWORD available = 0;
  HANDLE pipe = reinterpret_cast<HANDLE>(::_get_osfhandle(descriptor));
  if (!::PeekNamedPipe(pipe, nullptr, 0, nullptr, &available, nullptr)) return 0;
  return available;
}

}  // namespace

TStandardOutputCapture::TStandardOutputCapture() {
  int ends[2];
  if (::_pipe(ends, 1 << 16, _O_BINARY | _O_NOINHERIT) != 0) return;
  std::fflush(stdout);
  FSaved = ::_dup(StandardOutput);
  if (FSaved < 0 || ::_dup2(ends[1], StandardOutput) < 0) {
    ::_close(ends[0]);
    ::_close(ends[1]);
    if (FSaved >= 0) ::_close(FSaved);
    FSaved = -1;
    return;
  }
  ::_close(ends[1]);
  FReadEnd = ends[0];
}

TStandardOutputCapture::~TStandardOutputCapture() {
  if (FSaved < 0) return;
  std::fflush(stdout);
  Collect();
  ::_dup2(FSaved, StandardOutput);
  ::_close(FSaved);
  ::_close(FReadEnd);
}

void TStandardOutputCapture::Collect() {
  if (FReadEnd < 0) return;
  std::fflush(stdout);
  char buffer[4096];
  for (DWORD waiting; (waiting = Waiting(FReadEnd)) > 0;) {
    const int got = ::_read(FReadEnd, buffer, waiting < sizeof buffer ? waiting : sizeof buffer);
    if (got <= 0) return;
    FText.append(buffer, static_cast<size_t>(got));
  }
}

}  // namespace platform
