// Keeps the repair marker's modification time fresh from a thread of its
// own while a repair runs, whatever the repair is waiting on (a silent tool,
// the engine's restore). After an interruption, that time bounds when the
// repair last wrote the database: a database written much later was used
// after the repair stopped.
#pragma once

#include <condition_variable>
#include <mutex>
#include <string>
#include <thread>

class TMarkerRefresher {
 public:
  TMarkerRefresher(std::string markerPath, unsigned intervalSeconds);
  ~TMarkerRefresher();  // stops
  TMarkerRefresher(const TMarkerRefresher&) = delete;
  TMarkerRefresher& operator=(const TMarkerRefresher&) = delete;

  void Stop();

 private:
  void Run();

  std::string FMarkerPath;
  unsigned FIntervalSeconds;
  std::mutex FMutex;
  std::condition_variable FWake;
  bool FStopping = false;
  std::thread FThread;
};
