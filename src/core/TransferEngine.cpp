#include "src/core/TransferEngine.h"

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <memory>

#include "common/misc/AppFolder.h"
#include "common/misc/CommAddrMgr.h"
#include "common/misc/CommAddrRecord.h"
#include "common/misc/CommRecordSource.h"
#include "common/misc/CxDebugUtil.h"
#include "common/misc/CxList.h"
#include "common/oe/CxWab.h"
#include "common/oe/WabRecord.h"
#include "common/palm/PalmUser.h"
#include "common/palm/PmAddrInfo.h"
#include "common/palm/PmLibraries.h"
#include "platform/codepage/CodePage.h"
#include "platform/fsutil/FsUtil.h"
#include "platform/profile/PrivateProfile.h"

namespace {

// Address-book entries as neutral records, converted one at a time as
// ConvertToComm gives them: the Palm side receives a record of its own, with
// no entry attached. A null entry is no record.
class EntriesAsRecords final : public CommRecordSource {
public:
    explicit EntriesAsRecords(const std::vector<const WabRecord*>& entries) : m_Entries(entries) { }
    int32_t GetRecordCount() const override { return static_cast<int32_t>(m_Entries.size()); }
    bool FillRecord(int32_t nPos, CommAddrRecord* pRecord) const override
    {
        const WabRecord* pEntry = m_Entries[static_cast<size_t>(nPos)];
        return pEntry != nullptr && CxWab::ConvertToComm(pEntry, pRecord);
    }
    bool FillFields(int32_t nPos, CommAddrRecord* pRecord, const CommFieldMask& fields) const override
    {
        const WabRecord* pEntry = m_Entries[static_cast<size_t>(nPos)];
        return pEntry != nullptr && CxWab::ConvertFieldsToComm(pEntry, pRecord, &fields);
    }

private:
    const std::vector<const WabRecord*>& m_Entries;
};

// Records the caller holds, each handed over as it is. A null record is no
// record.
class HeldRecords final : public CommRecordSource {
public:
    explicit HeldRecords(const std::vector<const CommAddrRecord*>& records) : m_Records(records) { }
    int32_t GetRecordCount() const override { return static_cast<int32_t>(m_Records.size()); }
    bool FillRecord(int32_t nPos, CommAddrRecord* pRecord) const override
    {
        const CommAddrRecord* pHeld = m_Records[static_cast<size_t>(nPos)];
        if (pHeld == nullptr)
            return false;
        std::memcpy(static_cast<void*>(pRecord), pHeld, sizeof *pRecord);
        return true;
    }

private:
    const std::vector<const CommAddrRecord*>& m_Records;
};

// Message texts and captions of the transfers, as the user sees them.
constexpr const char kCaptionInformation[] = "Information";
constexpr const char kCaptionError[] = "Error";
constexpr const char kSelectPalm[] =
    "Please select Palm Desktop contacts which you want to transfer to Outlook Express.";
constexpr const char kSelectOutlook[] =
    "Please select Outlook Express contacts which you want to transfer to Palm Desktop.";
constexpr const char kNoRecords[] = "No contact records found.";
constexpr const char kDonePalmToOutlook[] =
    "Palm Desktop to Outlook Express completed successfully, %d records transfered.";
constexpr const char kDoneOutlookToPalm[] =
    "Outlook Express to Palm Desktop completed successfully, %d records transfered.";
constexpr const char kDoneSync[] = "Outlook Express and Palm Desktop synchronized successfully, %d records transfered.";

// Sizes of the text buffers the Palm list reads fields into.
constexpr uint32_t kNameBufferSize = 64;
constexpr uint32_t kSubItemBufferSize = 1024;

// The text of catalog field nId of pRecord, as FieldToText gives it in a
// buffer of nSize bytes; empty when the field has no text.
std::string FieldText(const CommAddrRecord* pRecord, int32_t nId, uint32_t nSize)
{
    CommField field;
    if (nSize == 0 || nSize > kSubItemBufferSize || !LookupField(nId, &field))
        return std::string();
    char szBuffer[kSubItemBufferSize];  // called for every cell of the list: no heap
    szBuffer[0] = '\0';
    if (!FieldToText(pRecord, &field, szBuffer, nSize))
        return std::string();
    szBuffer[nSize - 1] = '\0';
    return std::string(szBuffer);
}

// Copies a path into a MAX_PATH settings field, cut and terminated.
void CopyPath(char (&szDest)[MAX_PATH], const char* pszSrc)
{
    CopyTextField(szDest, pszSrc);
}

// Why a side could not store a record or save, from the error the system
// reported for the failed write ("" when it reported none).
std::string FailureReason(int nErrno)
{
    return nErrno == 0 ? std::string() : FailReasonText(ReasonFromErrno(nErrno, true));
}

// The file a side names in a message: the path, or a word for the default.
// Messages are ANSI text; a path is in the file system's UTF-8, so it is
// converted (a name that is no UTF-8 shows '?' where it is not).
std::string Quoted(const char* pszPath, const char* pszEmpty)
{
    if (pszPath == nullptr || pszPath[0] == '\0')
        return pszEmpty;
    return std::string("\"") + Utf8ToAnsi(pszPath) + "\"";
}

}  // namespace

TransferEngine::TransferEngine(SysSettings& settings, IEngineSink* pSink) : m_Settings(settings), m_pSink(pSink) { }

TransferEngine::~TransferEngine()
{
    Shutdown(false);
}

// ---- Start and stop ----------------------------------------------------

