#include "common/palm/PmCategory.h"

#include <cstring>

namespace {

// Copies at most nMax bytes of pszSrc into a zeroed buffer of nMax + 1 bytes.
void CopyCut(char* pszDest, size_t nDestSize, const char* pszSrc)
{
    std::memset(pszDest, 0, nDestSize);
    if (pszSrc == nullptr)
        return;
    const size_t nLen = strnlen(pszSrc, nDestSize - 1);
    std::memcpy(pszDest, pszSrc, nLen);
}

}  // namespace

PmCategory::PmCategory() : m_nIndex(-1), m_nId(-1), m_szName{}, m_szShortName{}, m_nFlags(0) { }

PmCategory::~PmCategory() = default;

int32_t PmCategory::GetIndex() const
{
    return m_nIndex;
}
int32_t PmCategory::GetId() const
{
    return m_nId;
}
const char* PmCategory::GetName() const
{
    return m_szName;
}
int32_t PmCategory::GetFlags() const
{
    return m_nFlags;
}

bool PmCategory::CopyName(char* pszBuf, int& nSize) const
{
    if (pszBuf == nullptr || nSize <= 0)
        return false;
    std::memset(pszBuf, 0, static_cast<size_t>(nSize));
    const int nLen = static_cast<int>(std::strlen(m_szName));
    if (nLen == 0 || nLen > nSize)
        return false;
    std::memcpy(pszBuf, m_szName, static_cast<size_t>(nLen));
    nSize = nLen;
    return true;
}

bool PmCategory::CopyShortName(char* pszBuf, int& nSize) const
{
    if (pszBuf == nullptr || nSize <= 0)
        return false;
    std::memset(pszBuf, 0, static_cast<size_t>(nSize));
    const int nLen = static_cast<int>(std::strlen(m_szShortName));
    // The copy is terminated, so the terminator must fit as well.
    if (nLen == 0 || nLen >= nSize)
        return false;
    std::memcpy(pszBuf, m_szShortName, static_cast<size_t>(nLen));
    pszBuf[nLen] = '\0';
    nSize = nLen;
    return true;
}

void PmCategory::SetIndex(int32_t nIndex)
{
    m_nIndex = nIndex;
}
void PmCategory::SetId(int32_t nId)
{
    m_nId = nId;
}

void PmCategory::SetName(const char* pszName)
{
    CopyCut(m_szName, sizeof(m_szName), pszName);
}

void PmCategory::SetShortName(const char* pszShortName)
{
    CopyCut(m_szShortName, sizeof(m_szShortName), pszShortName);
}

void PmCategory::SetFlags(int32_t nFlags)
{
    m_nFlags = nFlags;
}

void PmCategory::SetDirty(bool bDirty)
{
    if (bDirty)
        m_nFlags |= kFlagDirty;
    else
        m_nFlags &= ~kFlagDirty;
}

bool PmCategory::TestLowFlag() const
{
    return (m_nFlags & kFlagLow) != 0;
}

bool PmCategory::Equals(const PmCategory& other) const
{
    return m_nIndex == other.m_nIndex && m_nId == other.m_nId && std::strcmp(m_szName, other.m_szName) == 0;
}
