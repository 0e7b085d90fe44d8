// Another process that holds a file open for exclusive use, as a database
// engine holds its database, or for reading only, as a backup or a virus
// scanner does, until the object goes.
#pragma once

#include <memory>
#include <stdexcept>
#include <string>

#include "platform/Process.h"

class TFileHolder {
 public:
  enum THow { Exclusively, ForReading };

  // Returns once the other process holds the file.
  explicit TFileHolder(const std::string& path, THow how = Exclusively) : FPipe(platform::Pipe::Create()) {
    if (!FPipe) throw std::runtime_error("cannot make a pipe");
    const std::string step = how == Exclusively ? "hold:" : "read:";
    FChild = platform::ChildProcess::Start({EMIT_BYTES_PATH, step + path, "hang"}, FPipe->WriteEnd(), "");
    FPipe->CloseWriteEnd();
    if (!FChild) throw std::runtime_error("cannot start the holding process");
    std::string said;
    char buffer[64];
    for (long got; said.find('\n') == std::string::npos && (got = FPipe->Read(buffer, sizeof buffer)) > 0;)
      said.append(buffer, static_cast<size_t>(got));
    if (said != "held\n") throw std::runtime_error("the holding process could not open " + path);
  }

 private:
  std::unique_ptr<platform::Pipe> FPipe;
  std::unique_ptr<platform::ChildProcess> FChild;  // ended and reaped first
};
