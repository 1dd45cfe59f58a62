#include "platform/fsutil/FailReason.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>

std::string FailReasonText(const FailReason& reason)
{
    switch (reason.eKind) {
    case FailKind::None:
        return {};
    case FailKind::Missing:
        return reason.strDetail.empty() ? std::string("the file does not exist") : reason.strDetail;
    case FailKind::NotRegular:
        return "it is " + (reason.strDetail.empty() ? std::string("not a regular file") : reason.strDetail) +
               ", not a file";
    case FailKind::WrongKind:
        return reason.strDetail.empty() ? std::string("it is not this kind of file") : "it is " + reason.strDetail;
    case FailKind::Damaged: {
        std::string text = "it is damaged";
        if (!reason.strDetail.empty())
            text += " (" + reason.strDetail + ")";
        if (reason.nOffset >= 0)
            text += " at byte " + std::to_string(reason.nOffset);
        return text;
    }
    case FailKind::Locked:
        return "it is in use by another program";
    case FailKind::ReadOnly:
        return reason.strDetail.empty() ? std::string("it is read-only") : "it is read-only (" + reason.strDetail + ")";
    case FailKind::DiskFull:
        return reason.strDetail.empty() ? std::string("the disk is full")
                                        : "the disk is full (" + reason.strDetail + ")";
    case FailKind::PathTooLong:
        return "the path is too long" + (reason.strDetail.empty() ? std::string() : " (" + reason.strDetail + ")");
    case FailKind::Unreadable:
        return "it cannot be read" + (reason.strDetail.empty() ? std::string() : " (" + reason.strDetail + ")");
    case FailKind::WriteFailed:
        return "it cannot be written" + (reason.strDetail.empty() ? std::string() : " (" + reason.strDetail + ")");
    }
    return {};
}

std::string FailureText(const char* pszWhat, const std::string& path, const FailReason& reason)
{
    std::string text = pszWhat != nullptr ? pszWhat : "";
    if (!path.empty())
        text += " \"" + path + "\"";
    const std::string strReason = FailReasonText(reason);
    if (!strReason.empty())
        text += ": " + strReason;
    return text;
}

FailReason ReasonFromErrno(int nErrno, bool bWriting)
{
    switch (nErrno) {
    case 0:
        return FailReason::Of(bWriting ? FailKind::WriteFailed : FailKind::Unreadable);
    case ENOENT:
        return FailReason::Of(FailKind::Missing);
    case ENOSPC:
        return FailReason::Of(FailKind::DiskFull);
    case EDQUOT:
        return FailReason::Of(FailKind::DiskFull, "quota exceeded");
    case EFBIG:
        return FailReason::Of(FailKind::DiskFull, "file-size limit reached");
    case EROFS:
        return FailReason::Of(FailKind::ReadOnly, "read-only file system");
    case EACCES:
    case EPERM:
        return bWriting ? FailReason::Of(FailKind::ReadOnly, "permission denied")
                        : FailReason::Of(FailKind::Unreadable, "permission denied");
    case ENAMETOOLONG:
        return FailReason::Of(FailKind::PathTooLong);
    case EISDIR:
        return FailReason::Of(FailKind::NotRegular, "a folder");
    case EWOULDBLOCK:
        return FailReason::Of(FailKind::Locked);
    default:
        return FailReason::Of(bWriting ? FailKind::WriteFailed : FailKind::Unreadable, std::strerror(nErrno));
    }
}

std::string NonRegularKind(const std::string& path)
{
    struct stat st { };
    if (::stat(path.c_str(), &st) != 0) {
        struct stat linkStat { };
        if (::lstat(path.c_str(), &linkStat) == 0 && S_ISLNK(linkStat.st_mode))
            return "a symbolic link that leads nowhere";
        return {};
    }
    if (S_ISREG(st.st_mode))
        return {};
    if (S_ISDIR(st.st_mode))
        return "a folder";
    if (S_ISFIFO(st.st_mode))
        return "a named pipe (FIFO)";
    if (S_ISCHR(st.st_mode) || S_ISBLK(st.st_mode))
        return "a device";
    if (S_ISSOCK(st.st_mode))
        return "a socket";
    return "not a regular file";
}

