// Test entry: the same UTF-8 locale as the program, for us and the tools we start.
#include <gtest/gtest.h>

#include "platform/Locale.h"

int main(int argc, char** argv) {
  platform::SelectUtf8Locale();
  ::testing::InitGoogleTest(&argc, argv);
  return RUN_ALL_TESTS();
}
