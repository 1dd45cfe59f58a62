// Palm Desktop's desktop libraries, bound at run time from the Palm Desktop
// folder so that the program starts without them, and the guarded calls
// into the user library.
#pragma once

#include <cstdint>

#include "platform/wintypes/WinTypes.h"

// Mask bits of LoadDesktopLibraries and UnloadDesktopLibraries, in the
// order the libraries are loaded.
constexpr BYTE PD_LIB_CONDMGR = 0x01;   // condmgr.dll
constexpr BYTE PD_LIB_USERDATA = 0x02;  // UserData.dll
constexpr BYTE PD_LIB_HSAPI = 0x04;     // HSAPI.DLL
constexpr BYTE PD_LIB_INSTAIDE = 0x08;  // instaide.dll
constexpr BYTE PD_LIB_ALL = 0x0F;

// What every guarded call answers while its entry point is not bound.
constexpr LONG PD_NOT_BOUND = -100;

// Loads the libraries of the mask from the Palm Desktop folder
// (GetDesktopFolder), in bit order, each after freeing any copy loaded
// before. The libraries are stand-ins (DesktopModule.h): a folder needs no
// library file, so a folder holding only user folders lists its users.
// Stops at the first library that cannot be loaded (no folder, or one made
// missing with SetMissingDesktopLibraries) and answers false; the later ones
// stay unloaded. A missing export leaves its entry point unbound without
// failing the load.
bool LoadDesktopLibraries(BYTE nMask);

// Makes the libraries of the mask fail to load from now on, as a library
// missing from a Windows installation would; 0 makes every one loadable
// again. For tests of the "library missing" path.
void SetMissingDesktopLibraries(BYTE nMask);

// Frees each library of the mask and unbinds its entry points.
void UnloadDesktopLibraries(BYTE nMask);

// Whether the library of one mask bit is loaded now.
bool IsDesktopLibraryLoaded(BYTE nBit);

// The user library's calls. Each answers PD_NOT_BOUND, calling nothing,
// while UserData.dll or the export is not bound.
//
// Number of HotSync users.
int16_t UmGetUserCount();
// Writes the id of the user at nIndex (0-based).
LONG UmGetUserID(int16_t nIndex, DWORD* pdwUserID);
// The user's name; *pnSize holds the buffer's size.
LONG UmGetUserName(DWORD dwUserID, char* pszName, int16_t* pnSize);
// The user's folder name below the root directory.
LONG UmGetUserDirectory(DWORD dwUserID, char* pszDirectory, int16_t* pnSize);
// The HotSync root directory, ending with a separator; 0 means failure.
LONG UmGetRootDirectory(char* pszDirectory, int16_t* pnSize);
