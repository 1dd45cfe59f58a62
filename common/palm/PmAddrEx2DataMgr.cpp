#include "common/palm/PmAddrEx2DataMgr.h"

#include <cstring>
#include <new>

#include "common/palm/PmAddrEx2Record.h"

PmAddrEx2DataMgr::PmAddrEx2DataMgr() = default;

PmAddrEx2DataMgr::~PmAddrEx2DataMgr()
{
    Clear();
}

void PmAddrEx2DataMgr::Clear()
{
    for (void* p = m_list.GetFirst(); p != nullptr; p = m_list.GetNext()) {
        PmAddrEx2Record* pRecord = static_cast<PmAddrEx2Record*>(p);
        FreeRecord(pRecord);
        delete pRecord;
    }
    m_list.RemoveAll(false);
}

bool PmAddrEx2DataMgr::Append(const PmAddrEx2Record* pRecord)
{
    if (pRecord == nullptr)
        return false;
    PmAddrEx2Record* pCopy = new (std::nothrow) PmAddrEx2Record();
    if (pCopy == nullptr)
        return false;
    CopyRecord(pCopy, pRecord);
    if (!m_list.AddTail(pCopy)) {
        FreeRecord(pCopy);
        delete pCopy;
        return false;
    }
    return true;
}

PmAddrEx2Record* PmAddrEx2DataMgr::GetAt(int nIndex)
{
    if (nIndex < 0)
        return nullptr;
    return static_cast<PmAddrEx2Record*>(m_list.GetByIndex(static_cast<uint32_t>(nIndex)));
}

PmAddrEx2Record* PmAddrEx2DataMgr::First()
{
    return static_cast<PmAddrEx2Record*>(m_list.GetFirst());
}

PmAddrEx2Record* PmAddrEx2DataMgr::Next()
{
    return static_cast<PmAddrEx2Record*>(m_list.GetNext());
}

int PmAddrEx2DataMgr::Count() const
{
    return static_cast<int>(m_list.GetCount());
}

bool PmAddrEx2DataMgr::CopyRecord(PmAddrEx2Record* pDst, const PmAddrEx2Record* pSrc)
{
    if (pDst == nullptr || pSrc == nullptr)
        return false;
    if (pDst != pSrc)
        std::memcpy(pDst, pSrc, sizeof(PmAddrEx2Record));
    return true;
}

void PmAddrEx2DataMgr::FreeRecord(PmAddrEx2Record*) { }
