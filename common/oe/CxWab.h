// CxWab: the connection to one address book through the address-book
// library (platform/wab).
//
// The connection finds and loads the library once, when it is constructed.
// OpenAddressBook opens a book file (or the default book), reads every
// contact of the personal address book into a WabRecord kept in order in the
// root folder. The connection's own contact set is a view over that folder:
// it holds no copies, and reads each entry as a neutral record (a
// CommAddrRecord with the WabRecord attached, Source Type "Windows Address
// Book") when it needs it. StoreContact carries a neutral record into the book: a new
// entry, an update of its match, or nothing when the book already has it.
//
// The custom field mapping (which property each of the nine custom fields is
// exchanged with) is one table for the whole process: every construction of
// a CxWab clears it and SetCustomMapping replaces it. ConvertToComm and
// ConvertFromComm read it.
//
// Typical use:
//   CxWab wab(nullptr);
//   wab.OpenAddressBook(path);               // "" or null: the default book
//   for (WabRecord* p = wab.GetFirstEntry(); p; p = wab.GetNextEntry()) ...
//   wab.StoreContact(&neutral);              // Palm -> address book
//   wab.ClassifySet(pPalmSet); wab.ClassifyEntries(pPalmSet);
#pragma once

#include <atomic>
#include <cstdint>
#include <utility>
#include <vector>

#include "common/misc/CommAddrMgr.h"
#include "common/misc/CommAddrRecord.h"
#include "common/misc/CommRecordSource.h"
#include "common/oe/CxWabFolder.h"
#include "common/oe/WabRecord.h"
#include "platform/wab/WabApi.h"
#include "platform/wintypes/WinTypes.h"

class CxWab {
public:
    // Number of custom fields the mapping covers (Custom 1 to Custom 9).
    static constexpr int kCustomCount = 9;

    // Locates and loads the library, creates the neutral set, clears the
    // custom mapping, and opens pszWabFile when it is not null. A library that
    // is missing (or lacks WABOpen) is not reported: every OpenAddressBook
    // then returns false.
    explicit CxWab(const char* pszWabFile = nullptr);
    // CloseAddressBook, then the library is freed (if this object loaded it)
    // and the neutral set deleted.
    virtual ~CxWab();

    CxWab(const CxWab&) = delete;
    CxWab& operator=(const CxWab&) = delete;

    // ---- connection and reading ----

    // Closes any open book, then opens pszWabFile (null or "": the default
    // book; a path of MAX_PATH bytes or more is refused, never cut) and reads every contact.
    // True when the book is open afterwards. Fails, closed, when the library
    // is missing, WABOpen refuses the file, the personal address book cannot
    // be opened, or its table cannot be read; a book whose contents table
    // cannot be had stays open with no entries (true). An entry that cannot
    // be opened is left out.
    bool OpenAddressBook(const char* pszWabFile);

    // Empties the neutral set, releases the book and deletes the root folder
    // with its records. True.
    bool CloseAddressBook();

    // Walk the root folder's records in order; null at the end or while the
    // book is closed. They move the root folder's cursor.
    WabRecord* GetFirstEntry();
    WabRecord* GetNextEntry();

    // The connection's contact set: one neutral record per entry read or
    // created, in the same order as the root folder. It is a view over the
    // root folder, so a record it hands out is valid until the next call on
    // the set (see CommAddrMgr); a caller that keeps several converts the
    // entries itself (ConvertToComm).
    CommAddrMgr* GetNeutralSet() { return m_pAddrMgr; }

    // The root folder's record at nPos, the entry of the neutral set's
    // record nPos; null outside the folder or while the book is closed.
    WabRecord* GetEntryAt(int32_t nPos) const;

    // Fills pRecord from the entry of row `index` of lpRowAB (a contents-
    // table row with PR_ENTRYID and PR_OBJECT_TYPE): its properties, a copy
    // of its identifier and its opened IMailUser. Returns false, leaving the
    // record untouched, when the row is not a contact or the entry cannot be
    // opened or read.
    bool ReadEntry(WabRecord* pRecord, LPSRowSet lpRowAB, int index);

    // Zero-fills pRecord and fills it from the property array the connection
    // holds while it reads an entry.
    void LoadProperties(WabRecord* pRecord);

    // Frees each row's property array, then the row set.
    void FreeRows(LPSRowSet lpRows);

    // ---- mapping (one table for the whole process, not per connection) ----

    // The text field of pRecord that holds the PT_STRING8 property ulTag, or
    // null when the tag has none (dates, gender, children's names, any other
    // value). *pnWidth, when given, receives the field's width in bytes.
    static char* FieldForTag(WabRecord* pRecord, ULONG ulTag, int* pnWidth = nullptr);
    static const char* FieldForTag(const WabRecord* pRecord, ULONG ulTag, int* pnWidth = nullptr);

