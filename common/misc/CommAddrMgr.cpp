#include "common/misc/CommAddrMgr.h"

#include <cstdlib>
#include <cstring>
#include <iterator>
#include <new>

namespace {

// Default key fields: a record is the same contact when these are equal.
constexpr int32_t kDefaultKeyFields[] = {CF_FIRST_NAME, CF_LAST_NAME, CF_EMAIL};

// Default compare fields: a matched contact is modified when one differs.
constexpr int32_t kDefaultCompareFields[] = {
    CF_HOME_PHONE,    CF_WORK_PHONE,    CF_MOBILE_PHONE,  CF_EMAIL,
    CF_WORK_FAX,      CF_HOME_FAX,      CF_COMPANY,       CF_TITLE,
    CF_WORK_COUNTRY,  CF_WORK_STATE,    CF_WORK_POSTAL,   CF_WORK_CITY,
    CF_WORK_STREET,   CF_HOME_COUNTRY,  CF_HOME_STATE,    CF_HOME_POSTAL,
    CF_HOME_CITY,     CF_HOME_STREET,   CF_OTHER_COUNTRY, CF_OTHER_STATE,
    CF_OTHER_POSTAL,  CF_OTHER_CITY,    CF_OTHER_STREET,  CF_NOTE,
};

struct IdRange {
    int32_t nFirst;
    int32_t nLast;
};

template <size_t N>
constexpr bool InRanges(const IdRange (&ranges)[N], int32_t nId)
{
    for (const IdRange& range : ranges)
        if (nId >= range.nFirst && nId <= range.nLast)
            return true;
    return false;
}

// Text fields that take part in matching; the other text fields (62-64,
// 71-75, 80) never make two records differ.
constexpr IdRange kMatchedTextIds[] = {{1, 7}, {9, 61}, {65, 65}, {68, 70}, {82, 90}};

// Text fields that a merge copies into the stored copy (every text field
// except 80 "ID", which belongs to the stored side).
constexpr IdRange kMergedTextIds[] = {{1, 7}, {9, 65}, {68, 75}, {82, 90}};

// Lengths at which the narrower fields of either side cut a text (their
// widths minus one). An incoming text of such a length that the stored text
// extends came back cut and must not shorten the stored one.
constexpr size_t kCutLengths[] = {15, 23, 31, 63, 127, 255, 2047};

// TextDiffers on at most nMax bytes of each text, so a field that lacks its
// terminator is never read past its width.
bool TextsDiffer(const char* pszA, const char* pszB, size_t nMax)
{
    const unsigned char* pA = reinterpret_cast<const unsigned char*>(pszA != nullptr ? pszA : "");
    const unsigned char* pB = reinterpret_cast<const unsigned char*>(pszB != nullptr ? pszB : "");
    for (size_t i = 0; i < nMax; ++i) {
        unsigned char cA = pA[i];
        unsigned char cB = pB[i];
        if (cA >= 'a' && cA <= 'z')
            cA = static_cast<unsigned char>(cA - 'a' + 'A');
        if (cB >= 'a' && cB <= 'z')
            cB = static_cast<unsigned char>(cB - 'a' + 'A');
        if (cA != cB)
            return true;
        if (cA == '\0')
            return false;
    }
    return false;
}

double ReadDate(const CommAddrRecord* pRecord, int32_t nId)
{
    double dDate;
    std::memcpy(&dDate, GetFieldAddress(pRecord, nId), sizeof dDate);
    return dDate;
}

// Whether an incoming text is the stored text cut short by a narrower field:
// its length is one of the cut lengths and the stored text starts with it and
// goes on.
bool IsCutCopyOf(const char* pszIncoming, size_t nIncomingLen, const char* pszStored, size_t nStoredLen)
{
    bool bCutLength = false;
    for (size_t nCut : kCutLengths)
        bCutLength = bCutLength || nIncomingLen == nCut;
    return bCutLength && nStoredLen > nIncomingLen &&
           std::memcmp(pszStored, pszIncoming, nIncomingLen) == 0;
}

void FreeStoredCopy(CommAddrRecord* pCopy)
{
    if (pCopy->pAttached != nullptr && pCopy->nAttachedLen != 0)
        std::free(pCopy->pAttached);
    delete pCopy;
}

void SetFieldList(int32_t* pTarget, int32_t* pnTargetCount, const int32_t* pIds, int32_t nCount,
                  const int32_t* pDefaults, int32_t nDefaultCount)
{
    if (pIds == nullptr || nCount <= 0) {
        pIds = pDefaults;
        nCount = nDefaultCount;
    }
    if (nCount > COMM_MAX_MATCH_FIELDS)
        nCount = COMM_MAX_MATCH_FIELDS;
    std::memmove(pTarget, pIds, static_cast<size_t>(nCount) * sizeof *pIds);
    *pnTargetCount = nCount;
}

} // namespace

