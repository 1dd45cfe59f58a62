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
    if (m_pMemory != nullptr)
        m_pMemory->Reset();
    m_WholeTexts.Clear();
}

bool PmAddrExDataMgr::Append(const PmAddrExRecord* pRecord)
{
    if (pRecord == nullptr)
        return false;
    if (m_pMemory == nullptr) {
        m_pMemory.reset(new (std::nothrow) RecordArena(sizeof(PmAddrExRecord)));
        if (m_pMemory == nullptr)
            return false;
    }
    static_assert(alignof(PmAddrExRecord) <= alignof(std::max_align_t));
    // A slot left by a failed copy stays unused until Clear.
    void* pSlot = m_pMemory->TakeZeroed();
    if (pSlot == nullptr)
        return false;
    PmAddrExRecord* pCopy = nullptr;
    try {
        pCopy = new (pSlot) PmAddrExRecord(*pRecord);  // copies the items' buffers
    } catch (const std::bad_alloc&) {
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
