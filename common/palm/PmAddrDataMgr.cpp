#include "common/palm/PmAddrDataMgr.h"

#include <new>
#include <type_traits>

PmAddrDataMgr::PmAddrDataMgr() = default;

PmAddrDataMgr::~PmAddrDataMgr()
{
    Clear();
}

void PmAddrDataMgr::Clear()
{
    m_Recs.RemoveAll(false);
    if (m_pMemory != nullptr)
        m_pMemory->Reset();
    m_WholeTexts.Clear();
}

bool PmAddrDataMgr::Append(const PmAddrRecord* pRecord)
{
    if (pRecord == nullptr)
        return false;
    static_assert(std::is_trivially_copyable_v<PmAddrRecord> && alignof(PmAddrRecord) <= RecordArena::kPiece,
                  "a record is copied into its slot byte for byte");
    if (m_pMemory == nullptr) {
        m_pMemory.reset(new (std::nothrow) RecordArena(sizeof(PmAddrRecord)));
        if (m_pMemory == nullptr)
            return false;
    }
    auto* pCopy = static_cast<PmAddrRecord*>(m_pMemory->Take(pRecord));
    if (pCopy == nullptr)
        return false;
    if (!m_Recs.AddTail(pCopy)) {
        m_pMemory->GiveBack(pCopy);
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
