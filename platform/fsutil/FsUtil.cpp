#include "platform/fsutil/FsUtil.h"

#include <dirent.h>
#include <fcntl.h>
#include <pwd.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

#include <atomic>
#include <cerrno>
#include <chrono>
#include <csignal>
#include <cstdlib>
#include <cstring>
#include <exception>
#include <map>
#include <mutex>
#include <thread>
#include <utility>
#include <vector>

DWORD GetModuleFileNameA(HMODULE /*hModule*/, char* pszFileName, DWORD nSize)
{
    if (pszFileName == nullptr || nSize == 0)
        return 0;
    char path[4096];
    const ssize_t length = readlink("/proc/self/exe", path, sizeof(path) - 1);
    if (length <= 0) {
        pszFileName[0] = '\0';
        return 0;
    }
    const size_t copied = static_cast<size_t>(length) < nSize ? static_cast<size_t>(length) : nSize - 1;
    std::memcpy(pszFileName, path, copied);
    pszFileName[copied] = '\0';
    return static_cast<size_t>(length) < nSize ? static_cast<DWORD>(copied) : nSize;
}

bool IsRegularFile(const std::string& path)
{
    struct stat st { };
    return stat(path.c_str(), &st) == 0 && S_ISREG(st.st_mode);
}

long long RegularFileSize(const std::string& path)
{
    struct stat st { };
    if (stat(path.c_str(), &st) != 0 || !S_ISREG(st.st_mode))
        return -1;
    return static_cast<long long>(st.st_size);
}

std::FILE* OpenFileStream(const std::string& path, const char* pszMode)
{
    if (pszMode == nullptr || pszMode[0] == '\0')
        return nullptr;
    struct stat st { };
    if (stat(path.c_str(), &st) != 0 || S_ISREG(st.st_mode))
        return std::fopen(path.c_str(), pszMode);  // nothing there yet, or a plain file
    if (S_ISDIR(st.st_mode))
        return nullptr;
    // A FIFO, device or socket: open without waiting, then hand the stream
    // back in blocking mode as fopen would.
    const bool bPlus = std::strchr(pszMode, '+') != nullptr;
    const int nAccess = bPlus ? O_RDWR : pszMode[0] == 'r' ? O_RDONLY : O_WRONLY;
    const int fd = open(path.c_str(), nAccess | O_NONBLOCK | O_CLOEXEC | O_NOCTTY | (pszMode[0] == 'a' ? O_APPEND : 0));
    if (fd < 0)
        return nullptr;
    const int nFlags = fcntl(fd, F_GETFL);
    if (nFlags < 0 || fcntl(fd, F_SETFL, nFlags & ~O_NONBLOCK) != 0) {
        close(fd);
        return nullptr;
    }
    std::FILE* fp = fdopen(fd, pszMode);
    if (fp == nullptr)
        close(fd);
    return fp;
}

bool IsFolder(const std::string& path)
{
    struct stat st { };
    return stat(path.c_str(), &st) == 0 && S_ISDIR(st.st_mode);
}

bool PathExists(const std::string& path)
{
    struct stat st { };
    return lstat(path.c_str(), &st) == 0;
}

bool IsWritable(const std::string& path)
{
    return access(path.c_str(), W_OK) == 0;
}

bool MakeFolders(const std::string& folder, unsigned nMode)
{
    if (folder.empty())
        return false;
    for (size_t slash = folder.find('/', 1);; slash = folder.find('/', slash + 1)) {
        const std::string part = slash == std::string::npos ? folder : folder.substr(0, slash);
        if (!part.empty() && mkdir(part.c_str(), static_cast<mode_t>(nMode)) != 0 && errno != EEXIST)
            return false;
        if (slash == std::string::npos)
            break;
    }
    return IsFolder(folder);
}

std::string EnvironmentValue(const char* pszName)
{
    const char* pszValue = pszName != nullptr ? std::getenv(pszName) : nullptr;
    return pszValue != nullptr ? std::string(pszValue) : std::string();
}

