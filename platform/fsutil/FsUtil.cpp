#include "platform/fsutil/FsUtil.h"

#include <dirent.h>
#include <fcntl.h>
#include <strings.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

#include <atomic>
#include <cerrno>
#include <cstdlib>
#include <cstring>
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

namespace {

bool PathExists(const std::string& path)
{
    struct stat st {};
    return lstat(path.c_str(), &st) == 0;
}

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
        if (strcasecmp(entry->d_name, name.c_str()) == 0 &&
            (best.empty() || std::strcmp(entry->d_name, best.c_str()) < 0))
            best = entry->d_name;
    }
    closedir(dir);
    return best;
}

} // namespace

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

} // namespace

void AtomicFile::SetFailAfterBytesForTest(long long nBytes)
{
    g_failAfterBytes = nBytes;
}

AtomicFile::AtomicFile() : m_fp(nullptr), m_written(0), m_failAfter(-1), m_failed(false) {}

AtomicFile::~AtomicFile()
{
    Abort();
}

bool AtomicFile::Open(const char* path)
{
    if (m_fp != nullptr || path == nullptr || path[0] == '\0')
        return false;
    std::string target = path;
    if (target.back() == '/')
        return false;
    // Replace what a symbolic link points at, not the link itself.
    struct stat linkStat {};
    if (lstat(target.c_str(), &linkStat) == 0 && S_ISLNK(linkStat.st_mode)) {
        char* real = realpath(target.c_str(), nullptr);
        if (real != nullptr) {
            target = real;
            std::free(real);
        }
    }
    // A file its owner made read-only is not replaced behind their back.
    if (access(target.c_str(), F_OK) == 0 && access(target.c_str(), W_OK) != 0)
        return false;
    std::string pattern = target + ".tmp-XXXXXX";
    std::vector<char> name(pattern.begin(), pattern.end());
    name.push_back('\0');
    const int fd = mkostemp(name.data(), O_CLOEXEC);
    if (fd < 0)
        return false;
    std::FILE* fp = fdopen(fd, "wb");
    if (fp == nullptr) {
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
    const size_t wrote = std::fwrite(data, 1, allowed, m_fp);
    m_written += static_cast<long long>(wrote);
    if (wrote != size) {
        m_failed = true;
        return false;
    }
    return true;
}

bool AtomicFile::Commit()
{
    if (m_fp == nullptr)
        return false;
    if (m_failed) {
        Abort();
        return false;
    }
    std::FILE* fp = m_fp;
    m_fp = nullptr;
    const int fd = fileno(fp);
    bool ok = std::fflush(fp) == 0 && fsync(fd) == 0;

    // Keep the permissions of the file being replaced; a new file gets the
    // usual 0666 less the umask (mkostemp made it 0600).
    struct stat st {};
    mode_t mode = 0;
    if (stat(m_target.c_str(), &st) == 0) {
        mode = st.st_mode & 07777;
    } else {
        const mode_t mask = umask(0);
        umask(mask);
        mode = 0666 & ~mask;
    }
    if (ok && fchmod(fd, mode) != 0)
        ok = false;
    if (std::fclose(fp) != 0)
        ok = false;
    if (ok && rename(m_temp.c_str(), m_target.c_str()) != 0)
        ok = false;
    if (!ok) {
        unlink(m_temp.c_str());
        m_temp.clear();
        return false;
    }
    m_temp.clear();

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

FileLock::FileLock() : m_fd(-1) {}

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
