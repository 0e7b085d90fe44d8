// The life of a TAppendFile, the same on every platform; its calls are in
// Files.posix.cpp and Files.win32.cpp.
#include "platform/Files.h"

namespace platform {

TAppendFile::~TAppendFile() { Close(); }

TAppendFile::TAppendFile(TAppendFile&& other) noexcept : FFile(other.FFile) { other.FFile = NoHandle; }

TAppendFile& TAppendFile::operator=(TAppendFile&& other) noexcept {
  if (this != &other) {
    Close();
    FFile = other.FFile;
    other.FFile = NoHandle;
  }
  return *this;
}

}  // namespace platform