RecordState ClassifyToState(int nClassify)
{
    switch (nClassify) {
    case CLASSIFY_NEW:
        return RS_NEW;
    case CLASSIFY_MODIFIED:
        return RS_MODIFIED;
    default:
        return RS_SAME;
    }
}

CommAddrMgr::CommAddrMgr()
    : m_pRecords(new CxList), m_nKeyFields{}, m_nKeyFieldCount(0), m_nCompareFields{},
      m_nCompareFieldCount(0)
{
    SetKeyFields(nullptr, 0);
    SetCompareFields(nullptr, 0);
}

CommAddrMgr::~CommAddrMgr()
{
    ClearRecords();
    delete m_pRecords;
}

void CommAddrMgr::ClearRecords()
{
    for (void* pData = m_pRecords->GetFirst(); pData != nullptr; pData = m_pRecords->GetNext())
        FreeStoredCopy(static_cast<CommAddrRecord*>(pData));
    m_pRecords->RemoveAll(false);
}

CommAddrRecord* CommAddrMgr::AddCopy(const CommAddrRecord* pRecord)
{
    if (pRecord == nullptr)
        return nullptr;

    CommAddrRecord* pCopy = new (std::nothrow) CommAddrRecord;
    if (pCopy == nullptr)
        return nullptr;
    std::memcpy(static_cast<void*>(pCopy), pRecord, sizeof *pCopy);

    // The copy never shares the caller's block: it gets a duplicate of its
    // own, or none when the block cannot be duplicated (the length stays).
    pCopy->pAttached = nullptr;
    if (pRecord->pAttached != nullptr && pRecord->nAttachedLen != 0) {
        pCopy->pAttached = std::malloc(pRecord->nAttachedLen);
        if (pCopy->pAttached != nullptr)
            std::memcpy(pCopy->pAttached, pRecord->pAttached, pRecord->nAttachedLen);
    }

    if (!m_pRecords->AddTail(pCopy)) {
        FreeStoredCopy(pCopy);
        return nullptr;
    }
    return pCopy;
}

bool CommAddrMgr::MergeAt(const CommAddrRecord* pRecord, int32_t nPos)
{
    if (pRecord == nullptr || nPos < 0 || nPos >= GetCount())
        return false;
    CommAddrRecord* pStored = GetRecordAt(nPos);
    if (pStored == nullptr)
        return false;

    for (int32_t nId = 1; nId <= COMM_FIELD_COUNT; ++nId) {
        if (!InRanges(kMergedTextIds, nId))
            continue;
        const size_t nWidth = static_cast<size_t>(GetFieldWidth(nId));
        const char* pszIncoming = GetTextField(pRecord, nId);
        char* pszStored = GetTextField(pStored, nId);
        const size_t nIncomingLen = strnlen(pszIncoming, nWidth - 1);
        if (nIncomingLen == 0)
            continue;
        if (IsCutCopyOf(pszIncoming, nIncomingLen, pszStored, strnlen(pszStored, nWidth)))
            continue;
        std::memmove(pszStored, pszIncoming, nIncomingLen);
        pszStored[nIncomingLen] = '\0';
        pszStored[nWidth - 1] = '\0';
    }

    pStored->nGender = pRecord->nGender;
    // A record without a date or a private flag says nothing about them: it
    // must not erase the stored contact's own.
    if (pRecord->dtAnniversary != 0.0)
        pStored->dtAnniversary = pRecord->dtAnniversary;
    if (pRecord->dtBirthday != 0.0)
        pStored->dtBirthday = pRecord->dtBirthday;
    if (pRecord->nPrivate != 0)
        pStored->nPrivate = pRecord->nPrivate;
    return true;
}

