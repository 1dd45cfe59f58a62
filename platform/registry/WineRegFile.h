// The text format of Wine's registry files (user.reg, system.reg).
//
//   WINE REGISTRY Version 2
//   ;; All keys relative to \\Machine
//   #arch=win64
//
//   [Software\\PalmSource\\Desktop\\Core] 1700000000
//   #time=1d9f0c2a1b2c3d4
//   "DesktopPath"="C:\\Program Files\\Palm"
//   "Path2"=str(2):"%ProgramFiles%\\Palm"
//   @="the default value"
//   "Count"=dword:00000003
//   "Blob"=hex:01,02,\  (continues on the next line)
//     03
//   "Wide"=hex(2):43,00,3a,00,00,00
//
// A section header names a key by its path below the file's root, each key
// written as a section of its own. Text between quotes and in headers uses
// C-like escapes: \\ \" \[ \] \n \r \t \a \b \v \f \e, octal \ooo and
// \xhhhh for UTF-16 code units. Binary data continues on the next line
// after a trailing backslash.
#pragma once

#include <map>
#include <string>
#include <vector>

#include "platform/wintypes/WinTypes.h"

// One value as the file holds it. String types (1, 2, 7) keep their UTF-16
// code units as little-endian bytes, terminator included, as Windows does.
struct WineRegValue {
    DWORD dwType = 0;
    std::vector<BYTE> data;
};

// What the file says of one key path.
struct WineRegKey {
    bool bExists = false;                        // the key or a key below it is there
    std::map<std::string, WineRegValue> values;  // by lower-case UTF-8 name; "" is the default
};

// Lower-cases the ASCII letters of a UTF-8 text; other bytes stay.
std::string RegFoldCase(const std::string& text);

// Scans the registry file once for each of the key paths (lower-case UTF-8,
// single backslashes, no leading or trailing one) and returns one entry per
// path, in the same order. A file that cannot be opened or does not start
// with the Wine registry signature holds no key. Malformed lines are
// skipped; a malformed section header hides the values that follow it up
// to the next sound header, so no value lands in the wrong key.
std::vector<WineRegKey> ReadWineRegKeys(const std::string& filePath, const std::vector<std::string>& keyPaths);

// Converts UTF-16 code units to UTF-8; an unpaired surrogate becomes U+FFFD.
std::string RegUtf16ToUtf8(const std::u16string& text);
