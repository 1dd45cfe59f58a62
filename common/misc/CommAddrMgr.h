// CommAddrMgr: a contact set, the neutral copies of all records of one side
// in the order that side loaded them, with matching and merging.
//
// A record matches a stored copy when all key fields are equal (text compared
// ignoring the case of a-z only); a matching record is the same when all
// compare fields are equal too, and modified otherwise. A stored copy's
// position is its index in load order; positions are stable until
// ClearRecords, because the set only appends.
//
// Stored copies are owned by the set, and so are their attached blocks: the
// set duplicates the block (malloc) when it stores a record and frees it with
// the copy. Never free a stored copy's block yourself.
#pragma once

#include <cstdint>

#include "common/misc/CommAddrRecord.h"
#include "common/misc/CxList.h"

// How a record compares with the other side; stored in field 79 "Status".
enum RecordState : int32_t {
    RS_SAME = 0,
    RS_NEW = 1,
    RS_MODIFIED = 2,
};

// Results of CommAddrMgr::Classify.
enum ClassifyResult : int {
    CLASSIFY_NONE = -1,       // no record given
    CLASSIFY_SAME = 1,
    CLASSIFY_NEW = 2,
    CLASSIFY_MODIFIED = 3,
};

// Maps a Classify result onto a RecordState: new -> RS_NEW, modified ->
// RS_MODIFIED, anything else -> RS_SAME.
RecordState ClassifyToState(int nClassify);

// Most ids a key or compare list holds (the size of the catalog).
constexpr int32_t COMM_MAX_MATCH_FIELDS = COMM_FIELD_COUNT;

class CommAddrMgr {
public:
    // An empty set with the default key fields (First Name, Last Name, Email)
    // and the default 24 compare fields.
    CommAddrMgr();
    // ClearRecords, then the list itself is deleted.
    ~CommAddrMgr();

    CommAddrMgr(const CommAddrMgr&) = delete;
    CommAddrMgr& operator=(const CommAddrMgr&) = delete;

    // Frees every stored copy and its attached block; the set is empty after.
    void ClearRecords();

    // Appends a copy of *pRecord (its attached block duplicated) and returns
    // the stored copy, or null (set unchanged) for a null record or when
    // memory runs out. If only the block cannot be duplicated, the copy is
    // stored with a null pAttached and the length kept. Moves the cursor.
    CommAddrRecord* AddCopy(const CommAddrRecord* pRecord);

    // Merges *pRecord into the stored copy at nPos:
    //  - text fields (all but 80 "ID"): a non-empty incoming text replaces the
    //    stored one, cut to the width; an empty one leaves it. An incoming
    //    text of 15, 23, 31, 63, 127, 255 or 2047 characters that the stored
    //    text merely extends (starts with it and is longer) is that text cut
    //    short on the other side, and leaves the stored text as it is.
    //  - Gender is copied over.
    //  - Birthday and Anniversary are copied over unless the incoming date is
    //    0.0 (not set); Private is copied over unless the incoming flag is 0.
    //  - Creation Time, Last Modification Time, Source Type, Status, ID and
    //    the attached block of the stored copy are left untouched.
    // Returns false for a null record or a position outside the set. Moves
    // the cursor.
    bool MergeAt(const CommAddrRecord* pRecord, int32_t nPos);

    // Looks for *pRecord among the stored copies, in load order:
    //  - the record itself (same object) or the first copy whose keys and
    //    compare fields all match: CLASSIFY_SAME, *ppMatch = that copy,
    //    *pnPos = its position;
    //  - otherwise, when copies share the keys: CLASSIFY_MODIFIED with the
    //    last of them in load order;
    //  - otherwise CLASSIFY_NEW, *ppMatch left as it was, *pnPos = GetCount().
    // A null record gives CLASSIFY_NONE and touches nothing. Either out
    // argument may be null. Moves the cursor.
    int Classify(const CommAddrRecord* pRecord, CommAddrRecord** ppMatch, int32_t* pnPos);

    // Walk the stored copies in load order with the list's cursor; null at
    // the end. Any other call that moves the cursor disturbs the walk.
    CommAddrRecord* GetFirstRecord();
    CommAddrRecord* GetNextRecord();

    // The stored copy at nPos (moves the cursor), or null outside the set.
    CommAddrRecord* GetRecordAt(int32_t nPos);
    // Number of stored copies.
    int32_t GetCount() const;

    // Replace the key or compare list with the first nCount ids of pIds. A
    // null list or a count of 0 or less restores the defaults; a count above
    // COMM_MAX_MATCH_FIELDS is cut to it.
    void SetKeyFields(const int32_t* pIds, int32_t nCount);
    void SetCompareFields(const int32_t* pIds, int32_t nCount);

    // MatchFieldList over the key list, or over the compare list.
    bool KeysMatch(const CommAddrRecord* pA, const CommAddrRecord* pB) const;
    bool FieldsMatch(const CommAddrRecord* pA, const CommAddrRecord* pB) const;

    // True when no field of the list differs between the two records. Text
    // fields 1-7, 9-61, 65, 68-70 and 82-90 are compared with TextDiffers,
    // Anniversary and Birthday by exact value; every other id counts as
    // equal. False when a record or the list is null or nCount is 0 or less.
    static bool MatchFieldList(const CommAddrRecord* pA, const CommAddrRecord* pB,
                               const int32_t* pIds, int32_t nCount);

    // Nonzero when the two zero-terminated texts differ once a-z are folded
    // to A-Z (no other byte is folded, no blanks trimmed). Null reads as "".
    static int TextDiffers(const char* pszA, const char* pszB);

private:
    CxList* m_pRecords;                              // owned stored copies
    int32_t m_nKeyFields[COMM_MAX_MATCH_FIELDS];
    int32_t m_nKeyFieldCount;
    int32_t m_nCompareFields[COMM_MAX_MATCH_FIELDS];
    int32_t m_nCompareFieldCount;
};
