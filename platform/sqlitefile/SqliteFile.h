// What the two stand-ins that keep their data in SQLite files (the address
// book and the Desktop 6 database) need to know of such a file before and
// after SQLite has it: its header, how to name it to SQLite so that no byte
// of the path is taken for a parameter, and why SQLite could not use it.
#pragma once

#include <cstddef>
#include <string>

#include "platform/fsutil/FailReason.h"

// The size of a SQLite database header.
constexpr size_t kSqliteHeaderSize = 100;

// Whether head (the first bytes of a file) starts with the 16 bytes every
// SQLite database starts with.
bool HasSqliteMagic(const std::string& head);

// Whether the file is in write-ahead-log mode (header bytes 18 and 19 are
// 2) with no log beside it: all of it is in the file, which can then be read
// as an immutable file, without the lock files a reader would otherwise
// leave beside it.
bool IsClosedLogFile(const std::string& path);

// A file: URI for a path, every byte outside the unreserved set escaped.
std::string FileUri(const std::string& path);

// Why SQLite failed with the (extended) result code nResult on the file at
// path, while reading or while writing. An I/O error whose system error
// (nSystemErrno, else errno) is a full disk, a quota or a file-size limit is
// named as a full disk.
FailReason ReasonFromSqlite(int nResult, const std::string& path, bool bWriting, int nSystemErrno = 0);