void TransferEngine::Startup(bool bLoadLists)
{
    if (m_bStarted)
        return;
    m_bStarted = true;

    m_Settings.LoadSettings();
    char szIniPath[MAX_PATH];
    if (GetIniFilePath(szIniPath))
        LoadAnsiCodePageSetting(szIniPath);

    m_pPalmInfo = new PmAddrInfo();
    m_pWab = new CxWab(nullptr);
    m_pUserList = new CxList();

    // A library that cannot be loaded leaves its calls answering "not
    // bound", which the user list tolerates.
    LoadDesktopLibraries(PD_LIB_ALL);
    LoadUserList();

    m_nDataSource = DATA_WAB_FILE;
    m_szDataText[0] = '\0';

    if (bLoadLists) {
        LoadPalmList();
        LoadOutlookList();
        RefreshStates();
    }
}

bool TransferEngine::Shutdown(bool bSaveSettings)
{
    if (!m_bStarted || m_bShutDown)
        return true;
    m_bShutDown = true;

    // The rows point into the records of the two sides, which go now.
    m_PalmRows.clear();
    m_WabRows.clear();

    ClearUserList();
    delete m_pUserList;
    m_pUserList = nullptr;
    delete m_pPalmInfo;
    m_pPalmInfo = nullptr;
    delete m_pWab;
    m_pWab = nullptr;

    const bool bSaved = bSaveSettings ? m_Settings.SaveSettings() : true;
    UnloadDesktopLibraries(PD_LIB_ALL);
    return bSaved;
}

int TransferEngine::InitialMode() const
{
    switch (m_Settings.SyncMode) {
    case SYNC_BOTH:
    case SYNC_PALM_TO_OE:
    case SYNC_OE_TO_PALM:
        return m_Settings.SyncMode;
    default:
        return SYNC_PALM_TO_OE;
    }
}

void TransferEngine::ModeClicked(int nMode)
{
    m_Settings.SyncMode = nMode;
}

// ---- Columns and rows --------------------------------------------------

std::vector<ContactRow>& TransferEngine::Rows(ListType eList)
{
    return eList == LIST_PALM ? m_PalmRows : m_WabRows;
}

const std::vector<ContactRow>& TransferEngine::Rows(ListType eList) const
{
    return eList == LIST_PALM ? m_PalmRows : m_WabRows;
}

void TransferEngine::BuildColumns(ListType eList)
{
    std::vector<int>& columns = eList == LIST_PALM ? m_PalmColumns : m_WabColumns;
    columns.clear();
    for (int nIndex = 1; nIndex < kColumnCount; ++nIndex) {
        if (IsColumnShown(m_Settings, nIndex))
            columns.push_back(nIndex);
    }
}

const std::vector<int>& TransferEngine::GetColumns(ListType eList) const
{
    return eList == LIST_PALM ? m_PalmColumns : m_WabColumns;
}

void TransferEngine::LoadOutlookList()
{
    m_WabRows.clear();
    BuildColumns(LIST_WAB);
    m_WabFailure.Clear();
    if (m_pWab != nullptr) {
        // A failed open lists nothing; the reason is kept for the window
        // and the command line.
        if (m_Settings.WabFile[0] == '\0' && m_Settings.nWabFileTooLong > 0) {
            m_WabFailure = FailReason::Of(FailKind::PathTooLong, std::to_string(m_Settings.nWabFileTooLong) +
                                                                     " bytes, at most " + std::to_string(MAX_PATH - 1));
            m_pWab->CloseAddressBook();
        } else if (!m_pWab->OpenAddressBook(m_Settings.WabFile)) {
            m_WabFailure = m_pWab->GetLastFailure();
        }
        m_strWabOpened = m_Settings.WabFile;
    }
    ListOutlookRows();
}

void TransferEngine::ListOutlookRows()
{
    m_WabRows.clear();
    BuildColumns(LIST_WAB);
    if (m_pWab != nullptr) {
        for (WabRecord* pRecord = m_pWab->GetFirstEntry(); pRecord != nullptr; pRecord = m_pWab->GetNextEntry()) {
            if (m_Settings.EmailOnly && pRecord->PR_EMAIL_ADDRESS[0] == '\0')
                continue;
            ContactRow row;
            row.pData = pRecord;
            row.strCaption = pRecord->PR_DISPLAY_NAME;
            row.subItems.reserve(m_bRowCells ? m_WabColumns.size() : 0);
            for (int nIndex : m_WabColumns) {
                if (nIndex == 1 || !m_bRowCells)
                    continue;
                const char* pszText = CxWab::FieldForTag(pRecord, g_ColumnDef[nIndex].ulWabTag);
                row.subItems.emplace_back(pszText != nullptr ? pszText : "");
            }
            m_WabRows.push_back(std::move(row));
        }
    }
    if (m_pSink != nullptr)
        m_pSink->ListRebuilt(LIST_WAB);
}

void TransferEngine::LoadPalmList()
{
    m_PalmRows.clear();
    if (m_pPalmInfo != nullptr) {
        m_pPalmInfo->SetSwapName(m_Settings.SwapName != 0);
        // A failed load leaves the contact set empty; the reason is kept.
        m_PalmFailure.Clear();
        if (m_Settings.DatFile[0] == '\0') {
            m_pPalmInfo->ClearAll();
            m_PalmFailure =
                m_Settings.nDatFileTooLong > 0
                    ? FailReason::Of(FailKind::PathTooLong, std::to_string(m_Settings.nDatFileTooLong) +
                                                                " bytes, at most " + std::to_string(MAX_PATH - 1))
                    : FailReason::Of(FailKind::Missing, "no data file is chosen");
        } else if (!m_pPalmInfo->LoadContacts(m_Settings.DatFile)) {
            m_PalmFailure = m_pPalmInfo->GetLastFailure();
        }
        m_strPalmLoaded = m_Settings.DatFile;
        m_bPalmLoadedSwapped = m_Settings.SwapName != 0;
    }
    ListPalmRows();
}

