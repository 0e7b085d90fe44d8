#include "platform/FileLock.h"

#include <windows.h>

#include "platform/WideText.h"

namespace platform {
// Without FILE_SHARE_DELETE nobody can delete or rename the file while a
// run holds it open, so the locked file stays the one at the name.
TFileLock::TFileLock(const std::string& path, const TFileOwnership&) {
  if (KindOfFile(path) == TFileKind::Link || KindOfFile(path) == TFileKind::Special) {
    FFailure = SystemFailure(ERROR_ACCESS_DENIED);
    return;
  }
  HANDLE file = ::CreateFileW(Widen(path).c_str(), GENERIC_READ | GENERIC_WRITE,
                              FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr, OPEN_ALWAYS,
                              FILE_ATTRIBUTE_NORMAL | FILE_FLAG_OPEN_REPARSE_POINT, nullptr);
  if (file == INVALID_HANDLE_VALUE) {
    FFailure = SystemFailure(::GetLastError());
    return;
  }
  FFile = reinterpret_cast<NativeHandle>(file);
  OVERLAPPED whole{};
  if (::LockFileEx(file, LOCKFILE_EXCLUSIVE_LOCK | LOCKFILE_FAIL_IMMEDIATELY, 0, MAXDWORD, MAXDWORD, &whole)) {
    FState = TState::Taken;
  } else if (::GetLastError() == ERROR_LOCK_VIOLATION) {
    FState = TState::HeldElsewhere;
  } else {
    FFailure = SystemFailure(::GetLastError());
  }
}

TFileLock::~TFileLock() {
  if (FFile != NoHandle) ::CloseHandle(reinterpret_cast<HANDLE>(FFile));
}

}  // namespace platform
