#include "repair/InstallPaths.h"

#include "platform/Files.h"
#include "platform/NativeNames.h"
#include "platform/Utf8.h"

namespace {

const std::string Sep(1, platform::PathSeparator);

std::string ToolAt(const std::string& preferred, const std::string& fallback) {
  return platform::FileExists(preferred) ? preferred : fallback;
}

}  // namespace

// On Windows "/" separates folders too: a root typed with a trailing "/"
// ends with the system's own separator instead of gaining a second one.
std::string FormInstallRoot(const std::string& folderText) {
  std::string root = platform::TrimControlAndBlanks(folderText);
  if (platform::PathSeparator == '\\' && !root.empty() && root.back() == '/') root.back() = '\\';
  if (root.empty() || root.back() != platform::PathSeparator) root += platform::PathSeparator;
  return root;
}

TInstallPaths TInstallPaths::FromFolderText(const std::string& folderText) {
  TInstallPaths paths;
  paths.Root = FormInstallRoot(folderText);
  paths.DataFolder = paths.Root + "DATA" + Sep;
  paths.Database = paths.Root + "DATA" + Sep + "VYR.FDB";
  paths.SafetyCopy = paths.Root + "DATA" + Sep + "VYR_LUU.FDB";
  paths.Backup = paths.Root + "DATA" + Sep + "VYRBK.FBK";
  paths.RepairMarker = paths.Root + "DATA" + Sep + "VYR_DANGSUA.TXT";
  paths.RunLock = paths.Root + "DATA" + Sep + "VYR_SUA.LCK";
  const std::string gfix = std::string("gfix") + platform::ProgramSuffix;
  const std::string gbak = std::string("gbak") + platform::ProgramSuffix;
  paths.GfixPreferred = paths.Root + "fb" + Sep + "bin" + Sep + gfix;
  paths.GfixFallback = paths.Root + gfix;
  paths.GbakPreferred = paths.Root + "fb" + Sep + "bin" + Sep + gbak;
  paths.GbakFallback = paths.Root + gbak;
  return paths;
}

std::string TInstallPaths::Gfix() const { return ToolAt(GfixPreferred, GfixFallback); }
std::string TInstallPaths::Gbak() const { return ToolAt(GbakPreferred, GbakFallback); }