void TransferEngine::ListPalmRows()
{
    // The Palm ids of the shown columns, indexed like the column table (and
    // one entry past it, which stays 0).
    int32_t palmIds[kColumnCount + 1] = {};
    size_t nShown = 0;  // cells per row
    for (int nIndex = 2; nIndex < kColumnCount; ++nIndex) {
        if (IsColumnShown(m_Settings, nIndex))
            palmIds[nIndex] = g_ColumnDef[nIndex].nPalmFieldId;
        nShown += palmIds[nIndex] != 0 ? 1 : 0;
    }
    m_PalmRows.clear();
    BuildColumns(LIST_PALM);

    if (m_pPalmInfo != nullptr) {
        CommAddrMgr* pSet = m_pPalmInfo->GetContactSet();
        for (CommAddrRecord* pRecord = pSet != nullptr ? pSet->GetFirstRecord() : nullptr; pRecord != nullptr;
             pRecord = pSet->GetNextRecord()) {
            if (m_Settings.EmailOnly && FieldText(pRecord, CF_EMAIL, kNameBufferSize).empty())
                continue;
            ContactRow row;
            row.pData = pRecord;
            // "%s %s": a contact without a first name gets a leading blank.
            row.strCaption = FieldText(pRecord, CF_FIRST_NAME, kNameBufferSize) + " " +
                             FieldText(pRecord, CF_LAST_NAME, kNameBufferSize);
            row.subItems.reserve(m_bRowCells ? nShown : 0);
            for (int nIndex = 2; nIndex <= kColumnCount && m_bRowCells; ++nIndex) {
                if (palmIds[nIndex] != 0)
                    row.subItems.push_back(FieldText(pRecord, palmIds[nIndex], kSubItemBufferSize));
            }
            m_PalmRows.push_back(std::move(row));
        }
    }
    if (m_pSink != nullptr)
        m_pSink->ListRebuilt(LIST_PALM);
}

void TransferEngine::RefreshStates()
{
    if (m_pWab != nullptr && m_pPalmInfo != nullptr) {
        CommAddrMgr* pPalmSet = m_pPalmInfo->GetContactSet();
        m_pWab->ClassifySet(pPalmSet);
        m_pWab->ClassifyEntries(pPalmSet);
    }
    for (ListType eList : {LIST_PALM, LIST_WAB}) {
        std::vector<ContactRow>& rows = Rows(eList);
        for (int nRow = 0; nRow < static_cast<int>(rows.size()); ++nRow) {
            const int nState = RowState(eList, nRow);
            if (nState == RS_NEW || nState == RS_MODIFIED)
                rows[nRow].bChecked = true;
        }
    }
    if (m_pSink != nullptr)
        m_pSink->StatesRefreshed();
}

int TransferEngine::GetRowCount(ListType eList) const
{
    return static_cast<int>(Rows(eList).size());
}

const ContactRow* TransferEngine::GetRow(ListType eList, int nRow) const
{
    const std::vector<ContactRow>& rows = Rows(eList);
    if (nRow < 0 || nRow >= static_cast<int>(rows.size()))
        return nullptr;
    return &rows[nRow];
}

CommAddrRecord* TransferEngine::PalmRecordAt(int nRow) const
{
    const ContactRow* pRow = GetRow(LIST_PALM, nRow);
    return pRow != nullptr ? static_cast<CommAddrRecord*>(pRow->pData) : nullptr;
}

WabRecord* TransferEngine::WabRecordAt(int nRow) const
{
    const ContactRow* pRow = GetRow(LIST_WAB, nRow);
    return pRow != nullptr ? static_cast<WabRecord*>(pRow->pData) : nullptr;
}

void TransferEngine::SetChecked(ListType eList, int nRow, bool bChecked)
{
    std::vector<ContactRow>& rows = Rows(eList);
    if (nRow >= 0 && nRow < static_cast<int>(rows.size()))
        rows[nRow].bChecked = bChecked;
}

bool TransferEngine::IsChecked(ListType eList, int nRow) const
{
    const ContactRow* pRow = GetRow(eList, nRow);
    return pRow != nullptr && pRow->bChecked;
}

int TransferEngine::CountChecked(ListType eList) const
{
    int nCount = 0;
    for (const ContactRow& row : Rows(eList))
        nCount += row.bChecked ? 1 : 0;
    return nCount;
}

void TransferEngine::SelectAll(ListType eList)
{
    for (ContactRow& row : Rows(eList))
        row.bChecked = true;
}

void TransferEngine::ClearAll(ListType eList)
{
    for (ContactRow& row : Rows(eList))
        row.bChecked = false;
}

int TransferEngine::RowState(ListType eList, int nRow) const
{
    const ContactRow* pRow = GetRow(eList, nRow);
    if (pRow == nullptr || pRow->pData == nullptr)
        return RS_SAME;
    if (eList == LIST_PALM)
        return static_cast<const CommAddrRecord*>(pRow->pData)->nStatus;
    return static_cast<const WabRecord*>(pRow->pData)->nState;
}

bool TransferEngine::RowColor(ListType eList, int nRow, int* pnColor) const
{
    if (m_Settings.DisableColor || pnColor == nullptr)
        return false;
    switch (RowState(eList, nRow)) {
    case RS_MODIFIED:
        *pnColor = m_Settings.ModifiedColor;
        break;
    case RS_NEW:
        *pnColor = m_Settings.NewColor;
        break;
    default:
        *pnColor = m_Settings.SameColor;
        break;
    }
    return true;
}

