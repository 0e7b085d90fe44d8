// The install root formed from the folder box, and every file of the repair
// named from it.
#pragma once

#include <string>

// The text trimmed of characters up to U+0020, ending in exactly one separator.
std::string FormInstallRoot(const std::string& folderText);

struct TInstallPaths {
  std::string Root;
  std::string DataFolder;
  std::string Database;
  std::string SafetyCopy;
  std::string Backup;
  std::string RepairMarker;  // present while a repair may have changed the database
  std::string RunLock;       // locked by the run that repairs this folder
  std::string GfixPreferred;
  std::string GfixFallback;
  std::string GbakPreferred;
  std::string GbakFallback;

  static TInstallPaths FromFolderText(const std::string& folderText);

  // The preferred tool when it exists, otherwise the one in the root.
  std::string Gfix() const;
  std::string Gbak() const;
};
