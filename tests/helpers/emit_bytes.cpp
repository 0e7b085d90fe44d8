// A console child for the runner's tests. Each argument is one step:
//   out:TEXT   write TEXT to standard output in one write (escapes \r \n \0 \\ \xNN)
//   err:TEXT   the same on standard error
//   pause:MS   sleep, so that the next write arrives in a read of its own
//   flood:KB   write KB kibibytes of numbered lines to both streams, interleaved
//   args       write each of the arguments after this step as one line of
//              hexadecimal digits (their UTF-8 bytes), and end
//   cwd        write the current folder as one line of hexadecimal digits
//   ansi:TEXT  write TEXT (UTF-8) in the system's ANSI code page, then a line break
//   hold:PATH  open PATH for exclusive use, write "held" and a line break, keep it open
//   read:PATH  open PATH for reading only, letting others read, write and
//              delete it (as a backup or a virus scanner does); the same lines
//   pid        write this process's id and a line break
//   stdin      read standard input to its end, write "read N bytes" and a line break
//   exit:CODE  end with that exit code
//   hang       sleep until killed
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <thread>
#include <vector>

#ifdef _WIN32
#include <fcntl.h>
#include <io.h>
#include <windows.h>
#else
#include <fcntl.h>
#include <sys/file.h>
#include <unistd.h>
#endif

namespace {

constexpr int StandardOutput = 1;
constexpr int StandardError = 2;

std::string Unescape(const char* text) {
  std::string bytes;
  for (const char* p = text; *p != '\0'; ++p) {
    if (*p != '\\' || p[1] == '\0') {
      bytes += *p;
      continue;
    }
    ++p;
    switch (*p) {
      case 'r': bytes += '\r'; break;
      case 'n': bytes += '\n'; break;
      case '0': bytes += '\0'; break;
      case 'x': {
        char hex[3] = {p[1], p[2], '\0'};
        bytes += static_cast<char>(std::strtol(hex, nullptr, 16));
        p += 2;
        break;
      }
      default: bytes += *p; break;
    }
  }
  return bytes;
}

void WriteAll(int fd, const std::string& bytes) {
  size_t done = 0;
  while (done < bytes.size()) {
#ifdef _WIN32
    const int written = ::_write(fd, bytes.data() + done, static_cast<unsigned>(bytes.size() - done));
#else
    const ssize_t written = ::write(fd, bytes.data() + done, bytes.size() - done);
#endif
    if (written <= 0) std::exit(90);
    done += static_cast<size_t>(written);
  }
}

std::string Hex(const std::string& bytes) {
  static const char digits[] = "0123456789abcdef";
  std::string text;
  for (unsigned char c : bytes) {
    text += digits[c >> 4];
    text += digits[c & 15];
  }
  return text;
}

void Flood(long kibibytes) {
  for (long i = 0; i < kibibytes * 16; ++i) {
    char line[64];
    std::snprintf(line, sizeof line, "%-62ld\n", i);  // 64 bytes a line
    WriteAll(i % 2 == 0 ? StandardOutput : StandardError, line);
  }
}

[[noreturn]] void Hang() {
  for (;;) std::this_thread::sleep_for(std::chrono::hours(1));
}

#ifdef _WIN32
std::string Utf8Of(const std::wstring& wide) {
  const int length = ::WideCharToMultiByte(CP_UTF8, 0, wide.data(), static_cast<int>(wide.size()), nullptr, 0,
                                           nullptr, nullptr);
  std::string text(static_cast<size_t>(length), '\0');
  ::WideCharToMultiByte(CP_UTF8, 0, wide.data(), static_cast<int>(wide.size()), text.data(), length, nullptr, nullptr);
  return text;
}

std::wstring WideOf(const std::string& text) {
  const int length = ::MultiByteToWideChar(CP_UTF8, 0, text.data(), static_cast<int>(text.size()), nullptr, 0);
  std::wstring wide(static_cast<size_t>(length), L'\0');
  ::MultiByteToWideChar(CP_UTF8, 0, text.data(), static_cast<int>(text.size()), wide.data(), length);
  return wide;
}

unsigned long ProcessId() { return ::GetCurrentProcessId(); }

std::string CurrentFolder() {
  std::wstring folder(32768, L'\0');
  folder.resize(::GetCurrentDirectoryW(static_cast<DWORD>(folder.size()), folder.data()));
  return Utf8Of(folder);
}

std::string InAnsiCodePage(const std::string& text) {
  const std::wstring wide = WideOf(text);
  const int length = ::WideCharToMultiByte(CP_ACP, 0, wide.data(), static_cast<int>(wide.size()), nullptr, 0,
                                           nullptr, nullptr);
  std::string ansi(static_cast<size_t>(length), '\0');
  ::WideCharToMultiByte(CP_ACP, 0, wide.data(), static_cast<int>(wide.size()), ansi.data(), length, nullptr, nullptr);
  return ansi;
}

bool HoldExclusively(const std::string& path) {
  return ::CreateFileW(WideOf(path).c_str(), GENERIC_READ | GENERIC_WRITE, 0, nullptr, OPEN_EXISTING, 0, nullptr) !=
         INVALID_HANDLE_VALUE;
}

bool HoldForReading(const std::string& path) {
  return ::CreateFileW(WideOf(path).c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
                       nullptr, OPEN_EXISTING, 0, nullptr) != INVALID_HANDLE_VALUE;
}

// The arguments as the Windows runtime splits the wide command line.
std::vector<std::string> Arguments(int, char**) {
  int count = 0;
  wchar_t** wide = ::CommandLineToArgvW(::GetCommandLineW(), &count);
  std::vector<std::string> arguments;
  for (int i = 0; i < count; ++i) arguments.push_back(Utf8Of(wide[i]));
  ::LocalFree(wide);
  return arguments;
}
#else
unsigned long ProcessId() { return static_cast<unsigned long>(::getpid()); }

std::string CurrentFolder() {
  char folder[4096];
  return ::getcwd(folder, sizeof folder) != nullptr ? folder : "";
}

std::string InAnsiCodePage(const std::string& text) { return text; }

bool HoldExclusively(const std::string& path) {
  const int fd = ::open(path.c_str(), O_RDWR);
  return fd >= 0 && ::flock(fd, LOCK_EX) == 0;
}

bool HoldForReading(const std::string& path) { return ::open(path.c_str(), O_RDONLY) >= 0; }

std::vector<std::string> Arguments(int argc, char** argv) { return std::vector<std::string>(argv, argv + argc); }
#endif

bool Starts(const std::string& argument, const char* prefix) { return argument.rfind(prefix, 0) == 0; }

long ReadStandardInputToItsEnd() {
  long total = 0;
  char buffer[4096];
  for (size_t got; (got = std::fread(buffer, 1, sizeof buffer, stdin)) > 0;) total += static_cast<long>(got);
  return total;
}

}  // namespace

