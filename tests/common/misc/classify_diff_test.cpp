// CommAddrMgr::Classify and ClassifySide against the plain matching walk.
//
// Classify answers from an index; its answers must be exactly those of
// comparing the record with every stored copy in load order, and those of
// ClassifySide exactly those of pairing a whole side with the stored copies
// by two such walks (same pairs first, then modified ones). The walk is
// written out below as the reference, from the matching rules alone (it uses
// nothing of CommAddrMgr but the stored copies' addresses), and many random
// sets are run through both: duplicate keys, case variants (a-z against A-Z,
// and bytes above 0x7F that do not fold), empty keys, texts that fill their
// field without a terminator, dates that are -0.0 or not a number, key and
// compare lists that change, copies merged or added between two
// classifications, stored copies classified themselves, texts and their cut
// copies, home faxes against work faxes, and records without keys matched by
// their company or not at all. Beside each set runs a view over a side that
// holds the same records (changed and announced, appended, emptied with it),
// which must give the same answers, and both classify whole sides read from
// a record source as well as held in an array.
#include "common/misc/CommAddrMgr.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstddef>
#include <cstring>
#include <iterator>
#include <limits>
#include <memory>
#include <random>
#include <string>
#include <vector>

namespace {

// ---- The reference: the matching walk --------------------------------------

const std::vector<int32_t> kRefDefaultKeys = {CF_FIRST_NAME, CF_LAST_NAME, CF_EMAIL};
const std::vector<int32_t> kRefDefaultCompares = {24, 25, 26, 37, 34, 35, 53, 55, 13, 11, 12, 10,
                                                  9,  18, 16, 17, 15, 14, 23, 21, 22, 20, 19, 43};

bool RefIsComparedText(int32_t nId)
{
    return (nId >= 1 && nId <= 7) || (nId >= 9 && nId <= 61) || nId == 65 || (nId >= 68 && nId <= 70) ||
           (nId >= 82 && nId <= 90);
}

unsigned char RefUpper(unsigned char c)
{
    return c >= 'a' && c <= 'z' ? static_cast<unsigned char>(c - 32) : c;
}

// Equal when the texts agree, a-z folded, up to and including the terminator;
// a field is never read past its width.
bool RefTextsEqual(const char* pszA, const char* pszB, size_t nWidth)
{
    for (size_t i = 0; i < nWidth; ++i) {
        const unsigned char cA = RefUpper(static_cast<unsigned char>(pszA[i]));
        const unsigned char cB = RefUpper(static_cast<unsigned char>(pszB[i]));
        if (cA != cB)
            return false;
        if (cA == 0)
            return true;
    }
    return true;
}

// Equal, or the shorter is the longer cut at a field width minus one.
bool RefTextsAgree(const char* pszA, const char* pszB, size_t nWidth)
{
    if (RefTextsEqual(pszA, pszB, nWidth))
        return true;
    const size_t nLenA = strnlen(pszA, nWidth);
    const size_t nLenB = strnlen(pszB, nWidth);
    const size_t nShort = std::min(nLenA, nLenB);
    const bool bCut = nShort == 15 || nShort == 23 || nShort == 31 || nShort == 63 || nShort == 127 || nShort == 255 ||
                      nShort == 2047;
    if (!bCut || nLenA == nLenB)
        return false;
    for (size_t i = 0; i < nShort; ++i)
        if (RefUpper(static_cast<unsigned char>(pszA[i])) != RefUpper(static_cast<unsigned char>(pszB[i])))
            return false;
    return true;
}

double RefDate(const CommAddrRecord* pRecord, int32_t nId)
{
    return nId == CF_BIRTHDAY ? pRecord->dtBirthday : pRecord->dtAnniversary;
}

bool RefListEqual(const CommAddrRecord* pA, const CommAddrRecord* pB, const std::vector<int32_t>& ids)
{
    for (int32_t nId : ids) {
        if (RefIsComparedText(nId)) {
            if (!RefTextsEqual(GetTextField(pA, nId), GetTextField(pB, nId), static_cast<size_t>(GetFieldWidth(nId))))
                return false;
        } else if (nId == CF_BIRTHDAY || nId == CF_ANNIVERSARY) {
            if (RefDate(pA, nId) != RefDate(pB, nId))
                return false;
        }
    }
    return true;
}

bool RefHas(const std::vector<int32_t>& ids, int32_t nId)
{
    return std::find(ids.begin(), ids.end(), nId) != ids.end();
}

// The text a compare field is compared by: without a work fax, the home fax
// stands for it (when both faxes are compared).
const char* RefCompareText(const CommAddrRecord* pRecord, int32_t nId, const std::vector<int32_t>& compares)
{
    const bool bFaxPair = RefHas(compares, CF_WORK_FAX) && RefHas(compares, CF_HOME_FAX);
    if (bFaxPair && pRecord->szWorkFax[0] == '\0') {
        if (nId == CF_WORK_FAX)
            return pRecord->szHomeFax;
        if (nId == CF_HOME_FAX)
            return "";
    }
    return GetTextField(pRecord, nId);
}

bool RefComparesAgree(const CommAddrRecord* pA, const CommAddrRecord* pB, const std::vector<int32_t>& compares)
{
    for (int32_t nId : compares) {
        if (RefIsComparedText(nId)) {
            if (!RefTextsAgree(RefCompareText(pA, nId, compares), RefCompareText(pB, nId, compares),
                               static_cast<size_t>(GetFieldWidth(nId))))
                return false;
        } else if (nId == CF_BIRTHDAY || nId == CF_ANNIVERSARY) {
            if (RefDate(pA, nId) != RefDate(pB, nId))
                return false;
        }
    }
    return true;
}

// 0: keyed by its keys, 1: by its company (key texts all empty), 2: neither.
int RefKeyKind(const CommAddrRecord* pRecord, const std::vector<int32_t>& keys)
{
    bool bAnyText = false;
    for (int32_t nId : keys) {
        if (!RefIsComparedText(nId))
            continue;
        bAnyText = true;
        if (GetTextField(pRecord, nId)[0] != '\0')
            return 0;
    }
    if (!bAnyText)
        return 0;
    return pRecord->szCompany[0] != '\0' ? 1 : 2;
}

// One contact: the keys are equal (by company when they are empty); never
// for records without keys and company.
bool RefKeysPair(const CommAddrRecord* pA, const CommAddrRecord* pB, const std::vector<int32_t>& keys)
{
    const int nKind = RefKeyKind(pA, keys);
    if (nKind == 2 || nKind != RefKeyKind(pB, keys) || !RefListEqual(pA, pB, keys))
        return false;
    return nKind == 0 || RefTextsAgree(pA->szCompany, pB->szCompany, sizeof pA->szCompany);
}

bool RefSame(const CommAddrRecord* pA, const CommAddrRecord* pB, const std::vector<int32_t>& keys,
             const std::vector<int32_t>& compares)
{
    if (pA == pB)
        return true;
    const bool bAligned = RefKeysPair(pA, pB, keys) ||
                          (RefKeyKind(pA, keys) == 2 && RefKeyKind(pB, keys) == 2 && RefListEqual(pA, pB, keys));
    return bAligned && RefComparesAgree(pA, pB, compares);
}

struct RefAnswer {
    int nResult;
    int32_t nPos;      // the match, or the number of copies for a new record
    uint32_t nCursor;  // where the walk leaves the cursor
    int nKeyMatches;   // copies sharing the keys (to see what the run covered)
};

RefAnswer RefClassify(const std::vector<CommAddrRecord*>& copies, const std::vector<int32_t>& keys,
                      const std::vector<int32_t>& compares, const CommAddrRecord* pRecord)
{
    RefAnswer answer{CLASSIFY_NEW, static_cast<int32_t>(copies.size()), 0, 0};
    for (const CommAddrRecord* pCopy : copies)
        answer.nKeyMatches += RefListEqual(pRecord, pCopy, keys) ? 1 : 0;
    int32_t nModified = -1;
    for (size_t nPos = 0; nPos < copies.size(); ++nPos) {
        const CommAddrRecord* pCopy = copies[nPos];
        const bool bKeys = RefKeysPair(pRecord, pCopy, keys);
        if (RefSame(pRecord, pCopy, keys, compares)) {
            answer.nResult = CLASSIFY_SAME;
            answer.nPos = static_cast<int32_t>(nPos);
            answer.nCursor = static_cast<uint32_t>(nPos);
            return answer;
        }
        if (bKeys)
            nModified = static_cast<int32_t>(nPos);
    }
    if (nModified >= 0) {
        answer.nResult = CLASSIFY_MODIFIED;
        answer.nPos = nModified;
    }
    answer.nCursor = copies.empty() ? 0 : static_cast<uint32_t>(copies.size() - 1);
    return answer;
}

// A whole side paired with the copies: the same pairs in the side's order,
// each with the first unpaired copy that is the same; then the modified
// pairs among the records and copies still unpaired.
std::vector<ClassifyMatch> RefClassifySide(const std::vector<CommAddrRecord*>& copies, const std::vector<int32_t>& keys,
                                           const std::vector<int32_t>& compares,
                                           const std::vector<const CommAddrRecord*>& side)
{
    std::vector<ClassifyMatch> answers(side.size(), ClassifyMatch{CLASSIFY_NEW, -1});
    std::vector<bool> paired(copies.size(), false);
    for (int nPass = 0; nPass < 2; ++nPass) {
        for (size_t i = 0; i < side.size(); ++i) {
            if (side[i] == nullptr || answers[i].nResult != CLASSIFY_NEW)
                continue;
            for (size_t nPos = 0; nPos < copies.size(); ++nPos) {
                const bool bFits = nPass == 0 ? RefSame(side[i], copies[nPos], keys, compares)
                                              : RefKeysPair(side[i], copies[nPos], keys);
                if (bFits && !paired[nPos]) {
                    paired[nPos] = true;
                    answers[i] =
                        ClassifyMatch{nPass == 0 ? CLASSIFY_SAME : CLASSIFY_MODIFIED, static_cast<int32_t>(nPos)};
                    break;
                }
            }
        }
    }
    return answers;
}

// ---- Random contacts ---------------------------------------------------------

// Fields the random records fill and the random lists pick from: texts of
// several widths (Note is 8192 bytes, postal codes 16), texts that never take
// part in matching, both dates, and ids that are no compared field at all.
const int32_t kTextIds[] = {CF_FIRST_NAME, CF_LAST_NAME,   CF_EMAIL,          CF_WORK_POSTAL,
                            CF_COMPANY,    CF_WORK_STREET, CF_NOTE,           CF_MIDDLE_NAME,
                            CF_WORK_FAX,   CF_HOME_FAX,    CF_CHILDREN_NAMES, CF_ID};
const int32_t kListIds[] = {CF_FIRST_NAME,
                            CF_LAST_NAME,
                            CF_EMAIL,
                            CF_WORK_POSTAL,
                            CF_COMPANY,
                            CF_WORK_STREET,
                            CF_NOTE,
                            CF_MIDDLE_NAME,
                            CF_CHILDREN_NAMES,
                            CF_ID,
                            CF_BIRTHDAY,
                            CF_ANNIVERSARY,
                            CF_GENDER,
                            CF_STATUS,
                            CF_PRIVATE,
                            0,
                            91,
                            CF_WORK_FAX,
                            CF_HOME_FAX};
const int32_t kSkippedIds[] = {CF_GENDER, CF_CHILDREN_NAMES, CF_ID, CF_STATUS, 0, 91};

// Texts chosen to collide: case variants (a and z, the ends of the folded
// range), blanks, the neighbours of the
// letters that must not fold ('[' and '{', '@' and '`'), and e acute in both
// cases (0xE9, 0xC9), which must not fold either.
const char* const kTexts[] = {"", "ann", "ZED", "ANN", "zed", "Ann", "an", "ann ", "[x", "{x", "@", "`", "Zed",
                              "\xE9mile", "\xC9mile", "\xE9MILE",
                              // a text cut at 15, and two longer texts that extend it or not
                              "abcdefghijklmno", "ABCDEFGHIJKLMNOpq", "abcdefghijklmnp"};
// Pseudo-texts past the end of kTexts: the field filled to its last byte
// without a terminator.
constexpr int kFullWidthTexts = 3;

const double kDates[] = {0.0, -0.0, 1.5, 36526.0, std::numeric_limits<double>::quiet_NaN()};

class RandomContacts {
public:
    explicit RandomContacts(uint32_t nSeed) : m_rng(nSeed) { }