FailReason CheckInputPath(const std::string& path, size_t nMaxLength)
{
    if (path.empty())
        return FailReason::Of(FailKind::Missing);
    if (nMaxLength > 0 && path.size() >= nMaxLength)
        return FailReason::Of(FailKind::PathTooLong,
                              std::to_string(path.size()) + " bytes, at most " + std::to_string(nMaxLength - 1));
    struct stat st { };
    if (::stat(path.c_str(), &st) != 0) {
        const int nErrno = errno;
        const std::string kind = NonRegularKind(path);
        if (!kind.empty())
            return FailReason::Of(FailKind::NotRegular, kind);
        if (nErrno == ENOENT || nErrno == ENOTDIR) {
            const size_t nSlash = path.find_last_of('/');
            struct stat folder { };
            if (nSlash != std::string::npos && nSlash > 0 &&
                (::stat(path.substr(0, nSlash).c_str(), &folder) != 0 || !S_ISDIR(folder.st_mode)))
                return FailReason::Of(FailKind::Missing, "its folder does not exist");
            return FailReason::Of(FailKind::Missing);
        }
        return ReasonFromErrno(nErrno, false);
    }
    if (!S_ISREG(st.st_mode))
        return FailReason::Of(FailKind::NotRegular, NonRegularKind(path));
    return {};
}

namespace {

}  // namespace

std::string ReadFileHead(const std::string& path, size_t nCount)
{
    const int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC | O_NONBLOCK | O_NOCTTY);
    if (fd < 0)
        return {};
    std::string head;
    struct stat st { };
    if (::fstat(fd, &st) == 0 && S_ISREG(st.st_mode)) {
        head.resize(nCount);
        size_t nGot = 0;
        while (nGot < nCount) {
            const ssize_t n = ::read(fd, head.data() + nGot, nCount - nGot);
            if (n < 0 && errno == EINTR)
                continue;
            if (n <= 0)
                break;
            nGot += static_cast<size_t>(n);
        }
        head.resize(nGot);
    }
    ::close(fd);
    return head;
}

namespace {

// A Windows address book starts with this identifier.
constexpr unsigned char kWindowsWabMagic[16] = {0x9C, 0xCB, 0xCB, 0x8D, 0x13, 0x75, 0xD2, 0x11,
                                                0x91, 0x58, 0x00, 0xC0, 0x4F, 0x79, 0x56, 0xA4};

bool HeadIsJet(const std::string& head)
{
    return head.size() >= 19 &&
           (head.compare(4, 15, "Standard Jet DB") == 0 || head.compare(4, 15, "Standard ACE DB") == 0);
}

bool HeadIsWindowsWab(const std::string& head)
{
    return head.size() >= sizeof(kWindowsWabMagic) &&
           std::memcmp(head.data(), kWindowsWabMagic, sizeof(kWindowsWabMagic)) == 0;
}

}  // namespace

bool IsJetDatabase(const std::string& path)
{
    return HeadIsJet(ReadFileHead(path, 32));
}

bool IsWindowsWab(const std::string& path)
{
    return HeadIsWindowsWab(ReadFileHead(path, 32));
}

std::string DescribeContent(const std::string& path)
{
    struct stat st { };
    if (::stat(path.c_str(), &st) == 0 && S_ISREG(st.st_mode) && st.st_size == 0)
        return "an empty file";
    const std::string head = ReadFileHead(path, 512);
    if (head.empty())
        return "an empty file";
    if (HeadIsJet(head))
        return "a Jet database (Microsoft Access)";
    if (HeadIsWindowsWab(head))
        return "a Windows address book (.wab)";
    if (head.compare(0, 16, std::string("SQLite format 3\0", 16)) == 0)
        return "a SQLite database";
    bool bText = true;
    for (unsigned char c : head) {
        if (c < 0x09 || (c > 0x0D && c < 0x20) || c == 0x7F) {
            bText = false;
            break;
        }
    }
    return bText ? "a text file" : "unknown data";
}
