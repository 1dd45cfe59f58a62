#include "common/misc/CxDebugUtil.h"

#include <cstdarg>
#include <cstdio>
#include <cstdlib>
#include <cstring>

#include "common/misc/CxFile.h"
#include "platform/fsutil/FsUtil.h"

CxDebugUtil g_DebugUtil;

namespace {

// Copies at most dstSize - 1 characters and always terminates.
void CopyBounded(char* dst, size_t dstSize, const char* src)
{
    const size_t length = strnlen(src, dstSize - 1);
    std::memcpy(dst, src, length);
    dst[length] = '\0';
}

const char* SourceName(const char* pszSrcFile)
{
    if (pszSrcFile == nullptr)
        return "<null>";
    const char* name = nullptr;
    for (const char* p = pszSrcFile; *p != '\0'; ++p) {
        if (*p == '/' || *p == '\\')
            name = p + 1;
    }
    return name != nullptr ? name : "<null>";
}

}  // namespace

CxDebugUtil::CxDebugUtil() : m_bDefaultPlace(true), m_nLevel(0), m_bEnabled(false)
{
    CopyBounded(m_szFileName, sizeof(m_szFileName), "appdebug.log");
    m_szFolder[0] = '\0';
}

std::string CxDebugUtil::DefaultLogPath()
{
    const std::string named = EnvironmentValue("VARNWICK_LOG");
    if (!named.empty())
        return named;
    const std::string state = XdgFolder("XDG_STATE_HOME", ".local/state");
    if (state.empty())
        return {};
    return state + "/varnwick/appdebug.log";
}

CxDebugUtil::~CxDebugUtil() = default;

void CxDebugUtil::Log(int nLevel, const char* pszSrcFile, int nLine, const char* pszFormat, ...)
{
    if (nLevel != 0 && (!m_bEnabled || nLevel > m_nLevel))
        return;
    char message[kMessageSize];
    message[0] = '\0';
    if (pszFormat != nullptr) {
        va_list args;
        va_start(args, pszFormat);
        // vsnprintf cuts a message that does not fit and always terminates.
        std::vsnprintf(message, sizeof(message), pszFormat, args);
        va_end(args);
    }
    WriteEntry(nLevel, pszSrcFile, nLine, message);
}

std::string CxDebugUtil::FormatEntry(int nLevel, const char* pszSrcFile, int nLine, const SYSTEMTIME& time,
                                     DWORD dwThreadId, const char* pszMessage)
{
    const char* marker = nLevel == 0 ? "!!!" : "   ";
    const char* name = SourceName(pszSrcFile);
    const char* message = pszMessage != nullptr ? pszMessage : "";
    static constexpr const char kFormat[] = "[%04d/%02d/%02d %02d:%02d:%02d][%-20s(%-4d)][%05x][%s] - %s";
    const int length = std::snprintf(nullptr, 0, kFormat, time.wYear, time.wMonth, time.wDay, time.wHour, time.wMinute,
                                     time.wSecond, name, nLine, dwThreadId, marker, message);
    if (length <= 0)
        return {};
    std::string line(static_cast<size_t>(length) + 1, '\0');
    std::snprintf(line.data(), line.size(), kFormat, time.wYear, time.wMonth, time.wDay, time.wHour, time.wMinute,
                  time.wSecond, name, nLine, dwThreadId, marker, message);
    line.resize(static_cast<size_t>(length));
    return line;
}

void CxDebugUtil::WriteEntry(int nLevel, const char* pszSrcFile, int nLine, const char* pszMessage)
{
    std::lock_guard<std::mutex> guard(m_cs);
    SYSTEMTIME now{};
    GetLocalTime(&now);
    const std::string line = FormatEntry(nLevel, pszSrcFile, nLine, now, GetCurrentThreadId(), pszMessage);

    const std::string path = m_bDefaultPlace ? DefaultLogPath() : std::string(m_szFolder) + m_szFileName;
    if (path.empty())
        return;
    if (m_bDefaultPlace) {
        // The state folder may not exist yet on a fresh account.
        const size_t nSlash = path.rfind('/');
        if (nSlash != std::string::npos && nSlash > 0)
            MakeFolders(path.substr(0, nSlash), 0777);
    }
    CxFile file;
    const char* mode = CxFile::GetFileLength(path.c_str()) > kMaxLogSize ? "wb" : "ab";
    if (file.Open(path.c_str(), mode)) {
        file.WriteLine(line.c_str());
        file.Close();
    }
}

void CxDebugUtil::SetFolder(const char* pszFolder)
{
    std::lock_guard<std::mutex> guard(m_cs);
    m_bDefaultPlace = pszFolder == nullptr;
    CopyBounded(m_szFolder, sizeof(m_szFolder), pszFolder != nullptr ? pszFolder : "");
}

void CxDebugUtil::SetDetail(bool bEnabled, int nLevel)
{
    m_bEnabled = bEnabled;
    m_nLevel = nLevel;
}

std::string CxDebugUtil::GetLogPath() const
{
    return m_bDefaultPlace ? DefaultLogPath() : std::string(m_szFolder) + m_szFileName;
}