    uint32_t Below(uint32_t n) { return static_cast<uint32_t>(m_rng() % n); }
    bool Chance(uint32_t nPercent) { return Below(100) < nPercent; }

    // How many distinct texts this set draws from: few make many duplicates.
    void SetVariety(uint32_t nTexts) { m_nVariety = nTexts; }

    void SetText(CommAddrRecord* pRecord, int32_t nId)
    {
        char* pszField = GetTextField(pRecord, nId);
        const size_t nWidth = static_cast<size_t>(GetFieldWidth(nId));
        const uint32_t nPick = Below(m_nVariety + kFullWidthTexts);
        if (nPick < m_nVariety) {
            SetTextField(pRecord, nId, kTexts[nPick % std::size(kTexts)]);
            return;
        }
        // Every byte used: 'q' or 'Q' (equal once folded), and sometimes an
        // 'r' in the last byte, the only place where two of them differ.
        std::memset(pszField, Chance(50) ? 'q' : 'Q', nWidth);
        if (nPick == m_nVariety + 2)
            pszField[nWidth - 1] = 'r';
    }

    void SetDate(CommAddrRecord* pRecord, int32_t nId)
    {
        const double dDate = kDates[Below(static_cast<uint32_t>(std::size(kDates)))];
        (nId == CF_BIRTHDAY ? pRecord->dtBirthday : pRecord->dtAnniversary) = dDate;
    }

