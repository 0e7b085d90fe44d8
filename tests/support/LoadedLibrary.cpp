#include "support/LoadedLibrary.h"

#ifdef _WIN32
#include <windows.h>

#include "platform/WideText.h"

TLoadedLibrary::TLoadedLibrary(const std::string& path, bool load) {
  const std::wstring wide = platform::Widen(path);
  HMODULE module = nullptr;
  if (::GetModuleHandleExW(0, wide.c_str(), &module)) FHandle = module;
  else if (load) FHandle = ::LoadLibraryW(wide.c_str());
}

TLoadedLibrary::~TLoadedLibrary() {
  if (FHandle != nullptr) ::FreeLibrary(static_cast<HMODULE>(FHandle));
}

void* TLoadedLibrary::Symbol(const char* name) const {
  return reinterpret_cast<void*>(::GetProcAddress(static_cast<HMODULE>(FHandle), name));
}
#else
#include <dlfcn.h>

TLoadedLibrary::TLoadedLibrary(const std::string& path, bool load)
    : FHandle(::dlopen(path.c_str(), RTLD_NOW | (load ? 0 : RTLD_NOLOAD))) {}

TLoadedLibrary::~TLoadedLibrary() {
  if (FHandle != nullptr) ::dlclose(FHandle);
}

void* TLoadedLibrary::Symbol(const char* name) const { return ::dlsym(FHandle, name); }
#endif
