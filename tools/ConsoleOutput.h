// Cuts the captured output of a console tool into lines, by the rules that
// drop lines a tool overwrites in place (progress ended by a bare CR).
#pragma once

#include <cstddef>
#include <functional>
#include <string>

using LineHandler = std::function<void(const std::string&)>;

class TConsoleOutput {
 public:
  // Without a handler every chunk stays pending until Finish.
  TConsoleOutput(const LineHandler* handler, bool rawOutput) : FHandler(handler), FRawOutput(rawOutput) {}

  // One read of at most 255 bytes. The text ends at the first zero byte; a
  // UTF-8 sequence split between two reads is joined.
  void HandleChunk(const char* data, std::size_t size);

  // After the child has ended: delivers what never got a line end, or (no
  // handler) appends the captured text to output.
  void Finish(std::string& output);

 private:
  void DeliverCompleteLines();
  void DeliverLine(const std::string& text, std::size_t lineEnd);

  const LineHandler* FHandler;
  bool FRawOutput;
  std::string FPending;
  std::string FIncompleteTail;
};

// Rewrites text as a terminal would leave it, every line ended by CR LF.
std::string FlattenCarriageReturns(const std::string& text);