// The whole matching walk. It runs over the stored copies in load order and
// stops at the first one that is the incoming record or equal to it in every
// key and compare field; otherwise the last copy that shares the keys is the
// modified match.
int CommAddrMgr::Classify(const CommAddrRecord* pRecord, CommAddrRecord** ppMatch, int32_t* pnPos)
{
    if (pRecord == nullptr)
        return CLASSIFY_NONE;

    int nResult = CLASSIFY_NEW;
    int32_t nPos = 0;
    int32_t nModifiedPos = -1;
    CommAddrRecord* pModified = nullptr;
    if (pnPos != nullptr)
        *pnPos = 0;

    for (CommAddrRecord* pStored = GetFirstRecord(); pStored != nullptr; pStored = GetNextRecord(), ++nPos) {
        bool bSame = pStored == pRecord;
        if (!bSame) {
            if (!KeysMatch(pRecord, pStored))
                continue;
            bSame = FieldsMatch(pRecord, pStored);
        }
        if (bSame) {
            if (ppMatch != nullptr)
                *ppMatch = pStored;
            if (pnPos != nullptr)
                *pnPos = nPos;
            return CLASSIFY_SAME;
        }
        nResult = CLASSIFY_MODIFIED;
        pModified = pStored;
        nModifiedPos = nPos;
    }

    if (nModifiedPos >= 0) {
        if (ppMatch != nullptr)
            *ppMatch = pModified;
        nPos = nModifiedPos;
    }
    if (pnPos != nullptr)
        *pnPos = nPos;
    return nResult;
}

CommAddrRecord* CommAddrMgr::GetFirstRecord()
{
    return static_cast<CommAddrRecord*>(m_pRecords->GetFirst());
}

CommAddrRecord* CommAddrMgr::GetNextRecord()
{
    return static_cast<CommAddrRecord*>(m_pRecords->GetNext());
}

CommAddrRecord* CommAddrMgr::GetRecordAt(int32_t nPos)
{
    if (nPos < 0)
        return nullptr;
    return static_cast<CommAddrRecord*>(m_pRecords->GetByIndex(static_cast<uint32_t>(nPos)));
}

int32_t CommAddrMgr::GetCount() const
{
    return static_cast<int32_t>(m_pRecords->GetCount());
}

void CommAddrMgr::SetKeyFields(const int32_t* pIds, int32_t nCount)
{
    SetFieldList(m_nKeyFields, &m_nKeyFieldCount, pIds, nCount, kDefaultKeyFields,
                 static_cast<int32_t>(std::size(kDefaultKeyFields)));
}

void CommAddrMgr::SetCompareFields(const int32_t* pIds, int32_t nCount)
{
    SetFieldList(m_nCompareFields, &m_nCompareFieldCount, pIds, nCount, kDefaultCompareFields,
                 static_cast<int32_t>(std::size(kDefaultCompareFields)));
}

bool CommAddrMgr::KeysMatch(const CommAddrRecord* pA, const CommAddrRecord* pB) const
{
    return MatchFieldList(pA, pB, m_nKeyFields, m_nKeyFieldCount);
}

bool CommAddrMgr::FieldsMatch(const CommAddrRecord* pA, const CommAddrRecord* pB) const
{
    return MatchFieldList(pA, pB, m_nCompareFields, m_nCompareFieldCount);
}

bool CommAddrMgr::MatchFieldList(const CommAddrRecord* pA, const CommAddrRecord* pB,
                                 const int32_t* pIds, int32_t nCount)
{
    if (pA == nullptr || pB == nullptr || pIds == nullptr || nCount <= 0)
        return false;
    for (int32_t i = 0; i < nCount; ++i) {
        const int32_t nId = pIds[i];
        if (InRanges(kMatchedTextIds, nId)) {
            if (TextsDiffer(GetTextField(pA, nId), GetTextField(pB, nId),
                            static_cast<size_t>(GetFieldWidth(nId))))
                return false;
        } else if (nId == CF_ANNIVERSARY || nId == CF_BIRTHDAY) {
            if (ReadDate(pA, nId) != ReadDate(pB, nId))
                return false;
        }
        // Every other id counts as equal.
    }
    return true;
}

int CommAddrMgr::TextDiffers(const char* pszA, const char* pszB)
{
    return TextsDiffer(pszA, pszB, static_cast<size_t>(-1)) ? 1 : 0;
}
