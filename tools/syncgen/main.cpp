// vw-syncgen: writes two books built from one random population.
//
//   vw-syncgen classic|extended|desktop6 PALMFILE BOOK.wab [SEED] [SHARED] [ALONE]
//
// SHARED contacts (default 40) are on both sides, each changed on neither,
// one or both sides (another value, a new value or a value taken away);
// ALONE contacts (default 20) are on each side only. Among them: namesakes
// without e-mail (never changed, so they can be told apart by their values),
// company-only contacts, companies longer than the address book keeps
// (31 characters) and faxes that the address book holds as its home fax.
// Every contact is added as it is, namesakes included, through the
// program's own writers. Both files are replaced.
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <algorithm>
#include <map>
#include <random>
#include <string>
#include <vector>

#include "common/misc/CommAddrRecord.h"
#include "common/oe/CxWab.h"
#include "common/palm/PmAddrInfo.h"
#include "tools/d6gen/D6Gen.h"
#include "tools/datgen/DatGen.h"

namespace {

using Contact = std::map<int32_t, std::string>;

CommAddrRecord Neutral(const Contact& contact)
{
    CommAddrRecord record;
    ZeroCommRecord(&record);
    for (const auto& [nId, text] : contact)
        SetTextField(&record, nId, text.c_str());
    return record;
}

class Population {
public:
    explicit Population(uint32_t nSeed) : m_rng(nSeed) {}

    uint32_t Below(uint32_t n) { return static_cast<uint32_t>(m_rng() % n); }

    std::string Value(int32_t nId)
    {
        const std::string serial = std::to_string(++m_nSerial);
        switch (nId) {
        case CF_COMPANY:
            return Below(3) == 0 ? "Consolidated Regional Services Number " + serial : "Firm " + serial;
        case CF_NOTE:
            return "note " + serial;
        case CF_WORK_CITY:
        case CF_TITLE:
            return "t" + serial;
        default:
            return "555-" + serial;
        }
    }

    Contact Person(bool bNamesakes)
    {
        const int nIndex = ++m_nIndex;
        Contact contact;
        const uint32_t nKind = bNamesakes ? Below(10) : 4 + Below(6);
        if (nKind == 0) {
            contact[CF_COMPANY] = "Company Only " + std::to_string(nIndex);
        } else {
            contact[CF_FIRST_NAME] = nKind < 4 ? "Pat" : "First" + std::to_string(nIndex);
            contact[CF_LAST_NAME] = nKind < 4 ? "Namesake" : "Last" + std::to_string(nIndex);
            if (nKind >= 3)
                contact[CF_EMAIL] = "p" + std::to_string(nIndex) + "@example.org";
        }
        for (int32_t nId : kChangeable)
            if (Below(2) == 0)
                contact[nId] = Value(nId);
        if (contact.count(CF_COMPANY) == 0 && Below(2) == 0)
            contact[CF_COMPANY] = Value(CF_COMPANY);
        return contact;
    }

    void Change(Contact& contact)
    {
        const int32_t nId = kChangeable[Below(6)];
        if (contact.count(nId) != 0 && Below(4) == 0)
            contact.erase(nId);
        else
            contact[nId] = Value(nId);
    }

    std::mt19937& Rng() { return m_rng; }

private:
    static constexpr int32_t kChangeable[6] = {CF_TITLE,        CF_WORK_PHONE, CF_HOME_PHONE,
                                               CF_MOBILE_PHONE, CF_WORK_CITY,  CF_NOTE};
    std::mt19937 m_rng;
    int m_nSerial = 0;
    int m_nIndex = 0;
};

int Usage()
{
    std::fprintf(stderr, "usage: vw-syncgen classic|extended|desktop6 PALMFILE BOOK.wab [SEED] [SHARED] [ALONE]\n");
    return 2;
}

} // namespace

int main(int argc, char** argv)
{
    if (argc < 4)
        return Usage();
    const std::string kind = argv[1];
    const std::string palmPath = argv[2];
    const std::string wabPath = argv[3];
    const uint32_t nSeed = argc > 4 ? static_cast<uint32_t>(std::strtoul(argv[4], nullptr, 10)) : 1;
    const int nShared = argc > 5 ? std::atoi(argv[5]) : 40;
    const int nAlone = argc > 6 ? std::atoi(argv[6]) : 20;
    DWORD dwVersion = 0;
    if (kind == "classic")
        dwVersion = 40000;
    else if (kind == "extended")
        dwVersion = 40102;
    else if (kind == "desktop6")
        dwVersion = 60000;
    else
        return Usage();

    Population population(nSeed);
    std::vector<Contact> palm;
    std::vector<Contact> wab;
    for (int i = 0; i < nShared; ++i) {
        const Contact contact = population.Person(true);
        Contact onPalm = contact;
        Contact onWab = contact;
        const bool bNamesake = contact.count(CF_EMAIL) == 0 && contact.count(CF_FIRST_NAME) != 0 &&
                               contact.at(CF_FIRST_NAME) == "Pat";
        const uint32_t nChange = bNamesake ? 0 : population.Below(4);   // none, Palm, book, both
        if (nChange == 1 || nChange == 3)
            population.Change(onPalm);
        if (nChange == 2 || nChange == 3)
            population.Change(onWab);
        if (population.Below(5) == 0) {
            onPalm[CF_WORK_FAX] = "555-7" + std::to_string(i);
            onWab[CF_HOME_FAX] = onPalm[CF_WORK_FAX];
        }
        palm.push_back(onPalm);
        wab.push_back(onWab);
    }
    std::shuffle(wab.begin(), wab.end(), population.Rng());
    for (int i = 0; i < nAlone; ++i)
        palm.push_back(population.Person(false));
    for (int i = 0; i < nAlone; ++i)
        wab.push_back(population.Person(false));

    unlink(palmPath.c_str());
    unlink(wabPath.c_str());
    if (dwVersion >= 60000) {
        std::string strError;
        if (!D6CreateDatabase(palmPath, "", &strError, true)) {
            std::fprintf(stderr, "vw-syncgen: %s\n", strError.c_str());
            return 1;
        }
    } else {
        datgen::DatDescription desc;
        desc.format = dwVersion >= 40102 ? datgen::DatFormat::Extended : datgen::DatFormat::Classic;
        if (!datgen::WriteBytesToFile(palmPath, datgen::BuildFile(desc))) {
            std::fprintf(stderr, "vw-syncgen: cannot write %s\n", palmPath.c_str());
            return 1;
        }
    }
    PmAddrInfo info(dwVersion);
    if (!info.LoadContacts(palmPath.c_str())) {
        std::fprintf(stderr, "vw-syncgen: cannot load %s\n", palmPath.c_str());
        return 1;
    }
    for (const Contact& contact : palm) {
        const CommAddrRecord record = Neutral(contact);
        if (!info.AddRecord(&record))
            return 1;
    }
    if (!info.SaveContacts())
        return 1;
    CxWab book(nullptr);
    if (!book.OpenAddressBook(wabPath.c_str())) {
        std::fprintf(stderr, "vw-syncgen: cannot open %s\n", wabPath.c_str());
        return 1;
    }
    for (const Contact& contact : wab) {
        const CommAddrRecord record = Neutral(contact);
        if (!book.AddContact(&record))
            return 1;
    }
    std::printf("%zu Palm contacts, %zu address-book entries\n", palm.size(), wab.size());
    return 0;
}
