// A dynamically loaded library, released when the object goes.
#pragma once

#include <memory>
#include <string>

namespace platform {

class DynamicLibrary {
 public:
  // Loads the library at path. A bare file name is looked for in the
  // program folder first, then by the system's own search. Raises Exception
  // with the system's error text when it cannot be loaded.
  static std::unique_ptr<DynamicLibrary> Load(const std::string& path);
  ~DynamicLibrary();
  DynamicLibrary(const DynamicLibrary&) = delete;
  DynamicLibrary& operator=(const DynamicLibrary&) = delete;

  // Address of an exported symbol, or nullptr when it is missing.
  void* Symbol(const std::string& name) const;

  template <typename Function>
  Function Entry(const std::string& name) const {
    return reinterpret_cast<Function>(Symbol(name));
  }

 private:
  explicit DynamicLibrary(void* handle) : FHandle(handle) {}
  void* FHandle;
};

}  // namespace platform

// Calling convention of exports and callbacks shared with other libraries.
#if defined(_WIN32) && !defined(_WIN64)
#define STDCALL __stdcall
#else
#define STDCALL
#endif
