// Test entry: the same UTF-8 locale as the program, for us and the tools we start.
// The process ends without running the libraries' exit handlers: the
// embedded Firebird engine, loaded and unloaded by many tests, can crash in
// its own teardown after every test has passed (seen once in hundreds of
// runs, after failed restores), and the tests judge nothing at that point.
#include <gtest/gtest.h>

#include <cstdio>
#include <cstdlib>

#include "platform/Locale.h"

int main(int argc, char** argv) {
  platform::SelectUtf8Locale();
  ::testing::InitGoogleTest(&argc, argv);
  const int result = RUN_ALL_TESTS();
  std::fflush(nullptr);
  std::_Exit(result);
}
