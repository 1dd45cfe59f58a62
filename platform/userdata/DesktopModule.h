// Run-time loading of Palm Desktop's desktop libraries.
//
// Windows libraries cannot run on Linux, and a Palm Desktop folder copied
// from a Windows disk holds none: the libraries are this project's own
// stand-ins, and one "loads" from any existing folder, whether or not a file
// of its name is there (the path resolved ignoring letter case). Only the
// user library, "UserData.dll" (any case), has exports: the five calls of
// UserData.h. Any other name loads as a library without exports.
#pragma once

#include "platform/wintypes/WinTypes.h"

// An export as returned by GetDesktopProcAddress; cast it to its own shape.
using DesktopProc = void (*)();

// Loads the library at pszPath. Null when the path is null or empty, its
// folder does not exist, or it names something that is not a regular file
// (a folder). Loading a user library lists the users of its folder and
// makes them the ones the stand-in answers for.
HMODULE LoadDesktopModule(const char* pszPath);

// The export named pszName (exact name, as Windows matches it), or null
// when the module has no such export or either argument is null.
DesktopProc GetDesktopProcAddress(HMODULE hModule, const char* pszName);

// Frees a module returned by LoadDesktopModule; its exports must not be
// called afterwards. FALSE for null.
BOOL FreeDesktopModule(HMODULE hModule);
