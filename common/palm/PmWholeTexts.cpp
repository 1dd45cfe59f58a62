#include "common/palm/PmWholeTexts.h"

#include <cstdint>
#include <cstring>

#include "common/palm/PmDBUtil.h"

namespace {

// The number of bytes of strText a member of nWidth bytes shows as its text:
// the stored bytes are cut to nWidth - 1, and a zero byte ends the text.
size_t VisibleLength(const std::string& strText, int nWidth)
{
    const size_t nCut =
        strText.size() < static_cast<size_t>(nWidth - 1) ? strText.size() : static_cast<size_t>(nWidth - 1);
    return strnlen(strText.data(), nCut);
}

}  // namespace

bool PmWholeTexts::ReadTextField(PmDBUtil& db, char* pszMember, int nWidth, std::string& strWhole)
{
    strWhole.clear();
    if (pszMember == nullptr || nWidth < 1)
        return false;
    int32_t nType = 0;
    int32_t nIgnored = 0;
    std::string strStored;
    if (!db.ReadInt32(nType) || nType != kPmTypeText || !db.ReadInt32(nIgnored) || !db.ReadCString(strStored))
        return false;
    std::memset(pszMember, 0, static_cast<size_t>(nWidth));
    const size_t nVisible = VisibleLength(strStored, nWidth);
    std::memcpy(pszMember, strStored.data(), nVisible);
    if (nVisible != strStored.size())
        strWhole = std::move(strStored);
    return true;
}

bool PmWholeTexts::MemberHolds(const char* pszMember, int nWidth, const std::string& strWhole)
{
    if (pszMember == nullptr || nWidth < 1)
        return false;
    const size_t nVisible = VisibleLength(strWhole, nWidth);
    return strnlen(pszMember, static_cast<size_t>(nWidth)) == nVisible &&
           std::memcmp(pszMember, strWhole.data(), nVisible) == 0;
}

bool PmWholeTexts::WriteTextField(PmDBUtil& db, const char* pszMember, int nWidth, const std::string* pWhole)
{
    if (pWhole != nullptr && MemberHolds(pszMember, nWidth, *pWhole))
        return db.WriteTextField(pWhole->data(), pWhole->size());
    // A member is always terminated within its width; strnlen guards one
    // that a caller filled to the brim.
    const size_t nLength = pszMember == nullptr ? 0 : strnlen(pszMember, static_cast<size_t>(nWidth));
    return db.WriteTextField(pszMember, nLength);
}

void PmWholeTexts::Keep(const void* pRecord, int nField, std::string strWhole)
{
    m_pLastRecord = nullptr;
    FieldTexts& texts = m_Texts[pRecord];
    for (auto& [nKept, strKept] : texts) {
        if (nKept == nField) {
            strKept = std::move(strWhole);
            return;
        }
    }
    texts.emplace_back(nField, std::move(strWhole));
    ++m_nCount;
}

const std::string* PmWholeTexts::Find(const void* pRecord, int nField) const
{
    if (m_nCount == 0)
        return nullptr;
    if (pRecord != m_pLastRecord) {
        const auto it = m_Texts.find(pRecord);
        m_pLastRecord = pRecord;
        m_pLastTexts = it == m_Texts.end() ? nullptr : &it->second;
    }
    if (m_pLastTexts != nullptr) {
        for (const auto& [nKept, strKept] : *m_pLastTexts)
            if (nKept == nField)
                return &strKept;
    }
    return nullptr;
}

void PmWholeTexts::Clear()
{
    m_Texts.clear();
    m_nCount = 0;
    m_pLastRecord = nullptr;
    m_pLastTexts = nullptr;
}
