// A stand-in for gfix and gbak that reads its arguments as they do, through
// main and the ANSI code page: it opens the file its last argument names and
// prints "opened NAME" or "cannot open NAME".
#include <cstdio>

int main(int argc, char** argv) {
  if (argc < 2) return 2;
  const char* name = argv[argc - 1];
  std::FILE* file = std::fopen(name, "rb");
  std::printf("%s %s\n", file != nullptr ? "opened" : "cannot open", name);
  if (file == nullptr) return 1;
  std::fclose(file);
  return 0;
}
