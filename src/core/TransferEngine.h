// TransferEngine: everything the main window owns and does that is not
// drawing.
//
// For the whole run it holds a reference to the settings block, the Palm
// address facade, the address-book connection, the list of HotSync users,
// and the two contact lists as rows (the Palm Desktop list and the Outlook
// Express list). Each row points at a record owned by its side, carries a
// tick, and the caption and sub-item texts the list shows, as 8-bit text in
// the ANSI code page. The window shows these rows, forwards its events to
// the operations below (named after the window's handlers) and turns the
// messages and progress reports of an IEngineSink into message boxes and a
// progress dialog. The command-line companion drives the same engine.
//
// Every reload of a side rebuilds that side's rows; row pointers into a
// side's records stay valid until that side is reloaded. A transfer that
// wrote a side in full lists it again from memory, as a reload would list
// it (the records it wrote brought to what the file now holds); the rows
// are rebuilt all the same.
//
// One thread only; operations run to their end before they return.
#pragma once

#include <string>
#include <vector>

#include "platform/fsutil/FailReason.h"
#include "platform/wintypes/WinTypes.h"
#include "src/core/ColumnTable.h"
#include "src/core/SysSettings.h"

class CommAddrMgr;
class CommRecordSource;
class CxList;
class CxWab;
class PmAddrInfo;
struct CommAddrRecord;
struct PalmUser;
struct WabRecord;

// The two lists. The values are the list types the column builder takes.
enum ListType : int {
    LIST_PALM = 1,  // lvPD, Palm Desktop contacts
    LIST_WAB = 2,   // lvOE, Outlook Express address-book entries
};

// Entries of the data-source choice (which path the path box shows and
// the browse button changes).
enum DataSource : int {
    DATA_WAB_FILE = 0,   // "Outlook Express WAB File": WabFile
    DATA_PALM_FILE = 1,  // "Palm Desktop Data File": DatFile
};

// Message icons, as the window system numbers them.
constexpr int kIconError = 0x10;
constexpr int kIconInformation = 0x40;

// What the engine reports to whoever shows it. Every member but ShowMessage
// has an empty default.
class IEngineSink {
public:
    virtual ~IEngineSink() = default;
    // A modal message with a single OK button: text, caption ("Information"
    // or "Error") and one of the icons above. Returns when the user closed it.
    virtual void ShowMessage(const char* pszText, const char* pszCaption, int nIcon) = 0;
    // During a transfer: nCurrent of nTotal records handed over so far
    // (0 of nTotal before the first, nTotal of nTotal after the last).
    virtual void Progress(int nCurrent, int nTotal)
    {
        (void)nCurrent;
        (void)nTotal;
    }
    // A list has been rebuilt (rows and columns replaced, ticks gone).
    virtual void ListRebuilt(ListType eList) { (void)eList; }
    // RefreshStates has reclassified both sides: states (colours) and ticks
    // of both lists may have changed.
    virtual void StatesRefreshed() { }
};

// One row of a list.
struct ContactRow {
    // The side's record: CommAddrRecord* in the facade's contact set for the
    // Palm list, WabRecord* of the address-book connection for the other.
    // May be null: such a row is counted but nothing is handed over for it.
    void* pData = nullptr;
    bool bChecked = false;
    std::string strCaption;             // column 1, 8-bit ANSI
    std::vector<std::string> subItems;  // one per shown column after the first, in table order
};

// What a transfer did for one receiving side. The counts come from each
// record's classification against the side just before it was handed over
// and from the side's answer: a new record it stored is added, a modified
// one it merged is updated, a same one unchanged, a new or modified one it
// did not take failed. A failed save turns the additions and updates into
// failures.
struct SideOutcome {
    bool bReceiving = false;  // this side had rows to receive in the transfer
    // False when the side could not be written: the address book is not
    // open, the Palm data is not loaded or could not be saved, or the side
    // took none of the records it had to add or update. strError says which
    // side and why; the transfer then shows it as an error.
    bool bWritten = true;
    std::string strError;
    std::string strReason;  // why the first record that could not be stored failed ("" unknown)
    int nHanded = 0;        // records handed to the side
    int nAdded = 0;         // new records the side added
    int nUpdated = 0;       // records merged into their match
    int nUnchanged = 0;     // records that were the same as their match
    int nFailed = 0;        // new or modified records the side did not keep
};

// What a transfer did, as a whole.
struct TransferResult {
    int nMode = SYNC_PALM_TO_OE;  // the SyncModeValue that ran
    bool bRan = false;            // false: nothing to do (no ticked row, no row at all)
    bool bSuccess = false;        // the success message was shown (every receiving side written)
    int nReported = 0;            // the row count the completion message names
    std::string strMessage;       // the message shown (8-bit ANSI)
    std::string strCaption;       // "Information" or "Error"
    SideOutcome toWab;            // the address book as receiving side
    SideOutcome toPalm;           // the Palm Desktop data as receiving side
};

