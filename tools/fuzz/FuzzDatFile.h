// The whole-file round trip the address.dat fuzz targets share, for any
// reader with LoadFile, SaveFile and m_pDataMgr (PmAddrUtil, PmAddrExUtil).
//
// Each input is written to a scratch file and loaded. Whatever the bytes, the
// load must end cleanly. A file that loads must also save, load again, and
// save again to the very same bytes: the first save may normalise the file,
// but what it writes must read back to the same content. Any breach aborts,
// which libFuzzer reports as a crash with the input that caused it.
#pragma once

#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

#include "tools/fuzz/FuzzScratch.h"

namespace vwfuzz {

inline void Check(bool bCondition)
{
    if (!bCondition)
        std::abort();
}

inline std::vector<uint8_t> ReadAll(const std::string& path)
{
    std::ifstream in(path, std::ios::binary);
    return std::vector<uint8_t>(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

// The address.dat path of the program's scratch folder (the settings file
// absent: SwapName 0), made on the first call, removed at exit.
inline const std::string& ScratchFile(const char* pszName)
{
    static const std::string path = MakeProgramScratchFolder(pszName) + "/address.dat";
    return path;
}

// One fuzz input through Util; pszName names the scratch folder.
template <class Util>
int RoundTripDatFile(const char* pszName, const uint8_t* data, size_t size)
{
    const std::string& path = ScratchFile(pszName);
    WriteBytes(path, data, size);

    Util util;
    if (!util.LoadFile(path.c_str())) {
        Check(!util.SaveFile(path.c_str()));
        return 0;
    }
    Check(util.SaveFile(path.c_str()));
    const std::vector<uint8_t> first = ReadAll(path);

    Util again;
    Check(again.LoadFile(path.c_str()));
    Check(again.m_pDataMgr->Count() == util.m_pDataMgr->Count());
    Check(again.SaveFile(path.c_str()));
    Check(ReadAll(path) == first);
    return 0;
}

}  // namespace vwfuzz