    void Fill(CommAddrRecord* pRecord)
    {
        ZeroCommRecord(pRecord);
        for (int32_t nId : kTextIds)
            SetText(pRecord, nId);
        SetDate(pRecord, CF_BIRTHDAY);
        SetDate(pRecord, CF_ANNIVERSARY);
        pRecord->nGender = static_cast<int32_t>(Below(3));
    }

    // A stored copy with a few fields changed: another text, another date, or
    // the letters of a text flipped between cases (for bytes above 0x7F the
    // flip changes the letter).
    void Vary(CommAddrRecord* pRecord, const CommAddrRecord* pFrom)
    {
        std::memcpy(static_cast<void*>(pRecord), pFrom, sizeof *pRecord);
        pRecord->pAttached = nullptr;
        pRecord->nAttachedLen = 0;
        const uint32_t nChanges = Below(3);
        for (uint32_t n = 0; n < nChanges; ++n) {
            const int32_t nId = kListIds[Below(static_cast<uint32_t>(std::size(kListIds)))];
            if (nId == CF_BIRTHDAY || nId == CF_ANNIVERSARY) {
                SetDate(pRecord, nId);
            } else if (RefIsComparedText(nId) || nId == CF_CHILDREN_NAMES || nId == CF_ID) {
                if (Chance(50)) {
                    SetText(pRecord, nId);
                } else {
                    char* pszField = GetTextField(pRecord, nId);
                    const size_t nWidth = static_cast<size_t>(GetFieldWidth(nId));
                    for (size_t i = 0; i < nWidth && pszField[i] != '\0'; ++i) {
                        const unsigned char c = static_cast<unsigned char>(pszField[i]);
                        if (((c | 0x20) >= 'a' && (c | 0x20) <= 'z') || c >= 0xC0)
                            pszField[i] = static_cast<char>(c ^ (Chance(50) ? 0x20 : 0));
                    }
                }
            } else {
                pRecord->nGender ^= 1;
            }
        }
    }

