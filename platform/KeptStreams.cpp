// Copies of the standard streams, made with the C runtime's own calls (the
// same on both platforms but for their names).
#include "platform/Process.h"

#ifdef _WIN32
#include <io.h>
#define DuplicateDescriptor ::_dup
#define StreamOnDescriptor ::_fdopen
#else
#include <unistd.h>
#define DuplicateDescriptor ::dup
#define StreamOnDescriptor ::fdopen
#endif

namespace platform {
namespace {

std::FILE* KeptCopy(int descriptor, std::FILE* stream) {
  const int copy = DuplicateDescriptor(descriptor);
  if (copy < 0) return stream;
  std::FILE* kept = StreamOnDescriptor(copy, "w");
  return kept != nullptr ? kept : stream;
}

}  // namespace

std::FILE* KeptStandardOutput() {
  static std::FILE* const kept = KeptCopy(1, stdout);
  return kept;
}

std::FILE* KeptStandardError() {
  static std::FILE* const kept = KeptCopy(2, stderr);
  return kept;
}

}  // namespace platform
