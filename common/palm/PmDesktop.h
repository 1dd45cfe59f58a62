// Where Palm Desktop is installed, which version it is, and where a HotSync
// user's data folder lies.
//
// Nothing is cached: every call reads the settings file, the registry and
// the disk again.
#pragma once

#include <cstdint>

#include "platform/wintypes/WinTypes.h"

// Results of GetDesktopFolder.
constexpr LONG PD_FOLDER_OK = 0;
constexpr LONG PD_FOLDER_NO_BUFFER = -100;  // no buffer, or a size of 0
constexpr LONG PD_FOLDER_NOT_FOUND = -101;  // no key, or the key names no folder
constexpr LONG PD_FOLDER_TOO_LONG = -102;   // the folder does not fit the buffer

// GetDesktopVersion's answer when the version cannot be read.
constexpr DWORD PD_VERSION_UNKNOWN = 0xFFFFFFFF;

// Writes the Palm Desktop folder into pszFolder (nSize bytes), from the
// first of these that gives one:
//   1. key PDPath of section [Path] of corvane.ini, when not empty: taken
//      as it stands, whether or not the folder exists (only a Windows path
//      with a drive letter, from a settings file carried over from
//      Windows, is mapped into the Wine prefix);
//   2. the registry key "Software\U.S. Robotics\Pilot Desktop\Core" of
//      HKEY_CURRENT_USER, else "Software\PalmSource\Desktop\Core" of
//      HKEY_LOCAL_MACHINE, whichever opens first (the other is then not
//      looked at): its string "DesktopPath" as stored, else the folder of
//      its "HotSyncPath" program, ending with a separator. Registry paths
//      are Windows paths of the Wine prefix and come back mapped to Linux
//      (MapWindowsPath).
// On PD_FOLDER_OK the buffer holds the zero-terminated folder; on every
// other result it holds "" and must not be used.
LONG GetDesktopFolder(char* pszFolder, UINT nSize);

// The version of the installed Palm Desktop: the file version of palm.exe
// (any letter case) in its folder, as major * 10000 + minor * 100 + release
// (4.1.2.7 gives 40102; the fourth number is not used).
// PD_VERSION_UNKNOWN when there is no folder, no palm.exe or no version.
DWORD GetDesktopVersion();

// Writes the data folder of HotSync user dwUserID into pszFolder (nSize
// bytes): the user library's root directory, the user's directory and a
// trailing '/'. False, leaving the buffer untouched, when the buffer is
// null or nSize below 1, the user library is not loaded or gives no root
// directory, it knows no such user, or the folder does not fit. The
// folder's components exist as written; the files inside may come in any
// letter case (resolve them with ResolvePathCase).
bool GetUserFolder(DWORD dwUserID, char* pszFolder, int16_t nSize);
