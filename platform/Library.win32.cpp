#include "platform/Library.h"

#include <windows.h>

#include "platform/Exception.h"
#include "platform/Files.h"
#include "platform/WideText.h"

namespace platform {
namespace {

bool NamesAFolder(const std::string& path) { return path.find_first_of("\\/:") != std::string::npos; }

}  // namespace

// A path is loaded with its own folder searched for the library's
// dependencies; a bare name is looked for in the program folder first (a
// file found there that cannot be loaded is an error of its own), then by
// the system's search.
std::unique_ptr<DynamicLibrary> DynamicLibrary::Load(const std::string& path) {
  std::string target = path;
  if (!NamesAFolder(path) && FileExists(ProgramFolder() + path)) target = ProgramFolder() + path;
  const std::wstring wide = Widen(target);
  HMODULE handle = NamesAFolder(target) ? ::LoadLibraryExW(wide.c_str(), nullptr, LOAD_WITH_ALTERED_SEARCH_PATH)
                                        : ::LoadLibraryW(wide.c_str());
  if (handle == nullptr) throw Exception(SystemErrorText(::GetLastError()) + " (" + target + ")");
  return std::unique_ptr<DynamicLibrary>(new DynamicLibrary(handle));
}

DynamicLibrary::~DynamicLibrary() { ::FreeLibrary(static_cast<HMODULE>(FHandle)); }

void* DynamicLibrary::Symbol(const std::string& name) const {
  return reinterpret_cast<void*>(::GetProcAddress(static_cast<HMODULE>(FHandle), name.c_str()));
}

}  // namespace platform
