// The option string of sb_RestoreDatabase: fields separated by ";", blanks
// around them ignored, names case-insensitive:
//   clientlib=PATH  User=NAME  Password=TEXT  C (create)  REP (replace)
//   O (one table at a time)
#pragma once

#include <string>

#include "platform/NativeNames.h"

struct TRestoreOptions {
  std::string ClientLibrary = platform::ClientLibraryName;
  std::string User;
  std::string Password;
  bool Create = false;
  bool Replace = false;
  bool OneAtATime = false;

  // Raises EScriptError naming an unknown option.
  static TRestoreOptions Parse(const std::string& text);
};
