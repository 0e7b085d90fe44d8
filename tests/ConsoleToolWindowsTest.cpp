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

// A window killed from the Task Manager takes its gfix or gbak with it:
// nothing is left holding the database for the next Accept to blame on VYR.
// The program is started here without a job of ours, as Explorer starts it.
TEST(Children, AToolEndsWithTheProgramThatStartedItOnWindows) {
  SECURITY_ATTRIBUTES inheritable{sizeof(SECURITY_ATTRIBUTES), nullptr, TRUE};
  HANDLE readEnd = nullptr;
  HANDLE writeEnd = nullptr;
  ASSERT_TRUE(::CreatePipe(&readEnd, &writeEnd, &inheritable, 0));
  platform::ScopedHandle output(readEnd);
  platform::ScopedHandle childsOutput(writeEnd);
  ::SetHandleInformation(readEnd, HANDLE_FLAG_INHERIT, 0);
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
  platform::ScopedHandle program(started.hProcess);
  platform::ScopedHandle programThread(started.hThread);
  childsOutput.Close();
  std::string line;
  char byte = 0;
  for (DWORD got = 0; ::ReadFile(readEnd, &byte, 1, &got, nullptr) && got == 1 && byte != '\n';) line += byte;
  const DWORD toolId = std::stoul(line.empty() ? "0" : line);
  ASSERT_NE(toolId, 0u) << "the program did not start its tool";
  platform::ScopedHandle tool(::OpenProcess(SYNCHRONIZE | PROCESS_TERMINATE, FALSE, toolId));
  ASSERT_TRUE(tool);
  ASSERT_TRUE(::TerminateProcess(program.Get(), 1));
  // The system ends the tool at once; an orphan would still be there a minute on.
  if (::WaitForSingleObject(tool.Get(), 60000) != WAIT_OBJECT_0) {
    ::TerminateProcess(tool.Get(), 1);
    FAIL() << "the tool outlived the program";
  }
}

}  // namespace
