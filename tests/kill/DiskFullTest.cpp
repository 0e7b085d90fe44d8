// A disk that fills up while the repair runs, on a small file system of the
// test's own: nothing of the original is lost, and the operator is told in
// which state the database is.
#include <gtest/gtest.h>

#include <filesystem>

#include "kill/RepairChild.h"
#include "kill/WatchedInstall.h"
#include "support/FirebirdTools.h"
#include "platform/Files.h"
#include "repair/RepairTexts.h"

namespace {

// Each run prints a line per report; the texts inside are on one line.
std::string BoxLine(const std::string& text) {
  std::string line = "BOX " + text;
  for (std::size_t at = 0; (at = line.find('\r', at)) != std::string::npos;) line.replace(at, 1, " | ");
  return line;
}

// The last box, without the line that names the run's saved log.
std::string LastBox(const TRepairChild& child) {
  std::string box;
  for (const auto& line : child.Lines())
    if (line.rfind("BOX ", 0) == 0) box = line;
  return box.substr(0, box.find(" | Nhật ký của lần sửa này: "));
}

std::uint64_t RoomFor(int payrollRows) {
  // the database, its safety copy and the backup, with a margin
  return static_cast<std::uint64_t>(payrollRows) * 1400 * 3 + (4u << 20);
}

// gbak that first fills what room is left.
const std::string FillingGbak =
    "for last in \"$@\"; do :; done\n"
    "dd if=/dev/zero of=\"$(dirname \"$last\")/filler\" bs=64k 2>/dev/null\n"
    "exec /usr/bin/gbak \"$@\"\n";

TEST(DiskFull, DuringTheBackupTheDatabaseIsNotDeletedAndComesBackAsBefore) {
  TInstallOptions options;
  options.Gbak = FillingGbak;
  options.DataFolderBytes = RoomFor(options.PayrollRows);
  TWatchedInstall install(options);
  if (!install.Ready()) GTEST_SKIP() << "cannot mount a small tmpfs here (needs root)";
  TRepairChild child(install.Root());
  child.WaitForEnd();
  EXPECT_TRUE(install.DatabaseHasTheOriginalRows());
  EXPECT_TRUE(child.Shows("LOG gbak không sao lưu được cơ sở dữ liệu")) << LastBox(child);
  EXPECT_EQ(LastBox(child), BoxLine(texts::RepairFailedBox(texts::DatabaseIsAsBefore(install.SafetyCopy()))));
  EXPECT_FALSE(platform::FileExists(install.DataFile("VYR_DANGSUA.TXT")));
}

// gbak that makes the backup, then leaves behind a watcher that fills the
// disk the moment the database is deleted (its inode gone): no poll of the
// test's can miss that moment on a busy machine, however fast the restore.
const std::string FillingAfterTheDelete =
    "for arg in \"$@\"; do database=$last; last=$arg; done\n"
    "/usr/bin/gbak \"$@\" || exit $?\n"
    "inode=$(stat -c %i \"$database\")\n"
    "timeout 120 sh -c 'while [ \"$(stat -c %i \"$1\" 2>/dev/null)\" = \"$2\" ]; do :; done;"
    " dd if=/dev/zero of=\"$3\" bs=64k' watcher \"$database\" \"$inode\" \"$(dirname \"$last\")/filler\""
    " < /dev/null > /dev/null 2>&1 &\n";

TEST(DiskFull, DuringTheRestoreAndTheCopyBackTheSafetyCopyStaysAndARerunPutsItBack) {
  TInstallOptions options;
  options.Gbak = FillingAfterTheDelete;
  options.PayrollRows = 5000;
  options.DataFolderBytes = RoomFor(options.PayrollRows);
  TWatchedInstall install(options);
  if (!install.Ready()) GTEST_SKIP() << "cannot mount a small tmpfs here (needs root)";
  {
    TRepairChild child(install.Root());
    child.WaitForEnd();
    EXPECT_TRUE(install.OriginalSurvives());
    EXPECT_FALSE(child.Shows(DonePrefix));
    EXPECT_TRUE(child.Shows("LOG Không chép lại được bản sao an toàn " + install.SafetyCopy() + " vào " + install.Database() + ": đĩa đã hết chỗ trống"));
    EXPECT_EQ(LastBox(child), BoxLine(texts::RepairFailedBox(texts::OriginalIsInSafetyCopy(install.SafetyCopy()))));
    EXPECT_TRUE(platform::FileExists(install.DataFile("VYR_DANGSUA.TXT")));
  }
  // The operator frees room (for good: gbak fills nothing any more) and
  // presses Accept again: the original comes back.
  std::filesystem::remove(install.DataFile("filler"));
  const std::string gbak = install.Root() + "/fb/bin/gbak";
  std::filesystem::remove(gbak);
  std::filesystem::create_symlink(GbakPath, gbak);
  TRepairChild undo(install.Root());
  undo.WaitForEnd();
  EXPECT_TRUE(install.DatabaseHasTheOriginalRows());
  EXPECT_TRUE(undo.Shows("LOG " + texts::InterruptedRepairFound));
  TRepairChild repair(install.Root());
  repair.WaitForEnd();
  EXPECT_TRUE(repair.Shows(DonePrefix)) << LastBox(repair);
  EXPECT_TRUE(install.DatabaseHasTheOriginalRows());
}

}  // namespace
