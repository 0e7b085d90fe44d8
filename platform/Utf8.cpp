#include "platform/Utf8.h"

namespace platform {
namespace {

bool IsContinuation(unsigned char byte) { return (byte & 0xC0) == 0x80; }

// Length of the sequence that a lead byte announces; 1 for anything else.
std::size_t SequenceLength(unsigned char lead) {
  if ((lead & 0xE0) == 0xC0) return 2;
  if ((lead & 0xF0) == 0xE0) return 3;
  if ((lead & 0xF8) == 0xF0) return 4;
  return 1;
}

// Byte length of the code point starting at position, bounded by the text.
std::size_t CodePointBytes(const std::string& text, std::size_t position) {
  std::size_t length = SequenceLength(static_cast<unsigned char>(text[position]));
  std::size_t end = position + 1;
  while (end < text.size() && end < position + length &&
         IsContinuation(static_cast<unsigned char>(text[end])))
    ++end;
  return end - position;
}

bool IsBlankOrControl(char c) { return static_cast<unsigned char>(c) <= 0x20; }

}  // namespace

std::size_t CodePointCount(const std::string& text) {
  std::size_t count = 0;
  for (std::size_t position = 0; position < text.size(); position += CodePointBytes(text, position))
    ++count;
  return count;
}

std::string CodePointPrefix(const std::string& text, std::size_t count) {
  std::size_t position = 0;
  for (std::size_t taken = 0; taken < count && position < text.size(); ++taken)
    position += CodePointBytes(text, position);
  return text.substr(0, position);
}

std::size_t IncompleteUtf8Tail(const char* data, std::size_t size) {
  // A sequence is at most 4 bytes, so its lead byte is among the last 3.
  for (std::size_t back = 1; back <= 3 && back <= size; ++back) {
    unsigned char byte = static_cast<unsigned char>(data[size - back]);
    if (IsContinuation(byte)) continue;
    std::size_t length = SequenceLength(byte);
    return length > back ? back : 0;
  }
  return 0;
}

std::string AsciiLower(std::string text) {
  for (char& c : text)
    if (c >= 'A' && c <= 'Z') c = static_cast<char>(c - 'A' + 'a');
  return text;
}

std::string AsciiUpper(std::string text) {
  for (char& c : text)
    if (c >= 'a' && c <= 'z') c = static_cast<char>(c - 'a' + 'A');
  return text;
}

std::string TrimControlAndBlanks(const std::string& text) {
  std::size_t begin = 0;
  std::size_t end = text.size();
  while (begin < end && IsBlankOrControl(text[begin])) ++begin;
  while (end > begin && IsBlankOrControl(text[end - 1])) --end;
  return text.substr(begin, end - begin);
}

}  // namespace platform
