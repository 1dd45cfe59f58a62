#include "common/palm/PmLibraries.h"

#include <string>

#include "common/palm/PmDesktop.h"
#include "platform/userdata/DesktopModule.h"
#include "platform/userdata/UserData.h"

namespace {

// The libraries in load order, with their mask bits.
struct DesktopLibrary {
    BYTE nBit;
    const char* pszFile;
};
constexpr DesktopLibrary kLibraries[] = {
    {PD_LIB_CONDMGR, "condmgr.dll"},
    {PD_LIB_USERDATA, "UserData.dll"},
    {PD_LIB_HSAPI, "HSAPI.DLL"},
    {PD_LIB_INSTAIDE, "instaide.dll"},
};
constexpr size_t kLibraryCount = sizeof(kLibraries) / sizeof(kLibraries[0]);

HMODULE g_hModules[kLibraryCount] = {};
BYTE g_nMissing = 0;  // SetMissingDesktopLibraries

// Entry points of the user library; null while unbound.
UmGetUserCountProc g_pfnUmGetUserCount = nullptr;
UmGetUserIDProc g_pfnUmGetUserID = nullptr;
UmGetUserNameProc g_pfnUmGetUserName = nullptr;
UmGetUserDirectoryProc g_pfnUmGetUserDirectory = nullptr;
UmGetRootDirectoryProc g_pfnUmGetRootDirectory = nullptr;

template <typename Proc>
void Bind(HMODULE hModule, const char* pszName, Proc& pfn)
{
    pfn = reinterpret_cast<Proc>(GetDesktopProcAddress(hModule, pszName));
}

void BindEntryPoints(size_t index)
{
    const HMODULE hModule = g_hModules[index];
    if (kLibraries[index].nBit == PD_LIB_USERDATA) {
        Bind(hModule, "UmGetUserCount", g_pfnUmGetUserCount);
        Bind(hModule, "UmGetUserID", g_pfnUmGetUserID);
        Bind(hModule, "UmGetUserName", g_pfnUmGetUserName);
        Bind(hModule, "UmGetUserDirectory", g_pfnUmGetUserDirectory);
        Bind(hModule, "UmGetRootDirectory", g_pfnUmGetRootDirectory);
    }
    // The other libraries export nothing the program calls.
}

void UnloadLibrary(size_t index)
{
    if (g_hModules[index] != nullptr) {
        FreeDesktopModule(g_hModules[index]);
        g_hModules[index] = nullptr;
    }
    // Binding a null module clears every entry point.
    BindEntryPoints(index);
}

bool LoadOne(size_t index)
{
    UnloadLibrary(index);
    if ((g_nMissing & kLibraries[index].nBit) != 0)
        return false;
    char folder[MAX_PATH] = "";
    if (GetDesktopFolder(folder, sizeof(folder)) != PD_FOLDER_OK)
        return false;
    std::string path = folder;
    if (path.empty() || path.back() != '/')
        path += '/';
    path += kLibraries[index].pszFile;
    g_hModules[index] = LoadDesktopModule(path.c_str());
    if (g_hModules[index] == nullptr)
        return false;
    BindEntryPoints(index);
    return true;
}

}  // namespace

bool LoadDesktopLibraries(BYTE nMask)
{
    for (size_t i = 0; i < kLibraryCount; ++i) {
        if ((nMask & kLibraries[i].nBit) != 0 && !LoadOne(i))
            return false;
    }
    return true;
}

void SetMissingDesktopLibraries(BYTE nMask)
{
    g_nMissing = nMask;
}

void UnloadDesktopLibraries(BYTE nMask)
{
    for (size_t i = 0; i < kLibraryCount; ++i) {
        if ((nMask & kLibraries[i].nBit) != 0)
            UnloadLibrary(i);
    }
}

bool IsDesktopLibraryLoaded(BYTE nBit)
{
    for (size_t i = 0; i < kLibraryCount; ++i) {
        if (kLibraries[i].nBit == nBit)
            return g_hModules[i] != nullptr;
    }
    return false;
}

int16_t UmGetUserCount()
{
    return g_pfnUmGetUserCount != nullptr ? g_pfnUmGetUserCount() : PD_NOT_BOUND;
}

LONG UmGetUserID(int16_t nIndex, DWORD* pdwUserID)
{
    return g_pfnUmGetUserID != nullptr ? g_pfnUmGetUserID(nIndex, pdwUserID) : PD_NOT_BOUND;
}

LONG UmGetUserName(DWORD dwUserID, char* pszName, int16_t* pnSize)
{
    return g_pfnUmGetUserName != nullptr ? g_pfnUmGetUserName(dwUserID, pszName, pnSize) : PD_NOT_BOUND;
}

LONG UmGetUserDirectory(DWORD dwUserID, char* pszDirectory, int16_t* pnSize)
{
    return g_pfnUmGetUserDirectory != nullptr ? g_pfnUmGetUserDirectory(dwUserID, pszDirectory, pnSize) : PD_NOT_BOUND;
}

LONG UmGetRootDirectory(char* pszDirectory, int16_t* pnSize)
{
    return g_pfnUmGetRootDirectory != nullptr ? g_pfnUmGetRootDirectory(pszDirectory, pnSize) : PD_NOT_BOUND;
}
