// File-system helpers the rest of the program builds on: the path of the
// running executable, letter-case tolerant path lookup, atomic file replace
// and an exclusive advisory lock.
#pragma once

#include <cstddef>
#include <cstdio>
#include <string>

#include "platform/wintypes/WinTypes.h"

// Writes the full path of the running executable (a null or any other module
// means the executable) into pszFileName, cut to nSize - 1 characters and
// terminated. Returns the number of characters written without the
// terminator, nSize when the path was cut, and 0 on failure (null buffer,
// nSize 0, or the path cannot be read).
DWORD GetModuleFileNameA(HMODULE hModule, char* pszFileName, DWORD nSize);

// Finds an existing file or folder whose path equals `path` ignoring the
// letter case of each component (data copied from Windows comes as
// "Address/Address.DAT"). Returns `path` itself when it exists as written,
// otherwise the resolved path, otherwise `path` unchanged. An exact match of
// a component is preferred; among case-insensitive matches the first in byte
// order wins.
std::string ResolvePathCase(const std::string& path);

// Replaces a file's content as a whole: the file is either the old one or
// the new one, never a mix, and ends where the new content ends.
//
// Open() creates a temporary file beside the target; Write() appends to it;
// Commit() flushes and fsyncs it, gives it the permissions of the file it
// replaces (0644 less the umask for a new file), renames it over the target
// and fsyncs the folder. Abort() or destruction without Commit() removes the
// temporary file and leaves the target untouched.
class AtomicFile {
public:
    AtomicFile();
    ~AtomicFile();
    AtomicFile(const AtomicFile&) = delete;
    AtomicFile& operator=(const AtomicFile&) = delete;

    // Starts a replacement of `path` (of the file a symbolic link names).
    // False when the target exists but may not be written, when a temporary
    // file cannot be created in its folder, or when one is already open.
    bool Open(const char* path);

    // Appends size bytes. False when nothing is open or the write failed;
    // after a failure Commit() fails too.
    bool Write(const void* data, size_t size);

    // Makes the written bytes the content of the target. False on any failure,
    // in which case the target is untouched and the temporary file is gone.
    bool Commit();

    // Drops the replacement; the target is untouched.
    void Abort();

    bool IsOpen() const { return m_fp != nullptr; }

    // Test hook: every AtomicFile opened afterwards fails its writes once it
    // has accepted `nBytes` bytes in total, as a full disk would. A negative
    // value (the default) switches the hook off.
    static void SetFailAfterBytesForTest(long long nBytes);

private:
    std::FILE* m_fp;
    std::string m_target;
    std::string m_temp;
    long long m_written;
    long long m_failAfter;
    bool m_failed;
};

// Writes a whole file atomically with AtomicFile. True on success.
bool AtomicWriteFile(const char* path, const void* data, size_t size);

// Holds an exclusive advisory lock (flock) on an existing file for its
// lifetime. Lock() never waits: it fails at once when another open file
// description holds the lock, or when the file does not exist.
class FileLock {
public:
    FileLock();
    ~FileLock();
    FileLock(const FileLock&) = delete;
    FileLock& operator=(const FileLock&) = delete;

    // Locks `path`, releasing any lock held before. False when the file
    // cannot be opened or is locked elsewhere.
    bool Lock(const char* path);
    void Unlock();
    bool IsLocked() const { return m_fd >= 0; }

private:
    int m_fd;
};
