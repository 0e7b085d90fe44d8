// What support keeps of a run: the saved log in DATA, the outcome of each
// kind of ending, and the same repair from the command line without a
// display.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdlib>
#include <filesystem>
#include <sys/wait.h>

#include "platform/FileLock.h"
#include "platform/Files.h"
#include "repair/RepairTexts.h"
#include "repair/SavedLog.h"
#include "repair/GfixSummary.h"
#include "repair/RowCountChild.h"
#include "repair/RowCounts.h"
#include "support/Damage.h"
#include "support/ProcedureRun.h"

namespace {

using Lines = std::vector<std::string>;

Lines SavedLogsIn(const std::string& folder) {
  Lines logs;
  for (const auto& name : platform::RegularFileNames(folder))
    if (IsSavedLogName(name)) logs.push_back(name);
  std::sort(logs.begin(), logs.end());
  return logs;
}

// A host that writes into a saved log as the window does.
struct TSavingHost : TRecordingHost {
  TSavedLog SavedLog;
  void AddLog(const std::string& text) override {
    SavedLog.Write(text);
    TRecordingHost::AddLog(text);
  }
  void ShowMessage(const std::string& text) override {
    SavedLog.WriteBox(text);
    TRecordingHost::ShowMessage(text);
  }
};

TEST(SavedLog, EveryLineAndBoxOfAFailedRunIsSavedWithItsTimeAndTheBoxSaysWhere) {
  InstallFolder install;
  const TInstallPaths paths = install.Paths();
  TSavingHost host;
  TScriptedStage data, rebuild([](const TInstallPaths&) { throw std::runtime_error("gbak hỏng\r\ndòng hai"); });
  EXPECT_EQ(TRepairProcedure(host, &data, &rebuild, &host.SavedLog).Run(install.Root()), TRepairOutcome::FailedAsBefore);
  const Lines logs = SavedLogsIn(paths.DataFolder);
  ASSERT_EQ(logs.size(), 1u);
  const std::string path = paths.DataFolder + logs[0];
  ASSERT_EQ(host.Messages.size(), 1u);
  EXPECT_EQ(host.Messages[0], texts::RepairFailedBox(texts::DatabaseIsAsBefore(paths.SafetyCopy)) + "\r" +
                                  texts::SavedLogAt(path));
  const std::string saved = platform::ReadWholeFile(path).value_or("");
  std::size_t at = 0;
  for (const std::string& line : {std::string("gbak hỏng"), std::string("dòng hai"),
                                  texts::DatabaseIsAsBefore(paths.SafetyCopy), std::string("Hộp thoại: Có lỗi khi sửa dữ liệu!")}) {
    at = saved.find(" " + line, at);
    ASSERT_NE(at, std::string::npos) << line << " in\n" << saved;
    ASSERT_GE(at, 8u);
    EXPECT_TRUE(at == 8 || saved[at - 9] == '\n') << saved;  // "HH:MM:SS " starts each line
    EXPECT_EQ(saved[at - 6], ':');
  }
}

TEST(SavedLog, TheNewestTwentyStayAndNothingElseInDataIsTouched) {
  InstallFolder install;
  const TInstallPaths paths = install.Paths();
  Lines old;
  for (int day = 1; day <= 25; ++day) {
    old.push_back("VYR_SUA_202601" + std::string(day < 10 ? "0" : "") + std::to_string(day) + "_080000.txt");
    WriteTextFile(paths.DataFolder + old.back(), "old");
  }
  for (const char* other : {"VYR_SUA_notes.txt", "VYR_SUA_20260101_080000.txt.bak", "VYR_SUA_2026010_080000.txt"})
    WriteTextFile(paths.DataFolder + other, "keep");
  TSavingHost host;
  TScriptedStage data, rebuild;
  TRepairProcedure(host, &data, &rebuild, &host.SavedLog).Run(install.Root());
  const Lines logs = SavedLogsIn(paths.DataFolder);
  ASSERT_EQ(logs.size(), SavedLogsKept);
  EXPECT_EQ(logs.front(), old[6]);  // the six oldest went, the new one came
  for (const char* other : {"VYR_SUA_notes.txt", "VYR_SUA_20260101_080000.txt.bak", "VYR_SUA_2026010_080000.txt"})
    EXPECT_TRUE(platform::FileExists(paths.DataFolder + other)) << other;
}

TEST(SavedLog, ALogThatCannotBeMadeIsOneLineAndTheRunGoesOn) {
  InstallFolder install;
  TInstallPaths paths = install.Paths();
  paths.DataFolder += "KHONG_CO/";
  TSavedLog log;
  const auto failure = log.Start(paths, platform::TFileOwnership{0, 0, 0600});
  ASSERT_TRUE(failure.has_value());
  EXPECT_EQ(failure->rfind("Không ghi được nhật ký sửa dữ liệu vào file " + paths.DataFolder + "VYR_SUA_", 0), 0u)
      << *failure;
  EXPECT_FALSE(log.IsOpen());
  log.Write("nothing happens");
}

TEST(RepairOutcome, EachEndingOfARunHasItsOwnStatus) {
  InstallFolder install;
  const TInstallPaths paths = install.Paths();
  EXPECT_EQ(TRun().Repair(install.Root()), TRepairOutcome::Done);
  EXPECT_EQ(TRun([](const TInstallPaths&) { throw std::runtime_error("x"); }).Repair(install.Root()),
            TRepairOutcome::FailedAsBefore);
  {
    platform::TFileLock other(paths.RunLock, platform::TFileOwnership{0, 0, 0600});
    EXPECT_EQ(TRun().Repair(install.Root()), TRepairOutcome::Refused);
  }
  // The rebuild leaves a folder where the database was: nothing can be copied back.
  EXPECT_EQ(TRun([](const TInstallPaths& p) {
              platform::DeleteFile(p.Database);
              std::filesystem::create_directory(p.Database);
              throw std::runtime_error("x");
            }).Repair(install.Root()),
            TRepairOutcome::FailedOriginalInSafetyCopy);
  std::filesystem::remove(paths.Database);
  platform::DeleteFile(paths.RepairMarker);
  EXPECT_EQ(TRun().Repair(install.Root()), TRepairOutcome::Refused);  // no database
}

TEST(RowCounts, WhatGfixsMendRemovedIsLoggedWithTheCounts) {
  InstallFolder install;
  const TInstallPaths paths = install.Paths();
  DamageARecordOf(paths.Database, "T");
  TClientRowCounter counter(PROGRAM_FOLDER "/");
  TRecordingHost host;
  TScriptedStage data, rebuild;
  EXPECT_EQ(TRepairProcedure(host, &data, &rebuild, nullptr, &counter).Run(install.Root()), TRepairOutcome::Done);
  EXPECT_NE(std::find(host.Log.begin(), host.Log.end(), texts::RowsRemovedByGfix("T", 2, 1)), host.Log.end())
      << ::testing::PrintToString(host.Log);
  // Both passes' summaries of validation errors, in words, after their own lines.
  for (const char* pass : {"gfix -v", "gfix -mend"})
    EXPECT_NE(std::find(host.Log.begin(), host.Log.end(), texts::GfixFoundDamage(pass, "1 lỗi ở bản ghi")), host.Log.end())
        << pass << ::testing::PrintToString(host.Log);
}

// A counter that answers from a list, one answer per count; an absent
// answer is a count that failed.
class TListedCounter : public TRowCounter {
 public:
  explicit TListedCounter(std::vector<std::optional<TRowCounts>> answers) : FAnswers(std::move(answers)) {}
  TRowCounts Count(const std::string&) override {
    const std::size_t call = FCalls++;
    if (call >= FAnswers.size() || !FAnswers[call]) throw Exception("the count failed");
    return *FAnswers[call];
  }

