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
// the copy. Never free a stored copy's block yourself. (A copy stored with
// AddCopySharingBlock is the exception: its block stays the caller's.) A stored copy keeps its
// address until ClearRecords.
//
// Classify answers from an index over the key and compare fields of the
// stored copies instead of comparing the record with every copy, with the
// same answers as that walk. The set keeps the index up to date itself
// through AddCopy, MergeAt, SetKeyFields, SetCompareFields and ClearRecords,
// and reads a copy's fields for the index no earlier than the first Classify
// after the copy was stored (so a caller may still fill in a copy AddCopy
// returned before it classifies). Contract: after that, change the key and
// compare fields of a stored copy only through MergeAt; a field written
// directly through a returned pointer is not seen by Classify. Fields that
// take no part in matching (Status, ID, the attached block...) may be written
// freely.
//
// A set may instead be a view over a side (SetSource): it holds no copies
// then, and every record it reads or returns is the side's record as the
// side converts it, into a buffer of the set. Such a record is valid until
// the next call on the set: GetRecordAt, GetFirstRecord, GetNextRecord and
// the match Classify returns all hand out the same buffer, so a caller that
// holds several records at once converts them itself. A view is never
// written into (AddCopy, MergeAt and ReplaceFieldsAt refuse); the side
// changes its own records and announces each change (RecordChangedAt), and
// the records it appends are taken into the index by the next Classify, as
// copies AddCopy stored are. Classification gives a view the same answers
// as a set of copies of the same records.
//
// The cursor: the set has one cursor, as a list walk has. GetFirstRecord,
// GetNextRecord and GetRecordAt move it as described there; AddCopy moves it
// to the new copy, MergeAt to the merged copy, ClearRecords to position 0, and
// Classify leaves it where a walk over the set in load order would stop: on
// the copy it reports as the same, otherwise on the last stored copy.
#pragma once

#include <cstdint>
#include <memory>
#include <vector>

#include "common/misc/CommAddrRecord.h"
#include "common/misc/CommRecordSource.h"

class RecordArena;

// How a record compares with the other side; stored in field 79 "Status".
enum RecordState : int32_t {
    RS_SAME = 0,
    RS_NEW = 1,
    RS_MODIFIED = 2,
};

// Results of CommAddrMgr::Classify.
enum ClassifyResult : int {
    CLASSIFY_NONE = -1,  // no record given
    CLASSIFY_SAME = 1,
    CLASSIFY_NEW = 2,
    CLASSIFY_MODIFIED = 3,
};

// One answer of CommAddrMgr::ClassifySide: the classification of one
// record and the position of the stored copy paired with it (-1 for a new
// record or no record).
struct ClassifyMatch {
    int nResult = CLASSIFY_NONE;
    int32_t nPos = -1;
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
    // ClearRecords; every stored copy is freed.
    ~CommAddrMgr();

    CommAddrMgr(const CommAddrMgr&) = delete;
    CommAddrMgr& operator=(const CommAddrMgr&) = delete;

    // Frees every stored copy and its attached block; the set is empty after
    // (a view keeps its source, whose records it then indexes anew).
    void ClearRecords();

    // Appends a copy of *pRecord (its attached block duplicated) and returns
    // the stored copy, or null (set unchanged) for a null record or when
    // memory runs out. If only the block cannot be duplicated, the copy is
    // stored with a null pAttached and the length kept. Moves the cursor.
    // A view stores nothing: null.
    CommAddrRecord* AddCopy(const CommAddrRecord* pRecord);

    // The same, except that the stored copy points at the caller's attached
    // block instead of a duplicate: the set never frees it, and the caller
    // keeps it alive (and frees it) for as long as the copy may be read. For
    // a side whose block is its own live record, which a duplicate would
    // only repeat.
    CommAddrRecord* AddCopySharingBlock(const CommAddrRecord* pRecord);

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
    // Returns false for a null record, a position outside the set or a
    // view. Moves the cursor.
    bool MergeAt(const CommAddrRecord* pRecord, int32_t nPos);

    // Replaces every field of the stored copy at nPos with those of *pRecord,
    // as if the copy had been stored from it; the copy keeps its own attached
    // block (pRecord's is not looked at). Used when the side a copy stands
    // for has been written and reads back otherwise than the copy was made.
    // False for a null record, a position outside the set or a view. Moves
    // the cursor.
    bool ReplaceFieldsAt(const CommAddrRecord* pRecord, int32_t nPos);

