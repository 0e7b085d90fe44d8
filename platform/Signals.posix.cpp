#include "platform/Signals.h"

#include <cerrno>
#include <csignal>
#include <fcntl.h>
#include <unistd.h>

namespace platform {
namespace {

int requestPipe[2] = {-1, -1};

void OnTerminationRequest(int) {
  const int saved = errno;
  const char byte = 1;
  if (requestPipe[1] >= 0 && ::write(requestPipe[1], &byte, 1) < 0) {
    // a full pipe already holds a request: nothing is lost
  }
  errno = saved;
}

void MakePipe() {
  if (requestPipe[0] >= 0) return;
  if (::pipe2(requestPipe, O_CLOEXEC | O_NONBLOCK) != 0) requestPipe[0] = requestPipe[1] = -1;
}

}  // namespace

void CatchTerminationRequests() {
  MakePipe();
  struct sigaction action {};
  action.sa_handler = OnTerminationRequest;
  ::sigemptyset(&action.sa_mask);
  action.sa_flags = SA_RESTART;
  ::sigaction(SIGTERM, &action, nullptr);
  ::sigaction(SIGINT, &action, nullptr);
}

int TerminationRequestDescriptor() {
  MakePipe();
  return requestPipe[0];
}

void DrainTerminationRequests() { TakeTerminationRequests(); }

bool TakeTerminationRequests() {
  char buffer[64];
  bool taken = false;
  while (requestPipe[0] >= 0 && ::read(requestPipe[0], buffer, sizeof buffer) > 0) taken = true;
  return taken;
}

}  // namespace platform
