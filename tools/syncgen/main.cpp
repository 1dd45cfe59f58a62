// vw-syncgen: writes two books built from one random population.
//
//   vw-syncgen classic|extended|desktop6 PALMFILE BOOK.wab [SEED] [SHARED] [ALONE]
//
// SHARED contacts (default 40) are on both sides, ALONE contacts (default
// 20) on each side only, as SyncPopulation.h describes them. Every contact
// is added as it is, namesakes included, through the program's own writers.
// Both files are replaced.
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

#include "common/misc/CommAddrRecord.h"
#include "common/oe/CxWab.h"
#include "common/palm/PmAddrInfo.h"
#include "tools/d6gen/D6Gen.h"
#include "tools/datgen/DatGen.h"
#include "tools/syncgen/SyncPopulation.h"

namespace {

using syncgen::Contact;
using syncgen::Neutral;

int Usage()
{
    std::fprintf(stderr, "usage: vw-syncgen classic|extended|desktop6 PALMFILE BOOK.wab [SEED] [SHARED] [ALONE]\n");
    return 2;
}

}  // namespace

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

    const syncgen::Population population = syncgen::MakePopulation(nSeed, nShared, nAlone);
    const std::vector<Contact>& palm = population.palm;
    const std::vector<Contact>& wab = population.wab;

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
