#include "platform/Locale.h"

#include <clocale>

namespace platform {

// File names cross every Windows call as UTF-16, so no locale decides
// whether a Vietnamese path works; the C library follows the user's settings.
void SelectUtf8Locale() { std::setlocale(LC_ALL, ""); }

}  // namespace platform