// ---- Users and data files ----------------------------------------------

void TransferEngine::LoadUserList()
{
    ClearUserList();
    m_nSelectedUser = -1;
    if (m_pUserList == nullptr)
        return;

    // A user library that is not loaded gives no users.
    LoadPalmUsers(m_pUserList);
    const int nCount = GetUserCount();
    int nMatched = 0;
    for (int nIndex = 0; nIndex < nCount; ++nIndex) {
        if (GetUser(nIndex)->dwUserID == static_cast<DWORD>(m_Settings.UserID))
            nMatched = nIndex;
    }
    if (nCount > 0) {
        m_nSelectedUser = nMatched;
        if (m_Settings.UserID == 0)
            m_Settings.UserID = static_cast<int>(GetUser(m_nSelectedUser)->dwUserID);
    }
    // On failure DatFile keeps its value from the settings file.
    if (m_pPalmInfo != nullptr)
        m_pPalmInfo->GetUserFilePath(static_cast<DWORD>(m_Settings.UserID), m_Settings.DatFile, MAX_PATH);
}

void TransferEngine::ClearUserList()
{
    ClearPalmUsers(m_pUserList);
}

int TransferEngine::GetUserCount() const
{
    return m_pUserList != nullptr ? static_cast<int>(m_pUserList->GetCount()) : 0;
}

const PalmUser* TransferEngine::GetUser(int nIndex) const
{
    if (m_pUserList == nullptr || nIndex < 0)
        return nullptr;
    return static_cast<const PalmUser*>(m_pUserList->GetByIndex(static_cast<uint32_t>(nIndex)));
}

void TransferEngine::UserChanged(int nIndex)
{
    const PalmUser* pUser = GetUser(nIndex);
    if (pUser == nullptr)
        return;
    m_nSelectedUser = nIndex;
    m_Settings.UserID = static_cast<int>(pUser->dwUserID);
    char szPath[MAX_PATH] = {};
    if (m_pPalmInfo != nullptr && m_pPalmInfo->GetUserFilePath(static_cast<DWORD>(m_Settings.UserID), szPath, MAX_PATH))
        CopyPath(m_Settings.DatFile, szPath);
    if (m_nDataSource == DATA_PALM_FILE)
        CopyPath(m_szDataText, m_Settings.DatFile);
    LoadPalmList();
    RefreshStates();
}

bool TransferEngine::SetPalmDesktop(const char* pszFolder, const char* pszCodePage)
{
    if (pszFolder == nullptr || pszCodePage == nullptr || !IsKnownCodePage(pszCodePage))
        return false;
    char szIniPath[MAX_PATH];
    if (!GetIniFilePath(szIniPath, true) || !WritePrivateProfileStringA("Path", "PDPath", pszFolder, szIniPath) ||
        !WritePrivateProfileStringA("CodePage", "Ansi", pszCodePage, szIniPath)) {
        g_DebugUtil.Log(0, __FILE__, __LINE__, "Can not save the Palm Desktop folder into %s", szIniPath);
        return false;
    }
    SetAnsiCodePage(pszCodePage);

    // The rows point into the old facade's records.
    m_PalmRows.clear();
    if (m_pSink != nullptr)
        m_pSink->ListRebuilt(LIST_PALM);
    delete m_pPalmInfo;
    m_pPalmInfo = new PmAddrInfo();
    UnloadDesktopLibraries(PD_LIB_ALL);
    LoadDesktopLibraries(PD_LIB_ALL);
    LoadUserList();
    const PalmUser* pChosen = GetUser(m_nSelectedUser);
    if (pChosen == nullptr) {
        m_Settings.DatFile[0] = '\0';
    } else if (pChosen->dwUserID != static_cast<DWORD>(m_Settings.UserID)) {
        m_Settings.UserID = static_cast<int>(pChosen->dwUserID);
        m_pPalmInfo->GetUserFilePath(pChosen->dwUserID, m_Settings.DatFile, MAX_PATH);
    }
    if (m_nDataSource == DATA_PALM_FILE)
        CopyPath(m_szDataText, m_Settings.DatFile);
    return true;
}

int TransferEngine::GetLoadedUser() const
{
    if (m_pPalmInfo == nullptr || m_Settings.DatFile[0] == '\0')
        return -1;
    for (int nIndex = 0; nIndex < GetUserCount(); ++nIndex) {
        char szPath[MAX_PATH] = {};
        if (m_pPalmInfo->GetUserFilePath(GetUser(nIndex)->dwUserID, szPath, MAX_PATH) &&
            EqualsIgnoringCase(szPath, m_Settings.DatFile))
            return nIndex;
    }
    return -1;
}

void TransferEngine::DataSourceChanged(int nIndex)
{
    if (nIndex != DATA_WAB_FILE && nIndex != DATA_PALM_FILE)
        return;
    m_nDataSource = nIndex;
    CopyPath(m_szDataText, nIndex == DATA_WAB_FILE ? m_Settings.WabFile : m_Settings.DatFile);
}

void TransferEngine::BrowseResult(const char* pszPath)
{
    if (pszPath == nullptr || pszPath[0] == '\0')
        return;
    // A path that does not fit is refused whole, never cut: the side then
    // fails to load and says so.
    const bool bTooLong = std::strlen(pszPath) >= MAX_PATH;
    CopyPath(m_szDataText, bTooLong ? "" : pszPath);
    if (m_nDataSource == DATA_WAB_FILE) {
        CopyPath(m_Settings.WabFile, bTooLong ? "" : pszPath);
        m_Settings.nWabFileTooLong = bTooLong ? static_cast<int>(std::strlen(pszPath)) : 0;
        LoadOutlookList();
    } else {
        CopyPath(m_Settings.DatFile, bTooLong ? "" : pszPath);
        m_Settings.nDatFileTooLong = bTooLong ? static_cast<int>(std::strlen(pszPath)) : 0;
        LoadPalmList();
    }
    RefreshStates();
}

