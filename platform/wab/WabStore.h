// WabStore: one open address-book file, the SQLite database behind the
// library's objects. Internal to the library; the program sees only the
// interfaces of WabApi.h.
//
// The file holds three tables:
//   wab_meta(key, value)             "format" = kWabFormatName, "version"
//   entries(id, objtype, entryid)     one row per contact or list
//   props(entry, tag, value)          one row per property of an entry
// and carries kWabApplicationId in the SQLite header, so a file can be
// recognised from its first 100 bytes before SQLite ever opens it. The
// journal is a write-ahead log, so a commit per contact stays cheap.
//
// Opening reads only: the file is opened read-only, a book that does not
// exist yet or an empty file reads as an empty book, and the first save
// creates or reopens it for writing. The file is held (FileHold) from the
// open to the store's end, so a second program waits, then fails.
#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "platform/fsutil/FsUtil.h"
#include "platform/wab/MapiDefs.h"

struct sqlite3;
struct sqlite3_stmt;

// The header mark of an address book of this program ("VWAB").
constexpr uint32_t kWabApplicationId = 0x56574142;
constexpr const char* kWabFormatName = "Varnwick address book";
constexpr int kWabFormatVersion = 1;

// One stored property. Integers (PT_SHORT, PT_LONG, PT_SYSTIME as the 64
// bits of the file time) live in nValue, byte strings (PT_STRING8 without its
// terminator, PT_BINARY) in bytes.
struct WabProp {
    ULONG ulTag = 0;
    int64_t nValue = 0;
    std::string bytes;
};

// One row of the entries table.
struct WabEntryRow {
    int64_t nId = 0;
    LONG lObjType = 0;
    std::string entryId;
};

// Properties held by the store, sorted by tag, one per tag. Valid until the
// next call on the store.
struct WabPropRange {
    const WabProp* pFirst = nullptr;
    size_t nCount = 0;
};

class WabStore {
public:
    // Opens (or creates, see WabApi.h) the book pszFile; null or "" is the
    // default book. Returns hrSuccess with *ppStore set, or a failure code
    // after noting one line for the log (WabTakeLogLines).
    static HRESULT Open(const char* pszFile, std::shared_ptr<WabStore>* ppStore);

    // The default book: $XDG_DATA_HOME/varnwick/default.wab, where an unset,
    // empty or relative XDG_DATA_HOME means $HOME/.local/share. "" when
    // neither is known.
    static std::string DefaultBookPath();

    ~WabStore();
    WabStore(const WabStore&) = delete;
    WabStore& operator=(const WabStore&) = delete;

    // Identifiers. Every identifier is kEntryIdSize bytes; the kinds are an
    // entry (number = its row id), the personal address book (number 0) and
    // a template (number = the object type it creates).
    static constexpr ULONG kEntryIdSize = 16;
    enum class IdKind : char { Entry = 'E', Pab = 'P', Template = 'T' };
    static std::string MakeEntryId(IdKind kind, int64_t nNumber);
    // Decodes an identifier; false when it is not one of ours.
    static bool ParseEntryId(const BYTE* lpEntryID, ULONG cbEntryID, IdKind* pKind, int64_t* pnNumber);

    // Finds an entry by its identifier: MAPI_E_INVALID_ENTRYID when none.
    // An entry read ahead (ReadAhead) is found without a query.
    HRESULT FindEntry(const BYTE* lpEntryID, ULONG cbEntryID, WabEntryRow* pRow);
    // Every property of an entry, in tag order.
    HRESULT LoadProps(int64_t nId, std::vector<WabProp>* pProps);
    // One property of an entry: MAPI_E_NOT_FOUND when the entry lacks it.
    HRESULT LoadProp(int64_t nId, ULONG ulTag, WabProp* pProp);
    // Up to nMax entries whose id is above nAfterId, in id order.
    HRESULT NextEntries(int64_t nAfterId, int nMax, std::vector<WabEntryRow>* pRows);
    // The largest entry id, 0 when the book is empty.
    HRESULT LastEntryId(int64_t* pnId);

    // Writes properties of an entry in one transaction. *pRow with nId 0 is
    // a new entry of pRow->lObjType: it is inserted first and *pRow receives
    // its id and identifier. Nothing is written when the call fails. Ends a
    // read batch first.
    HRESULT SaveEntry(WabEntryRow* pRow, const std::vector<WabProp>& props);

