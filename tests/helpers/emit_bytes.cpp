// A console child for the runner's tests. Each argument is one step:
//   out:TEXT   write TEXT to standard output in one write (escapes \r \n \0 \\ \xNN)
//   err:TEXT   the same on standard error
//   pause:MS   sleep, so that the next write arrives in a read of its own
//   flood:KB   write KB kibibytes of numbered lines to both streams, interleaved
//   exit:CODE  end with that exit code
//   hang       sleep until killed
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <thread>
#include <unistd.h>

namespace {

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
    ssize_t written = ::write(fd, bytes.data() + done, bytes.size() - done);
    if (written <= 0) std::exit(90);
    done += static_cast<size_t>(written);
  }
}

void Flood(long kibibytes) {
  for (long i = 0; i < kibibytes * 16; ++i) {
    char line[64];
    std::snprintf(line, sizeof line, "%-62ld\n", i);  // 64 bytes a line
    WriteAll(i % 2 == 0 ? STDOUT_FILENO : STDERR_FILENO, line);
  }
}

bool Starts(const char* argument, const char* prefix) { return std::strncmp(argument, prefix, std::strlen(prefix)) == 0; }

}  // namespace

int main(int argc, char** argv) {
  for (int i = 1; i < argc; ++i) {
    const char* step = argv[i];
    if (Starts(step, "out:")) WriteAll(STDOUT_FILENO, Unescape(step + 4));
    else if (Starts(step, "err:")) WriteAll(STDERR_FILENO, Unescape(step + 4));
    else if (Starts(step, "pause:")) std::this_thread::sleep_for(std::chrono::milliseconds(std::atol(step + 6)));
    else if (Starts(step, "flood:")) Flood(std::atol(step + 6));
    else if (Starts(step, "exit:")) return std::atoi(step + 5);
    else if (std::strcmp(step, "hang") == 0) for (;;) ::pause();
    else return 99;
  }
  return 0;
}
