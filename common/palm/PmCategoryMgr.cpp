#include "common/palm/PmCategoryMgr.h"

#include <cstdint>

#include <cstring>
#include <string>

namespace {

// Characters a short name may not hold; each becomes '_'.
bool IsShortNameReserved(unsigned char ch)
{
    return ch == 0x22 || (ch >= 0x2A && ch <= 0x2C) || ch == 0x2E || ch == 0x2F || (ch >= 0x3A && ch <= 0x3F) ||
           (ch >= 0x5B && ch <= 0x5E) || ch == 0x7C;
}

unsigned char AsciiLower(unsigned char ch)
{
    return (ch >= 'A' && ch <= 'Z') ? static_cast<unsigned char>(ch - 'A' + 'a') : ch;
}

bool EqualsIgnoreCase(const char* pszA, const char* pszB)
{
    for (;; ++pszA, ++pszB) {
        const unsigned char a = AsciiLower(static_cast<unsigned char>(*pszA));
        const unsigned char b = AsciiLower(static_cast<unsigned char>(*pszB));
        if (a != b)
            return false;
        if (a == 0)
            return true;
    }
}

}  // namespace

PmCategoryMgr::PmCategoryMgr() : m_nNextFreeId(kDefaultNextFreeId), m_nCursor(0), m_nCount(0), m_bModified(false) { }

PmCategoryMgr::~PmCategoryMgr() = default;

int PmCategoryMgr::Count() const
{
    return m_nCount;
}

PmCategory* PmCategoryMgr::FindById(int32_t nId) const
{
    for (const auto& pSlot : m_pSlots) {
        if (pSlot && pSlot->GetId() == nId)
            return pSlot.get();
    }
    return nullptr;
}

PmCategory* PmCategoryMgr::GetAt(int16_t nIndex) const
{
    const auto nSlot = static_cast<uint16_t>(nIndex);
    if (nSlot >= kMaxCategories)
        return nullptr;
    return m_pSlots[nSlot].get();
}

PmCategory* PmCategoryMgr::FindByName(const char* pszName) const
{
    if (pszName == nullptr || *pszName == '\0')
        return nullptr;
    for (const auto& pSlot : m_pSlots) {
        if (pSlot && EqualsIgnoreCase(pSlot->GetName(), pszName))
            return pSlot.get();
    }
    return nullptr;
}

PmCategory* PmCategoryMgr::First()
{
    m_nCursor = 0;
    return Next();
}

PmCategory* PmCategoryMgr::Next()
{
    for (int32_t nSlot = m_nCursor; nSlot >= 0 && nSlot < kMaxCategories; ++nSlot) {
        if (m_pSlots[nSlot]) {
            m_nCursor = nSlot + 1;
            return m_pSlots[nSlot].get();
        }
    }
    return nullptr;
}

int32_t PmCategoryMgr::ProposeId() const
{
    // Worked out in 64 bits: a file may hold the largest 32-bit id, and one
    // more than that is no id at all, so nothing can be proposed then.
    int64_t nProposal = -1;
    for (const auto& pSlot : m_pSlots) {
        if (!pSlot)
            return nProposal > INT32_MAX ? -1 : static_cast<int32_t>(nProposal);
        if (pSlot->GetId() >= nProposal)
            nProposal = static_cast<int64_t>(pSlot->GetId()) + 1;
    }
    return -1;
}

bool PmCategoryMgr::Add(PmCategory* pCategory)
{
    if (pCategory == nullptr || m_nCount >= kMaxCategories)
        return false;

    int32_t nIndex = pCategory->GetIndex();
    if (nIndex != -1 && (nIndex < 0 || nIndex >= kMaxCategories))
        return false;
    if (nIndex == -1 || m_pSlots[nIndex]) {
        // A new category, or one whose slot is taken: the first free slot
        // after "Unfiled".
        nIndex = -1;
        for (int32_t nSlot = 1; nSlot < kMaxCategories; ++nSlot) {
            if (!m_pSlots[nSlot]) {
                nIndex = nSlot;
                break;
            }
        }
        if (nIndex == -1)
            return false;
        pCategory->SetIndex(nIndex);
        pCategory->SetDirty(true);
    }

    if (pCategory->GetId() == -1) {
        const int32_t nId = ProposeId();
        if (nId == -1)
            return false;
        pCategory->SetId(nId);
        pCategory->SetDirty(true);
    }
    if (FindById(pCategory->GetId()) != nullptr)
        return false;

    const char* pszName = pCategory->GetName();
    if (*pszName != '\0') {
        std::string strShort(pszName);
        for (char& ch : strShort) {
            if (IsShortNameReserved(static_cast<unsigned char>(ch)))
                ch = '_';
        }
        pCategory->SetShortName(strShort.c_str());
    }

    m_pSlots[nIndex] = std::make_unique<PmCategory>(*pCategory);
    ++m_nCount;
    m_bModified = true;
    return true;
}

void PmCategoryMgr::SetModified(bool bModified)
{
    m_bModified = bModified;
}
