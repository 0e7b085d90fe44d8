// Catches what this process writes to its standard output while the object
// lives, where that can be done soundly (Linux; on Windows it catches
// nothing, see OutputCapture.win32.cpp). The embedded engine's restore
// writes some of its errors there ("Backup incomplete") instead of reporting
// them through the service.
#pragma once

#include <string>

namespace platform {

class TStandardOutputCapture {
 public:
  TStandardOutputCapture();
  ~TStandardOutputCapture();  // puts the standard output back
  TStandardOutputCapture(const TStandardOutputCapture&) = delete;
  TStandardOutputCapture& operator=(const TStandardOutputCapture&) = delete;

  // Takes what has been written so far (call it often: the pipe is small).
  void Collect();
  const std::string& Text() const { return FText; }

 private:
  int FSaved = -1;
  int FReadEnd = -1;
  std::string FText;
};

}  // namespace platform
