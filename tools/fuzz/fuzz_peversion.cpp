// Fuzzes the version-resource reader of Windows executables with whole files,
// in memory and through the file calls: the two must agree, and a block they
// hand out must parse to a fixed file information with its signature.
#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

#include "platform/pefile/PeVersion.h"
#include "tools/fuzz/FuzzScratch.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    std::vector<uint8_t> block;
    const bool bFound = FindVersionBlock(data, size, &block);
    VS_FIXEDFILEINFO info{};
    if (bFound && ParseVersionBlock(block.data(), block.size(), &info))
        vwfuzz::Abort(info.dwSignature == VS_FFI_SIGNATURE);

    static const std::string path = vwfuzz::MakeScratchFolder("peversion") + "/Palm.exe";
    vwfuzz::WriteBytes(path, data, size);
    DWORD dwHandle = 1;
    const DWORD dwSize = GetFileVersionInfoSizeA(path.c_str(), &dwHandle);
    vwfuzz::Abort(dwHandle == 0);
    if (dwSize == 0)
        return 0;
    vwfuzz::Abort(bFound && dwSize == block.size());
    std::vector<uint8_t> copy(dwSize);
    vwfuzz::Abort(GetFileVersionInfoA(path.c_str(), 0, dwSize, copy.data()) != FALSE);
    void* pValue = nullptr;
    UINT uLen = 0;
    if (VerQueryValueA(copy.data(), "\\", &pValue, &uLen)) {
        vwfuzz::Abort(uLen == sizeof(VS_FIXEDFILEINFO));
        const auto* pInfo = static_cast<const uint8_t*>(pValue);
        vwfuzz::Abort(pInfo >= copy.data() && pInfo + uLen <= copy.data() + copy.size());
    }
    return 0;
}
