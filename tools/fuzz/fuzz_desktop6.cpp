// Fuzzes the Desktop 6 database stand-in with hostile files: whatever the
// bytes (a damaged or foreign SQLite database, a Jet header, random data),
// loading must end cleanly; a file that does not load is never written and
// says why; loading alone never changes the file; a database that loads
// is offered a new contact.
#include <cstddef>
#include <cstdint>
#include <cstring>
#include <string>

#include "common/misc/CommAddrRecord.h"
#include "common/palm/PmAddrInfo.h"
#include "platform/fsutil/FsUtil.h"
#include "tools/fuzz/FuzzScratch.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    const std::string path = vwfuzz::WriteDatabaseInput("desktop6", "address.mdb", data, size);
    const std::string input(reinterpret_cast<const char*>(data), size);

    PmAddrInfo info(60000);
    const bool bLoaded = info.LoadContacts(path.c_str());
    std::string after;
    vwfuzz::Abort(ReadRegularFile(path, &after) && after == input);
    if (!bLoaded) {
        vwfuzz::Abort(info.GetLastFailure().IsSet());
        return 0;
    }
    CommAddrRecord record;
    ZeroCommRecord(&record);
    std::strcpy(record.szFirstName, "Fuzz");
    std::strcpy(record.szLastName, "Contact");
    std::strcpy(record.szEmail, "fuzz@example.org");
    (void)info.AddOrUpdate(&record);
    (void)info.SaveContacts();
    return 0;
}
