// CommRecordSource: a side's records as neutral records, read one at a time
// by position, for a contact set that reads the side instead of holding a
// copy of every record.
//
// Positions run from 0 to GetRecordCount() - 1 in the side's own order; a
// side only appends, so a position keeps standing for the same record until
// the side is emptied. A side that changes the record at a position tells the
// set that reads it (CommAddrMgr::RecordChangedAt).
#pragma once

#include <bitset>
#include <cstdint>

#include "common/misc/CommAddrRecord.h"

// Which fields of a record a reader needs: bit nId for the field nId.
using CommFieldMask = std::bitset<COMM_FIELD_COUNT + 1>;

class CommRecordSource {
public:
    virtual ~CommRecordSource() = default;

    // Number of records.
    virtual int32_t GetRecordCount() const = 0;

    // Fills *pRecord, which the caller has zero-filled, with the record at
    // nPos (0 <= nPos < GetRecordCount()) as the side converts it. False,
    // with *pRecord left zero-filled, when there is no record at nPos (a
    // set answers CLASSIFY_NONE for it, as for a null record).
    virtual bool FillRecord(int32_t nPos, CommAddrRecord* pRecord) const = 0;

    // FillRecord for a reader that needs only the fields of `fields` (a set
    // matching the record): those are filled as FillRecord fills them, the
    // others may stay zero. By default the whole record.
    virtual bool FillFields(int32_t nPos, CommAddrRecord* pRecord, const CommFieldMask& fields) const
    {
        (void)fields;
        return FillRecord(nPos, pRecord);
    }
};
