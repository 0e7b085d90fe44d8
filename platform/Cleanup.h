// Runs work, then cleanup. When work raises, cleanup still runs, an error of
// its own is dropped, and the work's error passes on unchanged.
#pragma once

#include <type_traits>
#include <utility>

namespace platform {

// A failing cleanup after work that succeeded raises its own error, once.
template <typename Work, typename Cleanup>
auto WithCleanup(Work&& work, Cleanup&& cleanup) -> decltype(work()) {
  auto cleanUpAndRethrow = [&] {
    try {
      cleanup();
    } catch (...) {
    }
    throw;
  };
  if constexpr (std::is_void_v<decltype(work())>) {
    try {
      work();
    } catch (...) {
      cleanUpAndRethrow();
    }
    cleanup();
  } else {
    auto result = [&] {
      try {
        return work();
      } catch (...) {
        cleanUpAndRethrow();
        throw;  // not reached
      }
    }();
    cleanup();
    return result;
  }
}

}  // namespace platform
