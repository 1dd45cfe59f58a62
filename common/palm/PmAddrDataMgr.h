// PmAddrDataMgr: the records of one classic address.dat, in file order
// followed by the records appended since.
//
// The list owns copies of the records, held together in one arena and given
// back at once; a record keeps its address for
// as long as it is in the list (records are only appended, and only removed
// all at once by Clear), so callers may keep pointers to them and change
// them in place. Beside the records it keeps the whole texts that their
// members hold cut (see PmWholeTexts); the reader fills them and the writer
// uses them.
#pragma once

#include <memory>

#include "common/misc/CxList.h"
#include "common/misc/RecordArena.h"
#include "common/palm/PmAddrRecord.h"
#include "common/palm/PmWholeTexts.h"

class PmAddrDataMgr {
public:
    PmAddrDataMgr();
    ~PmAddrDataMgr();  // frees every record
    PmAddrDataMgr(const PmAddrDataMgr&) = delete;
    PmAddrDataMgr& operator=(const PmAddrDataMgr&) = delete;

    // Frees every record, empties the list and forgets the kept texts.
    void Clear();
    // Stores a copy of *pRecord at the end. False for a null record or when
    // memory runs out.
    bool Append(const PmAddrRecord* pRecord);
    // Iteration in list order: First() answers the first record, Next() the
    // one after the previous answer; null at the end. GetAt moves the same
    // cursor, so do not interleave it with a walk.
    PmAddrRecord* First();
    PmAddrRecord* Next();
    // The record at a zero-based index, null when out of range.
    PmAddrRecord* GetAt(int nIndex);
    int Count() const;

    // Whole texts kept beside the records, keyed by record address and field
    // number.
    PmWholeTexts& GetWholeTexts() { return m_WholeTexts; }
    const PmWholeTexts& GetWholeTexts() const { return m_WholeTexts; }

    // The records, each a PmAddrRecord in m_pMemory, owned here.
    CxList m_Recs;

private:
    PmWholeTexts m_WholeTexts;
    // The memory of the records; null until the first Append.
    std::unique_ptr<RecordArena> m_pMemory;
};
