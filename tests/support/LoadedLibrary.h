// A test's own look into a library the code under test has loaded: its
// control exports, and whether it is loaded at all.
#pragma once

#include <string>

class TLoadedLibrary {
 public:
  // Takes another reference to the library at path when it is loaded
  // already; loads it only when load is true.
  TLoadedLibrary(const std::string& path, bool load);
  ~TLoadedLibrary();
  TLoadedLibrary(const TLoadedLibrary&) = delete;
  TLoadedLibrary& operator=(const TLoadedLibrary&) = delete;

  explicit operator bool() const { return FHandle != nullptr; }
  template <typename F>
  F Call(const char* name) const {
    return reinterpret_cast<F>(Symbol(name));
  }

  static bool IsLoaded(const std::string& path) { return bool(TLoadedLibrary(path, false)); }

 private:
  void* Symbol(const char* name) const;
  void* FHandle = nullptr;
};

// The file-name ending of a shared library on this platform.
#ifdef _WIN32
inline const std::string SharedLibrarySuffix = ".dll";
#else
inline const std::string SharedLibrarySuffix = ".so";
#endif
