#include "platform/OutputCapture.h"

namespace platform {

// Windows: nothing is caught. The engine's text comes from a library with a
// C runtime of its own, bound to the standard output handle it found when it
// was loaded, and a windowed program may have no standard output at all;
// redirecting descriptor 1 would catch none of that text, close the
// process's own handle and hand its value to the next file opened. The
// restore's errors then carry the service's reason alone.
TStandardOutputCapture::TStandardOutputCapture() = default;
TStandardOutputCapture::~TStandardOutputCapture() = default;
void TStandardOutputCapture::Collect() {}

}  // namespace platform
