// The root of the system's own error classes: every error carries a message text.
#pragma once

#include <stdexcept>
#include <string>

class Exception : public std::exception {
 public:
  explicit Exception(std::string message) : FMessage(std::move(message)) {}

  const std::string& Message() const { return FMessage; }
  const char* what() const noexcept override { return FMessage.c_str(); }

 protected:
  void SetMessage(std::string message) { FMessage = std::move(message); }

 private:
  std::string FMessage;
};

// The silent error: it ends an operation without anything being reported.
class EAbort : public Exception {
 public:
  EAbort() : Exception("Operation aborted") {}
};
