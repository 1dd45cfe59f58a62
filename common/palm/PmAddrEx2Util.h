// PmAddrEx2Util: the contacts of a Desktop 6 database (table "Main").
//
// LoadFile reads every row into the record list of its PmAddrEx2DataMgr;
// WriteRecord writes one record back at once, as an update of the changed
// columns of its row or as an insert of a new row. There is no whole-file
// save: SaveFile only commits a write batch (BeginWriteBatch), the one
// transaction a transfer's writes share. A record loaded from a row is
// written back to that row by its Record ID (RewriteRecord), so every record
// written must carry a Record ID that is its own: a new record gets one from
// AssignNewRecordId before it is written (InsertNewRecord).
//
// All SQL goes through the accessor of the database base PmDBEx2Util.
// Single-threaded.
#pragma once

#include <cstdint>

#include "common/palm/PmDBEx2Util.h"

class PmAddrEx2DataMgr;
struct PmAddrEx2Record;

class PmAddrEx2Util : public PmDBEx2Util {
public:
    static constexpr int kColumnCount = 95;  // columns of "Main"

    // An empty record list, SwapName off.
    PmAddrEx2Util();
    // Frees the record list with its records, then the database base.
    ~PmAddrEx2Util() override;

    // Opens the database at pszPath and appends every row of "Main" to the
    // record list (which is not emptied first), with its derived fields
    // filled. Logs "Loading Palm Desktop Contacts:%s" at level 2. False for
    // a null or empty path (nothing logged), and when no file is there, the
    // file is no database, or not a Desktop 6 one ("Load Palm Desktop
    // Contacts failed: %s" at level 0, with the reason GetLastFailure()
    // tells). Such a file is never written.
    bool LoadFile(const char* pszPath);

    // Every change is written when it is made. Outside a write batch each
    // write is its own transaction and SaveFile has nothing left to do
    // (true). After BeginWriteBatch the writes that follow share one
    // transaction, opened by the first of them, and SaveFile commits it:
    // true when the commit succeeded (or nothing was written); false, with
    // none of the batch's writes in the file, when it failed. A batch not
    // committed when the database closes is not in the file.
    void BeginWriteBatch();
    bool SaveFile();

    // Writes one record into "Main" now. The row with the record's Record
    // ID, First Name and Last Name is read; when it equals the record
    // (RecordsEqual) nothing is written; when it differs, its changed
    // columns are updated (ChangedColumns, possibly none); when there is no
    // such row, all 95 columns are inserted. False for a null record, with
    // no database open, when the row cannot be looked up, or when the
    // statement fails.
    bool WriteRecord(const PmAddrEx2Record* pRecord);

    // Gives a new record a Record ID that no row of "Main" has: the largest
    // of the Information key FreeRecID, one more than the largest Record ID
    // of "Main", and one more than the last id handed out since the load.
    // FreeRecID is then set one past it in the table (inserted when
    // missing) and in GetInfo(). False, with the record unchanged, for a
    // null record, with no database open, or when "Main" cannot be read.
    bool AssignNewRecordId(PmAddrEx2Record* pRecord);

    // Inserts a new record as a row of its own: AssignNewRecordId and the
    // insert run in one write transaction, so a second program writing the
    // same database at once can never take the same Record ID. False, with
    // nothing written, when either fails.
    bool InsertNewRecord(PmAddrEx2Record* pRecord);

    // Writes a record loaded from a row back to that row, found by its
    // Record ID alone (names may have changed in letter case, be NULL in
    // the row, or hold characters the code page cannot show): only its
    // changed columns are updated. Where several rows share the id (a file
    // written before ids were given out), the row with the record's Record
    // ID, First Name and Last Name. Never inserts: false, with a level-0 log
    // line, when no such row is there, and when the lookup or the update
    // fails.
    bool RewriteRecord(const PmAddrEx2Record* pRecord);

    // Fills labelText from the phone slots by their labels (0..4 -> 0..4,
    // 5 -> 8, 6 -> 9, 7 -> 10, each cut to 31 characters, a later slot
    // replacing an earlier one; elements not written keep their content)
    // and categoryName from the category list (cut to 31 characters).
    // False, with categoryName unchanged, when no category has the record's
    // id.
    bool FillDerivedFields(PmAddrEx2Record* pRecord);