    // Address book to neutral: fills the fields of pComm (zero-filled by the
    // caller) that the mapping names; Display Name, Middle Name and the rest
    // stay as they were. An entry without given name and surname gives its
    // display name as First Name. A date that is not set (file time 0) stays
    // 0.0. False only for a null argument.
    static bool ConvertToComm(const WabRecord* pRecord, CommAddrRecord* pComm);
    // ConvertToComm of the fields in *pFields alone (null: all of them), as
    // ConvertToComm fills them; the dates are always converted, and the
    // others stay as they were. For a record that is only matched.
    static bool ConvertFieldsToComm(const WabRecord* pRecord, CommAddrRecord* pComm, const CommFieldMask* pFields);

    // Neutral to address book: writes every field the mapping names (empty
    // ones included) into pRecord, which a caller making a new record
    // zero-fills first; the identifier, state and IMailUser stay. A neutral
    // date of 0.0 gives file time 0 (no date). False only for a null argument.
    static bool ConvertFromComm(const CommAddrRecord* pComm, WabRecord* pRecord);

    // Replaces the first nCount (1 to 9) entries of the custom mapping with
    // pdwTags; the rest keep theirs. Entry i is the tag Custom i+1 is
    // exchanged with, 0 for none. False, changing nothing, for a null list or
    // a count outside 1 to 9.
    static bool SetCustomMapping(const DWORD* pdwTags, int nCount);
    // The nine entries of the custom mapping.
    static const DWORD* GetCustomMapping() { return dwCustomIDs; }

    // ---- writing and classification ----

    // Classifies pRecord against the neutral set: a CommAddrMgr::Classify
    // code (1 same, 2 new, 3 modified), -1 for a null argument. *ppMatch
    // receives the WabRecord attached to the matched copy (for same or
    // modified), or null.
    int MatchContact(const CommAddrRecord* pRecord, WabRecord** ppMatch);

    // Carries pRecord into the book: a new entry when the book has no match,
    // an update of the matched entry when it differs, nothing (false) when the
    // book has it already. True when an entry was created or updated and
    // saved.
    bool StoreContact(const CommAddrRecord* pRecord);

    // Many StoreContact calls in a row share one transaction of the book
    // between these two (see WabBeginSaveBatch): the contacts stored in
    // between are in the file only once EndStoreBatch answered true; false
    // means none of them is. Without an open book, or with a library that
    // has no batches, both answer true and every save stands alone.
    bool BeginStoreBatch();
    bool EndStoreBatch();

    // What a batch wrote, without reading the book again. From
    // BeginStoreBatch on, every entry AddContact created and every entry
    // UpdateContact saved is noted. Once EndStoreBatch has answered true,
    // ApplyWrittenEntries brings each noted folder record (and so its
    // neutral record) to what the book now holds for it (the entry's properties as the
    // book answers them, with the identifier a new entry was given), so the
    // folder and the set stand as a fresh OpenAddressBook would leave them:
    // the old entries in their order, the new ones after them in the order
    // they were created. False, with the folder and set possibly half
    // brought up to date, when that cannot be vouched for: nothing was
    // noted since BeginStoreBatch, a write or the commit failed, an entry
    // does not answer its properties, or the set is out of step with the
    // folder; the caller then opens the book again. The notes are dropped
    // either way, and by CloseAddressBook.
    bool ApplyWrittenEntries();

    // Creates a new entry of the root folder from pRecord, adds its record to
    // the folder (and so to the neutral set), and writes it. The new
    // record has no identifier until the book is opened again, or until
    // ApplyWrittenEntries gives it the one its save made. False when the
    // book is closed, the template or entry cannot be had (nothing changes
    // then), or the entry could not be saved.
    bool AddContact(const CommAddrRecord* pRecord);

    // Writes the non-empty fields of pRecord into the entry of pMatch (the
    // attached WabRecord of the matched record). pMatch itself keeps the
    // values it was read with until ApplyWrittenEntries brings it up to
    // date, so the neutral set classifies against the book as read until
    // then. False when either is null, pMatch has no identifier, the entry
    // cannot be opened for writing, or saving fails. Properties whose neutral
    // field is empty keep their value.
    bool UpdateContact(const CommAddrRecord* pRecord, WabRecord* pMatch);

    // Sets every non-empty text field of pRecord, its set dates and its
    // non-zero gender on lpMailUser (null: the entry being written) and saves
    // it. Empty fields are never written, so no property is ever cleared.
    // True when both setting and saving succeeded.
    bool WriteProperties(WabRecord* pRecord, IMailUser* lpMailUser = nullptr);

    // The template identifier for new contacts of pFolder (null: the root
    // folder), in a block the caller frees with FreeBuffer. False when the
    // container does not answer both templates or memory runs out.
    bool GetTemplateID(ULONG* pcbEntryID, LPENTRYID* ppEntryID, CxWabFolder* pFolder = nullptr);

    // Returns a block GetTemplateID handed out.
    void FreeBuffer(LPVOID lpBuffer);

    // Sets field 79 "Status" of every record of pOtherSet to its state
    // against this book (1 new, 2 modified, 0 same). False for a null set.
    // When neither pOtherSet nor the book changed since the last call (the
    // sets' versions say so), the states are set again from its answers.
    bool ClassifySet(CommAddrMgr* pOtherSet);

