// An install folder for the tests that run the headless repair as a child:
// a VYR database with chosen damage, Debian's gfix, a gbak wrapper of the
// test's choice, and the original kept aside so that a test can tell
// whether it survived.
#pragma once

#include <cstdint>
#include <memory>
#include <string>

#include "support/SmallFileSystem.h"
#include "support/TestFolder.h"

inline const std::string DonePrefix = "BOX Đã thực hiện xong!";

// The lines of a shell script that stands for gbak.
// By default: Debian's gbak; with VYR_TEST_CUT_BACKUP set in its environment,
// it leaves the backup cut short, so that the restore fails.
extern const std::string CuttingGbak;

struct TInstallOptions {
  int PayrollRows = 2000;
  std::string Gbak = CuttingGbak;
  std::uint64_t DataFolderBytes = 0;  // a small file system for DATA; 0: none
};

class TWatchedInstall {
 public:
  explicit TWatchedInstall(const TInstallOptions& options);
  explicit TWatchedInstall(int payrollRows) : TWatchedInstall(TInstallOptions{payrollRows}) {}

  // False when the small file system asked for could not be mounted.
  bool Ready() const { return FReady; }
  const std::string& Root() const { return folder.Path(); }
  std::string Database() const { return folder / "DATA/VYR.FDB"; }
  std::string SafetyCopy() const { return folder / "DATA/VYR_LUU.FDB"; }
  std::string DataFile(const std::string& name) const { return folder / ("DATA/" + name); }

  // The original rows are in VYR.FDB, or the safety copy is the original.
  bool OriginalSurvives();
  bool DatabaseHasTheOriginalRows();

  TTestFolder folder{"VYR 10"};
  TTestFolder scratch;
  std::string originalFingerprint;

 private:
  std::unique_ptr<TSmallFileSystem> FDataFileSystem;
  bool FReady = true;
};
