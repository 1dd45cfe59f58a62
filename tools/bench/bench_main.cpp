// vw-bench: speed and memory of the program at address-book sizes of 1 000,
// 10 000 and 50 000 contacts, for each Palm generation (classic and extended
// address.dat, Desktop 6 address.mdb).
//
//   vw-bench [--sizes 1000,10000,50000] [--runs 5,3,3]
//            [--gens classic,extended,desktop6] [--cases load,p2o,o2p,sync,syncnew,gui]
//
// For each generation and size it generates both sides once (the Palm data
// file and an address book overlapping it, so that rows of every state
// occur), then runs each case several times (--runs gives the count per
// size), every run in a fresh process on fresh copies of the two files, and
// prints the medians as a table: wall-clock seconds and, in brackets, CPU
// seconds of the process. The cases go through the transfer engine the
// window and the command line use; transfers run end to end, saves and the
// reloads after them included. Peak memory is the largest resident size any
// case of that size reached.
//
// Internal: --generate GEN N FOLDER and --case KIND GEN N FOLDER run one step
// in this process (the driver starts itself for each).
#include <limits.h>
#include <stdlib.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cstdarg>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <map>
#include <sstream>
#include <string>
#include <vector>

#include "platform/fsutil/FsUtil.h"
#include "platform/fsutil/ScratchFolder.h"
#include "tools/bench/Bench.h"