    // Classifies the nCount records against the book as a whole, as the
    // neutral set's ClassifySide does (the same answers, in pAnswers). When
    // pOwner is the set the records belong to, they are, in order, the
    // records the last ClassifySet classified, and neither pOwner nor the
    // book changed since (their versions say so), that ClassifySet's answers
    // are given again instead of being worked out anew: a Synchronize hands
    // every Palm contact to the book right after their states were shown.
    // pOwner may be null. False as ClassifySide is.
    bool ClassifyRecords(const CommAddrRecord* const* ppRecords, int32_t nCount, ClassifyMatch* pAnswers,
                         const CommAddrMgr* pOwner);

    // Sets nState of every record of the root folder to its state against
    // pOtherSet. Nothing happens while the book is closed. False for a null
    // set. As ClassifySet, it answers again from the last call while neither
    // side changed.
    bool ClassifyEntries(CommAddrMgr* pOtherSet);

    // ---- state ----

    bool IsOpen() const { return m_pRootFolder != nullptr; }
    bool IsLibraryLoaded() const { return m_bDllLoaded != 0; }
    // The file passed to the library, "" for the default book.
    const char* GetWabFile() const { return m_szWabFile; }
    // Why the book could not be opened or an entry not saved: the file
    // missing or not a file, not an address book of this program (a Windows
    // .wab named as such), in use by another program, read-only, the disk
    // full, the path too long.
    FailReason GetLastFailure() const;
    CxWabFolder* GetRootFolder() { return m_pRootFolder; }

protected:
    // ReadEntry, for a record that is zero-filled already when bZeroed (it
    // is not written over with zeros again).
    bool ReadEntryInto(WabRecord* pRecord, LPSRowSet lpRowAB, int index, bool bZeroed);
    // The fields of pRecord (zero-filled) from the property array.
    void FillProperties(WabRecord* pRecord);

    // Writes what the address-book library noted for the log (its failures,
    // in its own words) to the diagnostic log when the scope ends: each
    // call into the library holds one.
    struct LibraryLog {
        LibraryLog() = default;
        LibraryLog(const LibraryLog&) = delete;
        LibraryLog& operator=(const LibraryLog&) = delete;
        ~LibraryLog();
    };

    CommAddrMgr* m_pAddrMgr;     // owned neutral set, a view over the root folder while open
    char m_szWabFile[MAX_PATH];  // "" means the default book
    FailReason m_LastFailure;    // of the last OpenAddressBook
    CxWabFolder* m_pRootFolder;  // owned; null while closed
    BYTE m_bDllLoaded;           // the library was loaded by this object
    HMODULE m_hWabDll;           // the loaded library
    LPWABOPEN m_lpfnWABOpen;     // its WABOpen, null if missing
    IAddrBook* m_lpAdrBook;      // null while closed
    IWABObject* m_lpWABObject;   // frees the library's memory
    IMailUser* m_lpMailUser;     // the entry being written; null between writes
    LPSPropValue m_lpPropArray;  // properties of the entry being read
    ULONG m_cValues;             // their count

    // The custom field mapping of the process: entry i for Custom i+1.
    // Brings one folder record to the properties lpMailUser answers, the
    // identifier included when the record has none yet.
    bool RefreshEntry(WabRecord* pRecord, IMailUser* lpMailUser);
    // Notes one written entry (see ApplyWrittenEntries), with a reference
    // of its own to the written object.
    void NoteWritten(WabRecord* pRecord, IMailUser* lpMailUser);
    // Releases the notes and stops noting.
    void DropWrittenNotes();

    // The answers of one whole-side classification, with what they depend
    // on: the other side's set and both sets' versions (and, for the records
    // of the other side, which records they were, in order).
    struct KeptAnswers {
        const CommAddrMgr* pSet = nullptr;
        uint64_t nSetVersion = 0;
        uint64_t nBookVersion = 0;
        std::vector<const CommAddrRecord*> records;
        std::vector<ClassifyMatch> answers;
    };
    // Whether kept still answers for pSet: neither it nor the book changed.
    bool StillHolds(const KeptAnswers& kept, const CommAddrMgr* pSet) const;
    // Notes pSet and both versions in kept.
    void Stamp(KeptAnswers& kept, const CommAddrMgr* pSet) const;
    KeptAnswers m_SetAnswers;    // of the last ClassifySet
    KeptAnswers m_EntryAnswers;  // of the last ClassifyEntries

    std::vector<std::pair<WabRecord*, IMailUser*>> m_Written;  // noted writes, each object referenced
    bool m_bNoting = false;                                    // BeginStoreBatch ran: writes are noted
    bool m_bWriteFailed = false;                               // a write or the commit failed while noting

    static DWORD dwCustomIDs[kCustomCount];
    // Counts the changes of the mapping.
    static std::atomic<uint64_t> s_nMappingGeneration;
    uint64_t m_nMappingSeen = 0;  // the generation the neutral set was read with
    // The neutral set read anew (its index and version renewed) when the
    // mapping changed since it was last read: its records are the entries
    // converted through the mapping.
    void FollowMapping();
};
