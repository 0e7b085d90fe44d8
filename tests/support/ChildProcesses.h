// Whether this process still has a child process: the runner must leave none
// behind on any path.
#pragma once

bool NoChildLeft();
