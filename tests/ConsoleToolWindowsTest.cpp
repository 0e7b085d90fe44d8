// The program's own standard input on Windows, where a console's input is a
// handle a read could wait on.
#include <gtest/gtest.h>

#include <fcntl.h>
#include <io.h>
#include <windows.h>

#include "platform/Process.h"

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

}  // namespace
