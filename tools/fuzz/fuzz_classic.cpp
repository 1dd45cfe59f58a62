// Fuzzes the classic address.dat reader (PmAddrUtil) with whole files.
//
// Each input is written to a scratch file and loaded. Whatever the bytes, the
// load must end cleanly. A file that loads must also save, load again, and
// save again to the very same bytes: the first save may normalise the file,
// but what it writes must read back to the same content.
#include <unistd.h>

#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

#include "common/misc/AppFolder.h"
#include "common/misc/CxDebugUtil.h"
#include "common/palm/PmAddrUtil.h"

namespace {

void Check(bool bCondition)
{
    if (!bCondition)
        std::abort();
}

std::vector<uint8_t> ReadAll(const std::string& path)
{
    std::ifstream in(path, std::ios::binary);
    return std::vector<uint8_t>(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

std::string g_scratchDir;

void RemoveScratchDir()
{
    std::error_code ec;
    std::filesystem::remove_all(g_scratchDir, ec);
}

// A scratch folder in memory where possible (saves fsync every file they
// write), the settings file pointed into it (absent: SwapName 0) and the
// diagnostic log with it. Removed at exit.
const std::string& ScratchFile()
{
    static const std::string path = [] {
        char szTemplate[] = "/dev/shm/vw-fuzz-classic-XXXXXX";
        char szFallback[] = "/tmp/vw-fuzz-classic-XXXXXX";
        const char* pszDir = mkdtemp(szTemplate);
        if (pszDir == nullptr)
            pszDir = mkdtemp(szFallback);
        Check(pszDir != nullptr);
        const std::string dir = pszDir;
        g_scratchDir = dir;
        std::atexit(RemoveScratchDir);
        SetIniFilePathOverride((dir + "/corvane.ini").c_str());
        g_DebugUtil.SetFolder((dir + "/").c_str());
        return dir + "/address.dat";
    }();
    return path;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    const std::string& path = ScratchFile();
    {
        std::FILE* fp = std::fopen(path.c_str(), "wb");
        Check(fp != nullptr);
        Check(size == 0 || std::fwrite(data, 1, size, fp) == size);
        Check(std::fclose(fp) == 0);
    }

    PmAddrUtil util;
    if (!util.LoadFile(path.c_str())) {
        Check(!util.SaveFile(path.c_str()));
        return 0;
    }
    Check(util.SaveFile(path.c_str()));
    const std::vector<uint8_t> first = ReadAll(path);

    PmAddrUtil again;
    Check(again.LoadFile(path.c_str()));
    Check(again.m_pDataMgr->Count() == util.m_pDataMgr->Count());
    Check(again.SaveFile(path.c_str()));
    Check(ReadAll(path) == first);
    return 0;
}
