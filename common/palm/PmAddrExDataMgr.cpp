#include "common/palm/PmAddrExDataMgr.h"

#include <new>

PmAddrExDataMgr::PmAddrExDataMgr() : m_pRecs(new CxList) {}

PmAddrExDataMgr::~PmAddrExDataMgr()
{
    Clear();
    delete m_pRecs;
}

void PmAddrExDataMgr::Clear()
{
    for (void* pData = m_pRecs->GetFirst(); pData != nullptr; pData = m_pRecs->GetNext())
        delete static_cast<PmAddrExRecord*>(pData);
    m_pRecs->RemoveAll(false);
    m_WholeTexts.Clear();
}

bool PmAddrExDataMgr::Append(const PmAddrExRecord* pRecord)
{
    if (pRecord == nullptr)
        return false;
    PmAddrExRecord* pCopy = nullptr;
    try {
        pCopy = new PmAddrExRecord(*pRecord);   // copies the items' buffers
    } catch (const std::bad_alloc&) {
        return false;
    }
    if (!m_pRecs->AddTail(pCopy)) {
        delete pCopy;
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
