// PmAddrInfo: the one object through which the program reaches Palm Desktop
// contacts, whatever the database generation.
//
// It decides from the installed Palm Desktop version which generation to
// expect, builds the path of a user's address file, loads the file with the
// right reader (classic address.dat, extended "PalmSG Database" address.dat,
// Desktop 6 address.mdb), turns every listed Palm record into a neutral
// CommAddrRecord kept in its contact set, takes neutral records from the
// other address book and adds them as new Palm records or merges them into
// existing ones, and saves.
//
// The facade keeps one PalmEntry (a link to the reader's record) per listed
// Palm record, in load order, followed by the records added since. The
// entries and the contact set stay parallel: entry i belongs to set
// position i. Reader lists may hold more records than the entries (records
// marked deleted or archived are not listed but are written back unchanged).
//
// Only the window thread uses the facade. Failures are reported by results.
#pragma once

#include <memory>
#include <vector>

#include "common/palm/PalmGeneration.h"
#include "platform/fsutil/FailReason.h"
#include "platform/wintypes/WinTypes.h"

class CommAddrMgr;
class FileHold;
class CxList;
class PmAddrUtil;
class PmAddrExUtil;
class PmAddrEx2Util;
class PmAddrGeneration;
class RecordArena;
struct CommAddrRecord;
struct PalmEntry;

class PmAddrInfo {
public:
    // Database generation codes (expected and loaded generation), also as
    // PmAddrInfo::kGenClassic and so on.
    using enum PalmGeneration;

    // Status bits of a Palm record.
    static constexpr int kStatusAdded = 0x01;     // set on a record the facade adds
    static constexpr int kStatusModified = 0x02;  // set on a record the facade changes
    static constexpr int kStatusDeleted = 0x04;   // not listed
    static constexpr int kStatusArchived = 0x80;  // not listed

    // Asks the Palm Desktop installation for its version, logs it at level 2
    // ("Palm Desktop Version: %d") and chooses the expected generation from
    // it. Creates the three readers (each reads its SwapName default from
    // corvane.ini), an empty entry list and an empty contact set.
    PmAddrInfo();
    // The same with a given version instead of the installed one (tests, and
    // callers that already know the version).
    explicit PmAddrInfo(DWORD dwDesktopVersion);
    // Deletes the entries, the contact set and the three readers.
    virtual ~PmAddrInfo();

    PmAddrInfo(const PmAddrInfo&) = delete;
    PmAddrInfo& operator=(const PmAddrInfo&) = delete;

    // The expected generation for a Palm Desktop version number (major *
    // 10000 + minor * 100 + build), compared as unsigned: 60000 or more gives
    // 3, 40102 or more 2, 30500 or more 1, else 0. The unknown version
    // 0xFFFFFFFF therefore gives 3.
    static PalmGeneration GenerationFromVersion(DWORD dwDesktopVersion);

    // The constant between neutral dates (OLE Automation days) and the Palm
    // birthday/anniversary values: 1 January 1970 packed as
    // year * 65536 + month * 256 + day, minus the OLE Automation day number
    // of that date. Computed at run time; its value is 129080608.
    static int DateConstant();

    // Writes the path of the user's address file into pszBuf: the user's
    // folder followed by "address/address.mdb" when the expected generation
    // is 3, "address/address.dat" otherwise; when that file does not exist
    // and the other one does, the other one. At most nLen - 1 characters are
    // copied and the buffer is terminated at nLen - 1. False for a null
    // buffer or a length below 1, and when the user's folder cannot be found
    // (the buffer is then left as it was).
    bool GetUserFilePath(DWORD dwUserId, char* pszBuf, int nLen);

    // Sets SwapName of all three readers. The main window calls it right
    // before every LoadContacts with its SwapName setting.
    void SetSwapName(bool bSwap);

    // Forgets everything loaded (ClearAll), then loads the file by its
    // extension, ignoring letter case: ".mdb" with the Desktop 6 reader;
    // ".dat" first with the extended reader, then with the classic one; any
    // other extension fails. On success builds the contact set and answers
    // true. On failure the loaded generation is 255, the contact set is empty
    // and the answer is false, with GetLastFailure() saying why. A path of
    // MAX_PATH bytes or more is refused, never cut. A null or empty path
    // answers false and changes nothing. The loaded file stays held (a
    // second program waits, then fails with "in use by another program")
    // until the next load or the end of the facade.
    bool LoadContacts(const char* pszPath);