std::string HomeFolder()
{
    std::string home = EnvironmentValue("HOME");
    if (!home.empty())
        return home;
    // A service or a sanitised environment may leave HOME out; the user
    // still has a home folder.
    std::vector<char> buffer(16384);
    passwd entry{};
    passwd* pFound = nullptr;
    if (getpwuid_r(getuid(), &entry, buffer.data(), buffer.size(), &pFound) == 0 && pFound != nullptr &&
        pFound->pw_dir != nullptr)
        home = pFound->pw_dir;
    return home;
}

std::string XdgFolder(const char* pszVariable, const char* pszUnderHome)
{
    const std::string value = EnvironmentValue(pszVariable);
    if (!value.empty() && value[0] == '/')
        return value;
    const std::string home = HomeFolder();
    if (home.empty())
        return {};
    return home + "/" + pszUnderHome;
}

bool EqualsIgnoringCase(std::string_view a, std::string_view b)
{
    if (a.size() != b.size())
        return false;
    for (size_t i = 0; i < a.size(); ++i) {
        char x = a[i];
        char y = b[i];
        if (x >= 'A' && x <= 'Z')
            x = static_cast<char>(x - 'A' + 'a');
        if (y >= 'A' && y <= 'Z')
            y = static_cast<char>(y - 'A' + 'a');
        if (x != y)
            return false;
    }
    return true;
}

namespace {

// The entry of `folder` equal to `name` ignoring case: `name` itself when it
// exists, else the first case-insensitive match in byte order, else "".
std::string FindEntryIgnoringCase(const std::string& folder, const std::string& name)
{
    const std::string base = folder.empty() ? std::string(".") : folder;
    if (PathExists(base + "/" + name))
        return name;
    DIR* dir = opendir(base.c_str());
    if (dir == nullptr)
        return {};
    std::string best;
    while (const dirent* entry = readdir(dir)) {
        if (EqualsIgnoringCase(entry->d_name, name) && (best.empty() || std::strcmp(entry->d_name, best.c_str()) < 0))
            best = entry->d_name;
    }
    closedir(dir);
    return best;
}

}  // namespace

std::string ResolvePathCase(const std::string& path)
{
    if (path.empty() || PathExists(path))
        return path;

    // Split into components, keeping "." and ".." as they are.
    std::vector<std::string> parts;
    size_t start = 0;
    while (start <= path.size()) {
        const size_t slash = path.find('/', start);
        const size_t end = slash == std::string::npos ? path.size() : slash;
        if (end > start)
            parts.push_back(path.substr(start, end - start));
        if (slash == std::string::npos)
            break;
        start = slash + 1;
    }

    const bool absolute = path[0] == '/';
    std::string resolved = absolute ? "/" : "";
    std::string folder = absolute ? "/" : "";
    for (size_t i = 0; i < parts.size(); ++i) {
        std::string component = parts[i];
        if (component != "." && component != "..") {
            component = FindEntryIgnoringCase(folder, parts[i]);
            if (component.empty())
                return path;
        }
        if (!resolved.empty() && resolved.back() != '/')
            resolved += '/';
        resolved += component;
        folder = resolved;
    }
    if (!path.empty() && path.back() == '/' && resolved.back() != '/')
        resolved += '/';
    return PathExists(resolved) ? resolved : path;
}

