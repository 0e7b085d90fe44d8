#include "repair/MarkerRefresher.h"

#include <chrono>

#include "platform/Files.h"

TMarkerRefresher::TMarkerRefresher(std::string markerPath, unsigned intervalSeconds)
    : FMarkerPath(std::move(markerPath)), FIntervalSeconds(intervalSeconds), FThread([this] { Run(); }) {}

TMarkerRefresher::~TMarkerRefresher() { Stop(); }

void TMarkerRefresher::Stop() {
  {
    std::lock_guard<std::mutex> lock(FMutex);
    FStopping = true;
  }
  FWake.notify_all();
  if (FThread.joinable()) FThread.join();
}

// A refresh that fails leaves an older time: a later run is then only more
// careful about replacing the database.
void TMarkerRefresher::Run() {
  std::unique_lock<std::mutex> lock(FMutex);
  while (!FWake.wait_for(lock, std::chrono::seconds(FIntervalSeconds), [this] { return FStopping; }))
    platform::TouchFile(FMarkerPath);
}
