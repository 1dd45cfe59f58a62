#include "common/misc/CommAddrMgr.h"

#include <algorithm>
#include <atomic>
#include <climits>
#include <cstdlib>
#include <cstring>
#include <functional>
#include <iterator>
#include <new>
#include <string>
#include <unordered_map>

#include "common/misc/ContactHashIndex.h"
#include "common/misc/CutText.h"
#include "common/misc/RecordArena.h"

namespace {

// Default key fields: a record is the same contact when these are equal.
constexpr int32_t kDefaultKeyFields[] = {CF_FIRST_NAME, CF_LAST_NAME, CF_EMAIL};

// Default compare fields: a matched contact is modified when one differs.
constexpr int32_t kDefaultCompareFields[] = {
    CF_HOME_PHONE,    CF_WORK_PHONE,   CF_MOBILE_PHONE, CF_EMAIL,       CF_WORK_FAX,     CF_HOME_FAX,
    CF_COMPANY,       CF_TITLE,        CF_WORK_COUNTRY, CF_WORK_STATE,  CF_WORK_POSTAL,  CF_WORK_CITY,
    CF_WORK_STREET,   CF_HOME_COUNTRY, CF_HOME_STATE,   CF_HOME_POSTAL, CF_HOME_CITY,    CF_HOME_STREET,
    CF_OTHER_COUNTRY, CF_OTHER_STATE,  CF_OTHER_POSTAL, CF_OTHER_CITY,  CF_OTHER_STREET, CF_NOTE,
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

// TextsDiffer for two fields of nWidth bytes each (both readable in full,
// as every field of a record is): while the texts are equal byte for byte,
// eight bytes at a time, as texts that match mostly are; from the first
// word that differs on, byte by byte with a-z folded.
bool FieldsDiffer(const char* pszA, const char* pszB, size_t nWidth)
{
    constexpr uint64_t kLow = 0x0101010101010101ull;
    constexpr uint64_t kHigh = 0x8080808080808080ull;
    size_t i = 0;
    for (; i + sizeof(uint64_t) <= nWidth; i += sizeof(uint64_t)) {
        uint64_t nA;
        uint64_t nB;
        std::memcpy(&nA, pszA + i, sizeof nA);
        std::memcpy(&nB, pszB + i, sizeof nB);
        if (nA != nB)
            break;
        if (((nA - kLow) & ~nA & kHigh) != 0)
            return false;  // a terminator in the word: equal up to it
    }
    return TextsDiffer(pszA + i, pszB + i, nWidth - i);
}

// How MatchFieldList compares the field of an id.
enum class MatchKind { Text, Date, Skipped };

MatchKind KindOfId(int32_t nId)
{
    if (InRanges(kMatchedTextIds, nId))
        return MatchKind::Text;
    if (nId == CF_ANNIVERSARY || nId == CF_BIRTHDAY)
        return MatchKind::Date;
    return MatchKind::Skipped;
}

// The catalog as matching reads it, one row per id 0 to COMM_FIELD_COUNT,
// looked up once: classification reads every key and compare field of every
// record several times over, and the catalog's own lookups cost more than
// the comparison of a typical short text.
struct MatchField {
    size_t nOffset = 0;  // of the field in the record
    size_t nWidth = 0;   // 0 for an id outside the catalog
    MatchKind eKind = MatchKind::Skipped;
};

struct MatchFieldTable {
    MatchField rows[COMM_FIELD_COUNT + 1];
};

MatchFieldTable BuildMatchFieldTable()
{
    static const CommAddrRecord probe{};
    const auto* pBase = reinterpret_cast<const char*>(&probe);
    MatchFieldTable table;
    for (int32_t nId = 1; nId <= COMM_FIELD_COUNT; ++nId) {
        MatchField& row = table.rows[nId];
        row.eKind = KindOfId(nId);
        row.nWidth = static_cast<size_t>(GetFieldWidth(nId));
        if (const void* pField = GetFieldAddress(&probe, nId))
            row.nOffset = static_cast<size_t>(static_cast<const char*>(pField) - pBase);
    }
    return table;
}

const MatchField& MatchFieldOf(int32_t nId)
{
    static const MatchFieldTable table = BuildMatchFieldTable();
    return table.rows[nId >= 1 && nId <= COMM_FIELD_COUNT ? nId : 0];
}

MatchKind MatchKindOf(int32_t nId)
{
    return MatchFieldOf(nId).eKind;
}

// The field of an id of kind Text or Date (never call it for another id).
const char* MatchedField(const CommAddrRecord* pRecord, int32_t nId)
{
    return reinterpret_cast<const char*>(pRecord) + MatchFieldOf(nId).nOffset;
}

size_t MatchedWidth(int32_t nId)
{
    return MatchFieldOf(nId).nWidth;
}

double ReadDate(const CommAddrRecord* pRecord, int32_t nId)
{
    double dDate;
    std::memcpy(&dDate, MatchedField(pRecord, nId), sizeof dDate);
    return dDate;
}

// --- Hashing for the match index ---------------------------------------------
//
// HashFieldList(a) == HashFieldList(b) whenever MatchFieldList(a, b) holds for
// the same list, so two records that match always land on one chain. Texts
// are hashed as TextsDiffer compares them: the bytes up to the terminator or
// the field's width, whichever comes first, with a-z folded to A-Z. Dates are
// hashed by value with 0.0 and -0.0 as one; a date that is not a number never
// equals anything, so its bits serve. Skipped ids add nothing. Unequal
// records may share a hash: Classify confirms every candidate with the real
// comparison.

constexpr uint64_t kFnvOffset = 14695981039346656037ull;
constexpr uint64_t kFnvPrime = 1099511628211ull;

// Ends a field in the hash; outside the byte range, so no text byte mimics it.
constexpr uint64_t kFieldEnd = 0x100;

uint64_t MixBits(uint64_t nValue)
{
    nValue ^= nValue >> 30;
    nValue *= 0xbf58476d1ce4e5b9ull;
    nValue ^= nValue >> 27;
    nValue *= 0x94d049bb133111ebull;
    nValue ^= nValue >> 31;
    return nValue;
}

// A date into the hash: 0.0 and -0.0 alike (both "not set").
uint64_t HashDate(uint64_t nHash, double dDate)
{
    uint64_t nBits = 0;
    if (dDate != 0.0)
        std::memcpy(&nBits, &dDate, sizeof nBits);
    return MixBits(nHash ^ nBits) * kFnvPrime;
}

uint64_t HashFieldList(const CommAddrRecord* pRecord, const int32_t* pIds, int32_t nCount)
{
    uint64_t nHash = kFnvOffset;
    for (int32_t i = 0; i < nCount; ++i) {
        const int32_t nId = pIds[i];
        switch (MatchKindOf(nId)) {
        case MatchKind::Text: {
            const unsigned char* pText = reinterpret_cast<const unsigned char*>(MatchedField(pRecord, nId));
            const size_t nWidth = MatchedWidth(nId);
            for (size_t n = 0; n < nWidth && pText[n] != '\0'; ++n) {
                unsigned char c = pText[n];
                if (c >= 'a' && c <= 'z')
                    c = static_cast<unsigned char>(c - 'a' + 'A');
                nHash = (nHash ^ c) * kFnvPrime;
            }
            nHash = (nHash ^ kFieldEnd) * kFnvPrime;
            break;
        }
        case MatchKind::Date:
            nHash = HashDate(nHash, ReadDate(pRecord, nId));
            break;
        case MatchKind::Skipped:
            break;
        }
    }
    return MixBits(nHash);
}

// --- The matching rules of classification ----------------------------------
//
// Classification compares two sides whose fields differ in width, so it is
// more forgiving than MatchFieldList:
//  - a compare text that is the other record's text cut at a field width
//    minus one (the shorter has one of kCutLengths and the longer merely
//    extends it, a-z folded) counts as equal: the narrower side keeps only
//    that much of it;
//  - when both fax fields are compare fields, a record without a "Work Fax"
//    compares its "Home Fax" as the "Work Fax": a home fax comes back from the
//    Palm side, which has one fax label, as the work fax;
//  - a record whose key texts are all empty is matched by its "Company"
//    instead (a-z folded, cut copies equal); with the company empty too it
//    pairs only with a record equal in every compare field, so it is "same"
//    or "new", never "modified".

// How a record's keys take part in matching.
enum class KeyKind { Keys, Company, Blank };

// Hashing a compare text stops after this many bytes, so a text and its cut
// copy (at least this long) hash alike.
constexpr size_t kHashedPrefix = 15;

// Equal a-z folded, or one the other cut at a cut length.
bool TextsAgree(const char* pszA, const char* pszB, size_t nWidth)
{
    if (!FieldsDiffer(pszA, pszB, nWidth))
        return true;
    const size_t nLenA = strnlen(pszA, nWidth);
    const size_t nLenB = strnlen(pszB, nWidth);
    return nLenA < nLenB ? IsCutCopy(pszA, nLenA, pszB, nLenB, CutCompare::FoldAZ)
                         : IsCutCopy(pszB, nLenB, pszA, nLenA, CutCompare::FoldAZ);
}

KeyKind KeyKindOf(const CommAddrRecord* pRecord, const int32_t* pKeys, int32_t nKeys)
{
    bool bAnyText = false;
    for (int32_t i = 0; i < nKeys; ++i) {
        if (MatchKindOf(pKeys[i]) != MatchKind::Text)
            continue;
        bAnyText = true;
        if (MatchedField(pRecord, pKeys[i])[0] != '\0')
            return KeyKind::Keys;
    }
    if (!bAnyText)
        return KeyKind::Keys;
    return pRecord->szCompany[0] != '\0' ? KeyKind::Company : KeyKind::Blank;
}

static_assert(sizeof(CommAddrRecord::szWorkFax) == sizeof(CommAddrRecord::szHomeFax));

// The text a compare field of pRecord is compared by (see the fax rule).
const char* CompareText(const CommAddrRecord* pRecord, int32_t nId, bool bFaxPair)
{
    if (bFaxPair && pRecord->szWorkFax[0] == '\0') {
        if (nId == CF_WORK_FAX)
            return pRecord->szHomeFax;
        if (nId == CF_HOME_FAX)
            return pRecord->szWorkFax;  // empty, and as wide as the home fax
    }
    return MatchedField(pRecord, nId);
}

bool CompareFieldsAgree(const CommAddrRecord* pA, const CommAddrRecord* pB, const int32_t* pIds, int32_t nCount,
                        bool bFaxPair)
{
    for (int32_t i = 0; i < nCount; ++i) {
        const int32_t nId = pIds[i];
        switch (MatchKindOf(nId)) {
        case MatchKind::Text:
            if (!TextsAgree(CompareText(pA, nId, bFaxPair), CompareText(pB, nId, bFaxPair), MatchedWidth(nId)))
                return false;
            break;
        case MatchKind::Date:
            if (ReadDate(pA, nId) != ReadDate(pB, nId))
                return false;
            break;
        case MatchKind::Skipped:
            break;
        }
    }
    return true;
}

uint64_t HashPrefix(uint64_t nHash, const char* pszText, size_t nMax)
{
    const unsigned char* pText = reinterpret_cast<const unsigned char*>(pszText);
    for (size_t n = 0; n < nMax && pText[n] != '\0'; ++n) {
        unsigned char c = pText[n];
        if (c >= 'a' && c <= 'z')
            c = static_cast<unsigned char>(c - 'a' + 'A');
        nHash = (nHash ^ c) * kFnvPrime;
    }
    return (nHash ^ kFieldEnd) * kFnvPrime;
}

// Equal for records whose compare fields agree.
uint64_t HashCompareFields(const CommAddrRecord* pRecord, const int32_t* pIds, int32_t nCount, bool bFaxPair)
{
    uint64_t nHash = kFnvOffset;
    for (int32_t i = 0; i < nCount; ++i) {
        const int32_t nId = pIds[i];
        switch (MatchKindOf(nId)) {
        case MatchKind::Text: {
            nHash = HashPrefix(nHash, CompareText(pRecord, nId, bFaxPair), std::min(MatchedWidth(nId), kHashedPrefix));
            break;
        }
        case MatchKind::Date:
            nHash = HashDate(nHash, ReadDate(pRecord, nId));
            break;
        case MatchKind::Skipped:
            break;
        }
    }
    return MixBits(nHash);
}

// Equal for records whose keys align (see KeysAlign below).
uint64_t HashKeys(const CommAddrRecord* pRecord, const int32_t* pKeys, int32_t nKeys)
{
    uint64_t nHash = HashFieldList(pRecord, pKeys, nKeys);
    switch (KeyKindOf(pRecord, pKeys, nKeys)) {
    case KeyKind::Keys:
        return nHash;
    case KeyKind::Company:
        return MixBits(HashPrefix(nHash ^ 0xC0, pRecord->szCompany, kHashedPrefix));
    case KeyKind::Blank:
        return MixBits(nHash ^ 0xB1A4C);
    }
    return nHash;
}

constexpr int32_t kNoPosition = ContactHashIndex::kNoPosition;

// Frees what a stored copy owns besides its memory (which is the set's
// RecordArena's): the attached block.
void FreeStoredCopy(CommAddrRecord* pCopy)
{
    if (pCopy->pAttached != nullptr && pCopy->nAttachedLen != 0)
        std::free(pCopy->pAttached);
    pCopy->pAttached = nullptr;
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

}  // namespace

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

// The match index: the positions of the stored copies by the hash of their
// key fields, and, once a chain of copies sharing a key hash has grown long,
// also by the hash of their key and compare fields together. Positions 0 to
// byKeys.Count() - 1 are indexed; later ones are added by the next Classify.
struct CommAddrMgr::MatchIndex {
    ContactHashIndex byKeys;
    ContactHashIndex byAll;  // empty until bAllBuilt
    bool bAllBuilt = false;  // byAll indexes the same positions as byKeys
};

namespace {

// A key chain up to this long is walked copy by copy; a longer one is
// answered through the key + compare index, so many copies sharing one key
// (contacts without names or e-mail) do not make Classify linear again.
constexpr int32_t kShortChain = 8;

// How many records ahead a walk that hashes records prefetches their fields.
constexpr int32_t kPrefetchAhead = 4;

uint64_t CombineHashes(uint64_t nKeyHash, uint64_t nCompareHash)
{
    return MixBits(nKeyHash * kFnvPrime ^ nCompareHash);
}

}  // namespace

CommAddrMgr::CommAddrMgr()
    : m_nCursor(0), m_nKeyFields{}, m_nKeyFieldCount(0), m_nCompareFields{}, m_nCompareFieldCount(0), m_bFaxPair(false)
{
    SetKeyFields(nullptr, 0);
    SetCompareFields(nullptr, 0);
}

uint64_t CommAddrMgr::Version() const
{
    // A view's side appends records without telling the set.
    if (m_pSource != nullptr && GetCount() != m_nVersionCount) {
        NewVersion();
        m_nVersionCount = GetCount();
    }
    return m_nVersion;
}

void CommAddrMgr::NewVersion() const
{
    static std::atomic<uint64_t> s_nLastVersion{0};
    m_nVersion = s_nLastVersion.fetch_add(1, std::memory_order_relaxed) + 1;
}

CommAddrMgr::~CommAddrMgr()
{
    ClearRecords();
}

void CommAddrMgr::ClearRecords()
{
    for (size_t i = 0; i < m_Records.size(); ++i) {
        if (!m_SharesBlock[i])
            FreeStoredCopy(m_Records[i]);
    }
    m_Records.clear();
    m_SharesBlock.clear();
    if (m_pCopies != nullptr)
        m_pCopies->Reset();
    m_nCursor = 0;
    m_nViewPos = -1;
    DropIndex();
    NewVersion();
}

bool CommAddrMgr::SetSource(const CommRecordSource* pSource)
{
    ClearRecords();
    m_pSource = nullptr;
    m_pView.reset();
    m_pScratch.reset();
    m_pIncoming.reset();
    if (pSource == nullptr)
        return true;
    m_pView.reset(new (std::nothrow) CommAddrRecord);
    m_pScratch.reset(new (std::nothrow) CommAddrRecord);
    m_pIncoming.reset(new (std::nothrow) CommAddrRecord);
    if (m_pView == nullptr || m_pScratch == nullptr || m_pIncoming == nullptr) {
        m_pView.reset();
        m_pScratch.reset();
        m_pIncoming.reset();
        return false;
    }
    m_pSource = pSource;
    return true;
}

void CommAddrMgr::RecordChangedAt(int32_t nPos)
{
    if (nPos < 0 || nPos >= GetCount())
        return;
    if (nPos == m_nViewPos)
        m_nViewPos = -1;
    MoveInIndex(nPos);
}

const CommAddrRecord* CommAddrMgr::StoredAt(int32_t nPos, CommAddrRecord* pScratch) const
{
    if (m_pSource == nullptr)
        return m_Records[static_cast<size_t>(nPos)];
    // A position the side has no record for reads as an empty record.
    // Matching reads the key and compare fields and the company alone.
    ZeroCommRecord(pScratch);
    m_pSource->FillFields(nPos, pScratch, m_MatchFields);
    return pScratch;
}

CommAddrRecord* CommAddrMgr::RecordFor(int32_t nPos)
{
    if (m_pSource == nullptr)
        return m_Records[static_cast<size_t>(nPos)];
    if (nPos != m_nViewPos) {
        // Handed out: the whole record.
        ZeroCommRecord(m_pView.get());
        m_pSource->FillRecord(nPos, m_pView.get());
        m_nViewPos = nPos;
    }
    return m_pView.get();
}

bool CommAddrMgr::IsStoredRecord(const CommAddrRecord* pRecord, int32_t nPos, const CommAddrRecord* pStored) const
{
    if (m_pSource == nullptr)
        return pStored == pRecord;
    return pRecord == m_pView.get() && nPos == m_nViewPos;
}

CommAddrRecord* CommAddrMgr::AddCopy(const CommAddrRecord* pRecord)
{
    return StoreCopy(pRecord, false);
}

CommAddrRecord* CommAddrMgr::AddCopySharingBlock(const CommAddrRecord* pRecord)
{
    return StoreCopy(pRecord, true);
}

CommAddrRecord* CommAddrMgr::StoreCopy(const CommAddrRecord* pRecord, bool bShareBlock)
{
    if (pRecord == nullptr || m_pSource != nullptr || m_Records.size() >= static_cast<size_t>(INT32_MAX))
        return nullptr;

    if (m_pCopies == nullptr) {
        m_pCopies.reset(new (std::nothrow) RecordArena(sizeof(CommAddrRecord)));
        if (m_pCopies == nullptr)
            return nullptr;
    }
    auto* pCopy = static_cast<CommAddrRecord*>(m_pCopies->Take(pRecord));
    if (pCopy == nullptr)
        return nullptr;

    // Unless asked to share it, the copy never shares the caller's block: it
    // gets a duplicate of its own, or none when the block cannot be
    // duplicated (the length stays).
    if (!bShareBlock)
        pCopy->pAttached = nullptr;
    if (!bShareBlock && pRecord->pAttached != nullptr && pRecord->nAttachedLen != 0) {
        pCopy->pAttached = std::malloc(pRecord->nAttachedLen);
        if (pCopy->pAttached != nullptr)
            std::memcpy(pCopy->pAttached, pRecord->pAttached, pRecord->nAttachedLen);
    }

    try {
        m_Records.push_back(pCopy);
        m_SharesBlock.push_back(bShareBlock);
    } catch (const std::bad_alloc&) {
        if (m_Records.size() > m_SharesBlock.size())
            m_Records.pop_back();
        if (!bShareBlock)
            FreeStoredCopy(pCopy);
        return nullptr;
    }
    m_nCursor = static_cast<uint32_t>(m_Records.size() - 1);
    NewVersion();
    return pCopy;
}

bool CommAddrMgr::MergeAt(const CommAddrRecord* pRecord, int32_t nPos)
{
    if (pRecord == nullptr || m_pSource != nullptr || nPos < 0 || nPos >= GetCount())
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
        if (IsCutCopy(pszIncoming, nIncomingLen, pszStored, strnlen(pszStored, nWidth)))
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

    // The merged copy moves to the chains of its new hashes.
    MoveInIndex(nPos);
    return true;
}

void CommAddrMgr::MoveInIndex(int32_t nPos)
{
    NewVersion();  // the copy at nPos changed
    if (m_pIndex != nullptr && nPos < m_pIndex->byKeys.Count()) {
        MatchIndex& index = *m_pIndex;
        const CommAddrRecord* pStored = StoredAt(nPos, m_pScratch.get());
        const uint64_t nKeyHash = KeyHash(pStored);
        try {
            index.byKeys.Move(nPos, nKeyHash);
            if (index.bAllBuilt)
                index.byAll.Move(nPos, CombineHashes(nKeyHash, CompareHash(pStored)));
        } catch (const std::bad_alloc&) {
            DropIndex();  // rebuilt whole by the next Classify
        }
    }
}

bool CommAddrMgr::ReplaceFieldsAt(const CommAddrRecord* pRecord, int32_t nPos)
{
    if (pRecord == nullptr || m_pSource != nullptr || nPos < 0 || nPos >= GetCount())
        return false;
    CommAddrRecord* pStored = GetRecordAt(nPos);
    if (pStored == nullptr)
        return false;
    void* const pAttached = pStored->pAttached;
    const uint32_t nAttachedLen = pStored->nAttachedLen;
    // Only the pieces that differ are written, as the arena writes a copy:
    // pages of a copy that hold nothing but zeros stay untouched.
    CopyChangedPieces(reinterpret_cast<unsigned char*>(pStored), reinterpret_cast<const unsigned char*>(pRecord),
                      sizeof(CommAddrRecord));
    pStored->pAttached = pAttached;
    pStored->nAttachedLen = nAttachedLen;
    // The copy moves to the chains of its new hashes.
    MoveInIndex(nPos);
    return true;
}

void CommAddrMgr::DropIndex()
{
    m_pIndex.reset();
}

bool CommAddrMgr::UpdateIndex(bool bWithAll)
{
    try {
        if (m_pIndex == nullptr)
            m_pIndex = std::make_unique<MatchIndex>();
        MatchIndex& index = *m_pIndex;
        const int32_t nCount = GetCount();
        // A side that was emptied under its view is indexed anew.
        if (index.byKeys.Count() > nCount) {
            DropIndex();
            return UpdateIndex(bWithAll);
        }
        // An index built from nothing gets both parts in one walk over the
        // copies (an empty byAll indexes the same positions as an empty
        // byKeys).
        if (bWithAll && index.byKeys.Count() == 0)
            index.bAllBuilt = true;
        if (index.byKeys.Count() < nCount) {
            index.byKeys.Reserve(static_cast<size_t>(nCount));
            if (index.bAllBuilt)
                index.byAll.Reserve(static_cast<size_t>(nCount));
        }
        for (int32_t nPos = index.byKeys.Count(); nPos < nCount; ++nPos) {
            if (m_pSource == nullptr && nPos + kPrefetchAhead < nCount)
                PrefetchMatchFields(m_Records[static_cast<size_t>(nPos + kPrefetchAhead)]);
            const CommAddrRecord* pCopy = StoredAt(nPos, m_pScratch.get());
            const uint64_t nKeyHash = KeyHash(pCopy);
            index.byKeys.Append(nKeyHash);
            if (index.bAllBuilt)
                index.byAll.Append(CombineHashes(nKeyHash, CompareHash(pCopy)));
        }
        return true;
    } catch (const std::bad_alloc&) {
        DropIndex();
        return false;
    }
}

bool CommAddrMgr::BuildFullIndex()
{
    MatchIndex& index = *m_pIndex;
    if (index.bAllBuilt)
        return true;
    try {
        const int32_t nCount = index.byKeys.Count();
        index.byAll.Reserve(static_cast<size_t>(nCount));
        for (int32_t nPos = 0; nPos < nCount; ++nPos) {
            if (m_pSource == nullptr && nPos + kPrefetchAhead < nCount)
                PrefetchMatchFields(m_Records[static_cast<size_t>(nPos + kPrefetchAhead)]);
            const CommAddrRecord* pCopy = StoredAt(nPos, m_pScratch.get());
            index.byAll.Append(CombineHashes(index.byKeys.HashOf(nPos), CompareHash(pCopy)));
        }
        index.bAllBuilt = true;
        return true;
    } catch (const std::bad_alloc&) {
        DropIndex();
        return false;
    }
}

// The answers are those of ClassifyByWalk. Every copy that shares the
// record's keys, and the record itself when it is a stored copy, is on the
// chain of the record's key hash; the other copies cannot change the answer.
// A short chain is walked like the set. On a long one, a copy that is the
// same as the record has the record's key + compare hash too, so the first
// confirmed copy of that chain is the answer; when there is none, the last
// confirmed copy of the key chain is the modified match.
int CommAddrMgr::Classify(const CommAddrRecord* pRecord, CommAddrRecord** ppMatch, int32_t* pnPos)
{
    if (pRecord == nullptr)
        return CLASSIFY_NONE;
    if (pnPos != nullptr)
        *pnPos = 0;
    if (!UpdateIndex())
        return ClassifyByWalk(pRecord, ppMatch, pnPos);

    const int32_t nCount = GetCount();
    const uint64_t nKeyHash = KeyHash(pRecord);
    int32_t nSamePos = kNoPosition;
    int32_t nModifiedPos = kNoPosition;

    int32_t nWalked = 0;
    int32_t nPos = m_pIndex->byKeys.First(nKeyHash);
    for (; nPos != kNoPosition && nWalked < kShortChain; nPos = m_pIndex->byKeys.Next(nPos), ++nWalked) {
        const CommAddrRecord* pStored = StoredAt(nPos, m_pScratch.get());
        if (IsStoredRecord(pRecord, nPos, pStored) || SameRecord(pRecord, pStored)) {
            nSamePos = nPos;
            break;
        }
        if (KeysPair(pRecord, pStored))
            nModifiedPos = nPos;
    }

    if (nSamePos == kNoPosition && nPos != kNoPosition) {
        // A long chain: the walk above proved nothing yet.
        if (!BuildFullIndex())
            return ClassifyByWalk(pRecord, ppMatch, pnPos);
        const ContactHashIndex& byAll = m_pIndex->byAll;
        const uint64_t nFullHash = CombineHashes(nKeyHash, CompareHash(pRecord));
        for (nPos = byAll.First(nFullHash); nPos != kNoPosition && nSamePos == kNoPosition; nPos = byAll.Next(nPos)) {
            const CommAddrRecord* pStored = StoredAt(nPos, m_pScratch.get());
            if (IsStoredRecord(pRecord, nPos, pStored) || SameRecord(pRecord, pStored))
                nSamePos = nPos;
        }
        const ContactHashIndex& byKeys = m_pIndex->byKeys;
        nModifiedPos = kNoPosition;
        // A record without keys and company has no modified match at all.
        if (!IsBlank(pRecord)) {
            for (nPos = byKeys.Last(nKeyHash); nPos != kNoPosition && nModifiedPos == kNoPosition;
                 nPos = byKeys.Prev(nPos)) {
                if (KeysPair(pRecord, StoredAt(nPos, m_pScratch.get())))
                    nModifiedPos = nPos;
            }
        }
    }

    if (nSamePos != kNoPosition) {
        if (ppMatch != nullptr)
            *ppMatch = RecordFor(nSamePos);
        if (pnPos != nullptr)
            *pnPos = nSamePos;
        m_nCursor = static_cast<uint32_t>(nSamePos);
        return CLASSIFY_SAME;
    }
    // Where a walk over the whole set would have stopped.
    m_nCursor = nCount > 0 ? static_cast<uint32_t>(nCount - 1) : 0;
    if (nModifiedPos != kNoPosition) {
        if (ppMatch != nullptr)
            *ppMatch = RecordFor(nModifiedPos);
        if (pnPos != nullptr)
            *pnPos = nModifiedPos;
        return CLASSIFY_MODIFIED;
    }
    if (pnPos != nullptr)
        *pnPos = nCount;
    return CLASSIFY_NEW;
}

// The matching walk itself, used when the index cannot be had. It runs over
// the stored copies in load order and stops at the first one that is the
// incoming record or the same as it; otherwise the last copy whose keys pair
// with it is the modified match.
int CommAddrMgr::ClassifyByWalk(const CommAddrRecord* pRecord, CommAddrRecord** ppMatch, int32_t* pnPos)
{
    const int32_t nCount = GetCount();
    int32_t nModifiedPos = -1;
    for (int32_t nPos = 0; nPos < nCount; ++nPos) {
        const CommAddrRecord* pStored = StoredAt(nPos, m_pScratch.get());
        if (IsStoredRecord(pRecord, nPos, pStored) || SameRecord(pRecord, pStored)) {
            m_nCursor = static_cast<uint32_t>(nPos);
            if (ppMatch != nullptr)
                *ppMatch = RecordFor(nPos);
            if (pnPos != nullptr)
                *pnPos = nPos;
            return CLASSIFY_SAME;
        }
        if (KeysPair(pRecord, pStored))
            nModifiedPos = nPos;
    }
    m_nCursor = nCount > 0 ? static_cast<uint32_t>(nCount - 1) : 0;
    if (nModifiedPos >= 0) {
        if (ppMatch != nullptr)
            *ppMatch = RecordFor(nModifiedPos);
        if (pnPos != nullptr)
            *pnPos = nModifiedPos;
        return CLASSIFY_MODIFIED;
    }
    if (pnPos != nullptr)
        *pnPos = nCount;
    return CLASSIFY_NEW;
}

namespace {

// The readers of incoming records for CommAddrMgr::ClassifyIncoming. Get(i)
// is the record at i (null for none), read again on every call; IsSelf
// tells whether it is the stored record at nPos itself.

// Records the caller holds.
struct IncomingArray {
    const CommAddrRecord* const* ppRecords;
    int32_t nCount;
    std::function<bool(const CommAddrRecord*, int32_t, const CommAddrRecord*)> isStored;

    const CommAddrRecord* Get(int32_t i) const { return ppRecords[i]; }
    void Prefetch(int32_t i, const std::function<void(const CommAddrRecord*)>& prefetch) const
    {
        if (i < nCount && ppRecords[i] != nullptr)
            prefetch(ppRecords[i]);
    }
    bool IsSelf(int32_t i, int32_t nPos, const CommAddrRecord* pStored) const
    {
        return isStored(ppRecords[i], nPos, pStored);
    }
};

// Records a side converts one at a time into a buffer.
struct IncomingSource {
    const CommRecordSource& source;
    CommAddrRecord* pBuffer;
    bool bOwnSource;               // the side is the set's own source
    const CommFieldMask& matched;  // the fields matching reads

    const CommAddrRecord* Get(int32_t i) const
    {
        ZeroCommRecord(pBuffer);
        return source.FillFields(i, pBuffer, matched) ? pBuffer : nullptr;
    }
    void Prefetch(int32_t, const std::function<void(const CommAddrRecord*)>&) const { }
    bool IsSelf(int32_t i, int32_t nPos, const CommAddrRecord*) const { return bOwnSource && i == nPos; }
};

}  // namespace

bool CommAddrMgr::ClassifySide(const CommAddrRecord* const* ppRecords, int32_t nCount, ClassifyMatch* pAnswers)
{
    if (nCount < 0 || (nCount > 0 && (ppRecords == nullptr || pAnswers == nullptr)))
        return false;
    IncomingArray incoming{ppRecords, nCount,
                           [this](const CommAddrRecord* pRecord, int32_t nPos, const CommAddrRecord* pStored) {
                               return IsStoredRecord(pRecord, nPos, pStored);
                           }};
    ClassifyIncoming(incoming, nCount, pAnswers);
    return true;
}

bool CommAddrMgr::ClassifySide(const CommRecordSource& incoming, ClassifyMatch* pAnswers)
{
    const int32_t nCount = incoming.GetRecordCount();
    if (nCount < 0 || (nCount > 0 && pAnswers == nullptr))
        return false;
    std::unique_ptr<CommAddrRecord> pOwnBuffer;
    CommAddrRecord* pBuffer = m_pIncoming.get();
    if (pBuffer == nullptr) {
        pOwnBuffer.reset(new (std::nothrow) CommAddrRecord);
        if (pOwnBuffer == nullptr)
            return false;
        pBuffer = pOwnBuffer.get();
    }
    IncomingSource reader{incoming, pBuffer, &incoming == m_pSource, m_MatchFields};
    ClassifyIncoming(reader, nCount, pAnswers);
    return true;
}

// Both passes walk hash chains from a remembered head: the copies a pass
// pairs are mostly the first unpaired ones of their chain, so the head
// moves past them for good and many equal records cost no more than
// distinct ones.
template <class Incoming>
void CommAddrMgr::ClassifyIncoming(Incoming& incoming, int32_t nCount, ClassifyMatch* pAnswers)
{
    for (int32_t i = 0; i < nCount; ++i)
        pAnswers[i] = ClassifyMatch{CLASSIFY_NEW, kNoPosition};
    m_nCursor = 0;
    if (nCount == 0)
        return;
    auto markMissing = [&] {
        for (int32_t i = 0; i < nCount; ++i)
            if (incoming.Get(i) == nullptr)
                pAnswers[i].nResult = CLASSIFY_NONE;
    };
    if (GetCount() == 0) {
        markMissing();
        return;
    }
    if (!UpdateIndex(true) || !BuildFullIndex()) {
        markMissing();
        ClassifySideByWalk(incoming, nCount, pAnswers);
        return;
    }

    try {
        std::vector<bool> paired(static_cast<size_t>(GetCount()), false);
        std::unordered_map<uint64_t, int32_t> heads;
        // The first unpaired position of a chain of index, its head from
        // now on; kNoPosition when every position of it is paired.
        auto unpairedHead = [&](const ContactHashIndex& index, uint64_t nHash, uint64_t nHeadKey) {
            auto head = heads.find(nHeadKey);
            int32_t nPos = head != heads.end() ? head->second : index.First(nHash);
            while (nPos != kNoPosition && paired[static_cast<size_t>(nPos)])
                nPos = index.Next(nPos);
            heads[nHeadKey] = nPos;
            return nPos;
        };
        // The first unpaired position of a chain of index, from its head on,
        // that fits; kNoPosition when none does.
        auto findUnpaired = [&](const ContactHashIndex& index, uint64_t nHash, uint64_t nHeadKey, auto&& fits) {
            int32_t nPos = unpairedHead(index, nHash, nHeadKey);
            for (; nPos != kNoPosition; nPos = index.Next(nPos)) {
                if (!paired[static_cast<size_t>(nPos)] && fits(nPos, StoredAt(nPos, m_pScratch.get())))
                    return nPos;
            }
            return kNoPosition;
        };
        const std::function<void(const CommAddrRecord*)> prefetch = [this](const CommAddrRecord* pRecord) {
            PrefetchMatchFields(pRecord);
        };

        std::vector<uint64_t> keyHashes(static_cast<size_t>(nCount));
        for (int32_t i = 0; i < nCount; ++i) {
            incoming.Prefetch(i + kPrefetchAhead, prefetch);
            const CommAddrRecord* pRecord = incoming.Get(i);
            if (pRecord == nullptr) {
                pAnswers[i].nResult = CLASSIFY_NONE;
                continue;
            }
            keyHashes[static_cast<size_t>(i)] = KeyHash(pRecord);
            const uint64_t nFullHash = CombineHashes(keyHashes[static_cast<size_t>(i)], CompareHash(pRecord));
            const int32_t nPos = findUnpaired(
                m_pIndex->byAll, nFullHash, nFullHash * 2, [&](int32_t nStoredPos, const CommAddrRecord* pStored) {
                    return incoming.IsSelf(i, nStoredPos, pStored) || SameRecord(pRecord, pStored);
                });
            if (nPos != kNoPosition) {
                paired[static_cast<size_t>(nPos)] = true;
                pAnswers[i] = ClassifyMatch{CLASSIFY_SAME, nPos};
            }
        }
        for (int32_t i = 0; i < nCount; ++i) {
            if (pAnswers[i].nResult != CLASSIFY_NEW)
                continue;
            // A record whose key chain has no unpaired copy left stays new;
            // it need not be read again to know that.
            const uint64_t nKeyHash = keyHashes[static_cast<size_t>(i)];
            if (unpairedHead(m_pIndex->byKeys, nKeyHash, nKeyHash * 2 + 1) == kNoPosition)
                continue;
            const CommAddrRecord* pRecord = incoming.Get(i);
            if (IsBlank(pRecord))
                continue;
            const int32_t nPos =
                findUnpaired(m_pIndex->byKeys, nKeyHash, nKeyHash * 2 + 1,
                             [&](int32_t, const CommAddrRecord* pStored) { return KeysPair(pRecord, pStored); });
            if (nPos != kNoPosition) {
                paired[static_cast<size_t>(nPos)] = true;
                pAnswers[i] = ClassifyMatch{CLASSIFY_MODIFIED, nPos};
            }
        }
    } catch (const std::bad_alloc&) {
        for (int32_t i = 0; i < nCount; ++i)
            pAnswers[i] = ClassifyMatch{CLASSIFY_NEW, kNoPosition};
        markMissing();
        ClassifySideByWalk(incoming, nCount, pAnswers);
    }
}

// The two passes of ClassifySide over the whole set, for when the index
// cannot be had; the pairing marks live in the answers alone.
template <class Incoming>
void CommAddrMgr::ClassifySideByWalk(Incoming& incoming, int32_t nCount, ClassifyMatch* pAnswers)
{
    const int32_t nStored = GetCount();
    auto isPaired = [&](int32_t nPos) {
        for (int32_t i = 0; i < nCount; ++i)
            if (pAnswers[i].nPos == nPos)
                return true;
        return false;
    };
    for (int nPass = 0; nPass < 2; ++nPass) {
        for (int32_t i = 0; i < nCount; ++i) {
            if (pAnswers[i].nResult != CLASSIFY_NEW)
                continue;
            const CommAddrRecord* pRecord = incoming.Get(i);
            if (pRecord == nullptr || (nPass == 1 && IsBlank(pRecord)))
                continue;
            for (int32_t nPos = 0; nPos < nStored; ++nPos) {
                const CommAddrRecord* pStored = StoredAt(nPos, m_pScratch.get());
                const bool bFits = nPass == 0 ? incoming.IsSelf(i, nPos, pStored) || SameRecord(pRecord, pStored)
                                              : KeysPair(pRecord, pStored);
                if (bFits && !isPaired(nPos)) {
                    pAnswers[i] = ClassifyMatch{nPass == 0 ? CLASSIFY_SAME : CLASSIFY_MODIFIED, nPos};
                    break;
                }
            }
        }
    }
    m_nCursor = 0;
}

bool CommAddrMgr::KeysPair(const CommAddrRecord* pA, const CommAddrRecord* pB) const
{
    const KeyKind eKind = KeyKindOf(pA, m_nKeyFields, m_nKeyFieldCount);
    if (eKind == KeyKind::Blank || eKind != KeyKindOf(pB, m_nKeyFields, m_nKeyFieldCount) || !KeysMatch(pA, pB))
        return false;
    return eKind == KeyKind::Keys || TextsAgree(pA->szCompany, pB->szCompany, sizeof pA->szCompany);
}

bool CommAddrMgr::SameRecord(const CommAddrRecord* pA, const CommAddrRecord* pB) const
{
    const bool bAligned = KeysPair(pA, pB) || (IsBlank(pA) && IsBlank(pB) && KeysMatch(pA, pB));
    return bAligned && CompareFieldsAgree(pA, pB, m_nCompareFields, m_nCompareFieldCount, m_bFaxPair);
}

bool CommAddrMgr::IsBlank(const CommAddrRecord* pRecord) const
{
    return KeyKindOf(pRecord, m_nKeyFields, m_nKeyFieldCount) == KeyKind::Blank;
}

// The cache lines of the key and compare fields of a record hashed soon:
// the copies of a large set are far apart in memory, and hashing them one
// after the other would otherwise wait for memory at nearly every field.
void CommAddrMgr::PrefetchMatchFields(const CommAddrRecord* pRecord) const
{
    for (int32_t i = 0; i < m_nKeyFieldCount; ++i)
        __builtin_prefetch(MatchedField(pRecord, m_nKeyFields[i]));
    for (int32_t i = 0; i < m_nCompareFieldCount; ++i)
        __builtin_prefetch(MatchedField(pRecord, m_nCompareFields[i]));
    __builtin_prefetch(pRecord->szCompany);
}

uint64_t CommAddrMgr::KeyHash(const CommAddrRecord* pRecord) const
{
    return HashKeys(pRecord, m_nKeyFields, m_nKeyFieldCount);
}

uint64_t CommAddrMgr::CompareHash(const CommAddrRecord* pRecord) const
{
    return HashCompareFields(pRecord, m_nCompareFields, m_nCompareFieldCount, m_bFaxPair);
}

CommAddrRecord* CommAddrMgr::GetFirstRecord()
{
    m_nCursor = 0;
    return GetCount() == 0 ? nullptr : RecordFor(0);
}

CommAddrRecord* CommAddrMgr::GetNextRecord()
{
    if (static_cast<int64_t>(m_nCursor) + 1 >= GetCount())
        return nullptr;
    ++m_nCursor;
    return RecordFor(static_cast<int32_t>(m_nCursor));
}

CommAddrRecord* CommAddrMgr::GetRecordAt(int32_t nPos)
{
    if (nPos < 0 || nPos >= GetCount())
        return nullptr;
    m_nCursor = static_cast<uint32_t>(nPos);
    return RecordFor(nPos);
}

int32_t CommAddrMgr::GetCount() const
{
    if (m_pSource != nullptr)
        return std::max<int32_t>(m_pSource->GetRecordCount(), 0);
    return static_cast<int32_t>(m_Records.size());
}

void CommAddrMgr::SetKeyFields(const int32_t* pIds, int32_t nCount)
{
    SetFieldList(m_nKeyFields, &m_nKeyFieldCount, pIds, nCount, kDefaultKeyFields,
                 static_cast<int32_t>(std::size(kDefaultKeyFields)));
    UpdateMatchFields();
    DropIndex();
    NewVersion();
}

void CommAddrMgr::UpdateMatchFields()
{
    m_MatchFields.reset();
    for (int32_t i = 0; i < m_nKeyFieldCount; ++i)
        if (m_nKeyFields[i] >= 1 && m_nKeyFields[i] <= COMM_FIELD_COUNT)
            m_MatchFields.set(static_cast<size_t>(m_nKeyFields[i]));
    for (int32_t i = 0; i < m_nCompareFieldCount; ++i)
        if (m_nCompareFields[i] >= 1 && m_nCompareFields[i] <= COMM_FIELD_COUNT)
            m_MatchFields.set(static_cast<size_t>(m_nCompareFields[i]));
    // Records without key texts are matched by their company.
    m_MatchFields.set(CF_COMPANY);
}

void CommAddrMgr::SetCompareFields(const int32_t* pIds, int32_t nCount)
{
    SetFieldList(m_nCompareFields, &m_nCompareFieldCount, pIds, nCount, kDefaultCompareFields,
                 static_cast<int32_t>(std::size(kDefaultCompareFields)));
    bool bWorkFax = false;
    bool bHomeFax = false;
    for (int32_t i = 0; i < m_nCompareFieldCount; ++i) {
        bWorkFax = bWorkFax || m_nCompareFields[i] == CF_WORK_FAX;
        bHomeFax = bHomeFax || m_nCompareFields[i] == CF_HOME_FAX;
    }
    m_bFaxPair = bWorkFax && bHomeFax;
    UpdateMatchFields();
    DropIndex();
    NewVersion();
}

bool CommAddrMgr::KeysMatch(const CommAddrRecord* pA, const CommAddrRecord* pB) const
{
    return MatchFieldList(pA, pB, m_nKeyFields, m_nKeyFieldCount);
}

bool CommAddrMgr::FieldsMatch(const CommAddrRecord* pA, const CommAddrRecord* pB) const
{
    return MatchFieldList(pA, pB, m_nCompareFields, m_nCompareFieldCount);
}

bool CommAddrMgr::MatchFieldList(const CommAddrRecord* pA, const CommAddrRecord* pB, const int32_t* pIds,
                                 int32_t nCount)
{
    if (pA == nullptr || pB == nullptr || pIds == nullptr || nCount <= 0)
        return false;
    for (int32_t i = 0; i < nCount; ++i) {
        const int32_t nId = pIds[i];
        switch (MatchKindOf(nId)) {
        case MatchKind::Text:
            if (FieldsDiffer(MatchedField(pA, nId), MatchedField(pB, nId), MatchedWidth(nId)))
                return false;
            break;
        case MatchKind::Date:
            if (ReadDate(pA, nId) != ReadDate(pB, nId))
                return false;
            break;
        case MatchKind::Skipped:  // counts as equal
            break;
        }
    }
    return true;
}

int CommAddrMgr::TextDiffers(const char* pszA, const char* pszB)
{
    return TextsDiffer(pszA, pszB, static_cast<size_t>(-1)) ? 1 : 0;
}
