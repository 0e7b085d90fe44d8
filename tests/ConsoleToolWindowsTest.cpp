// The program's own standard input on Windows, where a console's input is a
// handle a read could wait on; a tool that must not outlive the program.
#include <gtest/gtest.h>

#include <fcntl.h>
#include <io.h>
#include <windows.h>

#include <string>

#include "platform/Process.h"
#include "platform/ScopedHandle.h"

namespace {

// Standard input becomes a pipe nobody writes to, for the C runtime and for
// the process's handle alike; the pipe's write end stays open.
struct TOpenPipeAsStandardInput {
  HANDLE readEnd = nullptr;
  HANDLE writeEnd = nullptr;
  TOpenPipeAsStandardInput() {
    if (!::CreatePipe(&readEnd, &writeEnd, nullptr, 0)) return;
    const int descriptor = ::_open_osfhandle(reinterpret_cast<intptr_t>(readEnd), _O_RDONLY | _O_BINARY);
    ::_dup2(descriptor, 0);
    ::_close(descriptor);  // closes readEnd too; descriptor 0 holds its own copy
    ::SetStdHandle(STD_INPUT_HANDLE, reinterpret_cast<HANDLE>(::_get_osfhandle(0)));
  }
  ~TOpenPipeAsStandardInput() { ::CloseHandle(writeEnd); }
};

TEST(ConsoleTool, TheProgramsOwnStandardInputCanBeMadeEmptyOnWindows) {
  TOpenPipeAsStandardInput terminalLike;
  ASSERT_NE(terminalLike.writeEnd, nullptr);
  platform::UseEmptyStandardInput();
  char byte;
  EXPECT_EQ(::_read(0, &byte, 1), 0);  // the end at once, no wait
  DWORD got = 1;
  EXPECT_TRUE(::ReadFile(::GetStdHandle(STD_INPUT_HANDLE), &byte, 1, &got, nullptr));
  EXPECT_EQ(got, 0u);
}

// A process that is ended when the object goes: a failed check leaves
// nothing running.
struct TEndedOnExit {
  platform::ScopedHandle Process;
  ~TEndedOnExit() {
    if (Process) ::TerminateProcess(Process.Get(), 1);
  }
};

// A window killed from the Task Manager takes its gfix or gbak with it:
// nothing is left holding the database for the next Accept to blame on VYR.
// The program is started here without a job of ours, as Explorer starts it.
TEST(Children, AToolEndsWithTheProgramThatStartedItOnWindows) {
  const auto output = platform::Pipe::Create();
  ASSERT_TRUE(output);
  const HANDLE writeEnd = reinterpret_cast<HANDLE>(output->WriteEnd());
  STARTUPINFOW startup{};
  startup.cb = sizeof startup;
  startup.dwFlags = STARTF_USESTDHANDLES;
  startup.hStdOutput = writeEnd;
  startup.hStdError = writeEnd;
  const std::string ascii = std::string("\"") + START_TOOL_PATH + "\" \"" + EMIT_BYTES_PATH + "\" pid hang";
  std::wstring commandLine(ascii.begin(), ascii.end());
  PROCESS_INFORMATION started{};
  ASSERT_TRUE(::CreateProcessW(nullptr, commandLine.data(), nullptr, nullptr, TRUE, CREATE_NO_WINDOW, nullptr,
                               nullptr, &startup, &started));
  const TEndedOnExit program{platform::ScopedHandle(started.hProcess)};
  const platform::ScopedHandle programThread(started.hThread);
  output->CloseWriteEnd();
  std::string line;
  for (char byte; output->Read(&byte, 1) == 1 && byte != '\n';) line += byte;
  const DWORD toolId = std::stoul(line.empty() ? "0" : line);
  ASSERT_NE(toolId, 0u) << "the program did not start its tool";
  const TEndedOnExit tool{platform::ScopedHandle(::OpenProcess(SYNCHRONIZE | PROCESS_TERMINATE, FALSE, toolId))};
  ASSERT_TRUE(tool.Process);
  ASSERT_TRUE(::TerminateProcess(program.Process.Get(), 1));
  // The system ends the tool at once; an orphan would still be there a minute on.
  EXPECT_EQ(::WaitForSingleObject(tool.Process.Get(), 60000), WAIT_OBJECT_0) << "the tool outlived the program";
}

}  // namespace
