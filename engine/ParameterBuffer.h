// A Firebird parameter buffer (service, database) built item by item.
#pragma once

#include <cstdint>
#include <string>

#include "engine/ScriptErrors.h"

class TParameterBuffer {
 public:
  explicit TParameterBuffer(std::initializer_list<char> header) : FBytes(header) {}

  void AddTag(char tag) { FBytes += tag; }

  // tag, one length byte, the text; texts longer than 255 bytes are refused.
  void AddShortString(char tag, const std::string& text) {
    if (text.size() > 255) throw EScriptError("Parameter text too long: " + text);
    FBytes += tag;
    FBytes += static_cast<char>(text.size());
    FBytes += text;
  }

  // tag, two little-endian length bytes, the text.
  void AddLongString(char tag, const std::string& text) {
    if (text.size() > 0xFFFF) throw EScriptError("Parameter text too long: " + text);
    FBytes += tag;
    FBytes += static_cast<char>(text.size() & 0xFF);
    FBytes += static_cast<char>(text.size() >> 8);
    FBytes += text;
  }

  void AddInt32(char tag, std::uint32_t value) {
    FBytes += tag;
    for (int shift = 0; shift < 32; shift += 8) FBytes += static_cast<char>((value >> shift) & 0xFF);
  }

  const char* Data() const { return FBytes.data(); }
  unsigned short Length() const { return static_cast<unsigned short>(FBytes.size()); }

 private:
  std::string FBytes;
};
