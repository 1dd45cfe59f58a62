// The whole-file round trip the address.dat fuzz targets share, for any
// reader with LoadFile, SaveFile and m_pDataMgr (PmAddrUtil, PmAddrExUtil).
//
// Each input is written to a scratch file and loaded. Whatever the bytes, the
// load must end cleanly. A file that loads must also save, load again, and
// save again to the very same bytes: the first save may normalise the file,
// but what it writes must read back to the same content. Any breach aborts,
// which libFuzzer reports as a crash with the input that caused it.
#pragma once

#include <stdlib.h>

#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>
#include <system_error>
#include <vector>

#include "common/misc/AppFolder.h"
#include "common/misc/CxDebugUtil.h"

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

inline std::string& ScratchDir()
{
    static std::string s_dir;
    return s_dir;
}

inline void RemoveScratchDir()
{
    std::error_code ec;
    std::filesystem::remove_all(ScratchDir(), ec);
}

// The address.dat path of a scratch folder vw-fuzz-<name>-XXXXXX, made on
// the first call: in memory where possible (saves fsync every file they
// write), with the settings file pointed into it (absent: SwapName 0) and the
// diagnostic log with it. Removed at exit.
inline const std::string& ScratchFile(const char* pszName)
{
    static const std::string path = [pszName] {
        std::string strTemplate = std::string("/dev/shm/vw-fuzz-") + pszName + "-XXXXXX";
        std::string strFallback = std::string("/tmp/vw-fuzz-") + pszName + "-XXXXXX";
        const char* pszDir = mkdtemp(strTemplate.data());
        if (pszDir == nullptr)
            pszDir = mkdtemp(strFallback.data());
        Check(pszDir != nullptr);
        const std::string dir = pszDir;
        ScratchDir() = dir;
        std::atexit(RemoveScratchDir);
        SetIniFilePathOverride((dir + "/corvane.ini").c_str());
        g_DebugUtil.SetFolder((dir + "/").c_str());
        return dir + "/address.dat";
    }();
    return path;
}

// One fuzz input through Util; pszName names the scratch folder.
template <class Util>
int RoundTripDatFile(const char* pszName, const uint8_t* data, size_t size)
{
    const std::string& path = ScratchFile(pszName);
    {
        std::FILE* fp = std::fopen(path.c_str(), "wb");
        Check(fp != nullptr);
        Check(size == 0 || std::fwrite(data, 1, size, fp) == size);
        Check(std::fclose(fp) == 0);
    }

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
