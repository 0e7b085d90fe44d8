// The first question of support: is the program complete? The two libraries
// it loads at run time, each loaded from the program folder and asked for
// what the repair uses of it.
#pragma once

#include <string>
#include <vector>

struct TProgramCheck {
  std::vector<std::string> Lines;  // one line a library: its path and what was found
  bool Complete = true;
};

TProgramCheck CheckProgramLibraries();
