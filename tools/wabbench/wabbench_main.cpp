// vw-wabbench: times the address-book side of a transfer on a large book.
//
//   vw-wabbench [count] [book]
//
// Creates a new book (in a fresh scratch folder, removed afterwards, unless a
// path of a file that does not exist yet is given), stores `count` new
// contacts (default 10000) one by one through StoreContact, reopens the book,
// and classifies `count` neutral records against it in both directions, as
// the main window does after a transfer. One contact in ten comes back with a
// changed work phone, so the classification sees new, modified and same
// records. Prints the time of each phase.

#include <sys/stat.h>
#include <unistd.h>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <memory>
#include <string>

#include "common/misc/CommAddrMgr.h"
#include "common/misc/CommAddrRecord.h"
#include "common/oe/CxWab.h"
#include "platform/fsutil/ScratchFolder.h"

namespace {

using Clock = std::chrono::steady_clock;

// A contact with the fields a typical address book fills.
void MakeContact(int n, bool bChanged, CommAddrRecord* pRecord)
{
    ZeroCommRecord(pRecord);
    char szText[128];
    std::snprintf(szText, sizeof szText, "Given%05d", n);
    SetTextField(pRecord, CF_FIRST_NAME, szText);
    std::snprintf(szText, sizeof szText, "Family%05d", n);
    SetTextField(pRecord, CF_LAST_NAME, szText);
    std::snprintf(szText, sizeof szText, "person%05d@example.org", n);
    SetTextField(pRecord, CF_EMAIL, szText);
    std::snprintf(szText, sizeof szText, "+1 555 %04d%s", n % 10000, bChanged ? "9" : "");
    SetTextField(pRecord, CF_WORK_PHONE, szText);
    SetTextField(pRecord, CF_HOME_PHONE, "+1 555 0100");
    std::snprintf(szText, sizeof szText, "Company %d Ltd.", n % 97);
    SetTextField(pRecord, CF_COMPANY, szText);
    SetTextField(pRecord, CF_TITLE, "Engineer");
    std::snprintf(szText, sizeof szText, "%d Main Street", n);
    SetTextField(pRecord, CF_HOME_STREET, szText);
    SetTextField(pRecord, CF_HOME_CITY, "Springfield");
    SetTextField(pRecord, CF_HOME_POSTAL, "12345");
    SetTextField(pRecord, CF_HOME_COUNTRY, "USA");
    SetTextField(pRecord, CF_NOTE, "Met at the conference; prefers e-mail. Birthday card every year.");
    pRecord->dtBirthday = 25000.0 + n % 9000;
}

double Seconds(Clock::time_point start)
{
    return std::chrono::duration<double>(Clock::now() - start).count();
}

void Report(const char* pszPhase, double dSeconds, int nCount)
{
    std::printf("%-40s %9.3f s  %8.1f us per contact\n", pszPhase, dSeconds, dSeconds * 1e6 / nCount);
}

}  // namespace

int main(int argc, char** argv)
{
    const int nCount = argc > 1 ? std::atoi(argv[1]) : 10000;
    if (nCount <= 0) {
        std::fprintf(stderr, "usage: vw-wabbench [count] [book]\n");
        return 2;
    }
    ScratchFolder scratch("vw-wabbench");
    std::string book;
    if (argc > 2) {
        book = argv[2];
        struct stat st;
        if (stat(book.c_str(), &st) == 0) {
            std::fprintf(stderr, "%s exists; give the path of a new book\n", book.c_str());
            return 2;
        }
    } else {
        if (!scratch.IsValid()) {
            std::perror("vw-wabbench: cannot make a scratch folder");
            return 1;
        }
        book = scratch.File("bench.wab");
    }

    auto pRecord = std::make_unique<CommAddrRecord>();
    int nFailures = 0;
    std::printf("vw-wabbench: %d contacts, book %s\n", nCount, book.c_str());

    {
        Clock::time_point start = Clock::now();
        CxWab wab(nullptr);
        if (!wab.OpenAddressBook(book.c_str())) {
            std::fprintf(stderr, "the book cannot be created\n");
            return 1;
        }
        Report("create the book", Seconds(start), nCount);

        start = Clock::now();
        int nStored = 0;
        for (int i = 0; i < nCount; ++i) {
            MakeContact(i, false, pRecord.get());
            nStored += wab.StoreContact(pRecord.get()) ? 1 : 0;
        }
        Report("store new contacts (StoreContact)", Seconds(start), nCount);
        if (nStored != nCount) {
            std::fprintf(stderr, "only %d of %d contacts were stored\n", nStored, nCount);
            ++nFailures;
        }
        start = Clock::now();
        wab.CloseAddressBook();
        Report("close the book", Seconds(start), nCount);
    }

    {
        // The write cost alone: the same contacts into a second book through
        // AddContact, which skips the matching StoreContact does first.
        const std::string second = book + ".add";
        CxWab wab(nullptr);
        if (wab.OpenAddressBook(second.c_str())) {
            const Clock::time_point start = Clock::now();
            for (int i = 0; i < nCount; ++i) {
                MakeContact(i, false, pRecord.get());
                wab.AddContact(pRecord.get());
            }
            Report("write new contacts only (AddContact)", Seconds(start), nCount);
        }
        wab.CloseAddressBook();
        unlink(second.c_str());
    }

    struct stat st;
    if (stat(book.c_str(), &st) == 0)
        std::printf("book size: %lld bytes\n", static_cast<long long>(st.st_size));

    {
        CxWab wab(nullptr);
        Clock::time_point start = Clock::now();
        if (!wab.OpenAddressBook(book.c_str()) || wab.GetNeutralSet()->GetCount() != nCount) {
            std::fprintf(stderr, "the reopened book does not hold %d contacts\n", nCount);
            ++nFailures;
        }
        Report("reopen and read every entry", Seconds(start), nCount);

        // The other side: the same contacts, every tenth with a changed phone,
        // the last tenth replaced by contacts the book does not have.
        CommAddrMgr palm;
        for (int i = 0; i < nCount; ++i) {
            const bool bNew = i >= nCount - nCount / 10;
            MakeContact(bNew ? i + nCount : i, i % 10 == 3, pRecord.get());
            palm.AddCopy(pRecord.get());
        }
        start = Clock::now();
        wab.ClassifySet(&palm);
        Report("classify the other side (ClassifySet)", Seconds(start), nCount);
        start = Clock::now();
        wab.ClassifyEntries(&palm);
        Report("classify the entries (ClassifyEntries)", Seconds(start), nCount);

        int nStates[3] = {0, 0, 0};
        for (CommAddrRecord* p = palm.GetFirstRecord(); p != nullptr; p = palm.GetNextRecord()) {
            if (p->nStatus >= 0 && p->nStatus <= 2)
                ++nStates[p->nStatus];
        }
        std::printf("other side: %d same, %d new, %d modified\n", nStates[RS_SAME], nStates[RS_NEW],
                    nStates[RS_MODIFIED]);
    }

    const std::string folder = scratch.Path();
    if (!scratch.Remove())
        std::fprintf(stderr, "could not remove %s\n", folder.c_str());
    return nFailures == 0 ? 0 : 1;
}
