// vw-classifybench: how long the contact set takes to load n records and to
// classify n incoming records against them, for n = 1 000, 10 000 and 50 000
// (or the sizes given on the command line).
//
// The stored set holds n generated contacts, every tenth sharing the keys of
// the one before it. The incoming records overlap the set so that all three
// answers occur: a third are stored contacts with their keys in upper case
// (same), a third share a contact's keys but carry another work phone
// (modified), a third have keys nobody stored (new). Each line prints the
// load time, the time of a first classification pass (which includes any
// work the set does on its first Classify), the time of a second pass, the
// count of each answer and a checksum over every (answer, position) pair, so
// runs of two builds can be compared for identical results.
//
// A last column gives the time of one whole-side classification of all n
// incoming records (ClassifySide, the one-to-one pairing every transfer and
// refresh runs) on a freshly loaded set, and how many it pairs as same,
// modified and new.
//
// --sample N classifies only N of the n incoming records (spread evenly over
// them) in each pass, for sets too slow to classify whole; the line then also
// gives the time the whole pass would take at that rate. Times are wall
// clock and, in brackets, the CPU time of this thread: on a shared machine the
// CPU time is the steadier figure.
#include <cctype>
#include <time.h>

#include <chrono>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <memory>
#include <string>
#include <vector>

#include "common/misc/CommAddrMgr.h"

