// Where the program lives and where its settings file corvane.ini is kept.
#pragma once

#include "platform/wintypes/WinTypes.h"

// Writes the folder of the given module (null: the running executable) into
// pszFolder, which holds MAX_PATH characters; the result ends with '/'.
// False when pszFolder is null or the module's path cannot be read (then
// pszFolder holds "").
bool GetAppFolder(HMODULE hModule, char* pszFolder);

// Writes the path of corvane.ini into pszPath (MAX_PATH characters). This is
// the one place that decides it, for every reader and writer:
//   1. the override set with SetIniFilePathOverride, when set;
//   2. the environment variable VARNWICK_INI, when set and not empty;
//   3. corvane.ini in the program's folder, when that file exists or the
//      folder is writable and is not an installed program's (one with
//      ../share/varnwick beside it);
//   4. $XDG_CONFIG_HOME/varnwick/corvane.ini ($HOME/.config when
//      XDG_CONFIG_HOME is unset or empty); with bForWriting the folder is
//      created when missing.
// False (and "") only when no path fits in MAX_PATH or pszPath is null.
bool GetIniFilePath(char* pszPath, bool bForWriting = false);

// The same decision for an explicit program folder (ending with '/'), so
// that it can be checked without moving the executable.
bool GetIniFilePathIn(const char* pszAppFolder, char* pszPath, bool bForWriting);

// Makes GetIniFilePath answer pszPath until called again with nullptr.
// Meant for tests and for a command-line option naming the settings file.
void SetIniFilePathOverride(const char* pszPath);
