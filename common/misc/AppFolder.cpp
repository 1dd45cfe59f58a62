#include "common/misc/AppFolder.h"

#include <pwd.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <mutex>
#include <string>

#include "platform/fsutil/FsUtil.h"

namespace {

constexpr const char kIniFileName[] = "corvane.ini";

std::mutex g_overrideMutex;
std::string g_override;
bool g_hasOverride = false;

// Copies `value` into a MAX_PATH buffer; false (and "") when it does not fit.
bool CopyPath(char* pszPath, const std::string& value)
{
    if (value.size() >= static_cast<size_t>(MAX_PATH)) {
        pszPath[0] = '\0';
        return false;
    }
    std::memcpy(pszPath, value.c_str(), value.size() + 1);
    return true;
}

std::string HomeFolder()
{
    const char* home = std::getenv("HOME");
    if (home != nullptr && home[0] != '\0')
        return home;
    if (const passwd* entry = getpwuid(getuid()); entry != nullptr && entry->pw_dir != nullptr)
        return entry->pw_dir;
    return {};
}

// mkdir -p for the folder part of a path, mode 0700 as for per-user config.
bool MakeFolders(const std::string& folder)
{
    for (size_t slash = folder.find('/', 1); ; slash = folder.find('/', slash + 1)) {
        const std::string part = slash == std::string::npos ? folder : folder.substr(0, slash);
        if (!part.empty() && mkdir(part.c_str(), 0700) != 0 && errno != EEXIST)
            return false;
        if (slash == std::string::npos)
            break;
    }
    struct stat st {};
    return stat(folder.c_str(), &st) == 0 && S_ISDIR(st.st_mode);
}

} // namespace

bool GetAppFolder(HMODULE hModule, char* pszFolder)
{
    if (pszFolder == nullptr)
        return false;
    pszFolder[0] = '\0';
    char path[4096];
    const DWORD length = GetModuleFileNameA(hModule, path, sizeof(path));
    if (length == 0 || length >= sizeof(path))
        return false;
    std::string folder(path, length);
    const size_t slash = folder.rfind('/');
    if (slash == std::string::npos)
        return false;
    folder.resize(slash + 1);
    return CopyPath(pszFolder, folder);
}

bool GetIniFilePathIn(const char* pszAppFolder, char* pszPath, bool bForWriting)
{
    if (pszPath == nullptr)
        return false;
    pszPath[0] = '\0';
    {
        std::lock_guard<std::mutex> guard(g_overrideMutex);
        if (g_hasOverride)
            return CopyPath(pszPath, g_override);
    }
    const char* fromEnv = std::getenv("VARNWICK_INI");
    if (fromEnv != nullptr && fromEnv[0] != '\0')
        return CopyPath(pszPath, fromEnv);

    if (pszAppFolder != nullptr && pszAppFolder[0] != '\0') {
        const std::string folder = pszAppFolder;
        const std::string beside = folder + kIniFileName;
        // An installed program (its data in ../share/varnwick) keeps its
        // settings with the user even where root could write /usr/bin.
        const bool bInstalled = access((folder + "../share/varnwick").c_str(), F_OK) == 0;
        if (access(beside.c_str(), F_OK) == 0 || (!bInstalled && access(folder.c_str(), W_OK) == 0))
            return CopyPath(pszPath, beside);
    }

    std::string configHome;
    const char* xdg = std::getenv("XDG_CONFIG_HOME");
    if (xdg != nullptr && xdg[0] == '/') {
        configHome = xdg;
    } else {
        const std::string home = HomeFolder();
        if (home.empty())
            return false;
        configHome = home + "/.config";
    }
    const std::string folder = configHome + "/varnwick";
    if (bForWriting)
        MakeFolders(folder);
    return CopyPath(pszPath, folder + "/" + kIniFileName);
}

bool GetIniFilePath(char* pszPath, bool bForWriting)
{
    char folder[MAX_PATH];
    if (!GetAppFolder(nullptr, folder))
        folder[0] = '\0';
    return GetIniFilePathIn(folder, pszPath, bForWriting);
}

void SetIniFilePathOverride(const char* pszPath)
{
    std::lock_guard<std::mutex> guard(g_overrideMutex);
    g_hasOverride = pszPath != nullptr;
    g_override = pszPath != nullptr ? pszPath : "";
}