namespace {

using Clock = std::chrono::steady_clock;

double Seconds(Clock::time_point since)
{
    return std::chrono::duration<double>(Clock::now() - since).count();
}

double CpuSeconds()
{
    timespec ts{};
    clock_gettime(CLOCK_THREAD_CPUTIME_ID, &ts);
    return static_cast<double>(ts.tv_sec) + static_cast<double>(ts.tv_nsec) * 1e-9;
}

// Wall and CPU seconds since a start.
struct Timer {
    Clock::time_point wallStart = Clock::now();
    double dCpuStart = CpuSeconds();
    double Wall() const { return Seconds(wallStart); }
    double Cpu() const { return CpuSeconds() - dCpuStart; }
};

const char* const kFirstNames[] = {"Ann", "Bob", "Carla", "Dmitri", "Erin", "Femi", "Gustav", "Hana"};
const char* const kStreets[] = {"High Street", "Mill Lane", "Rue de la Paix", "Bahnhofstrasse"};

// One generated contact: its keys come from nKeyId, its other fields from
// nBodyId, so two records can share keys and differ elsewhere.
void MakeContact(CommAddrRecord* pRecord, int nKeyId, int nBodyId)
{
    ZeroCommRecord(pRecord);
    char szText[256];
    SetTextField(pRecord, CF_FIRST_NAME, kFirstNames[nKeyId % 8]);
    std::snprintf(szText, sizeof szText, "Lastname%07d", nKeyId);
    SetTextField(pRecord, CF_LAST_NAME, szText);
    std::snprintf(szText, sizeof szText, "person%d@example.org", nKeyId);
    SetTextField(pRecord, CF_EMAIL, szText);
    std::snprintf(szText, sizeof szText, "+44 20 7946 %04d", nBodyId % 10000);
    SetTextField(pRecord, CF_WORK_PHONE, szText);
    SetTextField(pRecord, CF_HOME_PHONE, szText);
    std::snprintf(szText, sizeof szText, "Company %d Ltd", nBodyId % 997);
    SetTextField(pRecord, CF_COMPANY, szText);
    std::snprintf(szText, sizeof szText, "%d %s", nBodyId % 200 + 1, kStreets[nBodyId % 4]);
    SetTextField(pRecord, CF_WORK_STREET, szText);
    SetTextField(pRecord, CF_WORK_CITY, "London");
    std::snprintf(szText, sizeof szText, "Met at the %d fair; prefers e-mail, never calls before ten.", nBodyId);
    SetTextField(pRecord, CF_NOTE, szText);
}

void Upcase(char* psz)
{
    for (; *psz != '\0'; ++psz)
        *psz = static_cast<char>(std::toupper(static_cast<unsigned char>(*psz)));
}

struct PassResult {
    double dSeconds = 0;
    double dCpuSeconds = 0;
    int nCount[4] = {0, 0, 0, 0};  // same, new, modified, other
    uint64_t nChecksum = 1469598103934665603ull;
};

PassResult ClassifyAll(CommAddrMgr* pSet, const std::vector<CommAddrRecord>& incoming, size_t nStep)
{
    PassResult result;
    const Timer timer;
    for (size_t i = 0; i < incoming.size(); i += nStep) {
        const CommAddrRecord& record = incoming[i];
        CommAddrRecord* pMatch = nullptr;
        int32_t nPos = -1;
        const int nClass = pSet->Classify(&record, &pMatch, &nPos);
        ++result.nCount[nClass >= 1 && nClass <= 3 ? nClass - 1 : 3];
        result.nChecksum = (result.nChecksum ^ static_cast<uint64_t>(nClass)) * 1099511628211ull;
        result.nChecksum = (result.nChecksum ^ static_cast<uint32_t>(nPos)) * 1099511628211ull;
    }
    result.dSeconds = timer.Wall();
    result.dCpuSeconds = timer.Cpu();
    return result;
}

// One ClassifySide over every incoming record, on a set loaded anew.
PassResult ClassifyWholeSide(int nRecords, const std::vector<CommAddrRecord>& incoming)
{
    PassResult result;
    auto pSet = std::make_unique<CommAddrMgr>();
    auto pScratch = std::make_unique<CommAddrRecord>();
    for (int i = 0; i < nRecords; ++i) {
        MakeContact(pScratch.get(), i % 10 == 9 ? i - 1 : i, i);
        pSet->AddCopy(pScratch.get());
    }
    std::vector<const CommAddrRecord*> side;
    for (const CommAddrRecord& record : incoming)
        side.push_back(&record);
    std::vector<ClassifyMatch> answers(side.size());
    const Timer timer;
    pSet->ClassifySide(side.data(), static_cast<int32_t>(side.size()), answers.data());
    result.dSeconds = timer.Wall();
    result.dCpuSeconds = timer.Cpu();
    for (const ClassifyMatch& answer : answers)
        ++result.nCount[answer.nResult >= 1 && answer.nResult <= 3 ? answer.nResult - 1 : 3];
    return result;
}

int RunSize(int nRecords, int nSample)
{
    // Incoming records first, so the set's copies are not timed with them.
    std::vector<CommAddrRecord> incoming(static_cast<size_t>(nRecords));
    for (int i = 0; i < nRecords; ++i) {
        CommAddrRecord* pRecord = &incoming[static_cast<size_t>(i)];
        // The keys of stored contact i (shared with the one before it for
        // every tenth).
        const int nKeyId = i % 10 == 9 ? i - 1 : i;
        switch (i % 3) {
        case 0:  // a stored contact, keys in upper case: same
            MakeContact(pRecord, nKeyId, nKeyId);
            Upcase(pRecord->szFirstName);
            Upcase(pRecord->szLastName);
            Upcase(pRecord->szEmail);
            break;
        case 1:  // a stored contact's keys, another work phone: modified
            MakeContact(pRecord, nKeyId, i);
            SetTextField(pRecord, CF_WORK_PHONE, "+1 555 0100");
            break;
        default:  // keys nobody stored: new
            MakeContact(pRecord, nRecords + i, i);
            break;
        }
    }

    auto pSet = std::make_unique<CommAddrMgr>();
    auto pScratch = std::make_unique<CommAddrRecord>();
    const Timer loadTimer;
    for (int i = 0; i < nRecords; ++i) {
        // Every tenth contact shares the keys of the one before it.
        MakeContact(pScratch.get(), i % 10 == 9 ? i - 1 : i, i);
        if (pSet->AddCopy(pScratch.get()) == nullptr) {
            std::fprintf(stderr, "vw-classifybench: AddCopy failed at %d\n", i);
            return 1;
        }
    }
    const double dLoad = loadTimer.Wall();
    const double dLoadCpu = loadTimer.Cpu();

    const size_t nStep = nSample > 0 && nSample < nRecords ? static_cast<size_t>(nRecords / nSample) : 1;
    const PassResult first = ClassifyAll(pSet.get(), incoming, nStep);
    const PassResult second = ClassifyAll(pSet.get(), incoming, nStep);
    const int nClassified = first.nCount[0] + first.nCount[1] + first.nCount[2] + first.nCount[3];
    if (first.nChecksum != second.nChecksum) {
        std::fprintf(stderr, "vw-classifybench: two passes disagree at %d records\n", nRecords);
        return 1;
    }
    const PassResult side = ClassifyWholeSide(nRecords, incoming);
    std::printf("%8d %8.4f (%7.4f) %8.4f (%7.4f) %8.4f (%7.4f) %9.2f %7d %7d %7d  %016llx  %8.4f (%7.4f) %d/%d/%d\n",
                nRecords, dLoad, dLoadCpu, first.dSeconds, first.dCpuSeconds, second.dSeconds, second.dCpuSeconds,
                1e6 * second.dCpuSeconds / nClassified, first.nCount[0], first.nCount[2], first.nCount[1],
                static_cast<unsigned long long>(first.nChecksum), side.dSeconds, side.dCpuSeconds, side.nCount[0],
                side.nCount[2], side.nCount[1]);
    if (nStep > 1)
        std::printf("%8s sampled %d of %d incoming; a whole pass at that rate: %.1f s cpu\n", "", nClassified, nRecords,
                    second.dCpuSeconds / nClassified * nRecords);
    std::fflush(stdout);
    return 0;
}

}  // namespace

int main(int argc, char** argv)
{
    std::vector<int> sizes;
    int nSample = 0;
    for (int i = 1; i < argc; ++i) {
        if (std::strcmp(argv[i], "--sample") == 0 && i + 1 < argc)
            nSample = std::atoi(argv[++i]);
        else
            sizes.push_back(std::atoi(argv[i]));
    }
    if (sizes.empty())
        sizes = {1000, 10000, 50000};
    std::printf("%8s %18s %18s %18s %9s %7s %7s %7s  %-16s  %18s %s\n", "records", "load s (cpu)", "classify1 s (cpu)",
                "classify2 s (cpu)", "cpu us/rec", "same", "modif", "new", "checksum", "side s (cpu)",
                "same/modif/new");
    for (int nRecords : sizes) {
        if (nRecords <= 0 || RunSize(nRecords, nSample) != 0)
            return 1;
    }
    return 0;
}
