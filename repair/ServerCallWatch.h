// A bound on the client library's calls on one connection, as the tools
// have theirs: a call still running past the bound, or when the operator has
// asked to stop, is cancelled from a thread of the watch
// (fb_cancel_operation), so the call returns with the server's "operation
// was cancelled" and the caller learns from Stopped() why. A cancel still
// pending when the watch ends is cleared, so the connection can be closed.
#pragma once

#include <condition_variable>
#include <cstdint>
#include <functional>
#include <mutex>
#include <optional>
#include <string>
#include <thread>

#include "repair/RepairHost.h"

class TDbConnection;

class TServerCallWatch {
 public:
  // The connection must be open, and stay open while the watch lives.
  TServerCallWatch(TRepairHost& host, TDbConnection& connection, std::string step, std::uint64_t seconds);
  ~TServerCallWatch();
  TServerCallWatch(const TServerCallWatch&) = delete;
  TServerCallWatch& operator=(const TServerCallWatch&) = delete;

  // The reason a call was cancelled, or nothing.
  std::optional<std::string> Stopped() const;
  // True when it was the operator who asked.
  bool StoppedByOperator() const;

 private:
  void Watch();

  TRepairHost& FHost;
  TDbConnection& FConnection;
  std::function<void()> FCancel;
  std::string FStep;
  std::uint64_t FSeconds;
  mutable std::mutex FMutex;
  std::condition_variable FWake;
  bool FEnding = false;
  std::optional<std::string> FReason;
  bool FByOperator = false;
  std::thread FThread;
};
