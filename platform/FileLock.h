// An exclusive lock on a file, held for as long as the object lives and
// released by the system when the process ends in any way, so a crash leaves
// nothing stale. A byte-range lock: it holds across computers on a network
// share (SMB, NFS) as well as between processes of one computer.
#pragma once

#include <string>

#include "platform/Files.h"
#include "platform/Process.h"

namespace platform {

class TFileLock {
 public:
  enum class TState { Taken, HeldElsewhere, Failed };

  // Opens the file, creating it with the given owner and bits where it is
  // missing (never through a link; anything but a regular file fails), and
  // tries once to lock it. The lock counts only while the locked file is
  // still the one at the name (on Windows nobody may delete it while it is
  // open; elsewhere a file deleted or replaced meanwhile is tried anew).
  TFileLock(const std::string& path, const TFileOwnership& ownership);
  ~TFileLock();
  TFileLock(const TFileLock&) = delete;
  TFileLock& operator=(const TFileLock&) = delete;

  TState State() const { return FState; }
  // Why the lock could not be taken, when State() is Failed.
  const TFileFailure& Failure() const { return FFailure; }

 private:
  bool TryOnce(const std::string& path, const TFileOwnership& ownership);

  NativeHandle FFile = NoHandle;
  TState FState = TState::Failed;
  TFileFailure FFailure;
};

}  // namespace platform
