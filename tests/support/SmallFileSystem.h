// A small file system mounted over a folder for one test (tmpfs of a given
// size), for the disk-full cases; needs the right to mount.
#pragma once

#include <string>
#include <sys/mount.h>

#include "support/TestFolder.h"

class TSmallFileSystem {
 public:
  TSmallFileSystem(const std::string& folder, std::uint64_t bytes) : FFolder(folder) {
    MakeFolders(folder);
    const std::string options = "size=" + std::to_string(bytes);
    FMounted = ::mount("tmpfs", folder.c_str(), "tmpfs", 0, options.c_str()) == 0;
  }
  ~TSmallFileSystem() {
    if (FMounted) ::umount2(FFolder.c_str(), MNT_DETACH);
  }
  TSmallFileSystem(const TSmallFileSystem&) = delete;
  TSmallFileSystem& operator=(const TSmallFileSystem&) = delete;

  bool Mounted() const { return FMounted; }

 private:
  std::string FFolder;
  bool FMounted;
};
