// Fuzzes the address-book stand-in with hostile files: whatever the bytes
// (a damaged or foreign SQLite database, random data), opening and listing
// must end cleanly; a file that does not open as a book is never written;
// a book that opens is offered a new contact and opens again afterwards.
#include <cstddef>
#include <cstdint>
#include <cstring>
#include <string>

#include "common/misc/CommAddrRecord.h"
#include "common/oe/CxWab.h"
#include "platform/fsutil/FsUtil.h"
#include "tools/fuzz/FuzzScratch.h"

namespace {

int CountEntries(CxWab& wab)
{
    int nCount = 0;
    for (WabRecord* pRecord = wab.GetFirstEntry(); pRecord != nullptr; pRecord = wab.GetNextEntry())
        ++nCount;
    return nCount;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    const std::string path = vwfuzz::WriteDatabaseInput("wabstore", "book.wab", data, size);
    const std::string input(reinterpret_cast<const char*>(data), size);

    {
        CxWab wab(nullptr);
        if (!wab.OpenAddressBook(path.c_str())) {
            std::string after;
            vwfuzz::Abort(ReadRegularFile(path, &after) && after == input);
            vwfuzz::Abort(wab.GetLastFailure().IsSet());
            return 0;
        }
        (void)CountEntries(wab);
        // Listing never writes.
        std::string after;
        vwfuzz::Abort(ReadRegularFile(path, &after) && after == input);

        CommAddrRecord record;
        ZeroCommRecord(&record);
        std::strcpy(record.szFirstName, "Fuzz");
        std::strcpy(record.szLastName, "Contact");
        if (!wab.StoreContact(&record))
            return 0;  // a damaged book may refuse the write; it must not crash
    }
    CxWab again(nullptr);
    if (again.OpenAddressBook(path.c_str()))
        (void)CountEntries(again);
    return 0;
}
