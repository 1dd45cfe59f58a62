// PmAddrEx2DataMgr: the contacts loaded from a Desktop 6 database, in table
// order followed by the records appended since. It owns copies of the
// records.
#pragma once

#include "common/misc/CxList.h"

struct PmAddrEx2Record;

class PmAddrEx2DataMgr {
public:
    PmAddrEx2DataMgr();
    // Frees every record.
    virtual ~PmAddrEx2DataMgr();
    PmAddrEx2DataMgr(const PmAddrEx2DataMgr&) = delete;
    PmAddrEx2DataMgr& operator=(const PmAddrEx2DataMgr&) = delete;

    // Releases and frees every record and empties the list.
    void Clear();
    // Appends a copy of the record (CopyRecord); the copy is then the last
    // record, GetAt(Count() - 1). False for null or when the list cannot
    // take it.
    bool Append(const PmAddrEx2Record* pRecord);
    // The record at a zero-based index, or null.
    PmAddrEx2Record* GetAt(int nIndex);
    // Iteration in list order; null at the end. GetAt and Append move the
    // same cursor.
    PmAddrEx2Record* First();
    PmAddrEx2Record* Next();
    int Count() const;

    // Copies a record byte for byte. False when either is null.
    static bool CopyRecord(PmAddrEx2Record* pDst, const PmAddrEx2Record* pSrc);
    // Releases what a record owns, which is nothing; the record itself is
    // left to its owner.
    static void FreeRecord(PmAddrEx2Record* pRecord);

private:
    CxList m_list;  // PmAddrEx2Record*, owned
};