int main(int argc, char** argv) {
#ifdef _WIN32
  ::_setmode(StandardOutput, _O_BINARY);  // the bytes as given: no LF becomes CR LF
  ::_setmode(StandardError, _O_BINARY);
#endif
  const std::vector<std::string> arguments = Arguments(argc, argv);
  for (size_t i = 1; i < arguments.size(); ++i) {
    const std::string& step = arguments[i];
    const char* value = step.c_str() + step.find(':') + 1;
    if (Starts(step, "out:")) WriteAll(StandardOutput, Unescape(value));
    else if (Starts(step, "err:")) WriteAll(StandardError, Unescape(value));
    else if (Starts(step, "pause:")) std::this_thread::sleep_for(std::chrono::milliseconds(std::atol(value)));
    else if (Starts(step, "flood:")) Flood(std::atol(value));
    else if (step == "args") {
      for (size_t j = i + 1; j < arguments.size(); ++j) WriteAll(StandardOutput, Hex(arguments[j]) + "\n");
      return 0;
    } else if (step == "cwd") WriteAll(StandardOutput, Hex(CurrentFolder()) + "\n");
    else if (step == "pid") WriteAll(StandardOutput, std::to_string(ProcessId()) + "\n");
    else if (Starts(step, "ansi:")) WriteAll(StandardOutput, InAnsiCodePage(value) + "\n");
    else if (Starts(step, "hold:")) {
      if (!HoldExclusively(value)) return 91;
      WriteAll(StandardOutput, "held\n");
    } else if (Starts(step, "read:")) {
      if (!HoldForReading(value)) return 91;
      WriteAll(StandardOutput, "held\n");
    } else if (step == "stdin") WriteAll(StandardOutput, "read " + std::to_string(ReadStandardInputToItsEnd()) + " bytes\n");
    else if (Starts(step, "exit:")) return std::atoi(value);
    else if (step == "hang") Hang();
    else return 99;
  }
  return 0;
}