    // Looks for *pRecord among the stored copies, in load order:
    //  - the record itself (same object; for a view, the set's buffer while it
    //    holds that record) or the first copy that is the same
    //    (keys and compare fields): CLASSIFY_SAME, *ppMatch = that copy,
    //    *pnPos = its position;
    //  - otherwise, when copies share the keys: CLASSIFY_MODIFIED with the
    //    last of them in load order;
    // Keys are compared as KeysMatch does, except that records whose key
    // texts are all empty are matched by "Company" instead (a-z folded), and
    // records without company either are only ever the same as a record
    // equal in every compare field, never modified. Compare fields are
    // compared as FieldsMatch does, except that a text equal to the other's
    // text cut at 15, 23, 31, 63, 127, 255 or 2047 characters counts as
    // equal, and, with both fax fields compared, a record without "Work Fax"
    // compares its "Home Fax" as its "Work Fax".
    //  - otherwise CLASSIFY_NEW, *ppMatch left as it was, *pnPos = GetCount().
    // A null record gives CLASSIFY_NONE and touches nothing. Either out
    // argument may be null. Moves the cursor to the copy reported as the
    // same, otherwise to the last stored copy (position 0 in an empty set).
    int Classify(const CommAddrRecord* pRecord, CommAddrRecord** ppMatch, int32_t* pnPos);

    // Classifies the nCount records of a whole side against the set, one to
    // one: every stored copy is paired with at most one of them. First the
    // records that are the same as a stored copy are paired, each with the
    // first such copy still unpaired, in the order of ppRecords; then the
    // records still unpaired that share their keys with a stored copy still
    // unpaired, each with the first such copy (CLASSIFY_MODIFIED); the rest
    // are CLASSIFY_NEW (a null record CLASSIFY_NONE). pAnswers[i] receives
    // the answer for ppRecords[i]. Where no two records of either side share
    // their keys, every answer is that of Classify. The rules of matching
    // are those of Classify. False (pAnswers untouched) for a negative count
    // or a missing array. Leaves the cursor at position 0.
    bool ClassifySide(const CommAddrRecord* const* ppRecords, int32_t nCount, ClassifyMatch* pAnswers);

    // The same, for incoming records read one at a time from a side
    // (incoming.FillRecord; a position without a record is a null record),
    // so that no side is converted whole into memory: pAnswers[i] receives
    // the answer for the record at position i, and there are
    // incoming.GetRecordCount() answers. When incoming is the set's own
    // source, each record is its own stored copy, as when a set of copies
    // classifies its own copies. False (pAnswers untouched) for a missing
    // array when there are records.
    bool ClassifySide(const CommRecordSource& incoming, ClassifyMatch* pAnswers);

    // Makes the set a view over pSource (see above), or, with null, a set of
    // stored copies again; either way every stored copy is freed first and
    // the cursor is at position 0. pSource stays the caller's and must
    // outlive its use by the set (SetSource(nullptr) ends it). False, the
    // set then empty and holding copies, when memory for the view's buffers
    // runs out.
    bool SetSource(const CommRecordSource* pSource);
    // The source the set is a view over, null for a set of stored copies.
    const CommRecordSource* GetSource() const { return m_pSource; }

    // The record at nPos has changed its key or compare fields: it moves to
    // the index chains of its new hashes (as MergeAt moves the copy it
    // merges into), and a record of the set's buffer read before the change
    // is stale. For a view, call it after every change the side makes to a
    // record; for stored copies, after writing a copy's fields through its
    // pointer. A position outside the set is ignored.
    void RecordChangedAt(int32_t nPos);

    // Walk the stored copies in load order with the set's cursor. First
    // moves the cursor to position 0 and returns that copy (null when the set
    // is empty); Next moves it one step on and returns that copy, or returns
    // null and leaves it on the last copy. Any other call that moves the
    // cursor disturbs the walk.
    CommAddrRecord* GetFirstRecord();
    CommAddrRecord* GetNextRecord();

    // The stored copy at nPos (moves the cursor to it), or null outside the
    // set (the cursor stays).
    CommAddrRecord* GetRecordAt(int32_t nPos);
    // Number of stored copies (of a view: the source's record count).
    int32_t GetCount() const;

    // A number that changes whenever what Classify and ClassifySide answer
    // may change: a copy stored, merged or replaced, the set cleared, the key
    // or compare list replaced, a view's record announced as changed or its
    // side grown or shrunk. No two sets, and no two states of one set, ever
    // share a version, so a caller may keep an answer for as long as the
    // versions of the sets it came from stay the same.
    uint64_t Version() const;

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
    static bool MatchFieldList(const CommAddrRecord* pA, const CommAddrRecord* pB, const int32_t* pIds, int32_t nCount);

