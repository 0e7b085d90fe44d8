// A temporary folder for one test, removed with everything in it afterwards.
#pragma once

#include <cstdint>
#include <string>

class TTestFolder {
 public:
  // A new folder under the system's temporary folder; name may hold blanks,
  // quotes and non-ASCII letters.
  explicit TTestFolder(const std::string& name = "vyr-test");
  ~TTestFolder();
  TTestFolder(const TTestFolder&) = delete;
  TTestFolder& operator=(const TTestFolder&) = delete;

  // The folder's path with a trailing separator.
  const std::string& Path() const { return FPath; }
  std::string operator/(const std::string& relative) const { return FPath + relative; }

 private:
  std::string FBase;
  std::string FPath;
};

// Small file helpers for tests.
void MakeFolders(const std::string& path);
void WriteTextFile(const std::string& path, const std::string& content);
std::string ReadFileBytes(const std::string& path);
// The read-only attribute on Windows; no write bit for anyone on POSIX.
void MakeReadOnly(const std::string& path);
// Sets a file's modification time to that many seconds before now (a
// negative number: after now).
void SetModificationTime(const std::string& path, std::int64_t secondsAgo);
// Replaces whatever stands at path (a link is never written through).
void MakeExecutableScript(const std::string& path, const std::string& body);
