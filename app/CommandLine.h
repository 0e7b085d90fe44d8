// What the program does without a window, for support over a remote shell:
//   vyr-repair --repair FOLDER   the repair of FOLDER; log lines on standard
//                                output, box texts on standard error
//   vyr-repair --check           the program folder and its libraries
//   vyr-repair --help | --version
// None of them needs a display. Any other argument but the window toolkit's
// own options is a wrong use: the usage on standard error, status 64.
#pragma once

#include <optional>

// The exit status of an option run here, or nothing when the window opens.
std::optional<int> RunWithoutWindow(int argc, char* argv[]);
