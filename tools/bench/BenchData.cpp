// vw-bench: the generated sides, and the small helpers the cases share.
#include <sys/resource.h>

#include <cstdio>
#include <cstring>
#include <fstream>
#include <memory>
#include <string>

#include "common/misc/AppFolder.h"
#include "common/misc/CommAddrMgr.h"
#include "common/misc/CommAddrRecord.h"
#include "common/oe/CxWab.h"
#include "common/palm/PmAddrInfo.h"
#include "tools/bench/Bench.h"
#include "tools/d6gen/D6Gen.h"
#include "tools/datgen/DatGen.h"

namespace bench {

namespace {

// The seed of every generated Palm file: runs of two builds see the same data.
constexpr uint32_t kSeed = 2024;

// A Palm Desktop version of each generation (major * 10000 + minor * 100 +
// build); the facade loads by file extension, so it only sets what it expects.
DWORD VersionOf(Generation gen)
{
    switch (gen) {
    case Generation::Classic:
        return 40000;
    case Generation::Extended:
        return 40102;
    default:
        return 60000;
    }
}

// An address-book contact that no Palm contact shares its keys with.
void MakeBookOnlyContact(int n, CommAddrRecord* pRecord)
{
    ZeroCommRecord(pRecord);
    char szText[128];
    std::snprintf(szText, sizeof szText, "Wren%d", n % 97);
    SetTextField(pRecord, CF_FIRST_NAME, szText);
    std::snprintf(szText, sizeof szText, "Bookonly%06d", n);
    SetTextField(pRecord, CF_LAST_NAME, szText);
    std::snprintf(szText, sizeof szText, "book.only%06d@example.net", n);
    SetTextField(pRecord, CF_EMAIL, szText);
    std::snprintf(szText, sizeof szText, "+44 20 7946 %04d", n % 10000);
    SetTextField(pRecord, CF_WORK_PHONE, szText);
    SetTextField(pRecord, CF_MOBILE_PHONE, "+44 7700 900123");
    std::snprintf(szText, sizeof szText, "Harbour Supplies %d Ltd", n % 89);
    SetTextField(pRecord, CF_COMPANY, szText);
    SetTextField(pRecord, CF_TITLE, "Buyer");
    std::snprintf(szText, sizeof szText, "%d Quay Street", n % 300 + 1);
    SetTextField(pRecord, CF_WORK_STREET, szText);
    SetTextField(pRecord, CF_WORK_CITY, "Bristol");
    SetTextField(pRecord, CF_WORK_POSTAL, "BS1 4DJ");
    SetTextField(pRecord, CF_WORK_COUNTRY, "United Kingdom");
    SetTextField(pRecord, CF_NOTE, "Added in the address book; prefers e-mail.");
    pRecord->dtBirthday = 25000.0 + n % 9000;
}

// A surname of its own for each index (two to four syllables, capitalised),
// so that generated contacts do not share their keys the way names drawn
// from a short list do.
std::string UniqueSurname(int nIndex)
{
    static const char* const kSyllables[] = {"ka",  "ro",  "mi",  "tel", "san", "do",  "ver", "li",  "na",  "bor",
                                             "e",   "fin", "ga",  "hu",  "jo",  "lan", "mor", "pe",  "qui", "sto",
                                             "tra", "u",   "val", "wen", "ya",  "zel", "bri", "cor", "dan", "ost"};
    constexpr int kCount = static_cast<int>(sizeof kSyllables / sizeof kSyllables[0]);
    std::string name;
    int n = nIndex;
    do {
        name += kSyllables[n % kCount];
        n /= kCount;
    } while (n > 0);
    if (name.size() < 5)
        name += "str\xF6m";  // Windows-1252, as Palm files hold it
    name[0] = static_cast<char>(name[0] - 'a' + 'A');
    return name;
}

// Writes a new book from the listed Palm contacts: of every five, two as
// they are, two more with another title when bModified (else as they are
// too), and one not at all; then one contact of its own per five.
bool WriteBook(CommAddrMgr* pPalmSet, const std::string& bookPath, bool bModified)
{
    std::remove(bookPath.c_str());
    CxWab book(nullptr);
    if (!book.OpenAddressBook(bookPath.c_str())) {
        std::fprintf(stderr, "vw-bench: cannot create %s\n", bookPath.c_str());
        return false;
    }
    auto pRecord = std::make_unique<CommAddrRecord>();
    const int nListed = pPalmSet->GetCount();
    for (int i = 0; i < nListed; ++i) {
        const int nKind = i % 5;
        if (nKind == 4)
            continue;  // new on the Palm side
        std::memcpy(pRecord.get(), pPalmSet->GetRecordAt(i), sizeof(CommAddrRecord));
        pRecord->pAttached = nullptr;
        pRecord->nAttachedLen = 0;
        if (bModified && nKind >= 2) {
            char szTitle[32];
            std::snprintf(szTitle, sizeof szTitle, "Title %d changed", i);
            SetTextField(pRecord.get(), CF_TITLE, szTitle);
        }
        book.StoreContact(pRecord.get());
    }
    for (int n = 0; n < nListed / 5; ++n) {
        MakeBookOnlyContact(n, pRecord.get());
        book.StoreContact(pRecord.get());
    }
    book.CloseAddressBook();
    return true;
}

bool WritePalmFile(Generation gen, int nContacts, const std::string& path)
{
    if (gen == Generation::Desktop6) {
        std::string error;
        const std::string description =
            "category 1|Business\ncategory 2|Personal\ncategory 3|QuickList\n"
            "generate " +
            std::to_string(nContacts) + " " + std::to_string(kSeed) + "\n";
        if (!D6CreateDatabase(path, description, &error, true)) {
            std::fprintf(stderr, "vw-bench: %s\n", error.c_str());
            return false;
        }
        return true;
    }
    datgen::DatDescription desc;
    desc.format = gen == Generation::Classic ? datgen::DatFormat::Classic : datgen::DatFormat::Extended;
    desc.bProgramTypes = true;
    datgen::AddRandomRecords(desc, nContacts, kSeed);
    const int nLastName = gen == Generation::Classic ? datgen::classic::kLastName : datgen::extended::kLastName;
    for (size_t i = 0; i < desc.records.size(); ++i)
        desc.records[i].Text(nLastName, UniqueSurname(static_cast<int>(i)));
    if (!datgen::WriteBytesToFile(path, datgen::BuildFile(desc))) {
        std::fprintf(stderr, "vw-bench: cannot write %s\n", path.c_str());
        return false;
    }
    return true;
}

}  // namespace

bool ParseGeneration(const std::string& name, Generation* pGen)
{
    if (name == "classic")
        *pGen = Generation::Classic;
    else if (name == "extended")
        *pGen = Generation::Extended;
    else if (name == "desktop6")
        *pGen = Generation::Desktop6;
    else
        return false;
    return true;
}

const char* GenerationName(Generation gen)
{
    switch (gen) {
    case Generation::Classic:
        return "classic";
    case Generation::Extended:
        return "extended";
    default:
        return "desktop6";
    }
}

const char* PalmFileName(Generation gen)
{
    return gen == Generation::Desktop6 ? "address.mdb" : "address.dat";
}

void Report(const char* pszName, double dValue)
{
    std::printf("R %s %.6f\n", pszName, dValue);
    std::fflush(stdout);
}

void ReportTime(const char* pszName, const Timer& timer)
{
    ReportTime(pszName, timer.Wall(), timer.Cpu());
}

void ReportTime(const char* pszName, double dWall, double dCpu)
{
    std::printf("R %s %.6f %.6f\n", pszName, dWall, dCpu);
    std::fflush(stdout);
}

void ReportPeakMemory()
{
    rusage usage{};
    getrusage(RUSAGE_SELF, &usage);
    Report("peak_mb", static_cast<double>(usage.ru_maxrss) / 1024.0);
}

bool CopyFile(const std::string& from, const std::string& to)
{
    std::ifstream in(from, std::ios::binary);
    std::ofstream out(to, std::ios::binary | std::ios::trunc);
    if (!in || !out)
        return false;
    out << in.rdbuf();
    out.close();
    return !in.bad() && out.good();
}

bool UseSettings(const std::string& iniPath, const std::string& palmPath, const std::string& bookPath)
{
    std::ofstream ini(iniPath, std::ios::trunc);
    ini << "[iSysVal]\nDatFile=" << palmPath << "\nWabFile=" << bookPath << "\n";
    ini.close();
    if (!ini.good())
        return false;
    SetIniFilePathOverride(iniPath.c_str());
    return true;
}

bool GenerateSides(Generation gen, int nContacts, const std::string& folder)
{
    const std::string palmPath = folder + "/" + PalmFileName(gen);
    const std::string bookPath = folder + "/book.wab";
    if (!UseSettings(folder + "/generate.ini", palmPath, bookPath) || !WritePalmFile(gen, nContacts, palmPath))
        return false;

    PmAddrInfo palm(VersionOf(gen));
    palm.SetSwapName(false);
    if (!palm.LoadContacts(palmPath.c_str())) {
        std::fprintf(stderr, "vw-bench: the generated %s does not load\n", palmPath.c_str());
        return false;
    }
    return WriteBook(palm.GetContactSet(), bookPath, true) &&
           WriteBook(palm.GetContactSet(), folder + "/" + kBookOfNewOnly, false);
}

}  // namespace bench