    // The category id for a name: 0 (and true) for a null or empty name; the
    // id of the category with exactly this name; otherwise, with bCreate,
    // the id of a category created under this name (cut to 254 characters)
    // in the table and the list; without bCreate, 0 and false. -1 and false
    // when creating failed.
    bool GetCategoryId(const char* pszName, int32_t* pnId, bool bCreate);

    PmAddrEx2DataMgr* GetDataMgr() const { return m_pDataMgr; }

    // Kept for the application; the names are stored as they are either way.
    void SetSwapName(bool bSwap) { m_bSwapName = bSwap; }
    bool GetSwapName() const { return m_bSwapName; }

    // --- Row conversion, driven by the column table of "Main" ---

    // Fills a record from a row of exactly 95 values in column id order.
    // A value its column's reader refuses leaves that member as it was.
    static bool RowToRecord(const VARIANT* pValues, int nCount, PmAddrEx2Record* pRecord);
    // One value into the member of column nColumn. False when the reader
    // refuses it or the column id is outside 0..94; columns without a
    // member accept anything and change nothing.
    static bool ValueToRecord(const VARIANT* pValue, int nColumn, PmAddrEx2Record* pRecord);
    // The value of column nColumn for an insert or update. False for an id
    // outside 0..94 or when a text cannot be allocated.
    static bool RecordToValue(const PmAddrEx2Record* pRecord, int nColumn, VARIANT* pValue);
    // The column's name; "" for an id outside 0..94.
    static const char* ColumnName(int nColumn);
    // The array of the 95 column names in id order.
    static const char* const* ColumnNames();
    // The 95 ids in order into pIds (room for 95).
    static void AllColumns(int* pIds, int* pnCount);
    // Whether two records hold the same data (texts compared byte for
    // byte); the same record is equal to itself, a null one to nothing.
    static bool RecordsEqual(const PmAddrEx2Record* pA, const PmAddrEx2Record* pB);
    // The ids of the columns an update must write to turn b into a, in
    // update order, into pIds (room for 95).
    static void ChangedColumns(const PmAddrEx2Record* pA, const PmAddrEx2Record* pB, int* pIds, int* pnCount);

    // Reads the first row of "Main" matching the keys into *pRecord (zero-
    // filled first). False when there is none, or when it could not be read
    // (then LookupFailed() is true).
    bool LookupRow(const char* const* ppszKeys, const VARIANT* pKeyValues, int nKeyCount, PmAddrEx2Record* pRecord);
    bool LookupFailed() const { return m_bLookupFailed; }

    // Writes the listed columns of a record: an insert when the first id is
    // 0 (the list of all columns), otherwise an update of the row with the
    // record's Record ID, First Name and Last Name. False for no record or
    // ids, with no database open, or when the statement fails.
    bool WriteColumns(const PmAddrEx2Record* pRecord, const int* pIds, int nCount);

    // Whether the open database has the tables and columns of a Desktop 6
    // contacts file ("Main" with its 95 columns, "Category", "Information").
    // False, with the connection closed and GetLastFailure() naming the
    // file a database of another kind, when one is missing.
    bool HasDesktopTables();

protected:
    // Opens the batch's transaction before the first write of a batch;
    // false when it cannot be opened.
    bool EnterBatch();
    // WriteColumns with the update's row found by the first nKeys of the
    // key columns (Record ID, First Name, Last Name).
    bool WriteColumnsByKeys(const PmAddrEx2Record* pRecord, const int* pIds, int nCount, int nKeys);
    // WriteRecord's update of an existing row found by the first nKeys key
    // columns; bInsert allows an insert when there is none.
    bool WriteByKeys(const PmAddrEx2Record* pRecord, int nKeys, bool bInsert);

    bool m_bSwapName;
    PmAddrEx2DataMgr* m_pDataMgr;  // owned
    int32_t m_nNextRecordId;       // one past the last id handed out, 0 before
    bool m_bBatchWanted = false;   // BeginWriteBatch was called: the next write opens the batch
    bool m_bInBatch = false;       // the batch's transaction is open
    bool m_bLookupFailed;
};
