#include "src/core/TransferEngine.h"

#include <cstdio>
#include <cstring>

#include "common/misc/AppFolder.h"
#include "common/misc/CommAddrMgr.h"
#include "common/misc/CommAddrRecord.h"
#include "common/misc/CxList.h"
#include "common/oe/CxWab.h"
#include "common/oe/WabRecord.h"
#include "common/palm/PalmUser.h"
#include "common/palm/PmAddrInfo.h"
#include "common/palm/PmLibraries.h"
#include "platform/codepage/CodePage.h"

namespace {

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
constexpr const char kDoneSync[] =
    "Outlook Express and Palm Desktop synchronized successfully, %d records transfered.";

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
    char szBuffer[kSubItemBufferSize];   // called for every cell of the list: no heap
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

// The file a side names in a message: the path, or a word for the default.
// Messages are ANSI text; a path is in the file system's UTF-8, so it is
// converted (a name that is no UTF-8 shows '?' where it is not).
std::string Quoted(const char* pszPath, const char* pszEmpty)
{
    if (pszPath == nullptr || pszPath[0] == '\0')
        return pszEmpty;
    return std::string("\"") + Utf8ToAnsi(pszPath) + "\"";
}

} // namespace

TransferEngine::TransferEngine(SysSettings& settings, IEngineSink* pSink)
    : m_Settings(settings), m_pSink(pSink)
{
}

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
        for (WabRecord* pRecord = m_pWab->GetFirstEntry(); pRecord != nullptr;
             pRecord = m_pWab->GetNextEntry()) {
            if (m_Settings.EmailOnly && pRecord->PR_EMAIL_ADDRESS[0] == '\0')
                continue;
            ContactRow row;
            row.pData = pRecord;
            row.strCaption = pRecord->PR_DISPLAY_NAME;
            for (int nIndex : m_WabColumns) {
                if (nIndex == 1)
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
    // The Palm ids of the shown columns, indexed like the column table (and
    // one entry past it, which stays 0).
    int32_t palmIds[kColumnCount + 1] = {};
    for (int nIndex = 2; nIndex < kColumnCount; ++nIndex) {
        if (IsColumnShown(m_Settings, nIndex))
            palmIds[nIndex] = g_ColumnDef[nIndex].nPalmFieldId;
    }
    m_PalmRows.clear();
    BuildColumns(LIST_PALM);

    if (m_pPalmInfo != nullptr) {
        m_pPalmInfo->SetSwapName(m_Settings.SwapName != 0);
        // A failed load leaves the contact set empty; the reason is kept.
        m_PalmFailure.Clear();
        if (m_Settings.DatFile[0] == '\0') {
            m_pPalmInfo->ClearAll();
            m_PalmFailure = m_Settings.nDatFileTooLong > 0
                                ? FailReason::Of(FailKind::PathTooLong, std::to_string(m_Settings.nDatFileTooLong) +
                                                                            " bytes, at most " + std::to_string(MAX_PATH - 1))
                                : FailReason::Of(FailKind::Missing, "no data file is chosen");
        } else if (!m_pPalmInfo->LoadContacts(m_Settings.DatFile)) {
            m_PalmFailure = m_pPalmInfo->GetLastFailure();
        }
        CommAddrMgr* pSet = m_pPalmInfo->GetContactSet();
        for (CommAddrRecord* pRecord = pSet != nullptr ? pSet->GetFirstRecord() : nullptr;
             pRecord != nullptr; pRecord = pSet->GetNextRecord()) {
            if (m_Settings.EmailOnly && FieldText(pRecord, CF_EMAIL, kNameBufferSize).empty())
                continue;
            ContactRow row;
            row.pData = pRecord;
            // "%s %s": a contact without a first name gets a leading blank.
            row.strCaption = FieldText(pRecord, CF_FIRST_NAME, kNameBufferSize) + " " +
                             FieldText(pRecord, CF_LAST_NAME, kNameBufferSize);
            for (int nIndex = 2; nIndex <= kColumnCount; ++nIndex) {
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
    if (m_pPalmInfo != nullptr &&
        m_pPalmInfo->GetUserFilePath(static_cast<DWORD>(m_Settings.UserID), szPath, MAX_PATH))
        CopyPath(m_Settings.DatFile, szPath);
    if (m_nDataSource == DATA_PALM_FILE)
        CopyPath(m_szDataText, m_Settings.DatFile);
    LoadPalmList();
    RefreshStates();
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

void TransferEngine::ShowMessage(TransferResult& result, const char* pszText, const char* pszCaption,
                                 int nIcon)
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

// Hands one Palm row's record to the address book and counts what the book
// did with it: its classification before the hand-over says whether it
// would be added, updated or left alone, StoreContact's result whether that
// happened.
void TransferEngine::HandToWab(const ContactRow& row, SideOutcome& outcome)
{
    const auto* pRecord = static_cast<const CommAddrRecord*>(row.pData);
    if (pRecord == nullptr)
        return;
    ++outcome.nHanded;
    WabRecord* pMatch = nullptr;
    const int nClass = m_pWab->MatchContact(pRecord, &pMatch);
    const bool bStored = m_pWab->StoreContact(pRecord);
    if (nClass == CLASSIFY_SAME)
        ++outcome.nUnchanged;
    else if (!bStored)
        ++outcome.nFailed;
    else if (nClass == CLASSIFY_NEW)
        ++outcome.nAdded;
    else
        ++outcome.nUpdated;
}

// Hands one address-book row's entry, as a neutral record, to the Palm
// facade, counted the same way against the Palm contact set.
void TransferEngine::HandToPalm(const ContactRow& row, SideOutcome& outcome)
{
    CommAddrRecord record;
    ZeroCommRecord(&record);
    const auto* pEntry = static_cast<const WabRecord*>(row.pData);
    if (pEntry == nullptr)
        return;
    ++outcome.nHanded;
    CxWab::ConvertToComm(pEntry, &record);
    const int nClass = m_pPalmInfo->GetContactSet()->Classify(&record, nullptr, nullptr);
    const bool bStored = m_pPalmInfo->AddOrUpdate(&record);
    if (nClass == CLASSIFY_SAME)
        ++outcome.nUnchanged;
    else if (!bStored)
        ++outcome.nFailed;
    else if (nClass == CLASSIFY_NEW)
        ++outcome.nAdded;
    else
        ++outcome.nUpdated;
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

namespace {

constexpr const char kWabSide[] = "the Outlook Express address book";
constexpr const char kPalmSide[] = "the Palm Desktop data";

// A receiving side that took none of the records it had to add or update
// counts as not written. A single record it could not take (two contacts
// of one side sharing their key fields, say) is only counted: the walk
// skips it and goes on.
void MarkUnwritten(SideOutcome& outcome, const char* pszSide, const FailReason& reason)
{
    if (outcome.bReceiving && outcome.bWritten && outcome.nFailed > 0 && outcome.nAdded == 0 &&
        outcome.nUpdated == 0) {
        outcome.bWritten = false;
        outcome.strError = "none of the " + std::to_string(outcome.nFailed) +
                           " new or changed records could be written to " + pszSide;
        const std::string strReason = FailReasonText(reason);
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

} // namespace

void TransferEngine::MarkWabNotOpen(SideOutcome& outcome, int nRows) const
{
    outcome.bWritten = false;
    outcome.strError = SideFailureText(LIST_WAB, false);
    outcome.nFailed = nRows;
}

void TransferEngine::MarkPalmNotLoaded(SideOutcome& outcome, int nRows) const
{
    outcome.bWritten = false;
    outcome.strError = SideFailureText(LIST_PALM, false);
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
                  (reason.eKind == FailKind::PathTooLong ? std::string() : " " + Quoted(m_Settings.DatFile, "(none chosen)")) +
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
        char szText[256];
        std::snprintf(szText, sizeof szText, pszDoneFormat, nCount);
        result.bSuccess = true;
        ShowMessage(result, szText, kCaptionInformation, kIconInformation);
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

TransferResult TransferEngine::TransferPalmToOutlook()
{
    TransferResult result;
    result.nMode = SYNC_PALM_TO_OE;
    const int nTicked = CountChecked(LIST_PALM);
    if (nTicked == 0) {
        ShowMessage(result, kSelectPalm, kCaptionInformation, kIconInformation);
        m_LastResult = result;
        return result;
    }
    result.bRan = true;
    result.nReported = nTicked;

    SideOutcome& toWab = result.toWab;
    toWab.bReceiving = true;
    if (!WabIsOpen()) {
        MarkWabNotOpen(toWab, nTicked);
    } else {
        int nDone = 0;
        Progress(0, nTicked);
        for (const ContactRow& row : m_PalmRows) {
            if (!row.bChecked)
                continue;
            HandToWab(row, toWab);
            Progress(++nDone, nTicked);
        }
    }

    LoadOutlookList();
    ReportCompletion(result, kDonePalmToOutlook, "Palm Desktop to Outlook Express failed", nTicked);
    RefreshStates();
    m_LastResult = result;
    return result;
}

TransferResult TransferEngine::TransferOutlookToPalm()
{
    TransferResult result;
    result.nMode = SYNC_OE_TO_PALM;
    const int nTicked = CountChecked(LIST_WAB);
    if (nTicked == 0) {
        ShowMessage(result, kSelectOutlook, kCaptionInformation, kIconInformation);
        m_LastResult = result;
        return result;
    }
    result.bRan = true;
    result.nReported = nTicked;

    SideOutcome& toPalm = result.toPalm;
    toPalm.bReceiving = true;
    if (m_pPalmInfo == nullptr || !m_pPalmInfo->IsLoaded()) {
        MarkPalmNotLoaded(toPalm, nTicked);
    } else {
        int nDone = 0;
        Progress(0, nTicked);
        for (const ContactRow& row : m_WabRows) {
            if (!row.bChecked)
                continue;
            HandToPalm(row, toPalm);
            Progress(++nDone, nTicked);
        }
        FinishPalmSide(toPalm);
    }

    LoadPalmList();
    ReportCompletion(result, kDoneOutlookToPalm, "Outlook Express to Palm Desktop failed", nTicked);
    RefreshStates();
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
    SideOutcome& toWab = result.toWab;
    toWab.bReceiving = nPalmRows > 0;
    if (toWab.bReceiving && !WabIsOpen()) {
        MarkWabNotOpen(toWab, nPalmRows);
        nDone += nPalmRows;
        Progress(nDone, nTotal);
    } else {
        for (const ContactRow& row : m_PalmRows) {
            HandToWab(row, toWab);
            Progress(++nDone, nTotal);
        }
    }

    // Then the address-book rows as they were listed before: entries just
    // added to the book are not among them.
    SideOutcome& toPalm = result.toPalm;
    toPalm.bReceiving = nWabRows > 0;
    if (toPalm.bReceiving && (m_pPalmInfo == nullptr || !m_pPalmInfo->IsLoaded())) {
        MarkPalmNotLoaded(toPalm, nWabRows);
        Progress(nTotal, nTotal);
    } else {
        for (const ContactRow& row : m_WabRows) {
            HandToPalm(row, toPalm);
            Progress(++nDone, nTotal);
        }
    }
    if (m_pPalmInfo != nullptr && m_pPalmInfo->IsLoaded())
        FinishPalmSide(toPalm);

    ReportCompletion(result, kDoneSync, "Outlook Express and Palm Desktop synchronization failed", nTotal);

    LoadPalmList();
    LoadOutlookList();
    RefreshStates();
    m_LastResult = result;
    return result;
}