class TransferEngine {
public:
    // The engine keeps settings and sink by reference (the sink may be null:
    // messages are then dropped) and creates nothing until Startup.
    explicit TransferEngine(SysSettings& settings, IEngineSink* pSink = nullptr);
    // Shutdown(false) when Shutdown has not run: everything is freed, the
    // settings file is not written.
    ~TransferEngine();

    TransferEngine(const TransferEngine&) = delete;
    TransferEngine& operator=(const TransferEngine&) = delete;

    void SetSink(IEngineSink* pSink) { m_pSink = pSink; }
    // Whether rows carry the texts of their columns (subItems). A front end
    // that shows no columns (the command line) turns them off: every row
    // is built again after each load and transfer. Captions stay.
    void SetRowCells(bool bCells) { m_bRowCells = bCells; }

    // ---- Start and stop ------------------------------------------------

    // The main window's creation, in its order: LoadSettings (and the ANSI
    // code page of the settings file), the Palm facade (which detects the
    // Palm Desktop version), the address-book connection without a file, the
    // empty user list, the HotSync libraries with mask 15, LoadUserList,
    // the data-source choice at DATA_WAB_FILE with an empty path box, and
    // with bLoadLists LoadPalmList, LoadOutlookList and RefreshStates.
    // A caller that overrides settings (the command line) passes false and
    // loads the sides itself. Runs once; a second call does nothing.
    void Startup(bool bLoadLists = true);

    // The main window's destruction, in its order: ClearUserList and the
    // list deleted, the facade deleted, the connection deleted (closing the
    // address book), SaveSettings when bSaveSettings, the HotSync libraries
    // unloaded with mask 15. Runs once; later calls do nothing and answer
    // true. Answers SaveSettings' result (true when not saving). The rows
    // are emptied first, since their records go with their sides.
    bool Shutdown(bool bSaveSettings);

    bool IsStarted() const { return m_bStarted; }

    // The mode radio button to select at start: SYNC_BOTH, SYNC_PALM_TO_OE
    // or SYNC_OE_TO_PALM for SyncMode 0, 1, 2; any other SyncMode leaves the
    // form's initial choice, SYNC_PALM_TO_OE. SyncMode itself is not changed.
    int InitialMode() const;
    // A mode radio button was clicked: SyncMode becomes nMode.
    void ModeClicked(int nMode);

    // ---- Columns and rows ----------------------------------------------

    // Rebuilds the column list of a list: column 1, then every column 2 to
    // 26 whose flag is set, in table order. The load operations call it.
    void BuildColumns(ListType eList);
    // The table indices of the list's columns, in display order.
    const std::vector<int>& GetColumns(ListType eList) const;

    // Reopen the address book from WabFile and rebuild the Outlook Express
    // rows (EmailOnly keeps out entries without an e-mail address).
    void LoadOutlookList();
    // Hand SwapName to the facade, reload DatFile and rebuild the Palm rows
    // (EmailOnly keeps out contacts without an e-mail address).
    void LoadPalmList();
    // Classify every record of both sides against the other side, then
    // tick every row whose record is new or modified; no tick is removed.
    void RefreshStates();

    int GetRowCount(ListType eList) const;
    // The row, or null outside 0 .. GetRowCount - 1.
    const ContactRow* GetRow(ListType eList, int nRow) const;
    // The row's record with its type, or null (wrong list, no row, no data).
    CommAddrRecord* PalmRecordAt(int nRow) const;
    WabRecord* WabRecordAt(int nRow) const;

    // Ticks.
    void SetChecked(ListType eList, int nRow, bool bChecked);
    bool IsChecked(ListType eList, int nRow) const;
    int CountChecked(ListType eList) const;
    void SelectAll(ListType eList);  // "&Select All" of the list's popup menu
    void ClearAll(ListType eList);   // "&Clear All"

    // The row's RecordState (RS_SAME, RS_NEW, RS_MODIFIED): "Status" of a
    // Palm record, nState of an address-book record; RS_SAME for a row
    // without data or outside the list.
    int RowState(ListType eList, int nRow) const;
    // The font colour of the row (0x00BBGGRR): ModifiedColor for state 2,
    // NewColor for state 1, SameColor otherwise. False, *pnColor untouched,
    // when DisableColor is set: the row is drawn in the list's own colour.
    bool RowColor(ListType eList, int nRow, int* pnColor) const;

