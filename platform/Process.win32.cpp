#include "platform/Process.h"

#include <fcntl.h>
#include <io.h>
#include <windows.h>

#include <mutex>

#include "platform/CommandLine.h"
#include "platform/ScopedHandle.h"
#include "platform/WideText.h"

namespace platform {
namespace {

thread_local std::uint32_t lastError = 0;

HANDLE AsHandle(NativeHandle handle) { return reinterpret_cast<HANDLE>(handle); }
NativeHandle AsNative(HANDLE handle) { return reinterpret_cast<NativeHandle>(handle); }

void CloseIfOpen(NativeHandle& handle) {
  if (handle != NoHandle) {
    ::CloseHandle(AsHandle(handle));
    handle = NoHandle;
  }
}

// The child's empty standard input: the NUL device, inheritable.
HANDLE OpenInheritableNul() {
  SECURITY_ATTRIBUTES inheritable{sizeof(SECURITY_ATTRIBUTES), nullptr, TRUE};
  return ::CreateFileW(L"NUL", GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE, &inheritable, OPEN_EXISTING, 0,
                       nullptr);
}

// The handles a child inherits: exactly its standard input and output, even
// while another thread starts a process with inheritable handles of its own.
class InheritedHandles {
 public:
  InheritedHandles(HANDLE input, HANDLE output) : FHandles{input, output} {
    SIZE_T size = 0;
    ::InitializeProcThreadAttributeList(nullptr, 1, 0, &size);
    FBuffer.resize(size);
    auto* list = reinterpret_cast<LPPROC_THREAD_ATTRIBUTE_LIST>(FBuffer.data());
    if (!::InitializeProcThreadAttributeList(list, 1, 0, &size)) return;
    FList = list;
    FReady = ::UpdateProcThreadAttribute(FList, 0, PROC_THREAD_ATTRIBUTE_HANDLE_LIST, FHandles, sizeof FHandles,
                                         nullptr, nullptr) != 0;
  }
  ~InheritedHandles() {
    if (FList != nullptr) ::DeleteProcThreadAttributeList(FList);
  }
  InheritedHandles(const InheritedHandles&) = delete;
  InheritedHandles& operator=(const InheritedHandles&) = delete;

  bool Ready() const { return FReady; }
  LPPROC_THREAD_ATTRIBUTE_LIST List() const { return FList; }

 private:
  HANDLE FHandles[2];
  std::vector<char> FBuffer;
  LPPROC_THREAD_ATTRIBUTE_LIST FList = nullptr;
  bool FReady = false;
};

// The arguments as one command line that the child's C runtime splits back
// into the same arguments.
std::wstring CommandLineOf(const std::vector<std::string>& arguments) {
  std::string line;
  for (const auto& argument : arguments) {
    if (!line.empty()) line += ' ';
    line += QuoteArgument(argument);
  }
  return Widen(line);
}

// The child's working folder reaches it as this process's current folder,
// set for the moment of the start and put back. Given to CreateProcessW
// instead, a folder on a network share (\\server\share\...) is lost under
// wine, which starts the child in the Windows folder; the inherited current
// folder reaches it on both. Every start goes through the one lock, and the
// repair names every file by its full path, so nothing reads the current
// folder meanwhile.
class CurrentFolderForChild {
 public:
  explicit CurrentFolderForChild(const std::wstring& folder) : FLock(Mutex()) {
    if (folder.empty()) return;
    const DWORD size = ::GetCurrentDirectoryW(0, nullptr);
    FSaved.assign(size, L'\0');
    const DWORD length = size == 0 ? 0 : ::GetCurrentDirectoryW(size, FSaved.data());
    FSaved.resize(length < size ? length : 0);
    FFailed = !::SetCurrentDirectoryW(folder.c_str());
    if (FFailed) lastError = ::GetLastError();
  }
  ~CurrentFolderForChild() {
    if (!FFailed && !FSaved.empty()) ::SetCurrentDirectoryW(FSaved.c_str());
  }
  CurrentFolderForChild(const CurrentFolderForChild&) = delete;
  CurrentFolderForChild& operator=(const CurrentFolderForChild&) = delete;

  bool Set() const { return !FFailed; }