    // Reads that follow one another (a walk of the contents table and the
    // entries it lists) can share one read transaction: one snapshot of the
    // book and one round of file locking, instead of one per statement.
    // BeginReadBatch starts it (nothing when one runs already); it lasts
    // until EndReadBatch, the next save, or the store's end. Saves of other
    // connections to the file are seen once it has ended.
    void BeginReadBatch();
    void EndReadBatch();

    // A walk of the book inside a read batch reads the properties of the
    // entries it hands out ahead, in one pass over the property table in
    // entry order: no index seek per entry, and one read of each property
    // for the table's columns and the entry's own GetProps. ReadAhead reads
    // every property of row's entry and keeps them, with the row, until the
    // read batch ends or kReadAheadSlots entries later; false when no read
    // batch runs or they cannot be read that way (the caller then reads them
    // as it otherwise would, and any failure shows there).
    static constexpr size_t kReadAheadSlots = 256;
    bool ReadAhead(const WabEntryRow& row, WabPropRange* pProps);
    // The properties ReadAhead kept for the entry nId; false when none are
    // kept.
    bool ReadAheadOf(int64_t nId, WabPropRange* pProps) const;

    // Saves that follow one another (a transfer of many contacts) can share
    // one write transaction instead of a commit and a round of file locking
    // per entry. Inside it each SaveEntry is a savepoint of its own, so a
    // failed save still writes nothing of its entry and leaves the others.
    // EndWriteBatch commits: only then is the batch in the file, and when
    // the commit fails none of it is (MAPI_E_CALL_FAILED). BeginWriteBatch
    // ends a read batch first; while a write batch runs, reads see its saves.
    // The store's end commits a batch still open.
    HRESULT BeginWriteBatch();
    HRESULT EndWriteBatch();

    const std::string& GetPath() const { return m_path; }

private:
    WabStore() = default;

    HRESULT OpenDatabase(bool bWrite);
    void CloseDatabase();
    HRESULT EnsureWritable();
    HRESULT CommitWriteBatch();
    HRESULT Initialise(bool* pbInitialised);
    HRESULT Verify();
    HRESULT Prepare();
    bool Exec(const char* pszSql);
    // Runs a prepared statement without a result and resets it.
    bool Exec(sqlite3_stmt* pStmt);
    void LogSqlError(const char* pszWhat);
    bool SeekScan(int64_t nId);
    bool StepScan();
    void StopScan();

    // One entry read ahead: its row and its first nProps properties (the
    // vector keeps the others' storage for the next entry of the slot).
    struct ReadAheadSlot {
        bool bKept = false;
        WabEntryRow row;
        std::vector<WabProp> props;
        size_t nProps = 0;
    };

    std::string m_path;
    sqlite3* m_db = nullptr;
    sqlite3_stmt* m_stmtFindEntry = nullptr;
    sqlite3_stmt* m_stmtLoadProps = nullptr;
    sqlite3_stmt* m_stmtLoadProp = nullptr;
    sqlite3_stmt* m_stmtNextEntries = nullptr;
    sqlite3_stmt* m_stmtLastId = nullptr;
    sqlite3_stmt* m_stmtInsertEntry = nullptr;
    sqlite3_stmt* m_stmtPutProp = nullptr;
    sqlite3_stmt* m_stmtSavepoint = nullptr;
    sqlite3_stmt* m_stmtRelease = nullptr;
    sqlite3_stmt* m_stmtScanProps = nullptr;  // null when the property table is not laid out as ours
    // The pass over the property table of ReadAhead: while m_bScanOpen, its
    // current row is the first one whose entry is at least m_nScanFrom
    // (m_bScanRow false: there is none), and that entry is m_nScanEntry.
    bool m_bScanOpen = false;
    bool m_bScanRow = false;
    int64_t m_nScanFrom = 0;
    int64_t m_nScanEntry = 0;
    std::vector<ReadAheadSlot> m_readAhead;  // slot id % kReadAheadSlots; empty outside a walk
    bool m_bReadBatch = false;               // a read transaction of BeginReadBatch is open
    bool m_bBatchWanted = false;             // BeginWriteBatch was called: the next save opens the batch
    bool m_bWriteBatch = false;              // the write transaction of a batch is open
    bool m_bReadOnly = true;                 // opened for reading; the first save reopens it
    bool m_bDefault = false;                 // the user's default book (its folders are made on the first save)
    FileHold m_hold;                         // the file, held from the open to the close
};