    // Whether LoadContacts builds the contact set (it does unless told
    // otherwise). A caller that only reads the loaded contacts once, in file
    // order, through ForEachLoadedContact turns it off: the contact set then
    // stays empty, and no neutral copy of every contact is kept.
    void SetBuildContactSet(bool bBuild);

    // Calls visit(record) with the neutral record of every listed contact
    // of the loaded file, in file order, as the contact set would hold it
    // after the load but without an attached block, until visit answers
    // false. The record lives only during the call. Nothing when no load
    // succeeded.
    template <typename Visit>
    void ForEachLoadedContact(Visit&& visit)
    {
        CommAddrRecord* pRecord = NextLoadedContact(true);
        for (; pRecord != nullptr && visit(static_cast<const CommAddrRecord&>(*pRecord));
             pRecord = NextLoadedContact(false)) {
        }
    }

    // The contact set: one neutral record per listed Palm contact in file
    // order, followed by the records added since. Position i belongs to entry
    // i, and every record carries its PalmEntry itself as attached block
    // (links to the Palm record and back to the stored record; the entry is
    // the facade's, the set never frees it). A
    // loaded record has Source Type 1 and the Palm record's status in
    // "Status"; an added one keeps the fields it came with. Never null.
    CommAddrMgr* GetContactSet();

    // Classifies the record against the contact set: new -> AddRecord,
    // modified -> UpdateRecord at the matched position, same or null -> false
    // with nothing changed.
    bool AddOrUpdate(const CommAddrRecord* pRecord);

    // Appends a new Palm record made from the neutral record to the entries,
    // the contact set and the loaded reader's list (Desktop 6: written to the
    // database at once, with a fresh record id). False when nothing is
    // loaded, the record is null, or memory runs out.
    bool AddRecord(const CommAddrRecord* pRecord);

    // Merges the neutral record into the entry at nPos and into the reader
    // record it was loaded from (Desktop 6: written at once), and into the
    // contact set at the same position. Empty incoming texts, an unset date
    // (0.0) and a private flag of 0 leave the Palm values as they are; so
    // does an incoming text that is only a cut copy of the stored one. False
    // for a null record, a negative or unknown position, or nothing loaded.
    bool UpdateRecord(const CommAddrRecord* pRecord, int nPos);

    // Writes the loaded generation's data back: classic and extended rewrite
    // the whole address.dat they were loaded from, unless no record was added
    // or updated since the load or the last save (the file then keeps its
    // bytes and its modification time: true); Desktop 6 has written every
    // change already and answers true, or, after BeginSaveBatch, commits the
    // changes made since in one transaction. False without touching any file
    // when nothing is loaded or the last load failed; otherwise the writer's
    // answer.
    bool SaveContacts();

    // Many records to come (a transfer): Desktop 6 writes them in one
    // transaction that the next SaveContacts commits, instead of one
    // transaction per record; a commit that fails keeps none of them. The
    // .dat files are written whole by SaveContacts anyway.
    void BeginSaveBatch();

    // After a SaveContacts that answered true: brings the contact set's copy
    // of every record added or updated since the load (or the last call) to
    // what a fresh LoadContacts of the saved file would make of it, from the
    // reader's record the save wrote, instead of loading the file again.
    // The entries and the other copies already stand as a load would leave
    // them. False when that cannot be vouched for: nothing is loaded, a
    // change is not yet saved, or a record went into the reader's list
    // without an entry of its own (a load would list it); the caller then
    // loads the file again.
    bool RefreshSavedRecords();

    // The loaded generation is 1, 2 or 3.
    bool IsLoaded() const;

    // Loaded generation 0, the three readers' record lists emptied, then
    // ClearEntries.
    void ClearAll();

    // Frees every entry, empties the entry list and the contact set.
    void ClearEntries();
    // ClearAll, then lets go of the file held since its load, so that
    // another program (or another facade) may load it.
    void ReleaseFile();

    PalmGeneration GetExpectedGeneration() const { return m_eExpectedGen; }
    PalmGeneration GetLoadedGeneration() const { return m_eLoadedGen; }

