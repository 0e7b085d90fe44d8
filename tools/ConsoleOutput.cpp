#include "tools/ConsoleOutput.h"

#include <cstring>

#include "platform/ToolText.h"
#include "platform/Utf8.h"

void TConsoleOutput::HandleChunk(const char* data, std::size_t size) {
  const char* zero = static_cast<const char*>(std::memchr(data, 0, size));
  std::size_t textSize = zero != nullptr ? static_cast<std::size_t>(zero - data) : size;
  std::string text = FIncompleteTail;
  text.append(data, textSize);
  FIncompleteTail.clear();
  if (zero == nullptr) {
    std::size_t tail = platform::IncompleteUtf8Tail(text.data(), text.size());
    FIncompleteTail = text.substr(text.size() - tail);
    text.resize(text.size() - tail);
  }
  FPending += text;
  if (FHandler != nullptr && *FHandler) DeliverCompleteLines();
}

void TConsoleOutput::DeliverCompleteLines() {
  for (;;) {
    std::size_t cr = FPending.find('\r');
    // A CR that ends the pending text may still be followed by its LF.
    if (cr != std::string::npos && cr + 1 == FPending.size()) cr = std::string::npos;
    std::size_t lf = FPending.find('\n');
    if (cr != std::string::npos && (lf == std::string::npos || lf > cr + 1)) lf = cr;
    if (lf == std::string::npos) return;
    std::string line = FPending.substr(0, lf + 1);
    FPending.erase(0, lf + 1);
    DeliverLine(line, lf);
  }
}

void TConsoleOutput::DeliverLine(const std::string& text, std::size_t lineEnd) {
  if (!FRawOutput && text[lineEnd] == '\r') return;
  std::size_t length = lineEnd + 1;
  while (length > 0 && (text[length - 1] == '\r' || text[length - 1] == '\n')) --length;
  (*FHandler)(platform::ToolTextToUtf8(text.substr(0, length)));
}

void TConsoleOutput::Finish(std::string& output) {
  FPending += FIncompleteTail;
  FIncompleteTail.clear();
  if (FPending.empty()) return;
  if (FHandler != nullptr && *FHandler) DeliverLine(FPending, FPending.size() - 1);
  else if (FRawOutput) output += platform::ToolTextToUtf8(FPending);
  else output += platform::ToolTextToUtf8(FlattenCarriageReturns(FPending));
  FPending.clear();
}

std::string FlattenCarriageReturns(const std::string& text) {
  std::string out(text.size(), '\0');
  std::size_t write = 0;
  std::size_t lineStart = 0;
  std::size_t lineEnd = 0;
  for (char c : text) {
    if (write + 2 >= out.size()) out.resize(out.size() + 1024);
    if (c == '\n') {
      // The CR LF pair is written at the end of the line, which may lie
      // behind the write position after a CR rewound it.
      if (lineEnd + 2 > out.size()) out.resize(lineEnd + 1024);
      out[lineEnd] = '\r';
      out[lineEnd + 1] = '\n';
      write = lineEnd = lineStart = lineEnd + 2;
    } else if (c == '\r') {
      write = lineStart;
    } else {
      out[write++] = c;
      lineEnd = write;
    }
  }
  out.resize(write);
  return out;
}
