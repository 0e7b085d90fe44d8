#include <gtest/gtest.h>

#include <stdexcept>
#include <string>
#include <vector>

#include "platform/CommandLine.h"
#include "platform/Files.h"
#include "support/ChildProcesses.h"
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

TCapture RunEmit(const std::vector<std::string>& steps, bool raw = false, bool* abort = nullptr,
                 const std::string& folder = "") {
  TCapture capture;
  capture.result = RunConsoleTool(EmitCommand(steps), [&](const std::string& line) { capture.lines.push_back(line); },
                                  raw, abort, folder);
  return capture;
}

TCapture RunConsoleToolIn(const std::string& folder, const std::vector<std::string>& steps) {
  return RunEmit(steps, false, nullptr, folder);
}

std::string FromHex(const std::string& digits) {
  std::string bytes;
  for (size_t i = 0; i + 1 < digits.size(); i += 2) bytes += static_cast<char>(std::stoi(digits.substr(i, 2), nullptr, 16));
  return bytes;
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
        TSplitCase{"StderrJoinsStdout", {"out:a\\n", P, "err:b\\n", P, "out:c\\n"}, false, {"a", "b", "c"}}),
    [](const auto& info) { return std::string(info.param.name); });

// Tools write UTF-8 where it is the system's code page (not on Windows).
#ifndef _WIN32
INSTANTIATE_TEST_SUITE_P(
    Utf8ReadBoundaries, LineSplitting,
    ::testing::Values(
        TSplitCase{"Utf8SplitAcrossReads", {"out:Ki\\xe1\\xbb", P, "out:\\x83m tra\\n"}, false, {"Kiểm tra"}},
        TSplitCase{"Utf8SplitBeforeTheEnd", {"out:\\xc3", P, "out:\\xa0"}, false, {"\xc3\xa0"}}),
    [](const auto& info) { return std::string(info.param.name); });
#endif

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
  auto capture = RunConsoleToolIn(folder.Path(), {"cwd"});
  ASSERT_EQ(capture.lines.size(), 1u);
  EXPECT_EQ(FromHex(capture.lines[0]) + platform::PathSeparator, folder.Path());
}

TEST(ConsoleTool, EveryArgumentReachesTheChildUnchanged) {
  const Lines arguments = {"with blank", "it's \"quoted\"", "Kế toán VYR", "C:\\path\\ends\\", "", "a\\\"b"};
  std::vector<std::string> steps = {"args"};
  steps.insert(steps.end(), arguments.begin(), arguments.end());
  Lines received;
  for (const auto& line : RunEmit(steps).lines) received.push_back(FromHex(line));
  EXPECT_EQ(received, arguments);
}

TEST(ConsoleTool, AToolReadsAnEmptyStandardInput) {
  auto capture = RunEmit({"stdin", "exit:5"});
  EXPECT_EQ(capture.lines, Lines{"read 0 bytes"});
  EXPECT_EQ(capture.result, 5u);
}

TEST(ConsoleTool, ToolTextInTheAnsiCodePageArrivesAsUtf8) {
  EXPECT_EQ(RunEmit({"ansi:Café à la carte"}).lines, Lines{"Café à la carte"});
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
