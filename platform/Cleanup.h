// Runs work, then cleanup. When work raises, cleanup still runs, an error of
// its own is dropped, and the work's error passes on unchanged.
#pragma once

#include <type_traits>
#include <utility>

namespace platform {

// A failing cleanup after work that succeeded raises its own error, once.
template <typename Work, typename Cleanup>
auto WithCleanup(Work&& work, Cleanup&& cleanup) -> decltype(work()) {
  // Runs the cleanup, dropping its error, only when the work raised.
  struct TOnFailure {
    Cleanup& Run;
    bool Armed = true;
    ~TOnFailure() {
      if (!Armed) return;
      try {
        Run();
      } catch (...) {
      }
    }
  } onFailure{cleanup};
  if constexpr (std::is_void_v<decltype(work())>) {
    work();
    onFailure.Armed = false;
    cleanup();
  } else {
    auto result = work();
    onFailure.Armed = false;
    cleanup();
    return result;
  }
}

// Runs an action that raises nothing when the scope ends, on every path.
template <typename Action>
class TScopeExit {
 public:
  explicit TScopeExit(Action action) : FAction(std::move(action)) {}
  ~TScopeExit() { FAction(); }
  TScopeExit(const TScopeExit&) = delete;
  TScopeExit& operator=(const TScopeExit&) = delete;

 private:
  Action FAction;
};

}  // namespace platform