 private:
  static std::mutex& Mutex() {
    static std::mutex mutex;
    return mutex;
  }
  std::lock_guard<std::mutex> FLock;
  std::wstring FSaved;  // empty where no folder was asked for
  bool FFailed = false;
};

}  // namespace

std::uint32_t LastError() { return lastError; }

// Both the C runtime's descriptor 0 and the process's standard input handle
// read the NUL device afterwards.
void UseEmptyStandardInput() {
  const int empty = ::_wopen(L"NUL", _O_RDONLY | _O_BINARY | _O_NOINHERIT);
  if (empty < 0) return;
  ::_dup2(empty, 0);
  ::_close(empty);
  ::SetStdHandle(STD_INPUT_HANDLE, reinterpret_cast<HANDLE>(::_get_osfhandle(0)));
}

// A windowed program has no console to be asked on; the tools it starts
// get none either (CREATE_NO_WINDOW).
void GiveUpControllingTerminal() {}

// Only the write end is inheritable: it is the one handed to a child.
std::unique_ptr<Pipe> Pipe::Create() {
  SECURITY_ATTRIBUTES inheritable{sizeof(SECURITY_ATTRIBUTES), nullptr, TRUE};
  HANDLE readEnd = nullptr;
  HANDLE writeEnd = nullptr;
  if (!::CreatePipe(&readEnd, &writeEnd, &inheritable, 0)) {
    lastError = ::GetLastError();
    return nullptr;
  }
  ::SetHandleInformation(readEnd, HANDLE_FLAG_INHERIT, 0);
  return std::unique_ptr<Pipe>(new Pipe(AsNative(readEnd), AsNative(writeEnd)));
}

Pipe::~Pipe() {
  CloseWriteEnd();
  CloseReadEnd();
}

long Pipe::Read(char* buffer, std::size_t size) {
  DWORD got = 0;
  if (::ReadFile(AsHandle(FReadEnd), buffer, static_cast<DWORD>(size), &got, nullptr)) return static_cast<long>(got);
  return ::GetLastError() == ERROR_BROKEN_PIPE ? 0 : -1;
}

// Anonymous pipes have no waitable read state: the pipe is looked at every
// few milliseconds until data, its end, or the time limit.
bool Pipe::WaitReadable(int milliseconds) {
  const ULONGLONG deadline = ::GetTickCount64() + static_cast<ULONGLONG>(milliseconds);
  for (;;) {
    DWORD available = 0;
    if (!::PeekNamedPipe(AsHandle(FReadEnd), nullptr, 0, nullptr, &available, nullptr) || available > 0) return true;
    if (::GetTickCount64() >= deadline) return false;
    ::Sleep(5);
  }
}

void Pipe::CloseWriteEnd() { CloseIfOpen(FWriteEnd); }
void Pipe::CloseReadEnd() { CloseIfOpen(FReadEnd); }

namespace {

// Every child joins one job of this program, closed by the system when the
// program ends however it ends: a tool never outlives the repair that
// started it. Nothing is lost where the job cannot be made (an older system
// refusing nested jobs): the child then runs as before.
HANDLE ChildrenJob() {
  static const HANDLE job = [] {
    HANDLE made = ::CreateJobObjectW(nullptr, nullptr);
    if (made == nullptr) return HANDLE{nullptr};
    JOBOBJECT_EXTENDED_LIMIT_INFORMATION limits{};
    limits.BasicLimitInformation.LimitFlags = JOB_OBJECT_LIMIT_KILL_ON_JOB_CLOSE;
    if (!::SetInformationJobObject(made, JobObjectExtendedLimitInformation, &limits, sizeof limits)) {
      ::CloseHandle(made);
      return HANDLE{nullptr};
    }
    return made;
  }();
  return job;
}

}  // namespace

std::unique_ptr<ChildProcess> ChildProcess::Start(const std::vector<std::string>& arguments, NativeHandle output,
                                                  const std::string& workingFolder) {
  if (arguments.empty()) {
    lastError = ERROR_FILE_NOT_FOUND;
    return nullptr;
  }
  ScopedHandle input(OpenInheritableNul());
  if (!input) {
    lastError = ::GetLastError();
    return nullptr;
  }
  InheritedHandles inherited(input.Get(), AsHandle(output));
  if (!inherited.Ready()) {
    lastError = ::GetLastError();
    return nullptr;
  }
  STARTUPINFOEXW startup{};
  startup.StartupInfo.cb = sizeof startup;
  startup.StartupInfo.dwFlags = STARTF_USESTDHANDLES | STARTF_USESHOWWINDOW;
  startup.StartupInfo.wShowWindow = SW_HIDE;
  startup.StartupInfo.hStdInput = input.Get();
  startup.StartupInfo.hStdOutput = AsHandle(output);
  startup.StartupInfo.hStdError = AsHandle(output);
  startup.lpAttributeList = inherited.List();

  std::wstring commandLine = CommandLineOf(arguments);
  CurrentFolderForChild folder(Widen(workingFolder));
  if (!folder.Set()) return nullptr;
  PROCESS_INFORMATION process{};
  if (!::CreateProcessW(nullptr, commandLine.data(), nullptr, nullptr, TRUE,
                        CREATE_NO_WINDOW | EXTENDED_STARTUPINFO_PRESENT | CREATE_SUSPENDED, nullptr, nullptr,
                        &startup.StartupInfo, &process)) {
    lastError = ::GetLastError();
    return nullptr;
  }
  if (HANDLE job = ChildrenJob()) ::AssignProcessToJobObject(job, process.hProcess);
  ::ResumeThread(process.hThread);
  ::CloseHandle(process.hThread);
  return std::unique_ptr<ChildProcess>(new ChildProcess(AsNative(process.hProcess)));
}

ChildProcess::~ChildProcess() {
  if (!FWaited) {
    Terminate();
    Wait();
  }
  ::CloseHandle(AsHandle(FProcess));
}

void ChildProcess::Terminate() {
  if (FWaited) return;
  if (::TerminateProcess(AsHandle(FProcess), CancelledExitCode)) FTerminated = true;
}

std::optional<std::uint32_t> ChildProcess::Wait() {
  if (FWaited) return std::nullopt;
  FWaited = true;
  if (::WaitForSingleObject(AsHandle(FProcess), INFINITE) != WAIT_OBJECT_0) return std::nullopt;
  DWORD code = 0;
  if (!::GetExitCodeProcess(AsHandle(FProcess), &code)) return std::nullopt;
  return static_cast<std::uint32_t>(code);
}

}  // namespace platform