namespace {

using bench::Generation;

struct Sample {
    double dWall = 0.0;
    double dCpu = -1.0;  // -1: a plain value, not a time
};

// Every sample of every result name, over all runs of one size.
using Results = std::map<std::string, std::vector<Sample>>;

std::vector<std::string> Split(const std::string& text)
{
    std::vector<std::string> parts;
    std::stringstream stream(text);
    std::string part;
    while (std::getline(stream, part, ','))
        if (!part.empty())
            parts.push_back(part);
    return parts;
}

std::string SelfPath()
{
    char szPath[PATH_MAX] = {};
    const ssize_t nLength = readlink("/proc/self/exe", szPath, sizeof szPath - 1);
    return nLength > 0 ? std::string(szPath, static_cast<size_t>(nLength)) : std::string("vw-bench");
}

// Runs this program with the arguments and adds its result lines; false
// when it failed.
bool RunChild(const std::string& args, Results* pResults)
{
    const std::string command = "'" + SelfPath() + "' " + args;
    std::FILE* pipe = popen(command.c_str(), "r");
    if (pipe == nullptr)
        return false;
    char szLine[512];
    while (std::fgets(szLine, sizeof szLine, pipe) != nullptr) {
        char szName[128];
        Sample sample;
        const int nFields = std::sscanf(szLine, "R %127s %lf %lf", szName, &sample.dWall, &sample.dCpu);
        if (nFields >= 2 && pResults != nullptr)
            (*pResults)[szName].push_back(sample);
    }
    const int nStatus = pclose(pipe);
    return nStatus == 0;
}

double Median(std::vector<double> values)
{
    if (values.empty())
        return -1.0;
    std::sort(values.begin(), values.end());
    const size_t nMiddle = values.size() / 2;
    return values.size() % 2 == 1 ? values[nMiddle] : (values[nMiddle - 1] + values[nMiddle]) / 2.0;
}

bool Has(const Results& results, const std::string& name)
{
    return results.count(name) != 0 && !results.at(name).empty();
}

double MedianWall(const Results& results, const std::string& name)
{
    std::vector<double> values;
    if (Has(results, name))
        for (const Sample& sample : results.at(name))
            values.push_back(sample.dWall);
    return Median(values);
}

double MedianCpu(const Results& results, const std::string& name)
{
    std::vector<double> values;
    if (Has(results, name))
        for (const Sample& sample : results.at(name))
            values.push_back(sample.dCpu);
    return Median(values);
}

double Largest(const Results& results, const std::string& name)
{
    double dLargest = -1.0;
    if (Has(results, name))
        for (const Sample& sample : results.at(name))
            dLargest = std::max(dLargest, sample.dWall);
    return dLargest;
}

constexpr int kLabelWidth = 44;
constexpr int kCellWidth = 20;

__attribute__((format(printf, 1, 2))) std::string Cell(const char* pszFormat, ...)
{
    char szCell[64];
    va_list args;
    va_start(args, pszFormat);
    std::vsnprintf(szCell, sizeof szCell, pszFormat, args);
    va_end(args);
    return szCell;
}

// One table row: a label and one cell per size.
void PrintRow(const char* pszLabel, const std::vector<std::string>& cells)
{
    std::printf("  %-*s", kLabelWidth, pszLabel);
    for (const std::string& cell : cells)
        std::printf("%*s", kCellWidth, cell.c_str());
    std::printf("\n");
}

std::string TimeCell(const Results& results, const std::string& name)
{
    if (!Has(results, name))
        return "-";
    return Cell("%.3f (%.3f)", MedianWall(results, name), MedianCpu(results, name));
}

std::string CountCell(const Results& results, const std::vector<std::string>& names)
{
    std::string cell;
    for (const std::string& name : names) {
        if (!cell.empty())
            cell += "/";
        cell += Has(results, name) ? Cell("%.0f", MedianWall(results, name)) : "-";
    }
    return cell;
}

void PrintTable(Generation gen, const std::vector<int>& sizes, const std::vector<Results>& perSize,
                const std::vector<int>& runs, const std::vector<bool>& failed)
{
    static const char* const kTitles[] = {"classic address.dat", "extended address.dat (PalmSG Database)",
                                          "Desktop 6 address.mdb"};
    std::printf("\n%s\n", kTitles[static_cast<int>(gen)]);
    std::vector<std::string> cells;
    auto row = [&](const char* pszLabel, auto cellOf) {
        cells.clear();
        for (size_t i = 0; i < sizes.size(); ++i)
            cells.push_back(cellOf(perSize[i]));
        PrintRow(pszLabel, cells);
    };
    cells.clear();
    for (int nSize : sizes)
        cells.push_back(std::to_string(nSize) + " contacts");
    PrintRow("seconds: wall (CPU), medians", cells);

    row("Palm file size (MB)",
        [](const Results& r) { return Has(r, "file_mb") ? Cell("%.1f", MedianWall(r, "file_mb")) : "-"; });
    row("Palm reader load alone, best (MB/s)", [](const Results& r) {
        if (!Has(r, "reader_load") || !Has(r, "file_mb"))
            return std::string("-");
        return Cell("%.0f", MedianWall(r, "file_mb") / MedianWall(r, "reader_load"));
    });
    row("Palm reader load alone, best", [](const Results& r) { return TimeCell(r, "reader_load"); });
    row("Palm reader first load (MB/s)", [](const Results& r) {
        if (!Has(r, "reader_first") || !Has(r, "file_mb"))
            return std::string("-");
        return Cell("%.0f", MedianWall(r, "file_mb") / MedianWall(r, "reader_first"));
    });
    row("Palm load (LoadPalmList) (MB/s)", [](const Results& r) {
        if (!Has(r, "palm_load") || !Has(r, "file_mb"))
            return std::string("-");
        return Cell("%.0f", MedianWall(r, "file_mb") / MedianWall(r, "palm_load"));
    });
    row("Palm load (LoadPalmList)", [](const Results& r) { return TimeCell(r, "palm_load"); });
    row("Address book open (LoadOutlookList)", [](const Results& r) { return TimeCell(r, "book_open"); });
    row("RefreshStates", [](const Results& r) { return TimeCell(r, "refresh"); });
    row("Palm Desktop to Outlook Express", [](const Results& r) { return TimeCell(r, "xfer_p2o"); });
    row("Outlook Express to Palm Desktop", [](const Results& r) { return TimeCell(r, "xfer_o2p"); });
    row("Synchronize", [](const Results& r) { return TimeCell(r, "xfer_sync"); });
    row("Synchronize, sides differing by new only", [](const Results& r) { return TimeCell(r, "xfer_syncnew"); });
    row("Window lists shown (both)", [](const Results& r) { return TimeCell(r, "list_fill"); });
    row("Window lists recoloured (both)", [](const Results& r) { return TimeCell(r, "list_states"); });
    row("Main window start (loads included)", [](const Results& r) { return TimeCell(r, "window_start"); });
    row("Rows in the lists / in the window", [](const Results& r) {
        return CountCell(r, {"list_rows", "window_rows"});
    });
    row("Peak memory, largest case (MB)",
        [](const Results& r) { return Has(r, "peak_mb") ? Cell("%.0f", Largest(r, "peak_mb")) : std::string("-"); });
    row("Palm rows same/modified/new", [](const Results& r) {
        return CountCell(r, {"palm_same", "palm_modified", "palm_new"});
    });
    row("Book rows same/modified/new", [](const Results& r) {
        return CountCell(r, {"book_same", "book_modified", "book_new"});
    });
    row("Synchronize: added to book/to Palm", [](const Results& r) {
        return CountCell(r, {"sync_to_book_added", "sync_to_palm_added"});
    });
    row("Synchronize: updated in book/in Palm", [](const Results& r) {
        return CountCell(r, {"sync_to_book_updated", "sync_to_palm_updated"});
    });
    row("New only: Palm rows same/modified/new", [](const Results& r) {
        return CountCell(r, {"new_palm_same", "new_palm_modified", "new_palm_new"});
    });
    row("New only: book rows same/modified/new", [](const Results& r) {
        return CountCell(r, {"new_book_same", "new_book_modified", "new_book_new"});
    });
    row("New only: added to book/to Palm", [](const Results& r) {
        return CountCell(r, {"syncnew_to_book_added", "syncnew_to_palm_added"});
    });
    row("New only: updated in book/in Palm", [](const Results& r) {
        return CountCell(r, {"syncnew_to_book_updated", "syncnew_to_palm_updated"});
    });
    cells.clear();
    for (size_t i = 0; i < sizes.size(); ++i)
        cells.push_back(std::to_string(runs[i]) + (failed[i] ? " FAILED" : ""));
    PrintRow("Runs per case", cells);
    std::fflush(stdout);
}

void PrintUsage(std::FILE* out)
{
    std::fprintf(out,
                 "usage: vw-bench [--sizes 1000,10000,50000] [--runs 5,3,3]\n"
                 "                [--gens classic,extended,desktop6] [--cases load,p2o,o2p,sync,syncnew,gui]\n"
                 "Times the program on generated sides of each size and Palm generation; --runs gives\n"
                 "the runs per case for each size (medians are printed).\n");
}

int Usage()
{
    PrintUsage(stderr);
    return 2;
}

}  // namespace

