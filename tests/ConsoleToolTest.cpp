#include <gtest/gtest.h>

#include <cerrno>
#include <stdexcept>
#include <string>
#include <sys/wait.h>
#include <vector>

#include "platform/CommandLine.h"
#include "support/TestFolder.h"
#include "tools/ConsoleTool.h"
#include "tools/LeadingChars.h"

namespace {

using Lines = std::vector<std::string>;

// The helper child with its steps; each step is one argument.
std::string EmitCommand(const std::vector<std::string>& steps) {
  std::string command = platform::QuoteArgument(EMIT_BYTES_PATH);
  for (const auto& step : steps) command += " " + platform::QuoteArgument(step);
  return command;
}

struct TCapture {
  Lines lines;
  std::uint32_t result = 0;
};

TCapture RunEmit(const std::vector<std::string>& steps, bool raw = false, bool* abort = nullptr) {
  TCapture capture;
  capture.result = RunConsoleTool(EmitCommand(steps), [&](const std::string& line) { capture.lines.push_back(line); },
                                  raw, abort, "");
  return capture;
}

bool NoChildLeft() {
  int status = 0;
  return ::waitpid(-1, &status, WNOHANG) == -1 && errno == ECHILD;
}

struct TSplitCase {
  const char* name;
  std::vector<std::string> steps;
  bool raw;
  Lines expected;
};

void PrintTo(const TSplitCase& splitCase, std::ostream* out) { *out << splitCase.name; }

class LineSplitting : public ::testing::TestWithParam<TSplitCase> {};

TEST_P(LineSplitting, DeliversTheLinesAToolLeavesOnScreen) {
  EXPECT_EQ(RunEmit(GetParam().steps, GetParam().raw).lines, GetParam().expected);
}

const char* const P = "pause:60";  // the next write arrives in a read of its own

INSTANTIATE_TEST_SUITE_P(
    ReadBoundaries, LineSplitting,
    ::testing::Values(
        TSplitCase{"CrLf", {"out:abc\\r\\n"}, false, {"abc"}},
        TSplitCase{"CrHeldBackUntilLfArrives", {"out:abc\\r", P, "out:\\nxyz\\n"}, false, {"abc", "xyz"}},
        TSplitCase{"BareCrLineDropped", {"out:abc\\r", P, "out:def\\n"}, false, {"def"}},
        TSplitCase{"ProgressOverwrittenInPlace", {"out:50%\\r60%\\rdone\\r\\n"}, false, {"done"}},
        TSplitCase{"ProgressRaw", {"out:50%\\r60%\\rdone\\r\\n"}, true, {"50%", "60%", "done"}},
        TSplitCase{"LoneLf", {"out:\\n"}, false, {""}},
        TSplitCase{"CrCrLf", {"out:ab\\r\\r\\n"}, false, {""}},
        TSplitCase{"CrCrLfRaw", {"out:ab\\r\\r\\n"}, true, {"ab", ""}},
        TSplitCase{"LfThenCrLf", {"out:ab\\ncd\\r\\n"}, false, {"ab", "cd"}},
        TSplitCase{"NoFinalLineBreak", {"out:first\\nlast"}, false, {"first", "last"}},
        TSplitCase{"TailCrDropped", {"out:one\\ntail\\r"}, false, {"one"}},
        TSplitCase{"TailCrRaw", {"out:one\\ntail\\r"}, true, {"one", "tail"}},
        TSplitCase{"ZeroByteEndsTheRead", {"out:ab\\0cd\\n", P, "out:ef\\n"}, false, {"abef"}},
        TSplitCase{"StderrJoinsStdout", {"out:a\\n", P, "err:b\\n", P, "out:c\\n"}, false, {"a", "b", "c"}},
        TSplitCase{"Utf8SplitAcrossReads", {"out:Ki\\xe1\\xbb", P, "out:\\x83m tra\\n"}, false, {"Kiểm tra"}},
        TSplitCase{"Utf8SplitBeforeTheEnd", {"out:\\xc3", P, "out:\\xa0"}, false, {"\xc3\xa0"}}),
    [](const auto& info) { return std::string(info.param.name); });

TEST(ConsoleTool, ReturnsTheChildsExitCode) {
  EXPECT_EQ(RunEmit({"out:x\\n", "exit:3"}).result, 3u);
  EXPECT_EQ(RunEmit({}).result, 0u);
}

TEST(ConsoleTool, MissingProgramGivesTheFailureValueAndNoLine) {
  Lines lines;
  auto result = RunConsoleTool("/no/such/tool -v", [&](const std::string& l) { lines.push_back(l); }, false, nullptr, "");
  EXPECT_EQ(result, ConsoleToolFailure);
  EXPECT_TRUE(lines.empty());
  EXPECT_EQ(RunConsoleTool("", [&](const std::string& l) { lines.push_back(l); }, false, nullptr, ""),
            ConsoleToolFailure);
}

TEST(ConsoleTool, ArgumentsAreSplitByTheWindowsRules) {
  auto capture = RunEmit({"out:a b \"quoted\"\\n"});
  EXPECT_EQ(capture.lines, Lines{"a b \"quoted\""});
}

TEST(ConsoleTool, AbortFlagSetBeforeTheCallIsReset) {
  bool abort = true;
  auto capture = RunEmit({"out:a\\n", P, "out:b\\n", "exit:4"}, false, &abort);
  EXPECT_EQ(capture.lines, (Lines{"a", "b"}));
  EXPECT_EQ(capture.result, 4u);
  EXPECT_FALSE(abort);
}

TEST(ConsoleTool, AbortFromTheHandlerEndsTheChildWith1223) {
  bool abort = false;
  Lines lines;
  auto result = RunConsoleTool(EmitCommand({"out:first\\nsecond", "hang"}),
                               [&](const std::string& line) {
                                 lines.push_back(line);
                                 abort = true;
                               },
                               false, &abort, "");
  EXPECT_EQ(result, 1223u);
  EXPECT_EQ(lines, (Lines{"first", "second"}));  // the remainder is still delivered
  EXPECT_TRUE(NoChildLeft());
}

TEST(ConsoleTool, ThrowingHandlerEndsTheChildAndPassesTheErrorOn) {
  try {
    RunConsoleTool(EmitCommand({"out:line\\npending", "hang"}),
                   [](const std::string&) { throw std::runtime_error("handler failed"); }, false, nullptr, "");
    FAIL() << "the handler's error must reach the caller";
  } catch (const std::runtime_error& error) {
    EXPECT_STREQ(error.what(), "handler failed");
  }
  EXPECT_TRUE(NoChildLeft());
}

TEST(ConsoleTool, LargeOutputOnBothStreamsNeverDeadlocks) {
  auto capture = RunEmit({"flood:4096", "exit:0"});  // 4 MiB, far beyond a pipe's buffer
  ASSERT_EQ(capture.lines.size(), 4096u * 16);
  EXPECT_EQ(capture.lines.front().substr(0, 1), "0");
  EXPECT_EQ(capture.lines.back().substr(0, 5), "65535");
}

TEST(ConsoleTool, WorkingFolderIsTheChildsCurrentFolder) {
  TTestFolder folder("thư mục làm việc");
  Lines lines;
  RunConsoleTool("/bin/pwd", [&](const std::string& l) { lines.push_back(l); }, false, nullptr, folder.Path());
  ASSERT_EQ(lines.size(), 1u);
  EXPECT_EQ(lines[0] + "/", folder.Path());
}

TEST(ConsoleTool, WithoutHandlerTheOutputTextIsAppended) {
  std::string output = "kept|";
  RunConsoleTool(EmitCommand({"out:a\\rb\\nc"}), output, nullptr, false, nullptr, "");
  EXPECT_EQ(output, "kept|b\r\nc");
  std::string raw;
  RunConsoleTool(EmitCommand({"out:a\\rb\\nc"}), raw, nullptr, true, nullptr, "");
  EXPECT_EQ(raw, "a\rb\nc");
}

TEST(FlattenCarriageReturns, LeavesTheTextATerminalWouldShow) {
  EXPECT_EQ(FlattenCarriageReturns("abc\rX\n"), "X\r\n");
  EXPECT_EQ(FlattenCarriageReturns("abc\r\n"), "abc\r\n");
  EXPECT_EQ(FlattenCarriageReturns("one\nabc\r"), "one\r\n");
  EXPECT_EQ(FlattenCarriageReturns(""), "");
  std::string longLine(5000, 'x');
  EXPECT_EQ(FlattenCarriageReturns(longLine + "\n" + longLine), longLine + "\r\n" + longLine);
}

TEST(LeadingChars, CountsCharactersNotBytes) {
  EXPECT_EQ(LeadingChars("abcdef", 3), "abc");
  EXPECT_EQ(LeadingChars("ab", 3), "ab");
  EXPECT_EQ(LeadingChars("Đang phục hồi dữ liệu", 15), "Đang phục hồi d");
}

}  // namespace