namespace {

std::atomic<long long> g_failAfterBytes{-1};

std::string FolderOf(const std::string& path)
{
    const size_t slash = path.rfind('/');
    if (slash == std::string::npos)
        return ".";
    if (slash == 0)
        return "/";
    return path.substr(0, slash);
}

// Opens a regular file for reading without blocking on whatever else may
// be at the path; -1 with *pReason set otherwise.
int OpenRegularForReading(const std::string& path, FailReason* pReason)
{
    const int fd = open(path.c_str(), O_RDONLY | O_CLOEXEC | O_NONBLOCK | O_NOCTTY);
    if (fd < 0) {
        const int nErrno = errno;
        const std::string kind = NonRegularKind(path);
        *pReason = !kind.empty()       ? FailReason::Of(FailKind::NotRegular, kind)
                   : nErrno == ENOTDIR ? FailReason::Of(FailKind::Missing)
                                       : ReasonFromErrno(nErrno, false);
        return -1;
    }
    struct stat st { };
    if (fstat(fd, &st) != 0 || !S_ISREG(st.st_mode)) {
        close(fd);
        *pReason = FailReason::Of(FailKind::NotRegular, NonRegularKind(path));
        return -1;
    }
    // Reads of a regular file never block; the flag only kept the open
    // from waiting on a FIFO.
    fcntl(fd, F_SETFL, fcntl(fd, F_GETFL) & ~O_NONBLOCK);
    return fd;
}

template <class Buffer>
bool ReadRegularFileInto(const std::string& path, Buffer* pContent, FailReason* pReason)
{
    FailReason ignored;
    FailReason& reason = pReason != nullptr ? *pReason : ignored;
    reason.Clear();
    pContent->clear();
    const int fd = OpenRegularForReading(path, &reason);
    if (fd < 0)
        return false;
    // Room for the whole file at once: growing the buffer as it fills would
    // copy what was read so far again and again, and hold two copies at the
    // moment of each growth. A file that grows while it is read still reads
    // whole; one that cannot be given its room is read as it comes.
    struct stat st { };
    if (fstat(fd, &st) == 0 && st.st_size > 0) {
        try {
            pContent->reserve(static_cast<size_t>(st.st_size));
        } catch (const std::exception&) {
        }
    }
    char buffer[65536];
    for (;;) {
        const ssize_t got = read(fd, buffer, sizeof(buffer));
        if (got == 0)
            break;
        if (got < 0) {
            if (errno == EINTR)
                continue;
            reason = ReasonFromErrno(errno, false);
            close(fd);
            pContent->clear();
            return false;
        }
        pContent->insert(pContent->end(), buffer, buffer + got);
    }
    close(fd);
    return true;
}

// Whether the temporary file name `entry` belongs to the target file name
// `base`: base + ".tmp-" + six characters of mkostemp.
bool IsTempOf(const std::string& entry, const std::string& base)
{
    const std::string prefix = base + ".tmp-";
    return entry.size() == prefix.size() + 6 && entry.compare(0, prefix.size(), prefix) == 0;
}

// Removes the temporary files of `target` that no save holds any more: a
// save in progress keeps its temporary file locked.
void RemoveStaleTemps(const std::string& target)
{
    const size_t slash = target.rfind('/');
    const std::string folder = slash == std::string::npos ? std::string(".") : FolderOf(target);
    const std::string base = slash == std::string::npos ? target : target.substr(slash + 1);
    DIR* dir = opendir(folder.c_str());
    if (dir == nullptr)
        return;
    std::vector<std::string> stale;
    while (const dirent* entry = readdir(dir)) {
        if (IsTempOf(entry->d_name, base))
            stale.push_back(folder + "/" + entry->d_name);
    }
    closedir(dir);
    for (const std::string& path : stale) {
        const int fd = open(path.c_str(), O_RDONLY | O_CLOEXEC | O_NONBLOCK | O_NOFOLLOW);
        if (fd < 0)
            continue;
        struct stat st { };
        if (fstat(fd, &st) == 0 && S_ISREG(st.st_mode) && flock(fd, LOCK_EX | LOCK_NB) == 0)
            unlink(path.c_str());
        close(fd);
    }
}

std::atomic<int> g_holdWaitMs{-1};

}  // namespace

bool ReadRegularFile(const std::string& path, std::vector<BYTE>* pContent, FailReason* pReason)
{
    return ReadRegularFileInto(path, pContent, pReason);
}

bool ReadRegularFile(const std::string& path, std::string* pContent, FailReason* pReason)
{
    return ReadRegularFileInto(path, pContent, pReason);
}

