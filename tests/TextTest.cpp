#include <gtest/gtest.h>

#include "platform/CommandLine.h"
#include "platform/Utf8.h"

namespace {

using Args = std::vector<std::string>;

TEST(SplitCommandLine, FollowsTheWindowsRuntimeRules) {
  EXPECT_EQ(platform::SplitCommandLine("  a  b\tc "), (Args{"a", "b", "c"}));
  EXPECT_EQ(platform::SplitCommandLine("\"/opt/VYR 10/gfix\" -v"), (Args{"/opt/VYR 10/gfix", "-v"}));
  EXPECT_EQ(platform::SplitCommandLine(R"(a\\b c\"d "e\\"f)"), (Args{R"(a\\b)", "c\"d", "e\\f"}));
  EXPECT_EQ(platform::SplitCommandLine(R"("a""b" "")"), (Args{"a\"b", ""}));
  EXPECT_EQ(platform::SplitCommandLine(R"(D:\VYR10\DATA\VYR.FDB)"), (Args{R"(D:\VYR10\DATA\VYR.FDB)"}));
  EXPECT_TRUE(platform::SplitCommandLine("   ").empty());
}

TEST(QuoteArgument, EveryTextComesBackAsOneArgument) {
  for (std::string text : {"plain", "with blank", "it's", "Thư mục", "a\"b", "ends\\", "x\\\"y", ""}) {
    EXPECT_EQ(platform::SplitCommandLine(platform::QuoteArgument(text) + " next"), (Args{text, "next"})) << text;
  }
  EXPECT_EQ(platform::QuoteArgument("/opt/VYR 10/gfix"), "\"/opt/VYR 10/gfix\"");
}

TEST(Utf8, CharactersAreCodePoints) {
  EXPECT_EQ(platform::CodePointCount("Sửa chữa"), 8u);
  EXPECT_EQ(platform::CodePointPrefix("ệa", 1), "ệ");
  EXPECT_EQ(platform::CodePointPrefix("ab", 5), "ab");
}

TEST(Utf8, IncompleteTailIsFoundOnlyForUnfinishedSequences) {
  EXPECT_EQ(platform::IncompleteUtf8Tail("ab\xe1\xbb", 4), 2u);
  EXPECT_EQ(platform::IncompleteUtf8Tail("ab\xe1\xbb\x87", 5), 0u);
  EXPECT_EQ(platform::IncompleteUtf8Tail("\xf0\x9f\x98", 3), 3u);
  EXPECT_EQ(platform::IncompleteUtf8Tail("abc", 3), 0u);
}

TEST(Utf8, TrimRemovesBlanksAndControlsOnly) {
  EXPECT_EQ(platform::TrimControlAndBlanks(" \t\r\n/opt/VYR 10 \x01"), "/opt/VYR 10");
  EXPECT_EQ(platform::TrimControlAndBlanks("  "), "");
  EXPECT_EQ(platform::TrimControlAndBlanks(" Đ "), "Đ");
}

}  // namespace

#include <stdexcept>

#include "platform/Cleanup.h"

namespace {

TEST(Cleanup, AFailingCleanupAfterGoodWorkRunsOnceAndRaisesItsError) {
  int cleanups = 0;
  auto failingCleanup = [&] {
    ++cleanups;
    throw std::runtime_error("commit failed");
  };
  EXPECT_THROW(platform::WithCleanup([] { return 42; }, failingCleanup), std::runtime_error);
  EXPECT_EQ(cleanups, 1);
  EXPECT_THROW(platform::WithCleanup([] {}, failingCleanup), std::runtime_error);
  EXPECT_EQ(cleanups, 2);
  try {
    platform::WithCleanup([]() -> int { throw std::logic_error("work failed"); }, failingCleanup);
  } catch (const std::logic_error& error) {
    EXPECT_STREQ(error.what(), "work failed");  // the work's error passes on
  }
  EXPECT_EQ(cleanups, 3);
}

}  // namespace
