#include "platform/registry/Registry.h"

#include <cstring>
#include <map>
#include <string>

#include "platform/registry/WinePath.h"
#include "platform/registry/WineRegFile.h"

// An open key: which file it lives in, its path there, and its values as the
// file held them when the key was opened.
struct RegKeyData {
    bool bRoot = false;
    bool bMachine = false;  // system.reg (HKEY_LOCAL_MACHINE) rather than user.reg
    std::string path;       // lower-case, single backslashes, "" for the root
    std::map<std::string, WineRegValue> values;
};

namespace {

RegKeyData g_currentUser{true, false, "", {}};
RegKeyData g_localMachine{true, true, "", {}};

// Joins and tidies key paths: no empty components, lower case.
std::string JoinKeyPath(const std::string& base, const char* sub)
{
    std::string joined = base;
    const std::string folded = RegFoldCase(sub != nullptr ? sub : "");
    size_t start = 0;
    while (start <= folded.size()) {
        size_t end = folded.find('\\', start);
        if (end == std::string::npos)
            end = folded.size();
        if (end > start) {
            if (!joined.empty())
                joined += '\\';
            joined.append(folded, start, end - start);
        }
        start = end + 1;
    }
    return joined;
}

std::string HiveFile(bool bMachine)
{
    const std::string prefix = GetWinePrefix();
    if (prefix.empty())
        return std::string();
    return prefix + (bMachine ? "/system.reg" : "/user.reg");
}

// The paths to try for a key, best first. A 64-bit prefix keeps the
// machine-wide keys of 32-bit programs below Software\Wow6432Node.
std::vector<std::string> CandidatePaths(bool bMachine, const std::string& path)
{
    static const std::string kSoftware = "software\\";
    static const std::string kRedirected = "software\\wow6432node";
    std::vector<std::string> paths;
    if (bMachine && path.compare(0, kSoftware.size(), kSoftware) == 0 &&
        path.compare(0, kRedirected.size(), kRedirected) != 0)
        paths.push_back("software\\wow6432node\\" + path.substr(kSoftware.size()));
    paths.push_back(path);
    return paths;
}

// Delivers a value in the A form: strings as UTF-8 with a terminator.
std::string ValueBytes(const WineRegValue& value)
{
    if (value.dwType != REG_SZ && value.dwType != REG_EXPAND_SZ && value.dwType != REG_MULTI_SZ)
        return std::string(value.data.begin(), value.data.end());
    std::u16string wide;
    for (size_t i = 0; i + 1 < value.data.size(); i += 2)
        wide.push_back(static_cast<char16_t>(value.data[i] | (value.data[i + 1] << 8)));
    std::string text = RegUtf16ToUtf8(wide);
    if (text.empty() || text.back() != '\0')
        text.push_back('\0');
    if (value.dwType == REG_MULTI_SZ && (text.size() < 2 || text[text.size() - 2] != '\0'))
        text.push_back('\0');
    return text;
}

}  // namespace

const HKEY HKEY_CURRENT_USER = &g_currentUser;
const HKEY HKEY_LOCAL_MACHINE = &g_localMachine;

LSTATUS RegOpenKeyExA(HKEY hKey, LPCSTR lpSubKey, DWORD /*ulOptions*/, REGSAM /*samDesired*/, PHKEY phkResult)
{
    if (phkResult == nullptr)
        return ERROR_INVALID_PARAMETER;
    *phkResult = nullptr;
    if (hKey == nullptr)
        return ERROR_INVALID_HANDLE;

    const std::string file = HiveFile(hKey->bMachine);
    if (file.empty())
        return ERROR_FILE_NOT_FOUND;
    const std::vector<std::string> paths = CandidatePaths(hKey->bMachine, JoinKeyPath(hKey->path, lpSubKey));
    std::vector<WineRegKey> found = ReadWineRegKeys(file, paths);
    for (size_t i = 0; i < found.size(); ++i) {
        if (!found[i].bExists)
            continue;
        RegKeyData* key = new RegKeyData;
        key->bMachine = hKey->bMachine;
        key->path = paths[i];
        key->values = std::move(found[i].values);
        *phkResult = key;
        return ERROR_SUCCESS;
    }
    return ERROR_FILE_NOT_FOUND;
}

LSTATUS RegQueryValueExA(HKEY hKey, LPCSTR lpValueName, DWORD* lpReserved, DWORD* lpType, BYTE* lpData, DWORD* lpcbData)
{
    if (hKey == nullptr)
        return ERROR_INVALID_HANDLE;
    if (lpReserved != nullptr || (lpData != nullptr && lpcbData == nullptr))
        return ERROR_INVALID_PARAMETER;
    const auto it = hKey->values.find(RegFoldCase(lpValueName != nullptr ? lpValueName : ""));
    if (it == hKey->values.end())
        return ERROR_FILE_NOT_FOUND;

    const std::string bytes = ValueBytes(it->second);
    if (lpType != nullptr)
        *lpType = it->second.dwType;
    const DWORD needed = static_cast<DWORD>(bytes.size());
    if (lpData == nullptr) {
        if (lpcbData != nullptr)
            *lpcbData = needed;
        return ERROR_SUCCESS;
    }
    if (*lpcbData < needed) {
        *lpcbData = needed;
        return ERROR_MORE_DATA;
    }
    if (needed > 0)
        std::memcpy(lpData, bytes.data(), needed);
    *lpcbData = needed;
    return ERROR_SUCCESS;
}

LSTATUS RegCloseKey(HKEY hKey)
{
    if (hKey == nullptr)
        return ERROR_INVALID_HANDLE;
    if (!hKey->bRoot)
        delete hKey;
    return ERROR_SUCCESS;
}
