#include "common/palm/PmDesktop.h"

#include <algorithm>
#include <cctype>
#include <cstring>
#include <string>
#include <vector>

#include "common/misc/AppFolder.h"
#include "common/misc/FileVersion.h"
#include "common/palm/PmLibraries.h"
#include "platform/fsutil/FsUtil.h"
#include "platform/profile/PrivateProfile.h"
#include "platform/registry/Registry.h"
#include "platform/registry/WinePath.h"

namespace {

// Registry keys that name the Palm Desktop folder, per user first.
constexpr char kUserKey[] = "Software\\U.S. Robotics\\Pilot Desktop\\Core";
constexpr char kMachineKey[] = "Software\\PalmSource\\Desktop\\Core";

// Longest override read from the settings file; longer ones are refused.
constexpr size_t kMaxOverride = 32768;

// Closes a registry key when it goes out of scope.
class KeyHolder {
public:
    explicit KeyHolder(HKEY hKey) : m_hKey(hKey) { }
    ~KeyHolder()
    {
        if (m_hKey != nullptr)
            RegCloseKey(m_hKey);
    }
    KeyHolder(const KeyHolder&) = delete;
    KeyHolder& operator=(const KeyHolder&) = delete;
    HKEY Get() const { return m_hKey; }

private:
    HKEY m_hKey;
};

// Reads a string value; false when it is missing, not a string, or empty.
bool ReadString(HKEY hKey, const char* pszName, std::string& value)
{
    DWORD type = 0;
    DWORD size = 0;
    if (RegQueryValueExA(hKey, pszName, nullptr, &type, nullptr, &size) != ERROR_SUCCESS ||
        (type != REG_SZ && type != REG_EXPAND_SZ) || size == 0)
        return false;
    std::vector<BYTE> data(size);
    if (RegQueryValueExA(hKey, pszName, nullptr, &type, data.data(), &size) != ERROR_SUCCESS)
        return false;
    const char* text = reinterpret_cast<const char*>(data.data());
    value.assign(text, strnlen(text, size));
    return !value.empty();
}

// The drive and directory of a Windows program path, separator kept:
// C:\Palm\HotSync.exe gives C:\Palm\ .
std::string FolderOfProgram(const std::string& program)
{
    const size_t separator = program.find_last_of("\\/");
    if (separator != std::string::npos)
        return program.substr(0, separator + 1);
    if (program.size() >= 2 && program[1] == ':')
        return program.substr(0, 2);
    return std::string();
}

// "C:\..." or "c:/...": a Windows path, never a Linux one.
bool IsDrivePath(const std::string& path)
{
    return path.size() >= 3 && std::isalpha(static_cast<unsigned char>(path[0])) != 0 && path[1] == ':' &&
           (path[2] == '\\' || path[2] == '/');
}

// The folder the settings file names, "" when it names none.
bool ReadOverride(std::string& folder)
{
    char iniPath[MAX_PATH] = "";
    if (!GetIniFilePath(iniPath))
        return false;
    std::vector<char> value(kMaxOverride + 1, '\0');
    const DWORD length =
        GetPrivateProfileStringA("Path", "PDPath", "", value.data(), static_cast<DWORD>(value.size()), iniPath);
    folder.assign(value.data(), length);
    // A settings file carried over from Windows names the folder by drive
    // letter; the same folder under Wine is reached through the prefix.
    if (IsDrivePath(folder))
        folder = MapWindowsPath(folder);
    return !folder.empty();
}

// The folder the registry names, mapped to Linux; PD_FOLDER_OK or
// PD_FOLDER_NOT_FOUND.
LONG ReadRegistryFolder(std::string& folder)
{
    HKEY hKey = nullptr;
    if (RegOpenKeyExA(HKEY_CURRENT_USER, kUserKey, 0, KEY_READ, &hKey) != ERROR_SUCCESS &&
        RegOpenKeyExA(HKEY_LOCAL_MACHINE, kMachineKey, 0, KEY_READ, &hKey) != ERROR_SUCCESS)
        return PD_FOLDER_NOT_FOUND;
    KeyHolder key(hKey);

    std::string value;
    if (ReadString(key.Get(), "DesktopPath", value)) {
        folder = MapWindowsPath(value);
        if (!folder.empty())
            return PD_FOLDER_OK;
    }
    // A program path never exceeds MAX_PATH on Windows; a longer one is no path.
    if (!ReadString(key.Get(), "HotSyncPath", value) || value.size() >= MAX_PATH)
        return PD_FOLDER_NOT_FOUND;
    folder = MapWindowsPath(FolderOfProgram(value));
    return folder.empty() ? PD_FOLDER_NOT_FOUND : PD_FOLDER_OK;
}

std::string JoinPath(const std::string& folder, const char* name)
{
    if (!folder.empty() && folder.back() == '/')
        return folder + name;
    return folder + "/" + name;
}

}  // namespace

LONG GetDesktopFolder(char* pszFolder, UINT nSize)
{
    if (pszFolder == nullptr || nSize == 0)
        return PD_FOLDER_NO_BUFFER;
    pszFolder[0] = '\0';

    std::string folder;
    if (!ReadOverride(folder)) {
        const LONG result = ReadRegistryFolder(folder);
        if (result != PD_FOLDER_OK)
            return result;
    }
    // A folder cut to the buffer would name another folder: refuse it.
    if (folder.size() >= nSize)
        return PD_FOLDER_TOO_LONG;
    std::memcpy(pszFolder, folder.c_str(), folder.size() + 1);
    return PD_FOLDER_OK;
}

DWORD GetDesktopVersion()
{
    char folder[MAX_PATH] = "";
    if (GetDesktopFolder(folder, sizeof(folder)) != PD_FOLDER_OK)
        return PD_VERSION_UNKNOWN;
    const std::string program = ResolvePathCase(JoinPath(folder, "palm.exe"));
    int major = 0;
    int minor = 0;
    int release = 0;
    int build = 0;
    if (!GetFileVersion(program.c_str(), &major, &minor, &release, &build))
        return PD_VERSION_UNKNOWN;
    return static_cast<DWORD>(major) * 10000 + static_cast<DWORD>(minor) * 100 + static_cast<DWORD>(release);
}

bool GetUserFolder(DWORD dwUserID, char* pszFolder, int16_t nSize)
{
    if (pszFolder == nullptr || nSize < 1)
        return false;
    // The work buffers are MAX_PATH bytes, whatever size the caller has.
    char root[MAX_PATH] = "";
    int16_t rootSize = static_cast<int16_t>(std::min<int>(nSize, MAX_PATH));
    const LONG result = UmGetRootDirectory(root, &rootSize);
    if (result == 0 || result == PD_NOT_BOUND)
        return false;
    root[MAX_PATH - 1] = '\0';

    char directory[MAX_PATH] = "";
    int16_t directorySize = MAX_PATH;
    UmGetUserDirectory(dwUserID, directory, &directorySize);
    directory[MAX_PATH - 1] = '\0';
    // An unknown user gives no directory; the root alone is not their folder.
    if (root[0] == '\0' || directory[0] == '\0')
        return false;

    std::string folder = root;
    if (folder.back() != '/')
        folder += '/';
    folder += directory;
    folder += '/';
    if (folder.size() >= static_cast<size_t>(nSize))
        return false;
    std::memcpy(pszFolder, folder.c_str(), folder.size() + 1);
    return true;
}
