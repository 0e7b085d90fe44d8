// Start-up selection of a UTF-8 locale, for this process and the tools it
// starts: Firebird's client and tools convert file names through the C
// locale and fail on non-ASCII paths otherwise.
#pragma once

namespace platform {

void SelectUtf8Locale();

}  // namespace platform