bool MayReplaceFile(const std::string& path, FailReason* pReason)
{
    struct stat st { };
    if (stat(path.c_str(), &st) != 0)
        return true;
    if ((st.st_mode & 0222) == 0 || access(path.c_str(), W_OK) != 0) {
        if (pReason != nullptr)
            *pReason = FailReason::Of(FailKind::ReadOnly);
        return false;
    }
    return true;
}

void IgnoreFileSizeSignal()
{
    static const bool s_bDone = [] {
        std::signal(SIGXFSZ, SIG_IGN);
        return true;
    }();
    (void)s_bDone;
}

void AtomicFile::SetFailAfterBytesForTest(long long nBytes)
{
    g_failAfterBytes = nBytes;
}

AtomicFile::AtomicFile() : m_fp(nullptr), m_written(0), m_failAfter(-1), m_failed(false) { }

AtomicFile::~AtomicFile()
{
    Abort();
}

bool AtomicFile::Open(const char* path)
{
    if (m_fp != nullptr)
        return false;
    m_failure.Clear();
    if (path == nullptr || path[0] == '\0' || path[std::strlen(path) - 1] == '/') {
        m_failure = FailReason::Of(FailKind::Missing);
        return false;
    }
    IgnoreFileSizeSignal();
    std::string target = path;
    // Replace what a symbolic link points at, not the link itself.
    struct stat linkStat { };
    if (lstat(target.c_str(), &linkStat) == 0 && S_ISLNK(linkStat.st_mode)) {
        char* real = realpath(target.c_str(), nullptr);
        if (real != nullptr) {
            target = real;
            std::free(real);
        }
    }
    // A file its owner made read-only is not replaced behind their back,
    // not even by the superuser.
    if (!MayReplaceFile(target, &m_failure))
        return false;
    const std::string kind = NonRegularKind(target);
    if (!kind.empty()) {
        m_failure = FailReason::Of(FailKind::NotRegular, kind);
        return false;
    }
    RemoveStaleTemps(target);
    std::string pattern = target + ".tmp-XXXXXX";
    std::vector<char> name(pattern.begin(), pattern.end());
    name.push_back('\0');
    const int fd = mkostemp(name.data(), O_CLOEXEC);
    if (fd < 0) {
        m_failure = ReasonFromErrno(errno, true);
        return false;
    }
    // Locked while it is written, so that another save of the same file
    // does not take it for the leftover of a killed one.
    flock(fd, LOCK_EX | LOCK_NB);
    std::FILE* fp = fdopen(fd, "wb");
    if (fp == nullptr) {
        m_failure = ReasonFromErrno(errno, true);
        close(fd);
        unlink(name.data());
        return false;
    }
    m_fp = fp;
    m_target = std::move(target);
    m_temp = name.data();
    m_written = 0;
    m_failAfter = g_failAfterBytes;
    m_failed = false;
    return true;
}

bool AtomicFile::Write(const void* data, size_t size)
{
    if (m_fp == nullptr || m_failed)
        return false;
    if (size == 0)
        return true;
    if (data == nullptr) {
        m_failed = true;
        return false;
    }
    size_t allowed = size;
    if (m_failAfter >= 0 && m_written + static_cast<long long>(size) > m_failAfter)
        allowed = static_cast<size_t>(m_failAfter - m_written);
    errno = 0;
    const size_t wrote = std::fwrite(data, 1, allowed, m_fp);
    m_written += static_cast<long long>(wrote);
    if (wrote != size) {
        m_failure = wrote != allowed ? ReasonFromErrno(errno, true) : FailReason::Of(FailKind::DiskFull);
        m_failed = true;
        return false;
    }
    return true;
}

