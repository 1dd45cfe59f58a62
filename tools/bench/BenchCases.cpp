// vw-bench: the cases that run the program's own code on the generated sides.
#include <sys/stat.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <string>

#include "common/misc/CommAddrMgr.h"
#include "common/oe/CxWab.h"
#include "common/palm/PmAddrEx2Util.h"
#include "common/palm/PmAddrExUtil.h"
#include "common/palm/PmAddrInfo.h"
#include "common/palm/PmAddrUtil.h"
#include "src/core/SysSettings.h"
#include "src/core/TransferEngine.h"
#include "tools/bench/Bench.h"

namespace bench {

namespace {

// Keeps the engine's messages out of the way; a failed transfer still shows
// in its result.
class QuietSink : public IEngineSink {
public:
    void ShowMessage(const char*, const char*, int) override { }
};

double FileMegabytes(const std::string& path)
{
    struct stat st { };
    return stat(path.c_str(), &st) == 0 ? static_cast<double>(st.st_size) / (1024.0 * 1024.0) : 0.0;
}

// Loads the Palm file with its generation's reader alone, as often as fits
// in about a second (at least twice), and reports the best load time: the
// reader's own throughput, without the facade's neutral records.
template <class Reader>
bool TimeReader(Reader& reader, const std::string& path)
{
    double dBest = -1.0;
    double dBestCpu = 0.0;
    Timer total;
    for (int n = 0; n < 2 || (total.Wall() < 1.0 && n < 20); ++n) {
        Timer timer;
        if (!reader.LoadFile(path.c_str()))
            return false;
        if (n == 0)
            ReportTime("reader_first", timer);  // the process's first load: its memory is new
        if (dBest < 0 || timer.Wall() < dBest) {
            dBest = timer.Wall();
            dBestCpu = timer.Cpu();
        }
    }
    ReportTime("reader_load", dBest, dBestCpu);
    return true;
}

bool TimePalmReader(Generation gen, const std::string& path)
{
    Report("file_mb", FileMegabytes(path));
    switch (gen) {
    case Generation::Classic: {
        PmAddrUtil reader;
        reader.SwapName = false;
        return TimeReader(reader, path);
    }
    case Generation::Extended: {
        PmAddrExUtil reader;
        reader.SwapName = false;
        return TimeReader(reader, path);
    }
    default: {
        // The Desktop 6 reader appends to its list: a fresh reader per load.
        double dBest = -1.0;
        double dBestCpu = 0.0;
        for (int n = 0; n < 2; ++n) {
            PmAddrEx2Util reader;
            Timer timer;
            if (!reader.LoadFile(path.c_str()))
                return false;
            if (n == 0)
                ReportTime("reader_first", timer);
            if (dBest < 0 || timer.Wall() < dBest) {
                dBest = timer.Wall();
                dBestCpu = timer.Cpu();
            }
        }
        ReportTime("reader_load", dBest, dBestCpu);
        return true;
    }
    }
}

void ReportStates(TransferEngine& engine, const std::string& prefix)
{
    int nPalm[3] = {0, 0, 0};
    int nBook[3] = {0, 0, 0};
    for (ListType eList : {LIST_PALM, LIST_WAB}) {
        int* pCounts = eList == LIST_PALM ? nPalm : nBook;
        for (int nRow = 0; nRow < engine.GetRowCount(eList); ++nRow) {
            const int nState = engine.RowState(eList, nRow);
            if (nState >= 0 && nState <= 2)
                ++pCounts[nState];
        }
    }
    Report((prefix + "palm_rows").c_str(), engine.GetRowCount(LIST_PALM));
    Report((prefix + "palm_same").c_str(), nPalm[RS_SAME]);
    Report((prefix + "palm_modified").c_str(), nPalm[RS_MODIFIED]);
    Report((prefix + "palm_new").c_str(), nPalm[RS_NEW]);
    Report((prefix + "book_rows").c_str(), engine.GetRowCount(LIST_WAB));
    Report((prefix + "book_same").c_str(), nBook[RS_SAME]);
    Report((prefix + "book_modified").c_str(), nBook[RS_MODIFIED]);
    Report((prefix + "book_new").c_str(), nBook[RS_NEW]);
}

// A work folder of this process with copies of the generated sides.
bool PrepareWorkFolder(Generation gen, const std::string& dataFolder, const char* pszBook, std::string* pWorkFolder)
{
    const std::string work = dataFolder + "/work-" + std::to_string(getpid());
    if (mkdir(work.c_str(), 0700) != 0)
        return false;
    *pWorkFolder = work;
    const std::string palm = std::string("/") + PalmFileName(gen);
    return CopyFile(dataFolder + palm, work + palm) && CopyFile(dataFolder + "/" + pszBook, work + "/book.wab") &&
           UseSettings(work + "/corvane.ini", work + palm, work + "/book.wab") && chdir(work.c_str()) == 0;
}

void RemoveWorkFolder(const std::string& dataFolder, const std::string& work)
{
    if (chdir(dataFolder.c_str()) != 0 || work.empty())
        return;
    const std::string command = "rm -rf '" + work + "'";
    if (std::system(command.c_str()) != 0)
        std::fprintf(stderr, "vw-bench: cannot remove %s\n", work.c_str());
}

void ReportSide(const char* pszSide, const SideOutcome& outcome)
{
    const std::string prefix = pszSide;
    Report((prefix + "_added").c_str(), outcome.nAdded);
    Report((prefix + "_updated").c_str(), outcome.nUpdated);
    Report((prefix + "_unchanged").c_str(), outcome.nUnchanged);
    Report((prefix + "_failed").c_str(), outcome.nFailed);
}

int RunEngineCase(const std::string& kind, Generation gen, const std::string& work)
{
    const std::string palmPath = work + "/" + PalmFileName(gen);
    if (kind == "load" && !TimePalmReader(gen, palmPath)) {
        std::fprintf(stderr, "vw-bench: the reader cannot load %s\n", palmPath.c_str());
        return 1;
    }

    SysSettings settings{};
    QuietSink sink;
    TransferEngine engine(settings, &sink);
    engine.Startup(false);

    // The loads of the second book would mix with those of the first.
    const bool bFirstBook = kind != "syncnew";
    Timer timer;
    engine.LoadPalmList();
    if (bFirstBook)
        ReportTime("palm_load", timer);
    timer.Restart();
    engine.LoadOutlookList();
    if (bFirstBook)
        ReportTime("book_open", timer);
    if (!engine.GetPalmInfo()->IsLoaded() || !engine.GetWab()->IsOpen()) {
        std::fprintf(stderr, "vw-bench: a side did not load\n");
        return 1;
    }
    timer.Restart();
    engine.RefreshStates();
    if (bFirstBook)
        ReportTime("refresh", timer);
    if (kind == "load")
        ReportStates(engine, "");
    else if (!bFirstBook)
        ReportStates(engine, "new_");

    int nMode = -1;
    if (kind == "p2o")
        nMode = SYNC_PALM_TO_OE;
    else if (kind == "o2p")
        nMode = SYNC_OE_TO_PALM;
    else if (kind == "sync" || kind == "syncnew")
        nMode = SYNC_BOTH;
    if (nMode >= 0) {
        timer.Restart();
        const TransferResult result = engine.StartTransfer(nMode);
        ReportTime(("xfer_" + kind).c_str(), timer);
        ReportSide("to_book", result.toWab);
        ReportSide("to_palm", result.toPalm);
        Report("success", result.bSuccess ? 1 : 0);
        if (!result.bSuccess)
            std::fprintf(stderr, "vw-bench: %s: %s\n", kind.c_str(), result.strMessage.c_str());
    }
    ReportPeakMemory();
    engine.Shutdown(false);
    return 0;
}

}  // namespace

int RunCase(const std::string& kind, Generation gen, int nContacts, const std::string& dataFolder)
{
    (void)nContacts;
    std::string work;
    if (!PrepareWorkFolder(gen, dataFolder, kind == "syncnew" ? kBookOfNewOnly : "book.wab", &work)) {
        std::fprintf(stderr, "vw-bench: cannot prepare a work folder in %s\n", dataFolder.c_str());
        RemoveWorkFolder(dataFolder, work);
        return 1;
    }
    int nStatus = 2;
    if (kind == "gui")
        nStatus = RunGuiCase(gen, nContacts, work);
    else if (kind == "load" || kind == "p2o" || kind == "o2p" || kind == "sync" || kind == "syncnew")
        nStatus = RunEngineCase(kind, gen, work);
    else
        std::fprintf(stderr, "vw-bench: unknown case %s\n", kind.c_str());
    RemoveWorkFolder(dataFolder, work);
    return nStatus;
}

}  // namespace bench