    // The entries, parallel to the contact set. GetEntry answers null for a
    // position outside 0 .. GetEntryCount() - 1. Moves the entry list's cursor.
    int GetEntryCount() const;
    const PalmEntry* GetEntry(int nPos) const;

    // The readers, for callers that need the file-level data (category
    // lists, raw records) of the loaded generation. Never null.
    PmAddrUtil* GetAddrUtil() { return m_pAddrUtil; }
    PmAddrExUtil* GetAddrExUtil() { return m_pAddrExUtil; }
    PmAddrEx2Util* GetAddrEx2Util() { return m_pAddrEx2Util; }

    // Why the last LoadContacts or SaveContacts failed (see FailReason):
    // the reader that recognised the file says where it is damaged; a file
    // no reader recognised is named for what it is instead.
    const FailReason& GetLastFailure() const { return m_LastFailure; }
    // Why the last write failed, the Desktop 6 database's own statements
    // included (they write as records are added or updated).
    FailReason GetWriteFailure() const;

protected:
    void Init(DWORD dwDesktopVersion);
    // Makes one PalmEntry and neutral copy per listed record of the loaded
    // reader. False when memory ran out for some record (it is left out).
    bool BuildContactSet();
    // ForEachLoadedContact's walk: the first (bFirst) or next listed contact
    // of the loaded reader, converted into m_pVisited; null at the end.
    CommAddrRecord* NextLoadedContact(bool bFirst);
    // Writes a neutral record into an entry's record: a new one (bUpdate
    // false) or an existing one (bUpdate true, keeping the Palm values the
    // neutral record has nothing to say about).
    bool NeutralToPalm(const CommAddrRecord* pComm, PalmEntry* pEntry, bool bUpdate);
    // A new entry of the generation with a zero-filled record, in
    // m_pEntryMemory, or null when memory runs out.
    PalmEntry* NewEntry(const PmAddrGeneration& gen);
    // An empty entry in m_pEntryMemory, or null when memory runs out.
    PalmEntry* TakeEntry();
    // Frees what the entry owns besides itself (a record of its own), and
    // gives the entry's memory back when it was the last one taken: for an
    // entry that could not be listed, and for every entry on clearing.
    void FreeEntry(PalmEntry* pEntry);
    // Notes that the entry at nPos was added or updated (see m_Written).
    void NoteWritten(int32_t nPos);
    // The object of a generation, or null for 0 and 255.
    PmAddrGeneration* GenerationOf(PalmGeneration eGen) const;
    // Loads the file with the readers of its extension (pszExtension),
    // newest generation first. The generation that loaded it, or null with
    // m_LastFailure saying why none did.
    PmAddrGeneration* LoadByExtension(const char* pszPath, const char* pszExtension);

    PalmGeneration m_eExpectedGen;  // from the desktop version, fixed for the lifetime
    PalmGeneration m_eLoadedGen;    // 0, 1 to 3, or 255 after a failed load
    CxList* m_pEntries;             // PalmEntry*, owned, parallel to the contact set
    // The entries' memory, freed at once with them; null until the first.
    std::unique_ptr<RecordArena> m_pEntryMemory;
    CommAddrMgr* m_pContacts;       // owned
    PmAddrUtil* m_pAddrUtil;        // classic reader, owned
    PmAddrExUtil* m_pAddrExUtil;    // extended reader, owned
    PmAddrEx2Util* m_pAddrEx2Util;  // Desktop 6 reader, owned
    bool m_bUnsaved = false;        // a record was added or updated since the load or the last save
    // Positions of the entries added or updated since the load or the last
    // RefreshSavedRecords, and whether the entries lost step with the reader.
    std::vector<int32_t> m_Written;
    bool m_bWrittenLost = false;
    // The loaded file, held from its load until the next load (or the end)
    // so that no second program changes it in between; owned, shared by
    // the two address.dat readers.
    FileHold* m_pHold;
    // One per row of PmAddrGeneration::All(), in its order; they work on
    // the readers above.
    std::vector<std::unique_ptr<PmAddrGeneration>> m_Generations;
    FailReason m_LastFailure;
    bool m_bBuildContactSet = true;        // see SetBuildContactSet
    CommAddrRecord* m_pVisited = nullptr;  // ForEachLoadedContact's record, owned
};
