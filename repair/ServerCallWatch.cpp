#include "repair/ServerCallWatch.h"

#include <chrono>

#include "db/DbConnection.h"
#include "platform/Clock.h"
#include "platform/Files.h"
#include "repair/RepairTexts.h"

namespace {

constexpr auto LookInterval = std::chrono::milliseconds(200);

}  // namespace

TServerCallWatch::TServerCallWatch(TRepairHost& host, TDbConnection& connection, std::string step,
                                   std::uint64_t seconds)
    : FHost(host), FConnection(connection), FCancel(connection.Canceller()), FStep(std::move(step)), FSeconds(seconds) {
  if (FCancel) FThread = std::thread([this] { Watch(); });
}

TServerCallWatch::~TServerCallWatch() {
  {
    std::lock_guard<std::mutex> lock(FMutex);
    FEnding = true;
  }
  FWake.notify_all();
  if (FThread.joinable()) FThread.join();
  if (FReason) FConnection.ClearPendingCancel();  // a failure shows in the close that follows
}

std::optional<std::string> TServerCallWatch::Stopped() const {
  std::lock_guard<std::mutex> lock(FMutex);
  return FReason;
}

bool TServerCallWatch::StoppedByOperator() const {
  std::lock_guard<std::mutex> lock(FMutex);
  return FByOperator;
}

// Once past the bound every call of the connection is cancelled until the
// watch ends: the caller is on its way to the guard. The canceller raises
// only while a call runs.
void TServerCallWatch::Watch() {
  const std::uint64_t started = platform::SteadyMilliseconds();
  std::unique_lock<std::mutex> lock(FMutex);
  while (!FWake.wait_for(lock, LookInterval, [this] { return FEnding; })) {
    if (!FReason && FHost.StopRequested()) {
      FReason = texts::StoppedByOperator(FStep);
      FByOperator = true;
    }
    if (!FReason && platform::SteadyMilliseconds() - started >= FSeconds * 1000)
      FReason = texts::ServerCallTookTooLong(FStep, FSeconds);
    if (FReason) FCancel();
  }
}
