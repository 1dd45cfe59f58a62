// CxWabFolder: one folder of an open address book, the WabRecords of its
// entries in the order they were read or created.
#pragma once

#include "common/misc/CxList.h"
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

    // Takes ownership of pRecord (allocated with new): stamps it with the
    // folder's name (cut to 30 characters), appends it, and registers its
    // neutral copy (with the record attached and Source Type "Windows Address
    // Book") in the connection's neutral set. True; false only for a null
    // record.
    bool AddEntry(WabRecord* pRecord);

    // Frees every record: its entry identifier, its IMailUser reference and
    // the record itself. The folder is empty afterwards.
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
};
