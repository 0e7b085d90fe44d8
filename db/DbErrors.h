// The data-access layer's error classes.
#pragma once

#include <cstdint>
#include <memory>
#include <string>

#include "platform/Exception.h"

class EDatabaseError : public Exception {
 public:
  using Exception::Exception;
};

// A failed call on behalf of a component (connection, transaction, statement).
class EDataAccessError : public EDatabaseError {
 public:
  EDataAccessError(std::string message, std::int32_t errorCode, const void* component)
      : EDatabaseError(std::move(message)), ErrorCode(errorCode), Component(component) {}

  virtual bool IsFatalError() const { return false; }
  virtual bool IsKeyViolation() const { return false; }
  // A copy of the same dynamic type, for wrappers that own their inner error.
  virtual std::unique_ptr<EDataAccessError> Clone() const { return std::make_unique<EDataAccessError>(*this); }

  std::int32_t ErrorCode;  // the SQLCODE for this provider
  const void* Component;
};

// The server's error: its messages, the SQLCODE and the first Firebird code.
class EFbError : public EDataAccessError {
 public:
  EFbError(std::int32_t sqlCode, std::string message, std::string sqlErrorMsg, std::int32_t errorNumber)
      : EDataAccessError(std::move(message), sqlCode, nullptr),
        SQLErrorMsg(std::move(sqlErrorMsg)),
        ErrorNumber(errorNumber) {}

  // The six codes that mean the connection to the database is lost.
  static bool IsFatalErrorCode(std::int32_t errorNumber);
  bool IsFatalError() const override { return IsFatalErrorCode(ErrorNumber); }
  bool IsKeyViolation() const override { return ErrorNumber == 335544665; }  // isc_unique_key_violation
  std::unique_ptr<EDataAccessError> Clone() const override { return std::make_unique<EFbError>(*this); }

  std::string SQLErrorMsg;
  std::int32_t ErrorNumber;
  const void* Sender = nullptr;
};

// Wraps an inner error with the same message, code and component.
class EDbError : public EDataAccessError {
 public:
  explicit EDbError(const EDataAccessError& inner)
      : EDataAccessError(inner.Message(), inner.ErrorCode, inner.Component), InnerError(inner.Clone()) {}
  EDbError(const EDbError& other)
      : EDataAccessError(other), InnerError(other.InnerError ? other.InnerError->Clone() : nullptr) {}

  bool IsFatalError() const override { return InnerError && InnerError->IsFatalError(); }
  bool IsKeyViolation() const override { return InnerError && InnerError->IsKeyViolation(); }
  std::unique_ptr<EDataAccessError> Clone() const override { return std::make_unique<EDbError>(*this); }

  std::unique_ptr<EDataAccessError> InnerError;
};
