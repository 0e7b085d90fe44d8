#include "platform/Library.h"

#include <dlfcn.h>

#include "platform/Exception.h"
#include "platform/Files.h"

namespace platform {
namespace {

void* Open(const std::string& path) { return ::dlopen(path.c_str(), RTLD_NOW | RTLD_LOCAL); }

}  // namespace

std::unique_ptr<DynamicLibrary> DynamicLibrary::Load(const std::string& path) {
  void* handle = nullptr;
  if (path.find(PathSeparator) == std::string::npos) {
    const std::string besideProgram = ProgramFolder() + path;
    if (FileExists(besideProgram)) handle = Open(besideProgram);
  }
  if (handle == nullptr) handle = Open(path);
  if (handle == nullptr) {
    const char* reason = ::dlerror();
    throw Exception(reason != nullptr ? reason : "Cannot load library " + path);
  }
  return std::unique_ptr<DynamicLibrary>(new DynamicLibrary(handle));
}

DynamicLibrary::~DynamicLibrary() { ::dlclose(FHandle); }

void* DynamicLibrary::Symbol(const std::string& name) const { return ::dlsym(FHandle, name.c_str()); }

}  // namespace platform
