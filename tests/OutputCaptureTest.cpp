// The restore's capture of the standard output: what it catches, and what it
// must never do to the program (take a file's text, block, leave a closed
// standard output open or an open one changed).
#include <gtest/gtest.h>

#include <cstdio>
#include <string>

#include "platform/OutputCapture.h"
#include "support/TestFolder.h"

#ifdef _WIN32
#include <windows.h>
#else
#include <fcntl.h>
#include <sys/wait.h>
#include <unistd.h>
#endif

namespace {

TEST(OutputCapture, AFileOpenedDuringTheCaptureGetsOnlyItsOwnText) {
  TTestFolder folder;
  const std::string path = folder / "opened during the capture";
#ifdef _WIN32
  const HANDLE before = ::GetStdHandle(STD_OUTPUT_HANDLE);
#endif
  std::string caught;
  {
    platform::TStandardOutputCapture capture;
    std::FILE* file = std::fopen(path.c_str(), "wb");
    ASSERT_NE(file, nullptr);
    std::printf("ERROR: Backup incomplete\n");
    std::fputs("the file's own text\n", file);
    std::fclose(file);
    capture.Collect();
    caught = capture.Text();
  }
  EXPECT_EQ(ReadFileBytes(path), "the file's own text\n");
#ifdef _WIN32
  EXPECT_EQ(caught, "") << "Windows catches nothing";
  EXPECT_EQ(::GetStdHandle(STD_OUTPUT_HANDLE), before);
#else
  EXPECT_EQ(caught, "ERROR: Backup incomplete\n");
#endif
}

// Far more than a pipe holds, written without a collection in between: the
// capture never blocks the writer, and the standard output works after it.
TEST(OutputCapture, MoreThanAPipeHoldsNeverBlocksTheWriter) {
#ifdef _WIN32
  const std::string big(16, 'x');  // nothing is caught here: no need to flood the real output
#else
  const std::string big(300000, 'x');
#endif
  std::string caught;
  {
    platform::TStandardOutputCapture capture;
    std::fwrite(big.data(), 1, big.size(), stdout);
    std::printf("\n");
    capture.Collect();
    caught = capture.Text();
  }
  EXPECT_LE(caught.size(), big.size() + 1);
  EXPECT_EQ(std::ferror(stdout), 0);
  EXPECT_GE(std::printf("%s", ""), 0);
}

#ifndef _WIN32
// Text written below the C library (another runtime's, a raw write) reaches
// descriptor 1 and is caught as well.
TEST(OutputCapture, TextWrittenBelowTheCLibraryIsCaught) {
  platform::TStandardOutputCapture capture;
  ASSERT_EQ(::write(STDOUT_FILENO, "raw\n", 4), 4);
  capture.Collect();
  EXPECT_EQ(capture.Text(), "raw\n");
}

// A program started without a standard output (a desktop launch may close
// it) keeps none: the capture's pipe must not become descriptor 1.
TEST(OutputCapture, AProgramWithoutStandardOutputIsLeftWithout) {
  const pid_t child = ::fork();
  ASSERT_GE(child, 0);
  if (child == 0) {
    ::close(STDOUT_FILENO);
    {
      platform::TStandardOutputCapture capture;
      std::printf("nowhere\n");
      capture.Collect();
    }
    ::_exit(::fcntl(STDOUT_FILENO, F_GETFD) < 0 ? 0 : 1);
  }
  int status = 0;
  ASSERT_EQ(::waitpid(child, &status, 0), child);
  EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0) << status;
}
#endif

}  // namespace
