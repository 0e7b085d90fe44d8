#include "support/ChildProcesses.h"

#ifdef _WIN32
#include <windows.h>
#include <tlhelp32.h>

bool NoChildLeft() {
  HANDLE snapshot = ::CreateToolhelp32Snapshot(TH32CS_SNAPPROCESS, 0);
  if (snapshot == INVALID_HANDLE_VALUE) return false;
  const DWORD self = ::GetCurrentProcessId();
  bool childFound = false;
  PROCESSENTRY32W entry{};
  entry.dwSize = sizeof entry;
  for (BOOL more = ::Process32FirstW(snapshot, &entry); more; more = ::Process32NextW(snapshot, &entry))
    if (entry.th32ParentProcessID == self && entry.th32ProcessID != self) childFound = true;
  ::CloseHandle(snapshot);
  return !childFound;
}
#else
#include <cerrno>
#include <sys/wait.h>

bool NoChildLeft() {
  int status = 0;
  return ::waitpid(-1, &status, WNOHANG) == -1 && errno == ECHILD;
}
#endif
