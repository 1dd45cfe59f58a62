#include "common/misc/AppFolder.h"

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

}  // namespace

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
    const std::string fromEnv = EnvironmentValue("VARNWICK_INI");
    if (!fromEnv.empty())
        return CopyPath(pszPath, fromEnv);

    if (pszAppFolder != nullptr && pszAppFolder[0] != '\0') {
        const std::string folder = pszAppFolder;
        const std::string beside = folder + kIniFileName;
        // An installed program (its data in ../share/varnwick) keeps its
        // settings with the user even where root could write /usr/bin.
        const bool bInstalled = IsFolder(folder + "../share/varnwick");
        if (IsRegularFile(beside) || (!bInstalled && IsWritable(folder)))
            return CopyPath(pszPath, beside);
    }

    const std::string configHome = XdgFolder("XDG_CONFIG_HOME", ".config");
    if (configHome.empty())
        return false;
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