int main(int argc, char** argv)
{
    if (argc == 5 && std::strcmp(argv[1], "--generate") == 0) {
        Generation gen;
        if (!bench::ParseGeneration(argv[2], &gen))
            return Usage();
        return bench::GenerateSides(gen, std::atoi(argv[3]), argv[4]) ? 0 : 1;
    }
    if (argc == 6 && std::strcmp(argv[1], "--case") == 0) {
        Generation gen;
        if (!bench::ParseGeneration(argv[3], &gen))
            return Usage();
        return bench::RunCase(argv[2], gen, std::atoi(argv[4]), argv[5]);
    }

    std::vector<int> sizes = {1000, 10000, 50000};
    std::vector<int> runs = {5, 3, 3};
    std::vector<std::string> gens = {"classic", "extended", "desktop6"};
    std::vector<std::string> cases = {"load", "p2o", "o2p", "sync", "syncnew", "gui"};
    for (int i = 1; i < argc; ++i) {
        const std::string arg = argv[i];
        if (arg == "-h" || arg == "--help") {
            PrintUsage(stdout);
            return 0;
        }
        if (i + 1 >= argc)
            return Usage();
        const std::vector<std::string> values = Split(argv[++i]);
        if (arg == "--sizes" || arg == "--runs") {
            std::vector<int>& target = arg == "--sizes" ? sizes : runs;
            target.clear();
            for (const std::string& value : values)
                target.push_back(std::max(1, std::atoi(value.c_str())));
        } else if (arg == "--gens") {
            gens = values;
        } else if (arg == "--cases") {
            cases = values;
        } else {
            return Usage();
        }
    }
    for (const std::string& name : gens) {
        Generation gen;
        if (!bench::ParseGeneration(name, &gen))
            return Usage();
    }
    while (runs.size() < sizes.size())
        runs.push_back(runs.empty() ? 1 : runs.back());

    ScratchFolder scratch("vw-bench");
    if (!scratch.IsValid()) {
        std::perror("vw-bench: cannot make a scratch folder");
        return 1;
    }
    const std::string folder = scratch.Path();
    // No Palm Desktop installation and no HotSync users: the settings file
    // of each case names both files. Lists are drawn offscreen.
    setenv("WINEPREFIX", (folder + "/no-wine").c_str(), 1);
    setenv("QT_QPA_PLATFORM", "offscreen", 1);
    const std::string runtime = folder + "/runtime";
    if (mkdir(runtime.c_str(), 0700) == 0)
        setenv("XDG_RUNTIME_DIR", runtime.c_str(), 1);
    if (chdir(folder.c_str()) != 0)
        return 1;

    std::printf("vw-bench: medians of several runs, each in a fresh process on fresh copies of both sides\n");
    std::printf("(wall-clock seconds, CPU seconds of the process in brackets; the machine may be shared)\n");
    int nFailures = 0;
    for (const std::string& genName : gens) {
        Generation gen;
        bench::ParseGeneration(genName, &gen);
        std::vector<Results> perSize(sizes.size());
        std::vector<bool> failed(sizes.size(), false);
        for (size_t i = 0; i < sizes.size(); ++i) {
            const std::string data = folder + "/" + genName + "-" + std::to_string(sizes[i]);
            const std::string size = std::to_string(sizes[i]);
            std::fprintf(stderr, "vw-bench: %s, %d contacts: generating\n", genName.c_str(), sizes[i]);
            bench::Timer timer;
            if (!MakeFolders(data) || !RunChild("--generate " + genName + " " + size + " '" + data + "'", nullptr)) {
                std::fprintf(stderr, "vw-bench: cannot generate %s\n", data.c_str());
                failed[i] = true;
                ++nFailures;
                continue;
            }
            std::fprintf(stderr, "vw-bench: %s, %d contacts: generated in %.1f s, measuring\n", genName.c_str(),
                         sizes[i], timer.Wall());
            for (int nRun = 0; nRun < runs[i]; ++nRun) {
                for (const std::string& kind : cases) {
                    Results caseResults;
                    const bool bOk =
                        RunChild("--case " + kind + " " + genName + " " + size + " '" + data + "'", &caseResults);
                    const bool bTransferFailed =
                        Has(caseResults, "success") && caseResults["success"].front().dWall == 0.0;
                    if (bTransferFailed || (!bOk && !(kind == "gui" && caseResults.empty()))) {
                        std::fprintf(stderr, "vw-bench: case %s failed\n", kind.c_str());
                        failed[i] = true;
                        ++nFailures;
                    }
                    for (auto& [name, samples] : caseResults) {
                        // Transfer outcomes are kept per transfer.
                        const bool bOutcome = name.rfind("to_", 0) == 0 || name == "success";
                        std::vector<Sample>& target = perSize[i][bOutcome ? kind + "_" + name : name];
                        target.insert(target.end(), samples.begin(), samples.end());
                    }
                }
            }
            if (system(("rm -rf '" + data + "'").c_str()) != 0)
                std::fprintf(stderr, "vw-bench: cannot remove %s\n", data.c_str());
        }
        PrintTable(gen, sizes, perSize, runs, failed);
    }
    if (chdir("/") != 0 || !scratch.Remove())
        std::fprintf(stderr, "vw-bench: cannot remove %s\n", folder.c_str());
    return nFailures == 0 ? 0 : 1;
}
