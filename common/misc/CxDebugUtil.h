// The diagnostic log: one formatted line per event appended to
// "appdebug.log" in $XDG_STATE_HOME/varnwick/ (~/.local/state/varnwick/ when
// XDG_STATE_HOME is unset or not an absolute path), never in whatever folder
// the program was started from; the environment variable VARNWICK_LOG, when
// set and not empty, names another file. The folder is created with the
// first entry.
//
// Each line reads
//   [yyyy/mm/dd hh:mm:ss][<source name, 20 wide>(<line, 4 wide>)][<thread, %05x>][<marker>] - <message>
// and ends with CR LF. The marker is "!!!" for level 0 (errors, always
// written) and three blanks for detail levels, which are written only when
// detail logging is on and the level is not above the configured one. The
// file is opened and closed for every entry; when it has grown beyond
// 10485760 bytes the next entry truncates it and becomes its first line.
// Every failure of the log is silent.
//
// The program has one instance, g_DebugUtil; every call reads
//   g_DebugUtil.Log(<level>, __FILE__, __LINE__, "<format>", args...);
#pragma once

#include <cstddef>
#include <mutex>
#include <string>

#include "platform/oletime/OleTime.h"
#include "platform/wintypes/WinTypes.h"

class CxDebugUtil {
public:
    // Size past which the next entry truncates the file (10 MiB).
    static constexpr int kMaxLogSize = 0xA00000;
    // Capacity of the formatted message, terminator included; a longer
    // message is cut to kMessageSize - 1 bytes.
    static constexpr size_t kMessageSize = 4096;

    CxDebugUtil();
    virtual ~CxDebugUtil();
    CxDebugUtil(const CxDebugUtil&) = delete;
    CxDebugUtil& operator=(const CxDebugUtil&) = delete;

    // Formats the message with printf rules and appends one entry, unless the
    // level is a detail level that is switched off (then nothing is
    // formatted at all).
    void Log(int nLevel, const char* pszSrcFile, int nLine, const char* pszFormat, ...)
        __attribute__((format(printf, 5, 6)));

    // Appends one entry for an already formatted message.
    void WriteEntry(int nLevel, const char* pszSrcFile, int nLine, const char* pszMessage);

    // Builds one line without its CR LF from explicit time and thread values.
    // The source name is the part of pszSrcFile after its last '/' or '\\',
    // or "<null>" when it has neither.
    static std::string FormatEntry(int nLevel, const char* pszSrcFile, int nLine, const SYSTEMTIME& time,
                                   DWORD dwThreadId, const char* pszMessage);

    // The program never calls these; tests use them to point the log at a
    // scratch folder (with its trailing '/'; null goes back to the default
    // place above) and to switch detail logging.
    void SetFolder(const char* pszFolder);
    void SetDetail(bool bEnabled, int nLevel);
    // The full path of the log file: the folder set with SetFolder followed
    // by the file name, else VARNWICK_LOG, else the file in the state folder.
    // "" when no home can be found.
    std::string GetLogPath() const;
    // Where the log goes without SetFolder, from the environment as it is now.
    static std::string DefaultLogPath();

protected:
    char m_szFileName[MAX_PATH];
    char m_szFolder[MAX_PATH];  // "" with m_bDefaultPlace: see DefaultLogPath
    bool m_bDefaultPlace;
    int m_nLevel;
    bool m_bEnabled;
    std::mutex m_cs;  // serialises WriteEntry, so entries never interleave
};

extern CxDebugUtil g_DebugUtil;
