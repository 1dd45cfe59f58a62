// vw-d6bench: how long the Desktop 6 contacts reader takes to load a
// database of generated contacts, to write new records and to write changed
// ones through WriteRecord (one lookup and one insert or update each, every
// statement its own transaction), and to load the result again.
//
// usage: vw-d6bench [--wal] [CONTACTS [WRITES]]   (defaults 10000 and 1000)
//
// The connection writes through SQLite's write-ahead log while it is open
// (the file's own journal mode is restored when it closes), so a commit does
// not wait for the disk. --wal puts the generated file in write-ahead-log
// mode beforehand (a property of the file, which the connection then keeps).
#include <sqlite3.h>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>

#include "common/palm/PmAddrEx2DataMgr.h"
#include "common/palm/PmAddrEx2Record.h"
#include "common/palm/PmAddrEx2Util.h"
#include "tools/d6gen/D6Gen.h"
#include "tools/d6gen/D6TempFolder.h"

namespace {

using Clock = std::chrono::steady_clock;

double MillisecondsSince(Clock::time_point start)
{
    return std::chrono::duration<double, std::milli>(Clock::now() - start).count();
}

void Report(const char* phase, double ms, int count)
{
    std::printf("%-28s %10.1f ms", phase, ms);
    if (count > 0)
        std::printf("  %8.1f us/record (%d records)", ms * 1000.0 / count, count);
    std::printf("\n");
}

template <size_t N>
void SetText(char (&member)[N], const std::string& text)
{
    const size_t n = text.size() < N ? text.size() : N - 1;
    std::memcpy(member, text.data(), n);
    member[n] = '\0';
}

}  // namespace

int main(int argc, char** argv)
{
    bool bWal = false;
    int nArg = 1;
    if (argc > 1 && std::strcmp(argv[1], "--wal") == 0) {
        bWal = true;
        ++nArg;
    }
    const int nContacts = argc > nArg ? std::atoi(argv[nArg]) : 10000;
    const int nWrites = argc > nArg + 1 ? std::atoi(argv[nArg + 1]) : 1000;
    if (nContacts < nWrites || nWrites < 0) {
        std::fprintf(stderr, "usage: vw-d6bench [--wal] [CONTACTS [WRITES]] with WRITES <= CONTACTS\n");
        return 2;
    }
    D6TempFolder folder("vw-d6bench");
    const std::string path = folder.File("address.mdb");

    Clock::time_point start = Clock::now();
    std::string error;
    if (!D6CreateDatabase(path, "category 1|Business\ncategory 2|Personal\ngenerate " + std::to_string(nContacts),
                          &error)) {
        std::fprintf(stderr, "vw-d6bench: %s\n", error.c_str());
        return 1;
    }
    if (bWal) {
        sqlite3* db = nullptr;
        const bool bOk = sqlite3_open_v2(path.c_str(), &db, SQLITE_OPEN_READWRITE, nullptr) == SQLITE_OK &&
                         sqlite3_exec(db, "PRAGMA journal_mode=WAL", nullptr, nullptr, nullptr) == SQLITE_OK;
        sqlite3_close(db);
        if (!bOk) {
            std::fprintf(stderr, "vw-d6bench: cannot switch to WAL mode\n");
            return 1;
        }
    }
    std::printf("Desktop 6 database of %d contacts, %d new and %d changed records%s\n", nContacts, nWrites, nWrites,
                bWal ? " (WAL journal)" : "");
    Report("generate (one transaction)", MillisecondsSince(start), nContacts);

    PmAddrEx2Util util;
    start = Clock::now();
    if (!util.LoadFile(path.c_str()) || util.GetDataMgr()->Count() != nContacts) {
        std::fprintf(stderr, "vw-d6bench: load failed\n");
        return 1;
    }
    Report("load", MillisecondsSince(start), nContacts);

    start = Clock::now();
    for (int i = 0; i < nWrites; ++i) {
        PmAddrEx2Record record{};
        SetText(record.FirstName, "New");
        SetText(record.LastName, "Contact " + std::to_string(i));
        SetText(record.Company, "Bench & Co.");
        SetText(record.phone[0], "+1 555 " + std::to_string(1000 + i));
        record.Status = 0x01;
        record.Placement = 0x7FFFFFFF;
        if (!util.AssignNewRecordId(&record) || !util.WriteRecord(&record) || !util.GetDataMgr()->Append(&record)) {
            std::fprintf(stderr, "vw-d6bench: insert %d failed\n", i);
            return 1;
        }
    }
    Report("new records (id + insert)", MillisecondsSince(start), nWrites);

    start = Clock::now();
    int nChanged = 0;
    for (PmAddrEx2Record* p = util.GetDataMgr()->First(); p != nullptr && nChanged < nWrites;
         p = util.GetDataMgr()->Next(), ++nChanged) {
        SetText(p->Note, "Changed by the benchmark, it's run " + std::to_string(nChanged));
        p->Status |= 0x02;
        if (!util.WriteRecord(p)) {
            std::fprintf(stderr, "vw-d6bench: update %d failed\n", nChanged);
            return 1;
        }
    }
    Report("changed records (update)", MillisecondsSince(start), nChanged);

    PmAddrEx2Util reloaded;
    start = Clock::now();
    if (!reloaded.LoadFile(path.c_str()) || reloaded.GetDataMgr()->Count() != nContacts + nWrites) {
        std::fprintf(stderr, "vw-d6bench: reload failed\n");
        return 1;
    }
    Report("reload", MillisecondsSince(start), nContacts + nWrites);
    return 0;
}
