#include "platform/wab/WabLoader.h"

#include <strings.h>

#include <algorithm>
#include <cstring>
#include <string>

namespace {

// The module handles: the address of one of these stands for the library.
struct Module {
    LPWABOPEN lpfnWABOpen;
};
Module s_realModule = {&WABOpen};
Module s_testModule = {nullptr};

bool s_bTestActive = false;
WabLibraryForTest s_testLibrary = {false, nullptr};

std::string s_dllPath;
int s_nLoaded = 0;

// The last component of a path with either separator.
const char* BaseName(const char* pszPath)
{
    const char* pszBase = pszPath;
    for (const char* p = pszPath; *p != '\0'; ++p) {
        if (*p == '/' || *p == '\\')
            pszBase = p + 1;
    }
    return pszBase;
}

}  // namespace

bool WabQueryDllPath(char* pszPath, DWORD cbPath)
{
    if (pszPath != nullptr && cbPath > 0)
        pszPath[0] = '\0';
    if (s_dllPath.empty() || pszPath == nullptr || cbPath == 0)
        return false;
    const size_t nCopy = std::min<size_t>(s_dllPath.size(), cbPath - 1);
    std::memcpy(pszPath, s_dllPath.data(), nCopy);
    pszPath[nCopy] = '\0';
    return true;
}

void WabSetDllPath(const char* pszPath)
{
    s_dllPath = pszPath != nullptr ? pszPath : "";
}

HMODULE WabLoadLibrary(const char* pszPathOrName)
{
    if (pszPathOrName == nullptr || strcasecmp(BaseName(pszPathOrName), WAB_DLL_NAME) != 0)
        return nullptr;
    Module* pModule = &s_realModule;
    if (s_bTestActive) {
        if (!s_testLibrary.bPresent)
            return nullptr;
        s_testModule.lpfnWABOpen = s_testLibrary.lpfnWABOpen;
        pModule = &s_testModule;
    }
    ++s_nLoaded;
    return pModule;
}

void* WabGetProcAddress(HMODULE hModule, const char* pszName)
{
    if (hModule == nullptr || pszName == nullptr || std::strcmp(pszName, "WABOpen") != 0)
        return nullptr;
    if (hModule != &s_realModule && hModule != &s_testModule)
        return nullptr;
    return reinterpret_cast<void*>(static_cast<Module*>(hModule)->lpfnWABOpen);
}

bool WabFreeLibrary(HMODULE hModule)
{
    if (hModule != &s_realModule && hModule != &s_testModule)
        return false;
    if (s_nLoaded > 0)
        --s_nLoaded;
    return true;
}

void SetWabLibraryForTest(const WabLibraryForTest* pLibrary)
{
    s_bTestActive = pLibrary != nullptr;
    s_testLibrary = pLibrary != nullptr ? *pLibrary : WabLibraryForTest{false, nullptr};
}

int WabLoadedModuleCount()
{
    return s_nLoaded;
}
