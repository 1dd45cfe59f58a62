#include "common/palm/PmAddrExDataMgr.h"

#include <cstddef>
#include <new>

PmAddrExDataMgr::PmAddrExDataMgr() : m_pRecs(new CxList) { }

PmAddrExDataMgr::~PmAddrExDataMgr()
{
    Clear();
    delete m_pRecs;
}

void PmAddrExDataMgr::Clear()
{
    for (void* pData = m_pRecs->GetFirst(); pData != nullptr; pData = m_pRecs->GetNext())
        static_cast<PmAddrExRecord*>(pData)->~PmAddrExRecord();
    m_pRecs->RemoveAll(false);
    // The memory goes too: a record is only ever built in a slot that never
    // held one (see Append).
    m_pMemory.reset();
    m_WholeTexts.Clear();
}

bool PmAddrExDataMgr::Append(const PmAddrExRecord* pRecord)
{
    if (pRecord == nullptr)
        return false;
    if (m_pMemory == nullptr) {
        m_pMemory.reset(new (std::nothrow) RecordArena(sizeof(PmAddrExRecord), /*bPageSlots=*/true));
        if (m_pMemory == nullptr)
            return false;
    }
    static_assert(alignof(PmAddrExRecord) <= alignof(std::max_align_t));
    // A slot that never held a record, as the arena's fresh memory gives it
    // (Clear frees the arena, and a slot left by a failed copy stays unused
    // until then): it holds zero bytes that nothing wrote, so the copy writes
    // only the pieces of the record that are not zero, and the pages its
    // empty long texts would fill stay untouched.
    void* pSlot = m_pMemory->TakeZeroed();
    if (pSlot == nullptr)
        return false;
    auto* pCopy = new (pSlot) PmAddrExRecord(PmAddrExRecord::ZeroedMemory{});
    CopyNonZeroPieces(pCopy->PlainBytes(), pRecord->PlainBytes(), PmAddrExRecord::PlainSize());
    try {
        for (int i = 0; i < kPmAddrExBinaryCount; ++i)
            pCopy->items[i] = pRecord->items[i];  // copies the items' buffers
    } catch (const std::bad_alloc&) {
        pCopy->~PmAddrExRecord();
        return false;
    }
    if (!m_pRecs->AddTail(pCopy)) {
        pCopy->~PmAddrExRecord();
        return false;
    }
    return true;
}

PmAddrExRecord* PmAddrExDataMgr::First()
{
    return static_cast<PmAddrExRecord*>(m_pRecs->GetFirst());
}

PmAddrExRecord* PmAddrExDataMgr::Next()
{
    return static_cast<PmAddrExRecord*>(m_pRecs->GetNext());
}

PmAddrExRecord* PmAddrExDataMgr::GetAt(int nIndex)
{
    if (nIndex < 0)
        return nullptr;
    return static_cast<PmAddrExRecord*>(m_pRecs->GetByIndex(static_cast<uint32_t>(nIndex)));
}

int PmAddrExDataMgr::Count() const
{
    return static_cast<int>(m_pRecs->GetCount());
}