    // ---- Users and data files ------------------------------------------

    // Fills the user list from the HotSync user library, selects the user
    // whose id is UserID (the first one when none matches), takes the first
    // user's id when UserID is 0, and resolves the user's data file into
    // DatFile (kept as it was when that fails).
    void LoadUserList();
    // Frees every user and empties the list.
    void ClearUserList();
    int GetUserCount() const;
    const PalmUser* GetUser(int nIndex) const;
    // The index the user choice shows, -1 when there is no user.
    int GetSelectedUser() const { return m_nSelectedUser; }

    // The user chose the user at nIndex: UserID becomes its id, DatFile its
    // data file when that resolves, the path box follows when it shows the
    // Palm file, then LoadPalmList and RefreshStates. An index outside the
    // list does nothing.
    void UserChanged(int nIndex);

    // The Options dialog chose the Palm Desktop folder (pszFolder; "" lets the
    // Wine registry name it) and the code page of the Palm data (an iconv
    // name, "CP1251"). Both are written into the settings file at once, as
    // [Path] PDPath and [CodePage] Ansi, since the folder is read from there
    // whenever it is needed; then the code page is made current, the facade
    // made anew (the folder's palm.exe decides the generation it expects),
    // the libraries reloaded and the user list filled again. When the chosen
    // user is not in the new folder, the first user is chosen; when the
    // folder has no user, DatFile becomes empty rather than keep naming a
    // file of the old folder. The Palm rows are emptied: the caller reloads
    // the lists. False, changing nothing, when the settings file cannot be
    // written or the code page is unknown.
    bool SetPalmDesktop(const char* pszFolder, const char* pszCodePage);
    // The index of the user whose data file DatFile names (letter case
    // ignored), -1 when it is no user's file: the user the Palm list shows.
    int GetLoadedUser() const;

    // The data-source choice changed: the path box shows WabFile for
    // DATA_WAB_FILE, DatFile for DATA_PALM_FILE.
    void DataSourceChanged(int nIndex);
    int GetDataSource() const { return m_nDataSource; }
    // The text of the path box (8-bit ANSI).
    const char* GetDataText() const { return m_szDataText; }

    // A file was chosen with the browse button: the path box shows it; for
    // the address-book entry WabFile becomes the path and LoadOutlookList
    // runs, for the Palm entry DatFile becomes the path and LoadPalmList
    // runs; then RefreshStates. A null or empty path (cancelled) changes
    // nothing.
    void BrowseResult(const char* pszPath);

    // ---- Transfers -----------------------------------------------------

    // btnStartClick: hands Custom1..Custom9 (count 9) to the address-book
    // side when SyncCustom is set, then runs the transfer of nMode (the
    // checked radio button, a SyncModeValue; any value other than 1 or 2
    // synchronizes).
    TransferResult StartTransfer(int nMode);

    // The ticked Palm rows to the address book, then the address book is
    // listed again (from memory when every record was written, otherwise
    // reopened), the message shown and the states refreshed.
    TransferResult TransferPalmToOutlook();
    // The ticked address-book rows to the Palm data, which is saved and
    // listed again (from memory when it was saved in full, otherwise
    // reloaded), then the message and the states.
    TransferResult TransferOutlookToPalm();
    // Every listed row of both lists to the other side, Palm first (the
    // book is listed again between the two passes); then the Palm data is
    // saved, the message shown, both sides listed again (each from memory
    // when it was written in full, otherwise reloaded) and the states
    // refreshed.
    TransferResult SynchronizeAll();

    // Neutral records from outside the two books (an imported file) handed
    // to one side the way a transfer hands the other side's records: each
    // is classified against the side and added, merged into its match, or
    // left alone, and counted so. The Palm data is saved afterwards; then
    // the side is reloaded and the states refreshed. A side that is not
    // open or loaded takes nothing (bWritten false, every record failed).
    SideOutcome ReceiveRecords(ListType eInto, const std::vector<const CommAddrRecord*>& records);

    // The last transfer's result.
    const TransferResult& GetLastResult() const { return m_LastResult; }

    // ---- Why a side failed ----------------------------------------------
    // Why the side's last load failed (FailKind::None when it loaded): the
    // file missing or not a file, not this kind of file (and what it is),
    // damaged at an offset, in use by another program, the path too long...
    const FailReason& GetSideFailure(ListType eSide) const;
    // Why the side's last write failed (a save of the Palm data, a store
    // into the address book): read-only, the disk full, in use...
    FailReason SideWriteFailure(ListType eSide) const;
    // The one sentence the window, the messages and the command line show
    // for a side that failed, with its reason, e.g.
    //   the Palm Desktop data file "/x/address.dat" is not loaded: it is in use by another program
    //   the Palm Desktop data file "/x/address.dat" could not be saved: the disk is full
    // bWriting picks the side's last write instead of its last load.
    std::string SideFailureText(ListType eSide, bool bWriting) const;

