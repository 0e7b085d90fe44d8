// Runs work, then cleanup. When work raises, cleanup still runs, an error of
// its own is dropped, and the work's error passes on unchanged.
#pragma once

#include <type_traits>
#include <utility>

namespace platform {

template <typename Work, typename Cleanup>
auto WithCleanup(Work&& work, Cleanup&& cleanup) -> decltype(work()) {
  try {
    if constexpr (std::is_void_v<decltype(work())>) {
      work();
    } else {
      auto result = work();
      cleanup();
      return result;
    }
  } catch (...) {
    try {
      cleanup();
    } catch (...) {
    }
    throw;
  }
  if constexpr (std::is_void_v<decltype(work())>) cleanup();
}

}  // namespace platform
