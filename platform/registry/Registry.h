// Read-only access to the Windows registry as Wine keeps it on disk.
//
// Palm Desktop on Linux runs under Wine, whose registry lives in text files
// of the Wine prefix ($WINEPREFIX, default ~/.wine): user.reg holds
// HKEY_CURRENT_USER, system.reg HKEY_LOCAL_MACHINE. These calls read those
// files with the semantics of the Windows registry functions of the same
// names: key paths and value names compare ignoring letter case, and the
// escapes of the files are decoded.
//
// Scope: opening keys, reading values, closing keys. Nothing is written and
// nothing is cached: every RegOpenKeyExA reads its file again, so a key
// reflects the file as it was when the key was opened.
//
// Text: string values come back as UTF-8, the encoding of Linux file names,
// because every value the program reads from the registry is a path.
//
// Under HKEY_LOCAL_MACHINE, "Software\..." is looked up first in the
// "Software\Wow6432Node\..." view that a 64-bit prefix gives 32-bit
// programs such as Palm Desktop, then as written.
//
// A missing, unreadable, truncated or malformed file never fails a call
// other than by not holding the key: it is read as far as it is sound.
#pragma once

#include "platform/wintypes/WinTypes.h"

// An open key. Opaque; obtained from RegOpenKeyExA, released by RegCloseKey.
struct RegKeyData;
using HKEY = RegKeyData*;
using PHKEY = HKEY*;
using REGSAM = DWORD;
using LSTATUS = LONG;

// The two root keys the program reads. They are always open and are never
// closed (RegCloseKey accepts and ignores them).
extern const HKEY HKEY_CURRENT_USER;
extern const HKEY HKEY_LOCAL_MACHINE;

// Access mask for reading; every mask is accepted, nothing can be written.
constexpr REGSAM KEY_READ = 0x20019;

// Result codes (Windows system error numbers).
constexpr LSTATUS ERROR_SUCCESS = 0;
constexpr LSTATUS ERROR_FILE_NOT_FOUND = 2;
constexpr LSTATUS ERROR_INVALID_HANDLE = 6;
constexpr LSTATUS ERROR_INVALID_PARAMETER = 87;
constexpr LSTATUS ERROR_MORE_DATA = 234;

// Value types.
constexpr DWORD REG_NONE = 0;
constexpr DWORD REG_SZ = 1;
constexpr DWORD REG_EXPAND_SZ = 2;
constexpr DWORD REG_BINARY = 3;
constexpr DWORD REG_DWORD = 4;
constexpr DWORD REG_MULTI_SZ = 7;
constexpr DWORD REG_QWORD = 11;

// Opens lpSubKey below hKey (a root key or a key opened before). Leading,
// trailing and doubled backslashes of lpSubKey are ignored; a null or empty
// lpSubKey opens hKey itself again. ulOptions and samDesired are ignored.
// ERROR_SUCCESS and *phkResult set when the key exists (as a key of its own
// or as the parent of one); otherwise ERROR_FILE_NOT_FOUND and *phkResult
// null. ERROR_INVALID_PARAMETER / ERROR_INVALID_HANDLE for a null result
// pointer / a null hKey.
LSTATUS RegOpenKeyExA(HKEY hKey, LPCSTR lpSubKey, DWORD ulOptions, REGSAM samDesired, PHKEY phkResult);

// Reads the value lpValueName (null or "" for the key's default value) of
// an opened key. *lpType (when not null) receives the type. String types
// (REG_SZ, REG_EXPAND_SZ, REG_MULTI_SZ) are delivered as UTF-8 with their
// terminator; REG_EXPAND_SZ is not expanded. With lpData null, *lpcbData
// (when not null) receives the size needed. With lpData set, *lpcbData
// holds its size on entry: ERROR_MORE_DATA and the needed size when it is
// too small (nothing copied), else the data and its size. Errors:
// ERROR_FILE_NOT_FOUND (no such value, or a root key), ERROR_INVALID_HANDLE
// (null hKey), ERROR_INVALID_PARAMETER (lpReserved set, or lpData without
// lpcbData).
LSTATUS RegQueryValueExA(HKEY hKey, LPCSTR lpValueName, DWORD* lpReserved, DWORD* lpType, BYTE* lpData,
                         DWORD* lpcbData);

// Releases an opened key. ERROR_INVALID_HANDLE for null; root keys are
// accepted and stay open.
LSTATUS RegCloseKey(HKEY hKey);
