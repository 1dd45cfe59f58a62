// File-system and environment helpers the rest of the program builds on:
// the path of the running executable, what stands at a path, the user's
// home and XDG folders, letter-case tolerant path lookup, atomic file
// replace and an exclusive advisory lock.
#pragma once

#include <cstddef>
#include <cstdio>
#include <string>
#include <string_view>
#include <vector>

#include "platform/fsutil/FailReason.h"
#include "platform/wintypes/WinTypes.h"

class FileHold;

// Writes the full path of the running executable (a null or any other module
// means the executable) into pszFileName, cut to nSize - 1 characters and
// terminated. Returns the number of characters written without the
// terminator, nSize when the path was cut, and 0 on failure (null buffer,
// nSize 0, or the path cannot be read).
DWORD GetModuleFileNameA(HMODULE hModule, char* pszFileName, DWORD nSize);

// Whether a regular file stands at the path (a symbolic link counts as what
// it leads to).
bool IsRegularFile(const std::string& path);
// Whether a folder stands at the path (a link to a folder counts).
bool IsFolder(const std::string& path);
// Whether anything stands at the path, a symbolic link that leads nowhere
// included.
bool PathExists(const std::string& path);
// Whether this user may write the file, or make and remove entries in the
// folder, at the path. False when nothing is there.
bool IsWritable(const std::string& path);

// The size in bytes of the regular file at the path; -1 when no regular
// file stands there (nothing, a folder, a FIFO or a device: their "size"
// means nothing, and opening a FIFO to measure it would block).
long long RegularFileSize(const std::string& path);

// Opens a stream on the file at the path with an fopen mode ("rb", "ab"...),
// as fopen does, but never waits: a folder gives null, and a FIFO or device
// is opened only when that succeeds at once (a FIFO nobody reads gives null
// instead of blocking until someone does; /dev/null and a terminal open).
// The caller closes the stream with fclose.
std::FILE* OpenFileStream(const std::string& path, const char* pszMode);

// Makes the folder and every missing folder above it, each new one with
// nMode (less the umask). True when a folder stands at the path afterwards.
bool MakeFolders(const std::string& folder, unsigned nMode = 0700);

// The value of an environment variable; "" when it is unset or empty.
std::string EnvironmentValue(const char* pszName);

// The user's home folder: $HOME when it is set and not empty, otherwise the
// home folder the password database gives this user; "" when neither knows
// one. Every per-user path of the program starts from here.
std::string HomeFolder();

// A per-user folder of the XDG base directories: the variable's value when
// it is an absolute path, otherwise HomeFolder() + "/" + pszUnderHome (a
// relative or empty value is ignored, as the XDG rules say). "" when it is
// not set and no home folder is known. E.g. XdgFolder("XDG_DATA_HOME",
// ".local/share").
std::string XdgFolder(const char* pszVariable, const char* pszUnderHome);

// Whether two names are equal ignoring the case of the ASCII letters (file
// names and extensions copied from Windows come in any case). Other bytes
// must match exactly.
bool EqualsIgnoringCase(std::string_view a, std::string_view b);

// Finds an existing file or folder whose path equals `path` ignoring the
// letter case of each component (data copied from Windows comes as
// "Address/Address.DAT"). Returns `path` itself when it exists as written,
// otherwise the resolved path, otherwise `path` unchanged. An exact match of
// a component is preferred; among case-insensitive matches the first in byte
// order wins.
std::string ResolvePathCase(const std::string& path);

// Reads a whole regular file without ever blocking: a FIFO, a device or a
// folder at the path is refused (NotRegular) instead of waited on. False,
// with *pReason (when given) saying why, when the file cannot be read.
bool ReadRegularFile(const std::string& path, std::vector<BYTE>* pContent, FailReason* pReason = nullptr);
bool ReadRegularFile(const std::string& path, std::string* pContent, FailReason* pReason = nullptr);

// Whether an existing file may be replaced by this user: false (ReadOnly)
// when the system refuses writing, and also when no write permission bit is
// set at all, which the superuser would otherwise ignore (a file made 0444
// is the owner saying "leave it"). True for a path where nothing exists.
bool MayReplaceFile(const std::string& path, FailReason* pReason = nullptr);

// A write past the file-size limit (ulimit -f) fails with EFBIG, reported
// like a full disk, instead of killing the process with SIGXFSZ. Called by
// every writer before it writes; harmless to call again.
void IgnoreFileSizeSignal();

// Replaces a file's content as a whole: the file is either the old one or
// the new one, never a mix, and ends where the new content ends.
//
// Open() creates a temporary file beside the target; Write() appends to it;
// Commit() flushes and fsyncs it, gives it the permissions of the file it
// replaces (0644 less the umask for a new file), renames it over the target
// and fsyncs the folder. Abort() or destruction without Commit() removes the
// temporary file and leaves the target untouched.
//
// The temporary file is named <target>.tmp-XXXXXX and locked (flock) while
// it is written; Open() first removes the unlocked ones of its target, left
// behind by a save that was killed. GetFailure() tells why the last call
// that answered false failed.
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
    // With pHold (holding the target), the new file is locked before it is
    // renamed into place and the hold moves to it, so no other program can
    // take the file between the rename and the next save.
    bool Commit(FileHold* pHold = nullptr);

    // Drops the replacement; the target is untouched.
    void Abort();

    bool IsOpen() const { return m_fp != nullptr; }
    const FailReason& GetFailure() const { return m_failure; }

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
    FailReason m_failure;
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

// Holds one of the user's files for this program from its load to its save
// (flock, exclusive), so that two copies of the program never both load,
// change and save one file: the second waits up to GetWaitMs(), then fails
// with FailKind::Locked ("in use by another program").
//
// The holds of one process on one file share a single lock: the program is
// one holder, however many of its objects hold the file.
//
// A file replaced by an atomic save is a new file at the same path: Acquire
// checks, once it has the lock, that the locked file is still the one at
// the path, and starts over on the new one when it is not. AtomicFile's
// Commit(FileHold*) moves the hold to the file it installs.
class FileHold {
public:
    FileHold();
    ~FileHold();
    FileHold(const FileHold&) = delete;
    FileHold& operator=(const FileHold&) = delete;

    // Holds the regular file at `path`. True at once when this hold already
    // holds that very file. Otherwise releases what it held and waits for
    // the lock; false with *pReason (when given) saying why: Missing,
    // NotRegular, Locked after the wait, or the open's error. Never blocks
    // on a FIFO or device.
    bool Acquire(const std::string& path, FailReason* pReason = nullptr);
    void Release();
    bool IsHeld() const { return m_fd >= 0; }
    // Whether this hold holds the file now at `path`.
    bool Holds(const std::string& path) const;
    const std::string& GetPath() const { return m_path; }

    // How long Acquire waits for another program, in milliseconds (default
    // 5000; the VARNWICK_LOCK_WAIT_MS environment variable or this setter
    // change it, tests use a short wait).
    static int GetWaitMs();
    static void SetWaitMs(int nMs);

private:
    friend class AtomicFile;
    void Adopt(int fd, const std::string& path);

    int m_fd;
    std::string m_path;
};
