#include "support/TestFolder.h"

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <stdexcept>

namespace fs = std::filesystem;

TTestFolder::TTestFolder(const std::string& name) {
  std::string pattern = (fs::temp_directory_path() / "vyr-XXXXXX").string();
  if (::mkdtemp(pattern.data()) == nullptr) throw std::runtime_error("mkdtemp failed");
  FBase = pattern;
  FPath = FBase + "/" + name + "/";
  fs::create_directories(FPath);
}

TTestFolder::~TTestFolder() {
  std::error_code ignored;
  fs::remove_all(FBase, ignored);
}

void MakeFolders(const std::string& path) { fs::create_directories(path); }

void WriteTextFile(const std::string& path, const std::string& content) {
  std::ofstream file(path, std::ios::binary | std::ios::trunc);
  file << content;
  if (!file) throw std::runtime_error("cannot write " + path);
}

std::string ReadFileBytes(const std::string& path) {
  std::ifstream file(path, std::ios::binary);
  std::ostringstream content;
  content << file.rdbuf();
  return content.str();
}

void MakeExecutableScript(const std::string& path, const std::string& body) {
  WriteTextFile(path, "#!/bin/sh\n" + body);
  fs::permissions(path, fs::perms::owner_all | fs::perms::group_read | fs::perms::group_exec |
                            fs::perms::others_read | fs::perms::others_exec);
}
