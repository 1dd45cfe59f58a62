#include "common/misc/FileVersion.h"

#include <cstring>
#include <vector>

#include "platform/pefile/PeVersion.h"

bool GetFileVersion(const char* pszPath, int* pnMajor, int* pnMinor, int* pnRelease, int* pnBuild)
{
    int* outputs[] = {pnMajor, pnMinor, pnRelease, pnBuild};
    for (int* output : outputs) {
        if (output != nullptr)
            *output = 0;
    }
    if (pszPath == nullptr || pszPath[0] == '\0')
        return false;
    DWORD handle = 0;
    const DWORD size = GetFileVersionInfoSizeA(pszPath, &handle);
    if (size == 0)
        return false;
    std::vector<unsigned char> block(size);
    if (!GetFileVersionInfoA(pszPath, handle, size, block.data()))
        return false;
    void* value = nullptr;
    UINT valueSize = 0;
    if (!VerQueryValueA(block.data(), "\\", &value, &valueSize) || value == nullptr ||
        valueSize < sizeof(VS_FIXEDFILEINFO))
        return false;
    VS_FIXEDFILEINFO info{};
    std::memcpy(&info, value, sizeof(info));
    const int values[] = {static_cast<int>(info.dwFileVersionMS >> 16), static_cast<int>(info.dwFileVersionMS & 0xFFFF),
                          static_cast<int>(info.dwFileVersionLS >> 16),
                          static_cast<int>(info.dwFileVersionLS & 0xFFFF)};
    for (int i = 0; i < 4; ++i) {
        if (outputs[i] != nullptr)
            *outputs[i] = values[i];
    }
    return true;
}