    // ---- The objects owned for the run ---------------------------------

    SysSettings& GetSettings() { return m_Settings; }
    const SysSettings& GetSettings() const { return m_Settings; }
    PmAddrInfo* GetPalmInfo() const { return m_pPalmInfo; }  // null before Startup
    CxWab* GetWab() const { return m_pWab; }                 // null before Startup

private:
    // What sets one one-way transfer apart from the other: the list it
    // hands over and the texts it shows (in TransferEngine.cpp).
    struct OneWay;
    // The ticked rows of way's list to the other side, which is then
    // reloaded; the message, the states and the ticks follow.
    TransferResult TransferOneWay(const OneWay& way);
    // Whether a side can take records: the book open, the Palm data loaded.
    bool SideIsReady(ListType eSide) const;
    // Hands the rows to side eInto in one batch and finishes the side: the
    // book's batch is committed, the Palm data saved.
    void HandRowsTo(ListType eInto, const std::vector<const ContactRow*>& rows, SideOutcome& outcome, int& nDone,
                    int nTotal);
    std::vector<ContactRow>& Rows(ListType eList);
    const std::vector<ContactRow>& Rows(ListType eList) const;
    void ShowMessage(TransferResult& result, const char* pszText, const char* pszCaption, int nIcon);
    void Progress(int nCurrent, int nTotal);
    // Hand the rows' records to one side, classified against it as a whole;
    // nDone counts up by one per row, reported as progress of nTotal.
    void HandToWab(const std::vector<const ContactRow*>& rows, SideOutcome& outcome, int& nDone, int nTotal);
    void HandToPalm(const std::vector<const ContactRow*>& rows, SideOutcome& outcome, int& nDone, int nTotal);
    // pOwner: the set the records belong to, when they are a set's own (the
    // book may then answer from the classification it last made of them).
    void HandRecordsToWab(const std::vector<const CommAddrRecord*>& records, SideOutcome& outcome, int& nDone,
                          int nTotal, const CommAddrMgr* pOwner = nullptr);
    // The records of incoming, read one at a time, to the Palm side.
    void HandRecordsToPalm(const CommRecordSource& incoming, SideOutcome& outcome, int& nDone, int nTotal);
    std::vector<const ContactRow*> TickedRows(ListType eList) const;
    std::vector<const ContactRow*> AllRows(ListType eList) const;
    void UntickSame();
    bool WabIsOpen() const;
    void FinishWabSide(SideOutcome& outcome);
    void FinishPalmSide(SideOutcome& outcome);
    // After a side received records: its rows as a fresh load would list
    // them, from memory when the side was written in full, otherwise by
    // loading the side again.
    void RelistWabSide(const SideOutcome& outcome);
    void RelistPalmSide(const SideOutcome& outcome);
    // The rows of a side, listed from what the side holds in memory.
    void ListOutlookRows();
    // The open book is the file the settings name (a reload would open it).
    bool BookIsTheSettingsFile() const;
    void ListPalmRows();
    // The side cannot receive (the book is not open, the Palm data not
    // loaded): every one of nRows records failed, for the side's reason.
    void MarkNotReady(ListType eSide, SideOutcome& outcome, int nRows) const;
    void ReportCompletion(TransferResult& result, const char* pszDoneFormat, const char* pszFailed, int nCount);

    SysSettings& m_Settings;
    IEngineSink* m_pSink;
    bool m_bRowCells = true;
    bool m_bStarted = false;
    bool m_bShutDown = false;

    PmAddrInfo* m_pPalmInfo = nullptr;  // owned
    CxWab* m_pWab = nullptr;            // owned
    CxList* m_pUserList = nullptr;      // owned, with its PalmUser entries
    int m_nSelectedUser = -1;

    int m_nDataSource = DATA_WAB_FILE;
    char m_szDataText[MAX_PATH] = {};

    std::vector<int> m_PalmColumns;
    std::vector<int> m_WabColumns;
    std::vector<ContactRow> m_PalmRows;
    std::vector<ContactRow> m_WabRows;

    TransferResult m_LastResult;
    FailReason m_PalmFailure;  // of the last LoadPalmList
    FailReason m_WabFailure;   // of the last LoadOutlookList
    // What the sides were last loaded from: a side is listed from memory
    // after a transfer only while the settings still name that.
    std::string m_strWabOpened;
    std::string m_strPalmLoaded;
    bool m_bPalmLoadedSwapped = false;
};