// ---- Transfers ---------------------------------------------------------

void TransferEngine::ShowMessage(TransferResult& result, const char* pszText, const char* pszCaption, int nIcon)
{
    result.strMessage = pszText;
    result.strCaption = pszCaption;
    if (m_pSink != nullptr)
        m_pSink->ShowMessage(pszText, pszCaption, nIcon);
}

void TransferEngine::Progress(int nCurrent, int nTotal)
{
    if (m_pSink != nullptr)
        m_pSink->Progress(nCurrent, nTotal);
}

bool TransferEngine::WabIsOpen() const
{
    return m_pWab != nullptr && m_pWab->IsOpen();
}

namespace {

// Counts one record's fate on its receiving side: its classification says
// whether it was to be added, updated or left alone, bStored whether the
// side did it.
void CountHanded(SideOutcome& outcome, int nClass, bool bStored)
{
    if (nClass == CLASSIFY_SAME)
        ++outcome.nUnchanged;
    else if (!bStored)
        ++outcome.nFailed;
    else if (nClass == CLASSIFY_NEW)
        ++outcome.nAdded;
    else
        ++outcome.nUpdated;
}

}  // namespace

// Hands the records of Palm rows to the address book. The rows are
// classified against the book as a whole first, so each entry is paired
// with at most one of them: namesakes never land in one entry, and an entry
// stored or updated in this walk is never updated again by another row.
void TransferEngine::HandToWab(const std::vector<const ContactRow*>& rows, SideOutcome& outcome, int& nDone, int nTotal)
{
    std::vector<const CommAddrRecord*> records;
    for (const ContactRow* pRow : rows)
        records.push_back(static_cast<const CommAddrRecord*>(pRow->pData));
    HandRecordsToWab(records, outcome, nDone, nTotal, m_pPalmInfo != nullptr ? m_pPalmInfo->GetContactSet() : nullptr);
}

// Hands neutral records to the address book, classified against it as a
// whole; a null record is skipped but counts as progress.
void TransferEngine::HandRecordsToWab(const std::vector<const CommAddrRecord*>& records, SideOutcome& outcome,
                                      int& nDone, int nTotal, const CommAddrMgr* pOwner)
{
    std::vector<ClassifyMatch> answers(records.size());
    CommAddrMgr* pBookSet = m_pWab->GetNeutralSet();
    if (pBookSet == nullptr ||
        !m_pWab->ClassifyRecords(records.data(), static_cast<int32_t>(records.size()), answers.data(), pOwner))
        answers.assign(records.size(), ClassifyMatch{CLASSIFY_NEW, -1});

    for (size_t i = 0; i < records.size(); ++i) {
        const CommAddrRecord* pRecord = records[i];
        if (pRecord != nullptr) {
            ++outcome.nHanded;
            const ClassifyMatch& answer = answers[i];
            bool bStored = false;
            errno = 0;
            if (answer.nResult == CLASSIFY_NEW) {
                bStored = m_pWab->AddContact(pRecord);
            } else if (answer.nResult == CLASSIFY_MODIFIED) {
                bStored = m_pWab->UpdateContact(pRecord, m_pWab->GetEntryAt(answer.nPos));
            }
            CountHanded(outcome, answer.nResult, bStored);
            if (!bStored && answer.nResult != CLASSIFY_SAME && outcome.strReason.empty())
                outcome.strReason = FailureReason(errno);
        }
        Progress(++nDone, nTotal);
    }
}

// Hands the entries of address-book rows, as neutral records, to the Palm
// facade: classified against the Palm contacts as a whole first, then each
// added, merged into its own partner, or left alone.
void TransferEngine::HandToPalm(const std::vector<const ContactRow*>& rows, SideOutcome& outcome, int& nDone,
                                int nTotal)
{
    std::vector<const WabRecord*> entries;
    for (const ContactRow* pRow : rows)
        entries.push_back(static_cast<const WabRecord*>(pRow->pData));
    HandRecordsToPalm(EntriesAsRecords(entries), outcome, nDone, nTotal);
}

// Hands neutral records to the Palm facade: classified against the Palm
// contacts as a whole, then each added, merged into its own partner, or left
// alone. A position of incoming without a record is skipped but counts as
// progress.
void TransferEngine::HandRecordsToPalm(const CommRecordSource& incoming, SideOutcome& outcome, int& nDone, int nTotal)
{
    // One write transaction for all of them; FinishPalmSide commits it.
    m_pPalmInfo->BeginSaveBatch();
    const int32_t nCount = incoming.GetRecordCount();
    std::vector<ClassifyMatch> answers(static_cast<size_t>(nCount));
    if (!m_pPalmInfo->GetContactSet()->ClassifySide(incoming, answers.data()))
        answers.assign(answers.size(), ClassifyMatch{CLASSIFY_NEW, -1});

    auto pRecord = std::make_unique<CommAddrRecord>();
    for (int32_t i = 0; i < nCount; ++i) {
        const ClassifyMatch& answer = answers[static_cast<size_t>(i)];
        // Only a record to add or merge is read whole; one the Palm side has
        // already is counted as it is, and no record at all is skipped.
        const bool bToStore = answer.nResult == CLASSIFY_NEW || answer.nResult == CLASSIFY_MODIFIED;
        bool bHanded = answer.nResult != CLASSIFY_NONE;
        if (bToStore) {
            ZeroCommRecord(pRecord.get());
            bHanded = incoming.FillRecord(i, pRecord.get());
        }
        const CommAddrRecord* pStore = pRecord.get();
        if (bHanded) {
            ++outcome.nHanded;
            bool bStored = false;
            errno = 0;
            if (answer.nResult == CLASSIFY_NEW)
                bStored = m_pPalmInfo->AddRecord(pStore);
            else if (answer.nResult == CLASSIFY_MODIFIED)
                bStored = m_pPalmInfo->UpdateRecord(pStore, answer.nPos);
            CountHanded(outcome, answer.nResult, bStored);
            if (!bStored && answer.nResult != CLASSIFY_SAME && outcome.strReason.empty())
                outcome.strReason = FailureReason(errno);
        }
        Progress(++nDone, nTotal);
    }
}

