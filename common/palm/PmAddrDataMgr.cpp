#include "common/palm/PmAddrDataMgr.h"

#include <new>

PmAddrDataMgr::PmAddrDataMgr() = default;

PmAddrDataMgr::~PmAddrDataMgr()
{
    Clear();
}

void PmAddrDataMgr::Clear()
{
    for (void* pData = m_Recs.GetFirst(); pData != nullptr; pData = m_Recs.GetNext())
        delete static_cast<PmAddrRecord*>(pData);
    m_Recs.RemoveAll(false);
    m_WholeTexts.Clear();
}

bool PmAddrDataMgr::Append(const PmAddrRecord* pRecord)
{
    if (pRecord == nullptr)
        return false;
    auto* pCopy = new (std::nothrow) PmAddrRecord(*pRecord);
    if (pCopy == nullptr)
        return false;
    if (!m_Recs.AddTail(pCopy)) {
        delete pCopy;
        return false;
    }
    return true;
}

PmAddrRecord* PmAddrDataMgr::First()
{
    return static_cast<PmAddrRecord*>(m_Recs.GetFirst());
}

PmAddrRecord* PmAddrDataMgr::Next()
{
    return static_cast<PmAddrRecord*>(m_Recs.GetNext());
}

PmAddrRecord* PmAddrDataMgr::GetAt(int nIndex)
{
    if (nIndex < 0)
        return nullptr;
    return static_cast<PmAddrRecord*>(m_Recs.GetByIndex(static_cast<uint32_t>(nIndex)));
}

int PmAddrDataMgr::Count() const
{
    return static_cast<int>(m_Recs.GetCount());
}
