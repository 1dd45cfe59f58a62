// Finding and "loading" the address-book library.
//
// The library is part of this program, so loading it only binds its entry
// points by name. It answers to the module name "WAB32.DLL" (any letter case),
// given alone or as the last component of a path with '/' or '\' separators;
// any other name is a library that is not present. The registry setting that
// may name the library is not kept on this system: WabQueryDllPath answers
// "not found" unless a path was configured.
//
// Tests replace the answers (SetWabLibraryForTest) to reach the paths where
// the library or its entry point is missing, or to put a library of their own
// behind the name.
#pragma once

#include "platform/wab/WabApi.h"
#include "platform/wintypes/WinTypes.h"

// The module name the library answers to.
constexpr const char* WAB_DLL_NAME = "WAB32.DLL";

// Writes the configured library path into pszPath (cbPath bytes, cut and
// terminated) and returns true; returns false, leaving an empty text when
// pszPath and cbPath allow, when no path is configured.
bool WabQueryDllPath(char* pszPath, DWORD cbPath);

// Configures the path WabQueryDllPath answers; null or "" removes it.
void WabSetDllPath(const char* pszPath);

// Loads the library by name or path; null when it is not present.
HMODULE WabLoadLibrary(const char* pszPathOrName);

// The entry point pszName of a module WabLoadLibrary returned, or null.
// The library has one entry point, "WABOpen" (a LPWABOPEN).
void* WabGetProcAddress(HMODULE hModule, const char* pszName);

// Releases a module WabLoadLibrary returned. False for a null module.
bool WabFreeLibrary(HMODULE hModule);

// What the loader answers while a test replaces the library: bPresent says
// whether WabLoadLibrary finds it, lpfnWABOpen is the entry point (null: the
// library has no "WABOpen").
struct WabLibraryForTest {
    bool bPresent;
    LPWABOPEN lpfnWABOpen;
};

// Replaces the library for every later load; null restores the real one.
void SetWabLibraryForTest(const WabLibraryForTest* pLibrary);

// Number of modules loaded and not yet freed (for tests).
int WabLoadedModuleCount();
