#include "support/TestFolder.h"

#include <chrono>
#include <filesystem>
#include <fstream>
#include <random>
#include <sstream>
#include <stdexcept>

#include "platform/Files.h"

namespace fs = std::filesystem;

namespace {

// Paths are UTF-8 text in the program; the file system library is told so.
fs::path PathOf(const std::string& text) { return fs::u8path(text); }

std::string NewBaseFolder() {
  std::random_device seed;
  std::mt19937_64 random(seed());
  for (int attempt = 0; attempt < 100; ++attempt) {
    const fs::path base = fs::temp_directory_path() / ("vyr-" + std::to_string(random() % 1000000000));
    if (fs::create_directory(base)) return base.u8string();
  }
  throw std::runtime_error("cannot make a temporary folder");
}

}  // namespace

TTestFolder::TTestFolder(const std::string& name) {
  FBase = NewBaseFolder();
  FPath = FBase + platform::PathSeparator + name + platform::PathSeparator;
  fs::create_directories(PathOf(FPath));
}

TTestFolder::~TTestFolder() {
  std::error_code ignored;
  fs::remove_all(PathOf(FBase), ignored);
}

void MakeFolders(const std::string& path) { fs::create_directories(PathOf(path)); }

void WriteTextFile(const std::string& path, const std::string& content) {
  std::ofstream file(PathOf(path), std::ios::binary | std::ios::trunc);
  file << content;
  if (!file) throw std::runtime_error("cannot write " + path);
}

std::string ReadFileBytes(const std::string& path) {
  std::ifstream file(PathOf(path), std::ios::binary);
  std::ostringstream content;
  content << file.rdbuf();
  return content.str();
}

void SetModificationTime(const std::string& path, std::int64_t secondsAgo) {
  fs::last_write_time(PathOf(path), fs::file_time_type::clock::now() - std::chrono::seconds(secondsAgo));
}

// Whatever stands at the path goes first: a link to a real tool (Debian's
// gfix) is replaced, never written through.
void MakeExecutableScript(const std::string& path, const std::string& body) {
  std::error_code ignored;
  fs::remove(PathOf(path), ignored);
  WriteTextFile(path, "#!/bin/sh\n" + body);
  fs::permissions(PathOf(path), fs::perms::owner_all | fs::perms::group_read | fs::perms::group_exec |
                                    fs::perms::others_read | fs::perms::others_exec);
}

void MakeReadOnly(const std::string& path) {
  namespace fs = std::filesystem;
  fs::permissions(fs::u8path(path), fs::perms::owner_write | fs::perms::group_write | fs::perms::others_write,
                  fs::perm_options::remove);
}