// Commits what was handed to the address book in one batch. A failed commit
// keeps none of the additions and updates: each of them counts as a record
// the book could not store, with the reason the commit failed.
void TransferEngine::FinishWabSide(SideOutcome& outcome)
{
    errno = 0;
    if (m_pWab->EndStoreBatch())
        return;
    const int nErrno = errno;
    outcome.nFailed += outcome.nAdded + outcome.nUpdated;
    outcome.nAdded = 0;
    outcome.nUpdated = 0;
    if (outcome.strReason.empty()) {
        const FailReason reason = m_pWab->GetLastFailure();
        outcome.strReason = reason.IsSet() ? FailReasonText(reason) : FailureReason(nErrno);
    }
    if (outcome.nFailed == 0 && outcome.bWritten) {
        outcome.bWritten = false;
        outcome.strError = "the Outlook Express address book " + Quoted(m_Settings.WabFile, "(the default book)") +
                           " could not be written";
    }
}

// Writes the Palm data back after records were handed to it; a failed save
// keeps none of the additions and updates.
void TransferEngine::FinishPalmSide(SideOutcome& outcome)
{
    const bool bSaved = m_pPalmInfo != nullptr && m_pPalmInfo->SaveContacts();
    if (!bSaved && outcome.bWritten) {
        outcome.bWritten = false;
        outcome.strError = SideFailureText(LIST_PALM, true);
        outcome.nFailed += outcome.nAdded + outcome.nUpdated;
        outcome.nAdded = 0;
        outcome.nUpdated = 0;
    }
}

bool TransferEngine::BookIsTheSettingsFile() const
{
    return m_Settings.nWabFileTooLong == 0 && m_strWabOpened == m_Settings.WabFile;
}

// A side that took every record it had to add or update and was written
// in full stands in memory as its file now holds it: the rows are listed
// again from memory instead of reading the whole side again. Where that
// cannot be vouched for (a record or the write failed, the settings name
// another file than the one loaded), the side is read again as before.
void TransferEngine::RelistWabSide(const SideOutcome& outcome)
{
    const bool bInMemory = m_pWab != nullptr && outcome.bWritten && outcome.nFailed == 0 && BookIsTheSettingsFile() &&
                           m_pWab->ApplyWrittenEntries();
    if (!bInMemory) {
        LoadOutlookList();
        return;
    }
    ListOutlookRows();
}

void TransferEngine::RelistPalmSide(const SideOutcome& outcome)
{
    const bool bInMemory = m_pPalmInfo != nullptr && outcome.bWritten && outcome.nFailed == 0 &&
                           m_Settings.DatFile[0] != '\0' && m_strPalmLoaded == m_Settings.DatFile &&
                           m_bPalmLoadedSwapped == (m_Settings.SwapName != 0) && m_pPalmInfo->IsLoaded() &&
                           m_pPalmInfo->RefreshSavedRecords();
    if (!bInMemory) {
        LoadPalmList();
        return;
    }
    ListPalmRows();
}

namespace {

constexpr const char kWabSide[] = "the Outlook Express address book";
constexpr const char kPalmSide[] = "the Palm Desktop data";

// A receiving side that could not store every record it had to add or
// update was not written as asked: the transfer is an error that names the
// side, how many records it could not store, and why (the reason of the
// first record that failed, otherwise the side's own).
void MarkUnwritten(SideOutcome& outcome, const char* pszSide, const FailReason& reason)
{
    if (outcome.bReceiving && outcome.bWritten && outcome.nFailed > 0) {
        outcome.bWritten = false;
        const int nToStore = outcome.nFailed + outcome.nAdded + outcome.nUpdated;
        outcome.strError = std::to_string(outcome.nFailed) + " of the " + std::to_string(nToStore) +
                           " new or changed records could not be written to " + pszSide;
        const std::string strReason = outcome.strReason.empty() ? FailReasonText(reason) : outcome.strReason;
        if (!strReason.empty())
            outcome.strError += ": " + strReason;
    }
}

// Settles whether each receiving side was written, and answers the reasons
// of those that were not, joined; "" when the transfer succeeded.
std::string CollectErrors(TransferResult& result, const FailReason& wabReason, const FailReason& palmReason)
{
    MarkUnwritten(result.toWab, kWabSide, wabReason);
    MarkUnwritten(result.toPalm, kPalmSide, palmReason);
    std::string strErrors;
    for (const SideOutcome* pSide : {&result.toWab, &result.toPalm}) {
        if (!pSide->bReceiving || pSide->bWritten)
            continue;
        if (!strErrors.empty())
            strErrors += "; ";
        strErrors += pSide->strError;
    }
    return strErrors;
}

}  // namespace

void TransferEngine::MarkNotReady(ListType eSide, SideOutcome& outcome, int nRows) const
{
    outcome.bWritten = false;
    outcome.strError = SideFailureText(eSide, false);
    outcome.nFailed = nRows;
}