    // Nonzero when the two zero-terminated texts differ once a-z are folded
    // to A-Z (no other byte is folded, no blanks trimmed). Null reads as "".
    static int TextDiffers(const char* pszA, const char* pszB);

private:
    struct MatchIndex;  // positions of the stored copies by hashes of their fields

    // The index brought up to date with every stored copy; false when memory
    // ran out (the index is then dropped and Classify walks the set). With
    // bWithAll, an index built from nothing gets its key + compare part too.
    bool UpdateIndex(bool bWithAll = false);
    // Adds the key + compare index to an up-to-date index; false when memory
    // ran out (the index is then dropped).
    bool BuildFullIndex();
    // AddCopy and AddCopySharingBlock.
    CommAddrRecord* StoreCopy(const CommAddrRecord* pRecord, bool bShareBlock);
    // Drops the index; the next Classify builds it anew.
    void DropIndex();
    // Moves the copy at nPos, whose fields changed, to the index chains of
    // its new hashes (the index is dropped when memory runs out).
    void MoveInIndex(int32_t nPos);
    // Classify by comparing the record with every stored copy in load order.
    int ClassifyByWalk(const CommAddrRecord* pRecord, CommAddrRecord** ppMatch, int32_t* pnPos);
    // ClassifySide over nCount incoming records that incoming reads (see
    // the readers in the implementation).
    template <class Incoming>
    void ClassifyIncoming(Incoming& incoming, int32_t nCount, ClassifyMatch* pAnswers);
    // ClassifySide by comparing every record with every stored copy.
    template <class Incoming>
    void ClassifySideByWalk(Incoming& incoming, int32_t nCount, ClassifyMatch* pAnswers);

    // The stored record at nPos (0 <= nPos < GetCount()) for matching: a
    // stored copy, or for a view the source's record converted into
    // *pScratch.
    const CommAddrRecord* StoredAt(int32_t nPos, CommAddrRecord* pScratch) const;
    // The record at nPos as the set hands it out: a stored copy, or for a
    // view the source's record in the set's buffer. Leaves the cursor.
    CommAddrRecord* RecordFor(int32_t nPos);
    // pRecord is the stored record at nPos itself (pStored is that record
    // as StoredAt read it): the same object for stored copies, the set's
    // buffer while it holds nPos for a view.
    bool IsStoredRecord(const CommAddrRecord* pRecord, int32_t nPos, const CommAddrRecord* pStored) const;

    // The matching rules of classification (see Classify).
    // Two records are one contact when their keys pair: equal keys (or, with
    // all key texts empty, equal companies); records without keys and
    // company never pair.
    bool KeysPair(const CommAddrRecord* pA, const CommAddrRecord* pB) const;
    // Two records are the same when their keys align (pair, or both lack
    // keys and company) and their compare fields agree.
    bool SameRecord(const CommAddrRecord* pA, const CommAddrRecord* pB) const;
    bool IsBlank(const CommAddrRecord* pRecord) const;
    uint64_t KeyHash(const CommAddrRecord* pRecord) const;
    void PrefetchMatchFields(const CommAddrRecord* pRecord) const;
    uint64_t CompareHash(const CommAddrRecord* pRecord) const;

    std::vector<CommAddrRecord*> m_Records;  // owned stored copies, in load order
    std::vector<bool> m_SharesBlock;         // per copy: its block is the caller's
    std::unique_ptr<RecordArena> m_pCopies;  // their memory; null until the first AddCopy
    uint32_t m_nCursor;                      // position of the cursor
    std::unique_ptr<MatchIndex> m_pIndex;    // null until the first Classify
    int32_t m_nKeyFields[COMM_MAX_MATCH_FIELDS];
    int32_t m_nKeyFieldCount;
    int32_t m_nCompareFields[COMM_MAX_MATCH_FIELDS];
    int32_t m_nCompareFieldCount;
    bool m_bFaxPair;  // both fax fields are compare fields
    // The fields matching reads (keys, compare fields, company): all a view
    // needs of a record it only matches.
    CommFieldMask m_MatchFields;
    void UpdateMatchFields();
    mutable uint64_t m_nVersion = 0;
    mutable int32_t m_nVersionCount = 0;  // of a view: its side's count at m_nVersion
    // Gives the set a version no set has had before.
    void NewVersion() const;

    // A view's side and buffers; all null for a set of stored copies.
    const CommRecordSource* m_pSource = nullptr;
    std::unique_ptr<CommAddrRecord> m_pView;      // the record handed out last
    int32_t m_nViewPos = -1;                      // its position, -1 when stale
    std::unique_ptr<CommAddrRecord> m_pScratch;   // a stored record being matched
    std::unique_ptr<CommAddrRecord> m_pIncoming;  // an incoming record read from a side
};
