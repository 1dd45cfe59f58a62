// vw-demogen: writes the demo address book.
//
//   vw-demogen [--force] BOOK.wab
//
// Creates BOOK.wab and stores the demo contacts in it one by one through the
// program's own address-book connection (CxWab::StoreContact), exactly as a
// transfer from Palm Desktop would. Texts are Windows-1252 bytes, as the
// address book keeps them. The contacts overlap with the demo Palm data that
// tools/make-demo.sh writes, so both lists show rows of every state: the
// same on both sides, modified on one side, and new. Refuses to touch an
// existing file unless --force is given (the file is then replaced).
#include <sys/stat.h>
#include <unistd.h>

#include <cstdio>
#include <cstring>
#include <iterator>
#include <string>

#include "common/misc/CommAddrRecord.h"
#include "common/oe/CxWab.h"

namespace {

// One demo contact: the fields a transfer compares, in Windows-1252.
struct DemoContact {
    const char* pszFirst;
    const char* pszLast;
    const char* pszEmail;
    const char* pszWorkPhone;
    const char* pszHomePhone;
    const char* pszMobile;
    const char* pszCompany;
    const char* pszTitle;
    const char* pszWorkCity;
    const char* pszNote;
};

// Kept in step with the Palm side in tools/make-demo.sh: José and Siobhán are
// the same on both sides, Zoë and Jürgen differ (modified), the others are
// only here (new).
constexpr DemoContact kContacts[] = {
    {"Jos\xE9", "Ram\xEDrez", "jose.ramirez@example.org", "+1 555 0101", "", "", "Caf\xE9 Ol\xE9 Imports", "Buyer",
     "San Jos\xE9", ""},
    {"Zo\xEB",
     "\xC5"
     "berg",
     "zoe.aberg@example.org", "", "", "+46 70 555 0102", "", "", "", ""},
    {"Siobh\xE1n", "O'Brien", "siobhan.obrien@example.org", "", "+353 1 555 0103", "", "O'Brien & Sons", "", "", ""},
    {"J\xFCrgen", "M\xFCller", "juergen.mueller@example.org", "+49 30 555 0104", "", "", "M\xFCller GmbH", "", "", ""},
    {"Fran\xE7ois", "Lef\xE8vre", "francois.lefevre@example.org", "+33 1 55 50 01 05", "", "", "", "", "Paris",
     "Met at the caf\xE9 near the Op\xE9ra."},
    {"Chlo\xEB", "Bront\xEB", "chloe.bronte@example.org", "", "", "+44 7700 900106", "", "Novelist", "", ""},
    {"Nu\xF1o",
     "Pe\xF1"
     "a",
     "nuno.pena@example.org", "", "+34 91 555 0107", "", "", "", "", ""},
};

void Fill(const DemoContact& c, CommAddrRecord* pRecord)
{
    ZeroCommRecord(pRecord);
    SetTextField(pRecord, CF_FIRST_NAME, c.pszFirst);
    SetTextField(pRecord, CF_LAST_NAME, c.pszLast);
    SetTextField(pRecord, CF_EMAIL, c.pszEmail);
    SetTextField(pRecord, CF_WORK_PHONE, c.pszWorkPhone);
    SetTextField(pRecord, CF_HOME_PHONE, c.pszHomePhone);
    SetTextField(pRecord, CF_MOBILE_PHONE, c.pszMobile);
    SetTextField(pRecord, CF_COMPANY, c.pszCompany);
    SetTextField(pRecord, CF_TITLE, c.pszTitle);
    SetTextField(pRecord, CF_WORK_CITY, c.pszWorkCity);
    SetTextField(pRecord, CF_NOTE, c.pszNote);
}

int Usage()
{
    std::fprintf(stderr, "usage: vw-demogen [--force] BOOK.wab\n");
    return 2;
}

}  // namespace

int main(int argc, char** argv)
{
    bool bForce = false;
    std::string book;
    for (int i = 1; i < argc; ++i) {
        if (std::strcmp(argv[i], "--force") == 0)
            bForce = true;
        else if (argv[i][0] != '-' && book.empty())
            book = argv[i];
        else
            return Usage();
    }
    if (book.empty())
        return Usage();

    struct stat st;
    if (stat(book.c_str(), &st) == 0) {
        if (!bForce) {
            std::fprintf(stderr, "vw-demogen: %s exists (use --force to replace it)\n", book.c_str());
            return 1;
        }
        if (unlink(book.c_str()) != 0) {
            std::perror(book.c_str());
            return 1;
        }
    }

    CxWab wab(nullptr);
    if (!wab.OpenAddressBook(book.c_str())) {
        std::fprintf(stderr, "vw-demogen: cannot create the address book %s\n", book.c_str());
        return 1;
    }
    int nStored = 0;
    for (const DemoContact& contact : kContacts) {
        CommAddrRecord record;
        Fill(contact, &record);
        if (wab.StoreContact(&record))
            ++nStored;
    }
    wab.CloseAddressBook();
    if (nStored != static_cast<int>(std::size(kContacts))) {
        std::fprintf(stderr, "vw-demogen: stored %d of %zu contacts\n", nStored, std::size(kContacts));
        return 1;
    }
    std::printf("%s: %d contacts\n", book.c_str(), nStored);
    return 0;
}
