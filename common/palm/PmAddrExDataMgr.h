// PmAddrExDataMgr: the records of one extended address.dat, in file order
// followed by the records appended since.
//
// The list owns deep copies of the records (binary items included); a record
// keeps its address for as long as it is in the list (records are only
// appended, and only removed all at once by Clear), so callers may keep
// pointers to them and change them in place. Beside the records it keeps the
// whole texts that their members hold cut (see PmWholeTexts); the reader
// fills them and the writer uses them.
#pragma once

#include <memory>

#include "common/misc/CxList.h"
#include "common/misc/RecordArena.h"
#include "common/palm/PmAddrExRecord.h"
#include "common/palm/PmWholeTexts.h"

class PmAddrExDataMgr {
public:
    PmAddrExDataMgr();
    ~PmAddrExDataMgr();  // frees every record with its binary items
    PmAddrExDataMgr(const PmAddrExDataMgr&) = delete;
    PmAddrExDataMgr& operator=(const PmAddrExDataMgr&) = delete;

    // Frees every record together with its binary items' buffers, empties
    // the list and forgets the kept texts.
    void Clear();
    // Stores a deep copy of *pRecord at the end. False for a null record or
    // when memory runs out.
    bool Append(const PmAddrExRecord* pRecord);
    // Iteration in list order: First() answers the first record, Next() the
    // one after the previous answer; null at the end. GetAt moves the same
    // cursor, so do not interleave it with a walk.
    PmAddrExRecord* First();
    PmAddrExRecord* Next();
    // The record at a zero-based index, null when out of range.
    PmAddrExRecord* GetAt(int nIndex);
    int Count() const;

    // Whole texts kept beside the records, keyed by record address and field
    // number.
    PmWholeTexts& GetWholeTexts() { return m_WholeTexts; }
    const PmWholeTexts& GetWholeTexts() const { return m_WholeTexts; }

    // The records, each a PmAddrExRecord in m_pMemory, owned here.
    CxList* m_pRecs;

private:
    PmWholeTexts m_WholeTexts;
    // The memory of the records: a whole file's records are held together
    // and given back at once, by Clear. Null until the first Append.
    std::unique_ptr<RecordArena> m_pMemory;
};
