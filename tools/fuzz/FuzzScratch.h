// A scratch folder for fuzz targets that must hand their input to a reader
// as a file: vw-fuzz-<name>-XXXXXX in memory where possible, removed at exit.
#pragma once

#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <string>

#include "common/misc/AppFolder.h"
#include "common/misc/CxDebugUtil.h"
#include "platform/fsutil/FsUtil.h"
#include "platform/fsutil/ScratchFolder.h"

namespace vwfuzz {

inline void Abort(bool bCondition)
{
    if (!bCondition)
        std::abort();
}

// The folder, made on the first call; removed at exit.
inline const std::string& MakeScratchFolder(const char* pszName)
{
    static const ScratchFolder s_folder((std::string("vw-fuzz-") + pszName).c_str(), ScratchFolder::Place::Memory);
    Abort(s_folder.IsValid());
    return s_folder.Path();
}

// The scratch folder of a target that runs the program's own code, with the
// settings file pointed into it (absent: the defaults) and the diagnostic
// log with it.
inline const std::string& MakeProgramScratchFolder(const char* pszName)
{
    static const std::string dir = [pszName] {
        const std::string& folder = MakeScratchFolder(pszName);
        SetIniFilePathOverride((folder + "/corvane.ini").c_str());
        g_DebugUtil.SetFolder((folder + "/").c_str());
        return folder;
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

// Writes one input as the database file pszName of the program's scratch
// folder pszFolder (FileHold waits no time there), after removing what an
// earlier input left: the file and its journal, write-ahead log and shared
// memory. Returns the file's path.
inline std::string WriteDatabaseInput(const char* pszFolder, const char* pszName, const uint8_t* data, size_t size)
{
    static const std::string dir = [pszFolder] {
        FileHold::SetWaitMs(0);
        return MakeProgramScratchFolder(pszFolder);
    }();
    const std::string path = dir + "/" + pszName;
    for (const char* pszSuffix : {"", "-wal", "-shm", "-journal"})
        std::remove((path + pszSuffix).c_str());
    WriteBytes(path, data, size);
    return path;
}

}  // namespace vwfuzz
