// Private-profile ("ini") files: "[Section]" headers followed by "Key=Value"
// lines. Section and key names compare ignoring letter case; values are
// 8-bit text kept as they stand. Writing keeps every other section and key
// and their order, appends a new key at the end of its section and a new
// section at the end of the file, and replaces the file atomically.
#pragma once

#include <memory>
#include <string>

#include "platform/wintypes/WinTypes.h"

// Copies the value of lpKeyName in lpAppName of lpFileName into
// lpReturnedString, at most nSize - 1 characters and always terminated.
// A missing file, section or key gives lpDefault ("" when null). Returns the
// number of characters copied, terminator not counted. Nothing is written
// when lpReturnedString is null or nSize is 0 (returns 0). Listing all
// sections or keys (null section or key) is not supported and gives the
// default.
DWORD GetPrivateProfileStringA(LPCSTR lpAppName, LPCSTR lpKeyName, LPCSTR lpDefault, LPSTR lpReturnedString,
                               DWORD nSize, LPCSTR lpFileName);

// Reads an integer: optional blanks, an optional sign, then decimal digits;
// reading stops at the first other character ("12abc" gives 12, "abc" gives
// 0). A missing file, section or key gives nDefault.
UINT GetPrivateProfileIntA(LPCSTR lpAppName, LPCSTR lpKeyName, int nDefault, LPCSTR lpFileName);

// Sets one key (creating file and section as needed). A null lpString
// deletes the key; a null lpKeyName deletes the whole section. Returns FALSE
// when the section name or file name is null or empty, when an existing file
// cannot be read, or when the new file cannot be written; the old file is
// then unchanged.
BOOL WritePrivateProfileStringA(LPCSTR lpAppName, LPCSTR lpKeyName, LPCSTR lpString, LPCSTR lpFileName);

// Changes many keys of one file with one load and one atomic save, for
// writers of whole settings blocks. Same rules as WritePrivateProfileStringA.
class PrivateProfileWriter {
public:
    // Loads pszFileName (a missing file starts empty). IsLoaded() tells
    // whether that worked; an unreadable file is never overwritten.
    explicit PrivateProfileWriter(const char* pszFileName);
    ~PrivateProfileWriter();
    PrivateProfileWriter(const PrivateProfileWriter&) = delete;
    PrivateProfileWriter& operator=(const PrivateProfileWriter&) = delete;

    bool IsLoaded() const;

    // Sets a key in memory; null pszValue deletes the key.
    bool SetString(const char* pszSection, const char* pszKey, const char* pszValue);
    // Sets a key to the decimal text of nValue ("%d").
    bool SetInt(const char* pszSection, const char* pszKey, int nValue);

    // Writes the file atomically. False when it was not loaded or the write
    // failed; the file on disk is then unchanged.
    bool Save();

private:
    struct Impl;
    std::unique_ptr<Impl> m_impl;
};
