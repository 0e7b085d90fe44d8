#include "platform/Library.h"

#include <dlfcn.h>

#include "platform/Exception.h"
#include "platform/Files.h"

namespace platform {
namespace {

void* Open(const std::string& path) { return ::dlopen(path.c_str(), RTLD_NOW | RTLD_LOCAL); }

}  // namespace

// A bare name is looked for in the program folder first; a file found there
// that cannot be loaded is an error of its own, as on Windows, and no other
// library of that name is searched for.
std::unique_ptr<DynamicLibrary> DynamicLibrary::Load(const std::string& path) {
  std::string target = path;
  if (path.find(PathSeparator) == std::string::npos && FileExists(ProgramFolder() + path))
    target = ProgramFolder() + path;
  void* handle = Open(target);
  if (handle == nullptr) {
    const char* reason = ::dlerror();
    throw Exception(reason != nullptr ? reason : "Cannot load library " + target);
  }
  return std::unique_ptr<DynamicLibrary>(new DynamicLibrary(handle));
}

DynamicLibrary::~DynamicLibrary() { ::dlclose(FHandle); }

void* DynamicLibrary::Symbol(const std::string& name) const { return ::dlsym(FHandle, name.c_str()); }

}  // namespace platform
