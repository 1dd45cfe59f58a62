// vw-bench: shared pieces of the benchmark driver and its cases.
//
// The driver (bench_main.cpp) runs every case in a fresh process of this
// program, so each case's peak memory (getrusage ru_maxrss) is its own. A
// case prints its figures on standard output as lines
//   R <name> <value> [<cpu value>]
// which the driver collects over several runs and prints as medians.
#pragma once

#include <time.h>

#include <chrono>
#include <string>

namespace bench {

// The three Palm generations, by the name used on the command line.
enum class Generation { Classic, Extended, Desktop6 };
bool ParseGeneration(const std::string& name, Generation* pGen);
const char* GenerationName(Generation gen);
// The Palm data file's name inside a case folder.
const char* PalmFileName(Generation gen);

// Wall-clock and process CPU seconds since construction (or Restart). On a
// shared machine the CPU time is the steadier figure; wall minus CPU is
// mostly waiting for the disk.
class Timer {
public:
    Timer() { Restart(); }
    void Restart()
    {
        m_wallStart = std::chrono::steady_clock::now();
        m_dCpuStart = CpuNow();
    }
    double Wall() const
    {
        return std::chrono::duration<double>(std::chrono::steady_clock::now() - m_wallStart).count();
    }
    double Cpu() const { return CpuNow() - m_dCpuStart; }

private:
    static double CpuNow()
    {
        timespec ts{};
        clock_gettime(CLOCK_PROCESS_CPUTIME_ID, &ts);
        return static_cast<double>(ts.tv_sec) + static_cast<double>(ts.tv_nsec) * 1e-9;
    }
    std::chrono::steady_clock::time_point m_wallStart;
    double m_dCpuStart = 0.0;
};

// Result lines of a case.
void Report(const char* pszName, double dValue);
void ReportTime(const char* pszName, const Timer& timer);
void ReportTime(const char* pszName, double dWall, double dCpu);
// The process's peak resident size so far, as result "peak_mb".
void ReportPeakMemory();

// Copies a file; false on any failure.
bool CopyFile(const std::string& from, const std::string& to);
// Writes a settings file naming the two sides, and makes the program read
// it (SetIniFilePathOverride).
bool UseSettings(const std::string& iniPath, const std::string& palmPath, const std::string& bookPath);

// Writes the two sides of one size into folder: the Palm data file
// (PalmFileName) with nContacts generated contacts, and book.wab, made from
// the loaded Palm contacts so that every state occurs: of every five listed
// Palm contacts, two are stored as they are (same), two with another title
// (modified) and one not at all (new on the Palm side); then one address-book
// contact of its own per five (new on the book side). A second book
// (kBookOfNewOnly) is the same without the changed titles: against it the
// sides differ mainly by the fifth that is new on each side. False with a
// message on standard error on failure.
bool GenerateSides(Generation gen, int nContacts, const std::string& folder);
constexpr const char kBookOfNewOnly[] = "book-new.wab";

// The cases; each copies the generated sides from dataFolder into a work
// folder of its own first, prints its results and answers the exit status.
//   "load"  the Palm reader alone, LoadPalmList, LoadOutlookList and
//           RefreshStates, with the row and state counts
//   "p2o", "o2p", "sync"
//           the same loads, then the transfer end to end through the
//           engine's StartTransfer, saves and reloads included
//   "syncnew" Synchronize against the second book, where the sides differ
//           mainly by the contacts new on each side
//   "gui"   the window's two lists over the loaded rows, drawn offscreen,
//           and the whole main window started on the same files
int RunCase(const std::string& kind, Generation gen, int nContacts, const std::string& dataFolder);
// The "gui" case; answers 3 when the window is not part of this build.
int RunGuiCase(Generation gen, int nContacts, const std::string& workFolder);

}  // namespace bench
