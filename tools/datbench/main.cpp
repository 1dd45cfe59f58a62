// vw-datbench: load and save throughput (MB/s, records/s) and peak memory of
// the classic and extended address.dat readers, over files of 1 000, 10 000
// and 50 000 records written by datgen.
//
// Each case runs in a fresh process (this program started again with
// --case), and each file is written by another (--generate), while the
// parent stays small: a process's peak resident size (getrusage ru_maxrss)
// survives exec, so the figure then belongs to that case alone: the loads
// and saves of one reader, plus the program itself.
#include <spawn.h>
#include <stdlib.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <cstdio>
#include <cstring>
#include <string>
#include <vector>

#include "common/palm/PmAddrExUtil.h"
#include "common/palm/PmAddrUtil.h"
#include "platform/fsutil/ScratchFolder.h"
#include "tools/datgen/DatGen.h"

extern char** environ;

namespace {

using Clock = std::chrono::steady_clock;

double Seconds(Clock::time_point since)
{
    return std::chrono::duration<double>(Clock::now() - since).count();
}

long PeakKiB()
{
    rusage usage{};
    getrusage(RUSAGE_SELF, &usage);
    return usage.ru_maxrss;
}

long long FileSize(const std::string& path)
{
    struct stat st { };
    return stat(path.c_str(), &st) == 0 ? static_cast<long long>(st.st_size) : -1;
}

// Times repeated calls of fn until at least minSeconds have passed (and at
// least twice); answers seconds per call, or -1 when a call failed.
template <class Fn>
double TimePerCall(Fn fn, double minSeconds)
{
    int nCalls = 0;
    const auto start = Clock::now();
    do {
        if (!fn())
            return -1;
        ++nCalls;
    } while (nCalls < 2 || Seconds(start) < minSeconds);
    return Seconds(start) / nCalls;
}

// One case, in this process: loads and saves the file with the reader of
// its generation and prints one result line.
template <class Reader>
int RunCase(const char* pszFormat, const std::string& path, int nRecords)
{
    Reader reader;
    reader.SwapName = false;
    const double dLoad = TimePerCall([&] { return reader.LoadFile(path.c_str()); }, 1.0);
    const int nLoaded = reader.m_pDataMgr != nullptr ? reader.m_pDataMgr->Count() : -1;
    const double dSave = TimePerCall([&] { return reader.SaveFile(path.c_str()); }, 1.0);
    if (dLoad < 0 || dSave < 0 || nLoaded != nRecords) {
        std::fprintf(stderr, "vw-datbench: %s %d records: load or save failed\n", pszFormat, nRecords);
        return 1;
    }
    const double dMB = static_cast<double>(FileSize(path)) / (1024.0 * 1024.0);
    std::printf("%-9s %8d %9.2f %11.1f %12.0f %11.1f %12.0f %9.1f\n", pszFormat, nRecords, dMB, dMB / dLoad,
                nRecords / dLoad, dMB / dSave, nRecords / dSave, PeakKiB() / 1024.0);
    std::fflush(stdout);
    return 0;
}

// Writes the file of one case (in a process of its own, so the memory the
// generator takes is not counted in any case's peak).
int Generate(const char* pszFormat, const std::string& path, int nRecords)
{
    datgen::DatDescription desc;
    desc.format = std::strcmp(pszFormat, "classic") == 0 ? datgen::DatFormat::Classic : datgen::DatFormat::Extended;
    datgen::AddRandomRecords(desc, nRecords, 2024);
    desc.strStoredFileName = path;
    return datgen::WriteBytesToFile(path, datgen::BuildFile(desc)) ? 0 : 1;
}

int Spawn(const std::vector<std::string>& args)
{
    std::vector<char*> argv;
    for (const std::string& a : args)
        argv.push_back(const_cast<char*>(a.c_str()));
    argv.push_back(nullptr);
    pid_t pid = 0;
    if (posix_spawn(&pid, "/proc/self/exe", nullptr, nullptr, argv.data(), environ) != 0)
        return -1;
    int status = 0;
    if (waitpid(pid, &status, 0) != pid || !WIFEXITED(status))
        return -1;
    return WEXITSTATUS(status);
}

}  // namespace

int main(int argc, char** argv)
{
    if (argc == 5 && std::strcmp(argv[1], "--generate") == 0)
        return Generate(argv[2], argv[3], std::atoi(argv[4]));
    if (argc == 5 && std::strcmp(argv[1], "--case") == 0) {
        const int nRecords = std::atoi(argv[4]);
        if (std::strcmp(argv[2], "classic") == 0)
            return RunCase<PmAddrUtil>("classic", argv[3], nRecords);
        return RunCase<PmAddrExUtil>("extended", argv[3], nRecords);
    }

    std::vector<int> sizes = {1000, 10000, 50000};
    if (argc > 1) {
        sizes.clear();
        for (int i = 1; i < argc; ++i)
            sizes.push_back(std::atoi(argv[i]));
    }

    ScratchFolder scratch("vw-datbench");
    if (!scratch.IsValid()) {
        std::perror("vw-datbench: cannot make a scratch folder");
        return 1;
    }
    const std::string dir = scratch.Path();
    // The log of failed loads goes to the current folder; keep it out of the way.
    if (chdir(dir.c_str()) != 0)
        return 1;

    std::printf("Palm address.dat load and save (each figure: repeated for at least 1 s)\n");
    std::printf("%-9s %8s %9s %11s %12s %11s %12s %9s\n", "format", "records", "file MB", "load MB/s", "load rec/s",
                "save MB/s", "save rec/s", "peak MB");
    int nFailures = 0;
    for (const char* pszFormat : {"classic", "extended"}) {
        for (int nRecords : sizes) {
            const std::string path = dir + "/" + pszFormat + "-" + std::to_string(nRecords) + ".dat";
            std::fflush(stdout);
            if (Spawn({argv[0], "--generate", pszFormat, path, std::to_string(nRecords)}) != 0) {
                std::fprintf(stderr, "vw-datbench: cannot write %s\n", path.c_str());
                ++nFailures;
                continue;
            }
            if (Spawn({argv[0], "--case", pszFormat, path, std::to_string(nRecords)}) != 0)
                ++nFailures;
            unlink(path.c_str());
        }
    }
    if (chdir("/") != 0 || !scratch.Remove())
        ++nFailures;
    return nFailures == 0 ? 0 : 1;
}