const FailReason& TransferEngine::GetSideFailure(ListType eSide) const
{
    return eSide == LIST_PALM ? m_PalmFailure : m_WabFailure;
}

FailReason TransferEngine::SideWriteFailure(ListType eSide) const
{
    if (eSide == LIST_PALM)
        return m_pPalmInfo != nullptr ? m_pPalmInfo->GetWriteFailure() : FailReason();
    return m_pWab != nullptr ? m_pWab->GetLastFailure() : FailReason();
}

std::string TransferEngine::SideFailureText(ListType eSide, bool bWriting) const
{
    const FailReason reason = bWriting ? SideWriteFailure(eSide) : GetSideFailure(eSide);
    std::string strText;
    // A path refused for its length is not in the settings to be named.
    if (eSide == LIST_PALM) {
        strText = "the Palm Desktop data file" +
                  (reason.eKind == FailKind::PathTooLong ? std::string()
                                                         : " " + Quoted(m_Settings.DatFile, "(none chosen)")) +
                  (bWriting ? " could not be saved" : " is not loaded");
    } else {
        strText = std::string(kWabSide) +
                  (reason.eKind == FailKind::PathTooLong ? std::string()
                                                         : " " + Quoted(m_Settings.WabFile, "(the default book)")) +
                  (bWriting ? " could not be written" : " is not open");
    }
    const std::string strReason = FailReasonText(reason);
    if (!strReason.empty())
        strText += ": " + strReason;
    return strText;
}

// The message that ends a transfer that ran: the success text with the row
// count when every receiving side was written, otherwise an error naming the
// sides that were not and why.
void TransferEngine::ReportCompletion(TransferResult& result, const char* pszDoneFormat, const char* pszFailed,
                                      int nCount)
{
    const std::string strErrors = CollectErrors(result, SideWriteFailure(LIST_WAB), SideWriteFailure(LIST_PALM));
    if (strErrors.empty()) {
        // The texts are constants with one "%d" for the count; putting the
        // count in by hand keeps them out of a printf format.
        std::string strText = pszDoneFormat;
        if (const size_t nAt = strText.find("%d"); nAt != std::string::npos)
            strText.replace(nAt, 2, std::to_string(nCount));
        result.bSuccess = true;
        ShowMessage(result, strText.c_str(), kCaptionInformation, kIconInformation);
    } else {
        const std::string strText = std::string(pszFailed) + ": " + strErrors + ".";
        ShowMessage(result, strText.c_str(), kCaptionError, kIconError);
    }
}

TransferResult TransferEngine::StartTransfer(int nMode)
{
    if (m_Settings.SyncCustom) {
        DWORD tags[CxWab::kCustomCount];
        for (int i = 0; i < CxWab::kCustomCount; ++i)
            tags[i] = static_cast<DWORD>(m_Settings.Custom[i]);
        CxWab::SetCustomMapping(tags, CxWab::kCustomCount);
    }
    if (nMode == SYNC_PALM_TO_OE)
        return TransferPalmToOutlook();
    if (nMode == SYNC_OE_TO_PALM)
        return TransferOutlookToPalm();
    return SynchronizeAll();
}

struct TransferEngine::OneWay {
    int nMode;                  // the SyncModeValue it runs
    ListType eFrom;             // the list whose ticked rows are handed over
    const char* pszSelect;      // shown when no row is ticked
    const char* pszDoneFormat;  // the success message, %d the ticked rows
    const char* pszFailed;      // what the error message starts with
};

namespace {

constexpr const char kFailedPalmToOutlook[] = "Palm Desktop to Outlook Express failed";
constexpr const char kFailedOutlookToPalm[] = "Outlook Express to Palm Desktop failed";

}  // namespace

TransferResult TransferEngine::TransferPalmToOutlook()
{
    static constexpr OneWay kWay = {SYNC_PALM_TO_OE, LIST_PALM, kSelectPalm, kDonePalmToOutlook, kFailedPalmToOutlook};
    return TransferOneWay(kWay);
}

TransferResult TransferEngine::TransferOutlookToPalm()
{
    static constexpr OneWay kWay = {SYNC_OE_TO_PALM, LIST_WAB, kSelectOutlook, kDoneOutlookToPalm,
                                    kFailedOutlookToPalm};
    return TransferOneWay(kWay);
}

bool TransferEngine::SideIsReady(ListType eSide) const
{
    if (eSide == LIST_WAB)
        return WabIsOpen();
    return m_pPalmInfo != nullptr && m_pPalmInfo->IsLoaded();
}

void TransferEngine::HandRowsTo(ListType eInto, const std::vector<const ContactRow*>& rows, SideOutcome& outcome,
                                int& nDone, int nTotal)
{
    if (eInto == LIST_WAB) {
        m_pWab->BeginStoreBatch();
        HandToWab(rows, outcome, nDone, nTotal);
        FinishWabSide(outcome);
    } else {
        HandToPalm(rows, outcome, nDone, nTotal);
        FinishPalmSide(outcome);
    }
}

