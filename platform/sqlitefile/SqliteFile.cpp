#include "platform/sqlitefile/SqliteFile.h"

#include <sqlite3.h>
#include <sys/stat.h>

#include <cerrno>
#include <cstring>

#include "platform/fsutil/FsUtil.h"

namespace {

// Every SQLite database file starts with these 16 bytes.
constexpr char kSqliteMagic[16] = {'S', 'Q', 'L', 'i', 't', 'e', ' ', 'f', 'o', 'r', 'm', 'a', 't', ' ', '3', '\0'};

}  // namespace

bool HasSqliteMagic(const std::string& head)
{
    return head.size() >= sizeof(kSqliteMagic) && std::memcmp(head.data(), kSqliteMagic, sizeof(kSqliteMagic)) == 0;
}

bool IsClosedLogFile(const std::string& path)
{
    const std::string head = ReadFileHead(path, kSqliteHeaderSize);
    if (head.size() < kSqliteHeaderSize)
        return false;
    if (head[18] != 2 || head[19] != 2)
        return false;
    struct stat st { };
    return stat((path + "-wal").c_str(), &st) != 0;
}

std::string FileUri(const std::string& path)
{
    static const char kHex[] = "0123456789ABCDEF";
    std::string uri = "file:";
    for (unsigned char c : path) {
        if ((c >= '0' && c <= '9') || (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z') || c == '/' || c == '-' ||
            c == '_' || c == '.' || c == '~') {
            uri += static_cast<char>(c);
        } else {
            uri += '%';
            uri += kHex[c >> 4];
            uri += kHex[c & 15];
        }
    }
    return uri;
}

FailReason ReasonFromSqlite(int nResult, const std::string& path, bool bWriting, int nSystemErrno)
{
    if ((nResult & 0xFF) == SQLITE_IOERR) {
        const int nErrno = nSystemErrno != 0 ? nSystemErrno : errno;
        if (nErrno == ENOSPC || nErrno == EFBIG || nErrno == EDQUOT)
            return ReasonFromErrno(nErrno, bWriting);
    }
    switch (nResult & 0xFF) {
    case SQLITE_BUSY:
    case SQLITE_LOCKED:
        return FailReason::Of(FailKind::Locked);
    case SQLITE_FULL:
        return FailReason::Of(FailKind::DiskFull);
    case SQLITE_READONLY:
        return FailReason::Of(FailKind::ReadOnly);
    case SQLITE_PERM:
    case SQLITE_AUTH:
        return FailReason::Of(bWriting ? FailKind::ReadOnly : FailKind::Unreadable, "permission denied");
    case SQLITE_CORRUPT:
        return FailReason::Of(FailKind::Damaged);
    case SQLITE_NOTADB:
        return FailReason::Of(FailKind::WrongKind, DescribeContent(path));
    case SQLITE_CANTOPEN:
        if (bWriting && !MayReplaceFile(path))
            return FailReason::Of(FailKind::ReadOnly);
        [[fallthrough]];
    default:
        return FailReason::Of(bWriting ? FailKind::WriteFailed : FailKind::Unreadable, sqlite3_errstr(nResult));
    }
}
