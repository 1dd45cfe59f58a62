#include "platform/userdata/DesktopModule.h"

#include <strings.h>
#include <sys/stat.h>

#include <cstring>
#include <string>

#include "platform/fsutil/FsUtil.h"
#include "platform/userdata/UserData.h"

namespace {

struct DesktopModuleData {
    bool bUserData = false;
    UserTable table;
};

bool IsUserDataFile(const std::string& fileName)
{
    return strcasecmp(fileName.c_str(), "UserData.dll") == 0;
}

template <typename Proc>
DesktopProc AsProc(Proc proc)
{
    return reinterpret_cast<DesktopProc>(proc);
}

struct Export {
    const char* name;
    DesktopProc proc;
};

const Export kUserDataExports[] = {
    {"UmGetUserCount", AsProc(&userdata::UmGetUserCount)},
    {"UmGetUserID", AsProc(&userdata::UmGetUserID)},
    {"UmGetUserName", AsProc(&userdata::UmGetUserName)},
    {"UmGetUserDirectory", AsProc(&userdata::UmGetUserDirectory)},
    {"UmGetRootDirectory", AsProc(&userdata::UmGetRootDirectory)},
};

}  // namespace

HMODULE LoadDesktopModule(const char* pszPath)
{
    if (pszPath == nullptr || pszPath[0] == '\0')
        return nullptr;
    const std::string path = ResolvePathCase(pszPath);
    const size_t slash = path.rfind('/');
    struct stat info { };
    if (stat(path.c_str(), &info) == 0) {
        if (!S_ISREG(info.st_mode))
            return nullptr;
    } else {
        // No file: the stand-in needs none, only the folder it answers for.
        const std::string folder = slash == std::string::npos ? "." : path.substr(0, slash + 1);
        if (stat(folder.c_str(), &info) != 0 || !S_ISDIR(info.st_mode))
            return nullptr;
    }

    auto* module = new DesktopModuleData;
    const std::string fileName = slash == std::string::npos ? path : path.substr(slash + 1);
    if (IsUserDataFile(fileName)) {
        module->bUserData = true;
        module->table.rootDirectory = slash == std::string::npos ? "./" : path.substr(0, slash + 1);
        module->table.users = ScanHotSyncUsers(module->table.rootDirectory);
        SetActiveUserTable(&module->table);
    }
    return module;
}

DesktopProc GetDesktopProcAddress(HMODULE hModule, const char* pszName)
{
    if (hModule == nullptr || pszName == nullptr)
        return nullptr;
    const auto* module = static_cast<const DesktopModuleData*>(hModule);
    if (!module->bUserData)
        return nullptr;
    for (const Export& entry : kUserDataExports) {
        if (std::strcmp(entry.name, pszName) == 0)
            return entry.proc;
    }
    return nullptr;
}

BOOL FreeDesktopModule(HMODULE hModule)
{
    if (hModule == nullptr)
        return FALSE;
    auto* module = static_cast<DesktopModuleData*>(hModule);
    if (GetActiveUserTable() == &module->table)
        SetActiveUserTable(nullptr);
    delete module;
    return TRUE;
}
