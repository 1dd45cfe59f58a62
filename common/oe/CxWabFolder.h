// CxWabFolder: one folder of an open address book, the WabRecords of its
// entries in the order they were read or created.
//
// The records live in the folder's own memory (NewRecord) and go all at once
// with ClearFolder: a fresh record is zero-filled without being written, so
// the fields an entry leaves empty never touch memory.
#pragma once

#include <memory>

#include "common/misc/CxList.h"
#include "common/misc/RecordArena.h"
#include "common/oe/WabRecord.h"
#include "platform/wab/WabApi.h"

class CxWab;

class CxWabFolder {
public:
    // A folder of pWab over pContainer (neither may be null), empty and with
    // an empty name. The folder owns the container reference it is given.
    CxWabFolder(CxWab* pWab, IABContainer* pContainer);
    // ClearFolder, then the container is released and the list deleted.
    virtual ~CxWabFolder();

    CxWabFolder(const CxWabFolder&) = delete;
    CxWabFolder& operator=(const CxWabFolder&) = delete;

    // A zero-filled record in the folder's memory, to be filled and handed
    // to AddEntry (or DiscardRecord); it keeps its address until ClearFolder.
    // Throws std::bad_alloc when memory runs out, as new does.
    WabRecord* NewRecord();
    // Gives back a record from NewRecord that was not added and owns no
    // identifier or object.
    void DiscardRecord(WabRecord* pRecord);

    // Takes ownership of pRecord (from NewRecord): stamps it with the
    // folder's name (cut to 30 characters), appends it, and registers its
    // neutral copy (with the record attached and Source Type "Windows Address
    // Book") in the connection's neutral set. True; false only for a null
    // record.
    bool AddEntry(WabRecord* pRecord);

    // Frees every record: its entry identifier, its IMailUser reference and
    // the record itself (the folder's record memory at once). The folder is
    // empty afterwards.
    void ClearFolder();

    // Walk the records in order with the list's cursor; null at the end.
    WabRecord* GetFirstRecord();
    WabRecord* GetNextRecord();
    // Number of records.
    uint32_t GetCount() const;

    IABContainer* GetContainer() const { return m_pContainer; }
    const char* GetName() const { return m_szName; }

protected:
    CxWab* m_pWab;               // the owning connection
    CxList* m_pRecords;          // owned WabRecords, in order
    IABContainer* m_pContainer;  // owned reference
    char m_szName[256];          // empty for the root folder

private:
    std::unique_ptr<RecordArena> m_pMemory;  // the records; null until the first NewRecord
};
