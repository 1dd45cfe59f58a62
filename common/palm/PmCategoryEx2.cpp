#include "common/palm/PmCategoryEx2.h"

#include <cstring>

PmCategoryEx2::PmCategoryEx2() : m_nId(0), m_szName{}, m_nStatus(0), m_nColor(0) { }

PmCategoryEx2::~PmCategoryEx2() = default;

void PmCategoryEx2::SetName(const char* pszName)
{
    const char* pszText = pszName != nullptr ? pszName : "";
    const size_t nLength = strnlen(pszText, kMaxSetName);
    std::memcpy(m_szName, pszText, nLength);
    m_szName[nLength] = '\0';
}
