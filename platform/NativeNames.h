// The file names that differ between the platforms: libraries and tools.
#pragma once

namespace platform {

#ifdef _WIN32
constexpr const char* ScriptEngineLibraryName = "ScriptEngine.dll";
constexpr const char* ClientLibraryName = "fbclient.dll";
constexpr const char* OldClientLibraryName = "gds32.dll";
constexpr const char* ProgramSuffix = ".exe";
#else
constexpr const char* ScriptEngineLibraryName = "libScriptEngine.so";
constexpr const char* ClientLibraryName = "libfbclient.so.2";
constexpr const char* OldClientLibraryName = "libgds.so.0";
constexpr const char* ProgramSuffix = "";
#endif

}  // namespace platform