 private:
  std::vector<std::optional<TRowCounts>> FAnswers;
  std::size_t FCalls = 0;
};

// Before gfix, before the backup, after the restore: a rebuild that could
// not be checked against what was there before the backup never ends in
// "done", whether the count failed or left a table out.
TEST(RowCounts, ARebuildThatCouldNotBeCheckedEndsWithItsOwnBoxNeverDone) {
  const TRowCounts whole{{"T", 2}, {"U", 5}};
  const TRowCounts oneUnread{{"T", 2}, {"U", UnreadableRows}};
  struct TCase {
    std::vector<std::optional<TRowCounts>> Answers;
    std::string Why;
  };
  // A sound database: a whole first count is the reference; one that is not
  // whole is taken again before the backup.
  for (const auto& [answers, why] : {TCase{{std::nullopt, std::nullopt, whole}, texts::RowsNotVerified({})},
                                     TCase{{oneUnread, oneUnread, whole}, texts::RowsNotVerified({"U"})}}) {
    InstallFolder install;
    const TInstallPaths paths = install.Paths();
    TRecordingHost host;
    TScriptedStage data, rebuild;
    TListedCounter counter(answers);
    EXPECT_EQ(TRepairProcedure(host, &data, &rebuild, nullptr, &counter).Run(install.Root()),
              TRepairOutcome::DoneRowsNotVerified) << why;
    EXPECT_NE(std::find(host.Log.begin(), host.Log.end(), why), host.Log.end()) << ::testing::PrintToString(host.Log);
    ASSERT_EQ(host.Messages.size(), 1u);
    EXPECT_EQ(host.Messages[0], texts::RepairDoneRowsNotVerifiedBox(why, {}, paths.SafetyCopy));
    EXPECT_FALSE(platform::FileExists(paths.RepairMarker));
  }
  // And the after count must succeed: a restored database nobody can count is no repair.
  InstallFolder install;
  TRecordingHost host;
  TScriptedStage data, rebuild;
  TListedCounter counter({whole, std::nullopt});
  EXPECT_EQ(TRepairProcedure(host, &data, &rebuild, nullptr, &counter).Run(install.Root()), TRepairOutcome::FailedAsBefore);
}

// With a whole count before gfix and no damage found, that count is what
// the rebuild is checked against: a row lost anywhere after it (here by the
// data stage) fails the repair.
TEST(RowCounts, AWholeFirstCountOfASoundDatabaseIsTheReferenceForTheRebuild) {
  InstallFolder install;
  const TInstallPaths paths = install.Paths();
  TRecordingHost host;
  TScriptedStage data([](const TInstallPaths& p) { RunIsqlOn(p.Database, "delete from T where ID = 2;\ncommit;\n"); });
  TScriptedStage rebuild;
  TClientRowCounter counter(PROGRAM_FOLDER "/");
  EXPECT_EQ(TRepairProcedure(host, &data, &rebuild, nullptr, &counter).Run(install.Root()), TRepairOutcome::FailedAsBefore);
  EXPECT_NE(std::find(host.Log.begin(), host.Log.end(), texts::RowsLostInRebuild("T", 2, 1)), host.Log.end())
      << ::testing::PrintToString(host.Log);
}

// The child's count is a count only when it ended well with every table it
// announced: one that dies before a word, or after an unfinished list, or
// that ends badly after a whole one, fails.
TEST(RowCounts, AChildCountThatDidNotEndWellIsNoCount) {
  const std::string whole = "echo 'tables 1'; echo 'rows 2 54'";
  for (const std::string& body : {std::string("kill -9 $$"), std::string("echo 'tables 2'; echo 'rows 2 54'"),
                                  whole + "; exit 3", std::string("echo 'rows 2 54'")}) {
    TTestFolder program("counter");
    MakeExecutableScript(program / RowCountProgramName, body + "\n");
    TRecordingHost host;
    TChildRowCounter counter(host, program.Path() + "/");
    EXPECT_THROW(counter.Count("/nowhere/VYR.FDB"), Exception) << body;
  }
  TTestFolder program("counter");
  MakeExecutableScript(program / RowCountProgramName, whole + "\n");
  TRecordingHost host;
  EXPECT_EQ(TChildRowCounter(host, program.Path() + "/").Count("/nowhere/VYR.FDB"), (TRowCounts{{"T", 2}}));
}

TEST(GfixSummary, CountsOfEveryKindAreSaidAndASoundDatabaseSaysNothing) {
  EXPECT_EQ(SummariseGfix("gfix -v", {"Summary of validation errors", "", "\tNumber of record level errors\t: 3",
                                      "\tNumber of index page errors\t: 2", "\tNumber of odd thing errors\t: 1",
                                      "\tNumber of data page errors\t: 0"}),
            texts::GfixFoundDamage("gfix -v", "3 lỗi ở bản ghi, 2 lỗi ở trang chỉ mục, 1 lỗi ở odd thing"));
  EXPECT_EQ(SummariseGfix("gfix -v", {"database file appears corrupt (/x/VYR.FDB)", "-wrong page type"}),
            texts::GfixFoundDamage("gfix -v", ""));
  EXPECT_EQ(SummariseGfix("gfix -v", {"gfix -v", "done"}), "");
  // A pass killed or crashed without a word cannot vouch for the file.
  EXPECT_EQ(SummariseGfix("gfix -v", {}, 137), texts::GfixEndedWithoutAWord("gfix -v", 137));
  EXPECT_EQ(SummariseGfix("gfix -v", {"", " "}, 139), texts::GfixEndedWithoutAWord("gfix -v", 139));
  EXPECT_EQ(SummariseGfix("gfix -v", {}, 0), "");
}

// A validation that dies silently means the statements must not write into
// a file nobody checked: the rebuild comes first, as for reported damage.
TEST(GfixSummary, AValidationThatDiesSilentlyRebuildsBeforeTheStatements) {
  InstallFolder install;
  MakeExecutableScript(install.Root() + "/fb/bin/gfix", "kill -9 $$\n");
  TRecordingHost host;
  std::vector<std::string> order;
  TScriptedStage data([&](const TInstallPaths&) { order.push_back("data"); }),
      rebuild([&](const TInstallPaths&) { order.push_back("rebuild"); });
  EXPECT_EQ(TRepairProcedure(host, &data, &rebuild).Run(install.Root()), TRepairOutcome::Done);
  EXPECT_EQ(order, (std::vector<std::string>{"rebuild", "data"}));
  EXPECT_NE(std::find(host.Log.begin(), host.Log.end(), texts::RebuildingBeforeDataRepair), host.Log.end());
}

TEST(RowCounts, EveryUserTableIsCountedAndALossNamesTableAndCounts) {
  InstallFolder install;
  const TInstallPaths paths = install.Paths();
  RunIsqlOn(paths.Database, "create table \"Bảng lạ\" (X integer);\ninsert into \"Bảng lạ\" values (1);\n"
                            "create view V as select * from T;\n"
                            "create global temporary table G (X integer);\ncommit;\n");
  const TRowCounts counts = TClientRowCounter(PROGRAM_FOLDER "/").Count(paths.Database);
  EXPECT_EQ(counts, (TRowCounts{{"Bảng lạ", 1}, {"T", 2}}));
  TRowCounts fewer = counts;
  fewer.erase("Bảng lạ");
  fewer["T"] = 1;
  const auto lost = RowsLost(counts, fewer);
  ASSERT_EQ(lost.size(), 2u);
  EXPECT_EQ(lost[0].Table, "Bảng lạ");
  EXPECT_EQ(lost[0].After, 0);
  EXPECT_EQ(lost[1].Before, 2);
  EXPECT_EQ(lost[1].After, 1);
}

// The program itself, with no display and no window system.
struct TCommandRun {
  int Status = -1;
  std::string Out, Err;
};

TCommandRun RunProgram(const std::string& arguments, const TTestFolder& scratch) {
  const std::string out = scratch / "out.txt", err = scratch / "err.txt";
  const std::string command = "env -u DISPLAY -u WAYLAND_DISPLAY -u QT_QPA_PLATFORM '" PROGRAM_FOLDER "/vyr-repair' " +
                              arguments + " > '" + out + "' 2> '" + err + "' < /dev/null";
  TCommandRun run;
  const int status = std::system(command.c_str());
  run.Status = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
  run.Out = platform::ReadWholeFile(out).value_or("");
  run.Err = platform::ReadWholeFile(err).value_or("");
  return run;
}

TEST(CommandLine, RepairsAFolderWithoutADisplayAndSaysHowItEnded) {
  InstallFolder install;
  std::filesystem::create_symlink(GbakPath, install.Root() + "/fb/bin/gbak");
  TTestFolder scratch("cli");
  const TCommandRun done = RunProgram("--repair '" + install.Root() + "'", scratch);
  EXPECT_EQ(done.Status, 0) << done.Err;
  EXPECT_NE(done.Out.find("Đang kiểm tra trùng dữ liệu...\n"), std::string::npos) << done.Out;
  EXPECT_NE(done.Out.find("gbak:finishing, closing, and going home"), std::string::npos) << done.Out;
  EXPECT_EQ(done.Err.rfind("Đã thực hiện xong!\nChạy kiểm tra cấu trúc bảng và tạo năm làm việc\nNhật ký của lần sửa này: ", 0),
            0u) << done.Err;

  const TInstallPaths paths = install.Paths();
  {
    platform::TFileLock other(paths.RunLock, platform::TFileOwnership{0, 0, 0600});
    const TCommandRun locked = RunProgram("--repair '" + install.Root() + "'", scratch);
    EXPECT_EQ(locked.Status, 3);
    EXPECT_EQ(locked.Err, texts::FolderBeingRepaired(paths.DataFolder) + "\n");
    EXPECT_EQ(locked.Out, "");
  }
  std::filesystem::remove(install.Root() + "/fb/bin/gbak");
  MakeExecutableScript(install.Root() + "/fb/bin/gbak", "echo 'gbak: cannot'\nexit 1\n");
  const TCommandRun failed = RunProgram("--repair '" + install.Root() + "'", scratch);
  EXPECT_EQ(failed.Status, 1) << failed.Err;
  EXPECT_NE(failed.Err.find(texts::DatabaseIsAsBefore(paths.SafetyCopy)), std::string::npos) << failed.Err;

  const TCommandRun missing = RunProgram("--repair '" + scratch.Path() + "'", scratch);
  EXPECT_EQ(missing.Status, 3);
  EXPECT_FALSE(missing.Err.empty());
}

// A backup that silently leaves one table's rows behind (here a gbak that
// empties T first): the restore goes well, the counts do not.
TEST(CommandLine, ARebuildThatLosesRowsFailsAndPutsTheOriginalBack) {
  InstallFolder install;
  const TInstallPaths paths = install.Paths();
  MakeExecutableScript(install.Root() + "/fb/bin/gbak",
                       "case \"$1\" in -b*) isql-fb -q -user SYSDBA '" + paths.Database +
                           "' <<'SQL' >/dev/null\ndelete from T;\ncommit;\nSQL\n;; esac\nexec " + GbakPath + " \"$@\"\n");
  const std::string rows = RunIsqlOn(paths.Database, "select 'rows=' || count(*) from T;\n");
  ASSERT_NE(rows.find("rows=2"), std::string::npos) << rows;
  TTestFolder scratch("cli");
  const TCommandRun run = RunProgram("--repair '" + install.Root() + "'", scratch);
  EXPECT_EQ(run.Status, 1) << run.Out << run.Err;
  const std::string lost = texts::RowsLostInRebuild("T", 2, 0);
  EXPECT_NE(run.Out.find(lost), std::string::npos) << run.Out;
  EXPECT_NE(run.Err.find(lost), std::string::npos) << run.Err;
  EXPECT_EQ(RunIsqlOn(paths.Database, "select 'rows=' || count(*) from T;\n"), rows);
}

TEST(CommandLine, HelpVersionAndCheckNeedNoDisplay) {
  TTestFolder scratch("cli");
  const TCommandRun help = RunProgram("--help", scratch);
  EXPECT_EQ(help.Status, 0);
  EXPECT_NE(help.Out.find("--repair FOLDER"), std::string::npos) << help.Out;
  const TCommandRun version = RunProgram("--version", scratch);
  EXPECT_EQ(version.Status, 0);
  EXPECT_EQ(version.Out.rfind("vyr-repair ", 0), 0u) << version.Out;
  const TCommandRun check = RunProgram("--check", scratch);
  EXPECT_EQ(check.Status, 0) << check.Out << check.Err;
  EXPECT_NE(check.Out.find("Program folder: " PROGRAM_FOLDER), std::string::npos) << check.Out;
  EXPECT_NE(check.Out.find("Firebird 3"), std::string::npos) << check.Out;
  EXPECT_EQ(RunProgram("--repair", scratch).Status, 64);
}

// A mistyped option never opens the window, nor aborts for want of a
// display: it is told on standard error with the usage.
TEST(CommandLine, AnUnknownOptionIsAWrongUseWithTheUsage) {
  TTestFolder scratch("cli");
  for (const char* arguments : {"--bogus", "-h", "--repair=/x", "/some/folder", "-platform", "--check extra"}) {
    const TCommandRun run = RunProgram(arguments, scratch);
    EXPECT_EQ(run.Status, 64) << arguments << "\n" << run.Err;
    EXPECT_NE(run.Err.find("--repair FOLDER"), std::string::npos) << arguments;
    EXPECT_EQ(run.Out, "") << arguments;
  }
}

// SIGTERM and Ctrl+C during a run without a window stop it as Cancel does:
// the running tool is ended and the original goes back.
TEST(CommandLine, SigtermAndCtrlCStopARunAndPutTheOriginalBack) {
  for (const char* signal : {"TERM", "INT"}) {
    InstallFolder install;
    const TInstallPaths paths = install.Paths();
    TTestFolder scratch("cli");
    const std::string started = scratch / "gfix-started";
    MakeExecutableScript(install.Root() + "/fb/bin/gfix", "touch '" + started + "'\nexec sleep 600\n");
    const std::string before = ReadFileBytes(paths.Database);
    const std::string out = scratch / "out.txt", err = scratch / "err.txt";
    const std::string script =
        "env -u DISPLAY '" PROGRAM_FOLDER "/vyr-repair' --repair '" + install.Root() + "' > '" + out + "' 2> '" + err +
        "' < /dev/null & pid=$!\n"
        "for i in $(seq 600); do [ -e '" + started + "' ] && break; sleep 0.05; done\n"
        "kill -" + signal + " $pid\nwait $pid\nexit $?\n";
    const int status = std::system(("bash -c \"$(cat <<'RUN'\n" + script + "RUN\n)\"").c_str());
    ASSERT_TRUE(WIFEXITED(status)) << signal;
    EXPECT_EQ(WEXITSTATUS(status), 1) << signal << platform::ReadWholeFile(err).value_or("");
    EXPECT_NE(platform::ReadWholeFile(out).value_or("").find(texts::StoppedByOperator("gfix -v")), std::string::npos)
        << signal << platform::ReadWholeFile(out).value_or("");
    EXPECT_EQ(ReadFileBytes(paths.Database), before) << signal;
  }
}

// The program without its engine library: a clear line, nothing changed.
TEST(CommandLine, AMissingEngineLibraryIsAClearLineAndNothingChanged) {
  InstallFolder install;
  TTestFolder program("program");
  std::filesystem::copy_file(PROGRAM_FOLDER "/vyr-repair", program / "vyr-repair");
  std::filesystem::permissions(program / "vyr-repair", std::filesystem::perms::owner_all);
  const std::string before = ReadFileBytes(install.Paths().Database);
  TTestFolder scratch("cli");
  const std::string out = scratch / "out.txt", err = scratch / "err.txt";
  const int status = std::system(("env -u DISPLAY '" + program / "vyr-repair" + "' --repair '" + install.Root() + "' > '" +
                                  out + "' 2> '" + err + "' < /dev/null").c_str());
  ASSERT_TRUE(WIFEXITED(status));
  EXPECT_EQ(WEXITSTATUS(status), 3);
  const std::string said = platform::ReadWholeFile(err).value_or("");
  EXPECT_FALSE(said.empty());
  EXPECT_EQ(said.find('\n'), said.size() - 1) << said;
  EXPECT_EQ(ReadFileBytes(install.Paths().Database), before);
  EXPECT_FALSE(platform::FileExists(install.Paths().SafetyCopy));
}

}  // namespace
