// Why an operation on one of the user's files failed, as a small value that
// every layer can keep and hand upwards: the readers, the Palm facade, the
// Desktop 6 accessor and the address-book connection each keep the reason
// of their last failure, and one function (FailureText) turns it into the
// text the engine, the window and the command line all show.
#pragma once

#include <cstdint>
#include <string>

enum class FailKind {
    None,         // no failure
    Missing,      // nothing at the path
    NotRegular,   // a folder, a FIFO, a device...; strDetail says which
    WrongKind,    // a regular file, but not this kind of file; strDetail says what it is
    Damaged,      // this kind of file, but its content cannot be read; nOffset where
    Locked,       // another program holds the file
    ReadOnly,     // the file (or its folder) may not be written
    DiskFull,     // no room left: a full disk, a quota, a file-size limit
    PathTooLong,  // the path does not fit where it must be kept; never cut
    Unreadable,   // the system refused the read; strDetail says why
    WriteFailed,  // the system refused the write; strDetail says why
};

struct FailReason {
    FailKind eKind = FailKind::None;
    std::string strDetail;  // extra words for the kinds above that take them
    int64_t nOffset = -1;   // Damaged: the byte offset where reading stopped, -1 unknown

    bool IsSet() const { return eKind != FailKind::None; }
    void Clear() { *this = FailReason(); }

    static FailReason Of(FailKind eKind, std::string strDetail = {}, int64_t nOffset = -1)
    {
        FailReason reason;
        reason.eKind = eKind;
        reason.strDetail = std::move(strDetail);
        reason.nOffset = nOffset;
        return reason;
    }
};

// The reason text alone, lower case, no full stop: "the file does not exist",
// "it is a folder, not a file", "it is damaged (at byte 1234)", "it is in use
// by another program", "the disk is full"... Empty for FailKind::None.
std::string FailReasonText(const FailReason& reason);

// The one sentence shown for a failed side: pszWhat (e.g. "cannot read the
// Palm Desktop data file"), the path in double quotes when given, then the
// reason after a colon, e.g.
//   cannot read the Palm Desktop data file "/home/me/address.dat": it is in use by another program
// Paths and texts are shown as the bytes they are.
std::string FailureText(const char* pszWhat, const std::string& path, const FailReason& reason);

// The reason for an errno value from a read (bWriting false) or a write.
FailReason ReasonFromErrno(int nErrno, bool bWriting);

// What kind of thing is at a path that is not a regular file: "a folder",
// "a named pipe (FIFO)", "a device", "a socket", "a symbolic link that
// leads nowhere"; empty for a regular file or when nothing is there.
std::string NonRegularKind(const std::string& path);

// Looks at a path before it is read: Missing, NotRegular (with its kind)
// or PathTooLong (nMaxLength bytes or more, when nMaxLength > 0); a reason
// with FailKind::None when a regular file is there.
FailReason CheckInputPath(const std::string& path, size_t nMaxLength = 0);

// What a regular file holds, from its first bytes, for a reason of kind
// WrongKind: "an empty file", "a Jet database (Microsoft Access)", "a
// Windows address book (.wab)", "a SQLite database", "a text file";
// "unknown data" when none of these. Never blocks (a FIFO is not read).
std::string DescribeContent(const std::string& path);

// The first nCount bytes (fewer when the file is shorter) of a regular file,
// read without blocking; empty for anything else.
std::string ReadFileHead(const std::string& path, size_t nCount);

// Whether the first bytes are those of a genuine Jet database file
// ("Standard Jet DB" or "Standard ACE DB" at offset 4).
bool IsJetDatabase(const std::string& path);
// Whether the first bytes are those of a genuine Windows address book.
bool IsWindowsWab(const std::string& path);