#include <unistd.h>

#include "platform/Process.h"

namespace {

// Our standard input stays an open pipe that nobody writes to, as a terminal
// would; the function restores it afterwards.
template <typename Work>
void WithOpenStandardInput(Work&& work) {
  int ends[2];
  ASSERT_EQ(::pipe(ends), 0);
  const int saved = ::dup(STDIN_FILENO);
  ::dup2(ends[0], STDIN_FILENO);
  work();
  ::dup2(saved, STDIN_FILENO);
  ::close(saved);
  ::close(ends[0]);
  ::close(ends[1]);
}

TEST(ConsoleTool, AToolNeverWaitsOnOurStandardInput) {
  WithOpenStandardInput([] {
    std::vector<std::string> lines;
    const auto code = RunConsoleTool("cat", [&](const std::string& line) { lines.push_back(line); }, false, nullptr, "");
    EXPECT_EQ(code, 0u);  // cat read an empty input and ended
    EXPECT_TRUE(lines.empty());
  });
}

TEST(ConsoleTool, TheProgramsOwnStandardInputCanBeMadeEmpty) {
  WithOpenStandardInput([] {
    platform::UseEmptyStandardInput();
    char byte;
    EXPECT_EQ(::read(STDIN_FILENO, &byte, 1), 0);  // the end at once, no wait
  });
}

}  // namespace