TransferResult TransferEngine::TransferOneWay(const OneWay& way)
{
    TransferResult result;
    result.nMode = way.nMode;
    const int nTicked = CountChecked(way.eFrom);
    if (nTicked == 0) {
        ShowMessage(result, way.pszSelect, kCaptionInformation, kIconInformation);
        m_LastResult = result;
        return result;
    }
    result.bRan = true;
    result.nReported = nTicked;

    const ListType eInto = way.eFrom == LIST_PALM ? LIST_WAB : LIST_PALM;
    SideOutcome& receiver = eInto == LIST_WAB ? result.toWab : result.toPalm;
    receiver.bReceiving = true;
    if (!SideIsReady(eInto)) {
        MarkNotReady(eInto, receiver, nTicked);
    } else {
        int nDone = 0;
        Progress(0, nTicked);
        HandRowsTo(eInto, TickedRows(way.eFrom), receiver, nDone, nTicked);
    }

    // A side that was not ready is not written, so it is read again.
    if (eInto == LIST_WAB)
        RelistWabSide(receiver);
    else
        RelistPalmSide(receiver);
    ReportCompletion(result, way.pszDoneFormat, way.pszFailed, nTicked);
    RefreshStates();
    UntickSame();
    m_LastResult = result;
    return result;
}

TransferResult TransferEngine::SynchronizeAll()
{
    TransferResult result;
    result.nMode = SYNC_BOTH;
    const int nPalmRows = GetRowCount(LIST_PALM);
    const int nWabRows = GetRowCount(LIST_WAB);
    const int nTotal = nPalmRows + nWabRows;
    if (nTotal == 0) {
        // The one "Error" of the transfers that keeps the information icon.
        ShowMessage(result, kNoRecords, kCaptionError, kIconInformation);
        m_LastResult = result;
        return result;
    }
    result.bRan = true;
    result.nReported = nTotal;
    int nDone = 0;
    Progress(0, nTotal);

    // Palm to the address book first.
    bool bBookReread = false;
    SideOutcome& toWab = result.toWab;
    toWab.bReceiving = nPalmRows > 0;
    if (toWab.bReceiving && !SideIsReady(LIST_WAB)) {
        MarkNotReady(LIST_WAB, toWab, nPalmRows);
        nDone += nPalmRows;
        Progress(nDone, nTotal);
    } else if (nPalmRows > 0) {
        m_pWab->BeginStoreBatch();
        HandToWab(AllRows(LIST_PALM), toWab, nDone, nTotal);
        FinishWabSide(toWab);
        // The address book as the first pass left it: what the second pass
        // hands back holds the Palm values where both sides had one, so both
        // sides end equal instead of trading their values.
        RelistWabSide(toWab);
        bBookReread = true;
    }

    // Then the address-book rows, entries just added or updated among them.
    SideOutcome& toPalm = result.toPalm;
    toPalm.bReceiving = nWabRows > 0;
    if (toPalm.bReceiving && !SideIsReady(LIST_PALM)) {
        MarkNotReady(LIST_PALM, toPalm, nWabRows);
        Progress(nTotal, nTotal);
    } else if (nWabRows > 0) {
        const std::vector<const ContactRow*> rows = AllRows(LIST_WAB);
        // The book may list more rows now than it did; progress counts them.
        const int nSecondTotal = nDone + static_cast<int>(rows.size());
        HandToPalm(rows, toPalm, nDone, nSecondTotal);
    }
    if (SideIsReady(LIST_PALM))
        FinishPalmSide(toPalm);

    ReportCompletion(result, kDoneSync, "Outlook Express and Palm Desktop synchronization failed", nTotal);

    // Palm data that is not loaded is read again.
    RelistPalmSide(toPalm);
    // The second pass writes to the Palm side only: a book listed again
    // after the first pass still lists what its file holds, and so does one
    // that received nothing.
    if (!bBookReread) {
        if (WabIsOpen() && nPalmRows == 0 && BookIsTheSettingsFile())
            ListOutlookRows();
        else
            LoadOutlookList();
    }
    RefreshStates();
    UntickSame();
    m_LastResult = result;
    return result;
}

std::vector<const ContactRow*> TransferEngine::TickedRows(ListType eList) const
{
    std::vector<const ContactRow*> rows;
    for (const ContactRow& row : Rows(eList))
        if (row.bChecked)
            rows.push_back(&row);
    return rows;
}

std::vector<const ContactRow*> TransferEngine::AllRows(ListType eList) const
{
    std::vector<const ContactRow*> rows;
    for (const ContactRow& row : Rows(eList))
        rows.push_back(&row);
    return rows;
}

// After a transfer the ticks follow the states: a row whose record is now
// the same as the other side's has nothing left to hand over.
void TransferEngine::UntickSame()
{
    for (ListType eList : {LIST_PALM, LIST_WAB}) {
        std::vector<ContactRow>& rows = Rows(eList);
        for (int nRow = 0; nRow < static_cast<int>(rows.size()); ++nRow) {
            if (RowState(eList, nRow) == RS_SAME)
                rows[nRow].bChecked = false;
        }
    }
    if (m_pSink != nullptr)
        m_pSink->StatesRefreshed();
}

// ---- Records from outside the two books ---------------------------------

SideOutcome TransferEngine::ReceiveRecords(ListType eInto, const std::vector<const CommAddrRecord*>& records)
{
    SideOutcome outcome;
    outcome.bReceiving = true;
    const int nTotal = static_cast<int>(records.size());
    if (!SideIsReady(eInto)) {
        MarkNotReady(eInto, outcome, nTotal);
        return outcome;
    }
    int nDone = 0;
    Progress(0, nTotal);
    if (eInto == LIST_WAB) {
        m_pWab->BeginStoreBatch();
        HandRecordsToWab(records, outcome, nDone, nTotal);
        FinishWabSide(outcome);
    } else {
        HandRecordsToPalm(HeldRecords(records), outcome, nDone, nTotal);
    }
    if (eInto == LIST_PALM) {
        FinishPalmSide(outcome);
        LoadPalmList();
    } else {
        LoadOutlookList();
    }
    MarkUnwritten(outcome, eInto == LIST_WAB ? kWabSide : kPalmSide, SideWriteFailure(eInto));
    RefreshStates();
    return outcome;
}
