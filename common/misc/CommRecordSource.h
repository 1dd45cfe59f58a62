// CommRecordSource: a side's records as neutral records, read one at a time
// by position, for a contact set that reads the side instead of holding a
// copy of every record.
//
// Positions run from 0 to GetRecordCount() - 1 in the side's own order; a
// side only appends, so a position keeps standing for the same record until
// the side is emptied. A side that changes the record at a position tells the
// set that reads it (CommAddrMgr::RecordChangedAt).
#pragma once

#include <cstdint>

#include "common/misc/CommAddrRecord.h"

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
};