    // A key or compare list: the defaults (empty vector), a few ids of the
    // pool, or only ids that never differ (every copy then shares the keys).
    std::vector<int32_t> List()
    {
        std::vector<int32_t> ids;
        const uint32_t nKind = Below(10);
        if (nKind < 3)
            return ids;
        if (nKind == 3) {
            ids.push_back(kSkippedIds[Below(static_cast<uint32_t>(std::size(kSkippedIds)))]);
            return ids;
        }
        const uint32_t nCount = 1 + Below(4);
        for (uint32_t n = 0; n < nCount; ++n)
            ids.push_back(kListIds[Below(static_cast<uint32_t>(std::size(kListIds)))]);
        return ids;
    }

private:
    std::mt19937 m_rng;
    uint32_t m_nVariety = 4;
};

// A side holding its records itself, read by position; a null entry is a
// position without a record.
class HeldSide : public CommRecordSource {
public:
    std::vector<std::unique_ptr<CommAddrRecord>> records;

    void Append(const CommAddrRecord& record) { records.push_back(std::make_unique<CommAddrRecord>(record)); }
    int32_t GetRecordCount() const override { return static_cast<int32_t>(records.size()); }
    bool FillRecord(int32_t nPos, CommAddrRecord* pRecord) const override
    {
        const CommAddrRecord* pHeld = records[static_cast<size_t>(nPos)].get();
        if (pHeld == nullptr)
            return false;
        std::memcpy(static_cast<void*>(pRecord), pHeld, sizeof *pRecord);
        return true;
    }
};

// The matching fields of two records are the same bytes.
bool SameBytes(const CommAddrRecord* pA, const CommAddrRecord* pB)
{
    return pA != nullptr && pB != nullptr && std::memcmp(pA, pB, offsetof(CommAddrRecord, pAttached)) == 0;
}

void ExpectAnswers(const std::vector<ClassifyMatch>& answers, const std::vector<ClassifyMatch>& expected,
                   const std::string& where)
{
    ASSERT_EQ(answers.size(), expected.size()) << where;
    for (size_t i = 0; i < answers.size(); ++i) {
        ASSERT_EQ(answers[i].nResult, expected[i].nResult) << where << ", record " << i;
        ASSERT_EQ(answers[i].nPos, expected[i].nPos) << where << ", record " << i;
    }
}

// What one run covered, so a change that stops reaching a case shows.
struct Coverage {
    int nSame = 0;
    int nModified = 0;
    int nNew = 0;
    int nIdentity = 0;
    int nLongChains = 0;  // classifications with more than 8 copies sharing the keys
    int nMerges = 0;
    int nReplaces = 0;
    int nSidePairsLost = 0;  // side records whose Classify partner another record took
    int nOwnSides = 0;       // a view classifying its own side
};

// One random set: a sequence of additions, merges, list changes, clears and
// classifications, every classification checked against the reference.
void RunRandomSet(uint32_t nSeed, Coverage* pCoverage)
{
    RandomContacts random(nSeed);
    random.SetVariety(2 + random.Below(17));
    CommAddrMgr set;
    std::vector<CommAddrRecord*> copies;
    // The view: its side holds a record equal to each stored copy.
    HeldSide mirror;
    CommAddrMgr view;
    ASSERT_TRUE(view.SetSource(&mirror));
    std::vector<int32_t> keys = kRefDefaultKeys;
    std::vector<int32_t> compares = kRefDefaultCompares;
    auto pRecord = std::make_unique<CommAddrRecord>();

    auto applyList = [&](bool bKeys) {
        const std::vector<int32_t> ids = random.List();
        if (bKeys) {
            set.SetKeyFields(ids.empty() ? nullptr : ids.data(), static_cast<int32_t>(ids.size()));
            view.SetKeyFields(ids.empty() ? nullptr : ids.data(), static_cast<int32_t>(ids.size()));
            keys = ids.empty() ? kRefDefaultKeys : ids;
        } else {
            set.SetCompareFields(ids.empty() ? nullptr : ids.data(), static_cast<int32_t>(ids.size()));
            view.SetCompareFields(ids.empty() ? nullptr : ids.data(), static_cast<int32_t>(ids.size()));
            compares = ids.empty() ? kRefDefaultCompares : ids;
        }
    };
    if (random.Chance(50))
        applyList(true);
    if (random.Chance(50))
        applyList(false);

    const int nSteps = 150 + static_cast<int>(random.Below(150));
    for (int nStep = 0; nStep < nSteps; ++nStep) {
        const std::string where = "seed " + std::to_string(nSeed) + ", step " + std::to_string(nStep);
        const uint32_t nOp = random.Below(100);
        if (nOp < 35) {
            // A new copy: random, or a variant of a stored one (duplicate keys).
            if (!copies.empty() && random.Chance(60))
                random.Vary(pRecord.get(), copies[random.Below(static_cast<uint32_t>(copies.size()))]);
            else
                random.Fill(pRecord.get());
            CommAddrRecord* pCopy = set.AddCopy(pRecord.get());
            ASSERT_NE(pCopy, nullptr) << where;
            copies.push_back(pCopy);
            mirror.Append(*pCopy);
        } else if (nOp < 45) {
            // Merge into a stored copy; its keys or compare fields may change.
            if (copies.empty())
                continue;
            const uint32_t nPos = random.Below(static_cast<uint32_t>(copies.size()));
            if (random.Chance(50))
                random.Vary(pRecord.get(), copies[random.Below(static_cast<uint32_t>(copies.size()))]);
            else
                random.Fill(pRecord.get());
            if (random.Chance(25)) {
                // Or replaced whole, as a side written and read back is:
                // the copy keeps its own block.
                CommAddrRecord* pCopy = copies[nPos];
                void* const pBlock = pCopy->pAttached;
                ASSERT_TRUE(set.ReplaceFieldsAt(pRecord.get(), static_cast<int32_t>(nPos))) << where;
                ASSERT_EQ(pCopy->pAttached, pBlock) << where;
                ASSERT_EQ(std::memcmp(pCopy, pRecord.get(), offsetof(CommAddrRecord, pAttached)), 0) << where;
                ++pCoverage->nReplaces;
            } else {
                ASSERT_TRUE(set.MergeAt(pRecord.get(), static_cast<int32_t>(nPos))) << where;
                ++pCoverage->nMerges;
            }
            // The side changes its record as the copy changed and says so.
            *mirror.records[nPos] = *copies[nPos];
            view.RecordChangedAt(static_cast<int32_t>(nPos));
        } else if (nOp < 48) {
            applyList(random.Chance(50));
        } else if (nOp < 49) {
            set.ClearRecords();
            copies.clear();
            mirror.records.clear();
            view.ClearRecords();
        } else if (nOp < 56) {
            // A whole side: variants of stored copies (namesakes among them),
            // stored copies themselves, random records and a null.
            std::vector<std::unique_ptr<CommAddrRecord>> owned;
            std::vector<const CommAddrRecord*> side;
            const uint32_t nSide = 1 + random.Below(12);
            for (uint32_t n = 0; n < nSide; ++n) {
                const uint32_t nKind = random.Below(10);
                if (!copies.empty() && nKind < 2) {
                    side.push_back(copies[random.Below(static_cast<uint32_t>(copies.size()))]);
                    continue;
                }
                if (nKind == 9) {
                    side.push_back(nullptr);
                    continue;
                }
                owned.push_back(std::make_unique<CommAddrRecord>());
                if (!copies.empty() && nKind < 8)
                    random.Vary(owned.back().get(), copies[random.Below(static_cast<uint32_t>(copies.size()))]);
                else
                    random.Fill(owned.back().get());
                side.push_back(owned.back().get());
            }
            std::vector<ClassifyMatch> expected = RefClassifySide(copies, keys, compares, side);
            for (size_t i = 0; i < side.size(); ++i) {
                if (side[i] == nullptr)
                    expected[i] = ClassifyMatch{CLASSIFY_NONE, -1};
            }
            std::vector<ClassifyMatch> answers(side.size());
            ASSERT_TRUE(set.ClassifySide(side.data(), static_cast<int32_t>(side.size()), answers.data())) << where;
            ASSERT_NO_FATAL_FAILURE(ExpectAnswers(answers, expected, where));
            for (size_t i = 0; i < side.size(); ++i) {
                if (side[i] != nullptr && expected[i].nResult == CLASSIFY_NEW &&
                    RefClassify(copies, keys, compares, side[i]).nResult != CLASSIFY_NEW)
                    ++pCoverage->nSidePairsLost;
            }

            // The same records as another object: no record is a stored
            // copy itself. Held in an array and read from a side, by the
            // copies and by the view.
            HeldSide held;
            std::vector<const CommAddrRecord*> heldSide;
            for (const CommAddrRecord* pSide : side) {
                held.records.push_back(pSide != nullptr ? std::make_unique<CommAddrRecord>(*pSide) : nullptr);
                heldSide.push_back(held.records.back().get());
            }
            std::vector<ClassifyMatch> expectedHeld = RefClassifySide(copies, keys, compares, heldSide);
            for (size_t i = 0; i < heldSide.size(); ++i) {
                if (heldSide[i] == nullptr)
                    expectedHeld[i] = ClassifyMatch{CLASSIFY_NONE, -1};
            }
            ASSERT_TRUE(set.ClassifySide(held, answers.data())) << where;
            ASSERT_NO_FATAL_FAILURE(ExpectAnswers(answers, expectedHeld, where + ", side read by the copies"));
            ASSERT_TRUE(view.ClassifySide(held, answers.data())) << where;
            ASSERT_NO_FATAL_FAILURE(ExpectAnswers(answers, expectedHeld, where + ", side read by the view"));
            ASSERT_TRUE(view.ClassifySide(heldSide.data(), static_cast<int32_t>(heldSide.size()), answers.data()))
                << where;
            ASSERT_NO_FATAL_FAILURE(ExpectAnswers(answers, expectedHeld, where + ", side held, view"));

            // The view's own side: each record is its own stored copy.
            if (random.Chance(30)) {
                std::vector<ClassifyMatch> own(copies.size());
                const std::vector<const CommAddrRecord*> ownSide(copies.begin(), copies.end());
                ASSERT_TRUE(view.ClassifySide(mirror, own.data())) << where;
                ASSERT_NO_FATAL_FAILURE(
                    ExpectAnswers(own, RefClassifySide(copies, keys, compares, ownSide), where + ", own side"));
                ++pCoverage->nOwnSides;
            }
        } else {
            // Classify: a stored copy itself, a variant of one, or a random record.
            const CommAddrRecord* pIncoming = pRecord.get();
            const CommAddrRecord* pViewIncoming = pRecord.get();
            const uint32_t nKind = random.Below(10);
            if (!copies.empty() && nKind < 2) {
                const uint32_t nSelf = random.Below(static_cast<uint32_t>(copies.size()));
                pIncoming = copies[nSelf];
                // For the view, the record it hands out for that position.
                pViewIncoming = view.GetRecordAt(static_cast<int32_t>(nSelf));
                ASSERT_TRUE(SameBytes(pViewIncoming, pIncoming)) << where;
                ++pCoverage->nIdentity;
            } else if (!copies.empty() && nKind < 7) {
                random.Vary(pRecord.get(), copies[random.Below(static_cast<uint32_t>(copies.size()))]);
            } else {
                random.Fill(pRecord.get());
            }

            const RefAnswer expected = RefClassify(copies, keys, compares, pIncoming);
            CommAddrRecord sentinel;
            CommAddrRecord* pMatch = &sentinel;
            int32_t nPos = -7;
            ASSERT_EQ(set.Classify(pIncoming, &pMatch, &nPos), expected.nResult) << where;
            ASSERT_EQ(nPos, expected.nPos) << where;
            if (expected.nResult == CLASSIFY_NEW)
                ASSERT_EQ(pMatch, &sentinel) << where;
            else
                ASSERT_EQ(pMatch, copies[static_cast<size_t>(expected.nPos)]) << where;
            // The cursor stands where the walk left it.
            const size_t nNext = static_cast<size_t>(expected.nCursor) + 1;
            ASSERT_EQ(set.GetNextRecord(), nNext < copies.size() ? copies[nNext] : nullptr) << where;

            // The view answers alike, its match in its buffer.
            CommAddrRecord* pViewMatch = &sentinel;
            int32_t nViewPos = -7;
            ASSERT_EQ(view.Classify(pViewIncoming, &pViewMatch, &nViewPos), expected.nResult) << where << ", view";
            ASSERT_EQ(nViewPos, expected.nPos) << where << ", view";
            if (expected.nResult == CLASSIFY_NEW)
                ASSERT_EQ(pViewMatch, &sentinel) << where << ", view";
            else
                ASSERT_TRUE(SameBytes(pViewMatch, copies[static_cast<size_t>(expected.nPos)])) << where << ", view";
            CommAddrRecord* pViewNext = view.GetNextRecord();
            if (nNext < copies.size())
                ASSERT_TRUE(SameBytes(pViewNext, copies[nNext])) << where << ", view";
            else
                ASSERT_EQ(pViewNext, nullptr) << where << ", view";

            pCoverage->nSame += expected.nResult == CLASSIFY_SAME ? 1 : 0;
            pCoverage->nModified += expected.nResult == CLASSIFY_MODIFIED ? 1 : 0;
            pCoverage->nNew += expected.nResult == CLASSIFY_NEW ? 1 : 0;
            pCoverage->nLongChains += expected.nKeyMatches > 8 ? 1 : 0;
        }
    }
}

TEST(ClassifyDiffTest, RandomSetsAnswerAsTheWalk)
{
    Coverage coverage;
    for (uint32_t nSeed = 1; nSeed <= 200; ++nSeed) {
        RunRandomSet(nSeed, &coverage);
        if (HasFatalFailure())
            return;
    }
    // The run reached every kind of answer and the long chains of copies
    // sharing one key, often.
    EXPECT_GT(coverage.nSame, 1000);
    EXPECT_GT(coverage.nModified, 1000);
    EXPECT_GT(coverage.nNew, 1000);
    EXPECT_GT(coverage.nIdentity, 500);
    EXPECT_GT(coverage.nLongChains, 1000);
    EXPECT_GT(coverage.nMerges, 1000);
    EXPECT_GT(coverage.nReplaces, 300);
    EXPECT_GT(coverage.nSidePairsLost, 100);
    EXPECT_GT(coverage.nOwnSides, 100);
}

// Many copies share the keys (no names, no e-mail, one company): the first same copy and
// the last modified one are found in a long run of them, also after merges
// move copies into and out of that run.
TEST(ClassifyDiffTest, ManyCopiesSharingTheKeys)
{
    CommAddrMgr set;
    std::vector<CommAddrRecord*> copies;
    auto pRecord = std::make_unique<CommAddrRecord>();
    for (int i = 0; i < 40; ++i) {
        ZeroCommRecord(pRecord.get());
        SetTextField(pRecord.get(), CF_COMPANY, "Acme");
        SetTextField(pRecord.get(), CF_WORK_PHONE, std::to_string(i % 20).c_str());
        copies.push_back(set.AddCopy(pRecord.get()));
    }
    auto classify = [&](const CommAddrRecord* pIncoming) {
        int32_t nPos = -1;
        const int nResult = set.Classify(pIncoming, nullptr, &nPos);
        return std::to_string(nResult) + "@" + std::to_string(nPos);
    };

    ZeroCommRecord(pRecord.get());
    SetTextField(pRecord.get(), CF_COMPANY, "Acme");
    SetTextField(pRecord.get(), CF_WORK_PHONE, "13");
    EXPECT_EQ(classify(pRecord.get()), "1@13");  // the first of 13 and 33
    EXPECT_EQ(classify(copies[33]), "1@13");     // an equal copy before it wins over identity
    SetTextField(pRecord.get(), CF_WORK_PHONE, "99");
    EXPECT_EQ(classify(pRecord.get()), "3@39");  // modified: the last copy

    // The last copy gets a name: the run now ends at 38. A merge gives copy 2
    // phone 99: it becomes the same.
    CommAddrRecord* pMerge = pRecord.get();
    ZeroCommRecord(pMerge);
    SetTextField(pMerge, CF_COMPANY, "Acme");
    SetTextField(pMerge, CF_FIRST_NAME, "Ann");
    ASSERT_TRUE(set.MergeAt(pMerge, 39));
    ZeroCommRecord(pMerge);
    SetTextField(pMerge, CF_COMPANY, "Acme");
    SetTextField(pMerge, CF_WORK_PHONE, "99");
    ASSERT_TRUE(set.MergeAt(pMerge, 2));
    SetTextField(pMerge, CF_WORK_PHONE, "98");
    EXPECT_EQ(classify(pMerge), "3@38");
    SetTextField(pMerge, CF_WORK_PHONE, "99");
    EXPECT_EQ(classify(pMerge), "1@2");
    SetTextField(pMerge, CF_FIRST_NAME, "ANN");
    SetTextField(pMerge, CF_WORK_PHONE, "19");
    EXPECT_EQ(classify(pMerge), "1@39");

    // Copies added after the index was built join it.
    ZeroCommRecord(pRecord.get());
    SetTextField(pRecord.get(), CF_COMPANY, "Acme");
    SetTextField(pRecord.get(), CF_WORK_PHONE, "77");
    copies.push_back(set.AddCopy(pRecord.get()));
    SetTextField(pRecord.get(), CF_WORK_PHONE, "76");
    EXPECT_EQ(classify(pRecord.get()), "3@40");
    SetTextField(pRecord.get(), CF_WORK_PHONE, "77");
    EXPECT_EQ(classify(pRecord.get()), "1@40");
}

}  // namespace
