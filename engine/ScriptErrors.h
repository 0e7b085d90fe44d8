// Errors inside the engine. They never cross the library's C boundary.
#pragma once

#include "platform/Exception.h"

// A statement failed: syntax, an unknown name, a failed restore.
class EScriptError : public Exception {
 public:
  using Exception::Exception;
};

// The host answered "stop" to a callback: the script ends without an error.
class EScriptStopped : public Exception {
 public:
  EScriptStopped() : Exception("Script stopped by the host") {}
};