bool AtomicFile::Commit(FileHold* pHold)
{
    if (m_fp == nullptr)
        return false;
    if (m_failed) {
        const FailReason failure = m_failure;
        Abort();
        m_failure = failure;
        return false;
    }
    std::FILE* fp = m_fp;
    m_fp = nullptr;
    const int fd = fileno(fp);
    errno = 0;
    bool ok = std::fflush(fp) == 0 && fsync(fd) == 0;
    if (!ok)
        m_failure = ReasonFromErrno(errno, true);

    // Keep the permissions of the file being replaced; a new file gets the
    // usual 0666 less the umask (mkostemp made it 0600).
    struct stat st { };
    mode_t mode = 0;
    if (stat(m_target.c_str(), &st) == 0) {
        mode = st.st_mode & 07777;
    } else {
        const mode_t mask = umask(0);
        umask(mask);
        mode = 0666 & ~mask;
    }
    if (ok && fchmod(fd, mode) != 0) {
        m_failure = ReasonFromErrno(errno, true);
        ok = false;
    }
    // The hold's lock on the new file: the writer's own lock on the
    // temporary file, kept by a duplicate of its descriptor beyond the
    // close, so the file is locked before the rename makes it the target.
    int holdFd = -1;
    if (ok && pHold != nullptr)
        holdFd = fcntl(fd, F_DUPFD_CLOEXEC, 0);
    if (std::fclose(fp) != 0 && ok) {
        m_failure = ReasonFromErrno(errno, true);
        ok = false;
    }
    if (ok && rename(m_temp.c_str(), m_target.c_str()) != 0) {
        m_failure = ReasonFromErrno(errno, true);
        ok = false;
    }
    if (!ok) {
        if (holdFd >= 0)
            close(holdFd);
        unlink(m_temp.c_str());
        m_temp.clear();
        if (!m_failure.IsSet())
            m_failure = FailReason::Of(FailKind::WriteFailed);
        return false;
    }
    m_temp.clear();
    if (holdFd >= 0)
        pHold->Adopt(holdFd, m_target);

    // Make the rename itself durable.
    const int dirFd = open(FolderOf(m_target).c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (dirFd >= 0) {
        fsync(dirFd);
        close(dirFd);
    }
    return true;
}

void AtomicFile::Abort()
{
    if (m_fp != nullptr) {
        std::fclose(m_fp);
        m_fp = nullptr;
    }
    if (!m_temp.empty()) {
        unlink(m_temp.c_str());
        m_temp.clear();
    }
    m_failed = false;
}

bool AtomicWriteFile(const char* path, const void* data, size_t size)
{
    AtomicFile file;
    return file.Open(path) && file.Write(data, size) && file.Commit();
}

FileLock::FileLock() : m_fd(-1) { }

FileLock::~FileLock()
{
    Unlock();
}

bool FileLock::Lock(const char* path)
{
    Unlock();
    if (path == nullptr || path[0] == '\0')
        return false;
    const int fd = open(path, O_RDONLY | O_CLOEXEC);
    if (fd < 0)
        return false;
    if (flock(fd, LOCK_EX | LOCK_NB) != 0) {
        close(fd);
        return false;
    }
    m_fd = fd;
    return true;
}

void FileLock::Unlock()
{
    if (m_fd >= 0) {
        flock(m_fd, LOCK_UN);
        close(m_fd);
        m_fd = -1;
    }
}

FileHold::FileHold() : m_fd(-1) { }

FileHold::~FileHold()
{
    Release();
}

int FileHold::GetWaitMs()
{
    int nMs = g_holdWaitMs;
    if (nMs < 0) {
        const char* pszValue = std::getenv("VARNWICK_LOCK_WAIT_MS");
        nMs = pszValue != nullptr && *pszValue != '\0' ? std::atoi(pszValue) : 5000;
        if (nMs < 0)
            nMs = 0;
    }
    return nMs;
}

void FileHold::SetWaitMs(int nMs)
{
    g_holdWaitMs = nMs;
}

namespace {

// The files this process holds, by identity: one program is one holder, so
// a second FileHold of the same file in this process shares the first one's
// lock instead of waiting for it (flock would set them against each other).
struct HeldFile {
    int nLockFd = -1;  // the descriptor that carries the flock
    int nHolders = 0;
};
std::mutex g_heldMutex;
std::map<std::pair<dev_t, ino_t>, HeldFile> g_heldFiles;

std::pair<dev_t, ino_t> FileKey(int fd)
{
    struct stat st { };
    if (fstat(fd, &st) != 0)
        return {0, 0};
    return {st.st_dev, st.st_ino};
}

// Registers fd as a holder of its file. With bLocked the caller has taken
// the flock on fd already. False when the file is not held in this process
// and fd is not locked.
bool JoinHeld(int fd, bool bLocked)
{
    std::lock_guard<std::mutex> lock(g_heldMutex);
    HeldFile& held = g_heldFiles[FileKey(fd)];
    if (held.nHolders == 0) {
        if (!bLocked) {
            g_heldFiles.erase(FileKey(fd));
            return false;
        }
        held.nLockFd = fd;
    }
    ++held.nHolders;
    return true;
}

// Drops fd's share; the last holder releases the lock. Closes fd unless it
// is the one that carries the lock and others still hold the file.
void LeaveHeld(int fd)
{
    std::lock_guard<std::mutex> lock(g_heldMutex);
    const auto key = FileKey(fd);
    auto it = g_heldFiles.find(key);
    if (it == g_heldFiles.end()) {
        close(fd);
        return;
    }
    HeldFile& held = it->second;
    if (--held.nHolders > 0) {
        if (held.nLockFd != fd)
            close(fd);
        return;  // the lock's descriptor stays open for the others
    }
    flock(held.nLockFd, LOCK_UN);
    if (held.nLockFd != fd)
        close(held.nLockFd);
    close(fd);
    g_heldFiles.erase(it);
}

}  // namespace

bool FileHold::Holds(const std::string& path) const
{
    if (m_fd < 0)
        return false;
    struct stat held { };
    struct stat now { };
    return fstat(m_fd, &held) == 0 && stat(path.c_str(), &now) == 0 && held.st_dev == now.st_dev &&
           held.st_ino == now.st_ino;
}

bool FileHold::Acquire(const std::string& path, FailReason* pReason)
{
    FailReason ignored;
    FailReason& reason = pReason != nullptr ? *pReason : ignored;
    reason.Clear();
    if (Holds(path)) {
        m_path = path;
        return true;
    }
    Release();
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(GetWaitMs());
    for (;;) {
        const int fd = OpenRegularForReading(path, &reason);
        if (fd < 0)
            return false;
        if (JoinHeld(fd, false)) {
            m_fd = fd;
            m_path = path;
            return true;
        }
        bool bLocked = false;
        while (!(bLocked = flock(fd, LOCK_EX | LOCK_NB) == 0) && errno == EWOULDBLOCK &&
               std::chrono::steady_clock::now() < deadline)
            std::this_thread::sleep_for(std::chrono::milliseconds(50));
        if (!bLocked) {
            reason = errno == EWOULDBLOCK ? FailReason::Of(FailKind::Locked) : ReasonFromErrno(errno, false);
            close(fd);
            return false;
        }
        // The other program may have replaced the file while we waited:
        // then the lock is on a file no longer there; start over.
        struct stat held { };
        struct stat now { };
        if (fstat(fd, &held) == 0 && stat(path.c_str(), &now) == 0 && held.st_dev == now.st_dev &&
            held.st_ino == now.st_ino) {
            JoinHeld(fd, true);
            m_fd = fd;
            m_path = path;
            return true;
        }
        close(fd);
        if (std::chrono::steady_clock::now() >= deadline) {
            reason = FailReason::Of(FailKind::Locked);
            return false;
        }
    }
}

void FileHold::Adopt(int fd, const std::string& path)
{
    Release();
    JoinHeld(fd, true);
    m_fd = fd;
    m_path = path;
}

void FileHold::Release()
{
    if (m_fd >= 0) {
        LeaveHeld(m_fd);
        m_fd = -1;
    }
    m_path.clear();
}
