// CxWabFolder: one folder of an open address book, the WabRecords of its
// entries in the order they were read or created. As a record source it
// hands out its entries as neutral records, converted when asked: the
// connection's contact set reads them through it instead of holding copies.
//
// The records live in the folder's own memory (NewRecord) and go all at once
// with ClearFolder: a fresh record is zero-filled without being written, so
// the fields an entry leaves empty never touch memory.
#pragma once

#include <cstdint>
#include <memory>
#include <vector>

#include "common/misc/CommRecordSource.h"
#include "common/misc/CxList.h"
#include "common/misc/RecordArena.h"
#include "common/oe/WabRecord.h"
#include "platform/wab/WabApi.h"

class CxWab;

class CxWabFolder : public CommRecordSource {
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
    // folder's name (cut to 30 characters) and appends it; the connection's
    // neutral set sees it from then on. True; false, the record not taken,
    // for a null record or when memory runs out.
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
    // The record at nPos in folder order, null outside the folder. Leaves
    // the list's cursor.
    WabRecord* GetRecordAt(uint32_t nPos) const;

    // The record source: GetCount() records; record nPos is the entry as
    // CxWab::ConvertToComm gives it, with the entry attached (pAttached the
    // WabRecord, nAttachedLen its size) and Source Type "Windows Address
    // Book". A change to an entry's fields is announced to the set that
    // reads them (CommAddrMgr::RecordChangedAt).
    int32_t GetRecordCount() const override;
    bool FillRecord(int32_t nPos, CommAddrRecord* pRecord) const override;
    bool FillFields(int32_t nPos, CommAddrRecord* pRecord, const CommFieldMask& fields) const override;

    IABContainer* GetContainer() const { return m_pContainer; }
    const char* GetName() const { return m_szName; }

protected:
    CxWab* m_pWab;               // the owning connection
    CxList* m_pRecords;          // owned WabRecords, in order
    IABContainer* m_pContainer;  // owned reference
    char m_szName[256];          // empty for the root folder

    // The records of m_pRecords by position, for the set reading them.
    std::vector<WabRecord*> m_Positions;

private:
    // FillRecord (null pFields) and FillFields.
    bool FillFieldsOf(int32_t nPos, CommAddrRecord* pRecord, const CommFieldMask* pFields) const;

    std::unique_ptr<RecordArena> m_pMemory;  // the records; null until the first NewRecord
};
