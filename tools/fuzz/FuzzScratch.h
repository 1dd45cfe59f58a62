// A scratch folder for fuzz targets that must hand their input to a reader
// as a file: vw-fuzz-<name>-XXXXXX in memory where possible, removed at exit.
#pragma once

#include <stdlib.h>

#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <string>
#include <system_error>

namespace vwfuzz {

inline void Abort(bool bCondition)
{
    if (!bCondition)
        std::abort();
}

inline std::string& ScratchFolder()
{
    static std::string s_dir;
    return s_dir;
}

inline void RemoveScratchFolder()
{
    std::error_code ec;
    std::filesystem::remove_all(ScratchFolder(), ec);
}

// The folder, made on the first call.
inline const std::string& MakeScratchFolder(const char* pszName)
{
    static const std::string dir = [pszName] {
        std::string strTemplate = std::string("/dev/shm/vw-fuzz-") + pszName + "-XXXXXX";
        std::string strFallback = std::string("/tmp/vw-fuzz-") + pszName + "-XXXXXX";
        const char* pszDir = mkdtemp(strTemplate.data());
        if (pszDir == nullptr)
            pszDir = mkdtemp(strFallback.data());
        Abort(pszDir != nullptr);
        ScratchFolder() = pszDir;
        std::atexit(RemoveScratchFolder);
        return std::string(pszDir);
    }();
    return dir;
}

// Writes the bytes to path, replacing what was there.
inline void WriteBytes(const std::string& path, const uint8_t* data, size_t size)
{
    std::FILE* fp = std::fopen(path.c_str(), "wb");
    Abort(fp != nullptr);
    Abort(size == 0 || std::fwrite(data, 1, size, fp) == size);
    Abort(std::fclose(fp) == 0);
}

}  // namespace vwfuzz
