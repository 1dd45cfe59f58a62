#include "common/palm/PmAddrEx2Util.h"

#include <algorithm>
#include <array>
#include <cstdlib>
#include <cstring>
#include <memory>
#include <new>
#include <string>

#include "common/misc/CxDebugUtil.h"
#include "common/misc/MemberAt.h"
#include "common/palm/PmAddrEx2Columns.h"
#include "common/palm/PmAddrEx2DataMgr.h"
#include "common/palm/PmAddrEx2Record.h"
#include "common/palm/PmCategoryEx2.h"
#include "common/palm/PmCategoryEx2Mgr.h"
#include "common/palm/PmInfoEx2.h"
#include "common/palm/PmMDBAccessor.h"
#include "platform/jetdb/JetConnection.h"
#include "platform/jetdb/JetQuery.h"

namespace {

constexpr std::array<const char*, kAddrEx2ColumnCount> MakeColumnNames()
{
    std::array<const char*, kAddrEx2ColumnCount> names{};
    for (int i = 0; i < kAddrEx2ColumnCount; ++i)
        names[static_cast<size_t>(i)] = kAddrEx2Columns[i].pszName;
    return names;
}
constexpr std::array<const char*, kAddrEx2ColumnCount> kColumnNames = MakeColumnNames();

// The key columns that find a record's row, by id and by name.
constexpr int kKeyIds[] = {0, 7, 9};
constexpr const char* kKeyNames[] = {"Record ID", "First Name", "Last Name"};
constexpr int kKeyCount = 3;

// Where the phone slot of each label (0..7) is copied in labelText.
constexpr int kLabelTextIndex[] = {0, 1, 2, 3, 4, 8, 9, 10};
constexpr int kLabelTextWidth = 32;
constexpr int kCategoryNameWidth = 32;

// Buffer sizes of the row lookup's and the update's where clause.
constexpr int kLookupWhereSize = 4096;
constexpr int kUpdateWhereSize = 1024;

bool IsColumnId(int nColumn)
{
    return nColumn >= 0 && nColumn < kAddrEx2ColumnCount;
}

bool MembersEqual(const PmAddrEx2Record* pA, const PmAddrEx2Record* pB, const PmAddrEx2Column& column)
{
    switch (column.kind) {
    case Ex2ColumnKind::Int:
    case Ex2ColumnKind::Category:
        return *MemberAt<int32_t>(pA, column.nOffset) == *MemberAt<int32_t>(pB, column.nOffset);
    case Ex2ColumnKind::Flag:
        return *MemberAt<uint8_t>(pA, column.nOffset) == *MemberAt<uint8_t>(pB, column.nOffset);
    case Ex2ColumnKind::Text:
        return std::strncmp(MemberAt<char>(pA, column.nOffset), MemberAt<char>(pB, column.nOffset), column.nSize) == 0;
    case Ex2ColumnKind::None:
        return true;
    }
    return true;
}

// Copies at most nSize - 1 bytes of a text and terminates it.
void CopyText(char* pszDst, size_t nSize, const char* pszSrc)
{
    const size_t nLength = strnlen(pszSrc, nSize - 1);
    std::memcpy(pszDst, pszSrc, nLength);
    pszDst[nLength] = '\0';
}

struct ValueArray {
    VARIANT* pValues;
    int nCount;
    ~ValueArray() { PmDataAccessor::FreeValues(pValues, nCount); }
};

}  // namespace

PmAddrEx2Util::PmAddrEx2Util()
    : m_bSwapName(false), m_pDataMgr(new PmAddrEx2DataMgr()), m_nNextRecordId(0), m_bLookupFailed(false)
{
}

PmAddrEx2Util::~PmAddrEx2Util()
{
    delete m_pDataMgr;
}

bool PmAddrEx2Util::LoadFile(const char* pszPath)
{
    if (pszPath == nullptr || pszPath[0] == '\0')
        return false;
    g_DebugUtil.Log(2, __FILE__, __LINE__, "Loading Palm Desktop Contacts:%s", pszPath);
    if (!Open(kAccessorAddress, pszPath) || !HasDesktopTables()) {
        if (!m_bFailureLogged)
            g_DebugUtil.Log(0, __FILE__, __LINE__, "Load Palm Desktop Contacts failed: %s (%s)", pszPath,
                            FailReasonText(m_LastFailure).c_str());
        return false;
    }
    if (m_pAccessor == nullptr || m_pDataMgr == nullptr)
        return false;
    m_nNextRecordId = 0;

    VARIANT* pValues = nullptr;
    int nCount = kColumnCount;
    for (bool bRow = m_pAccessor->QueryFirst("Main", ColumnNames(), &pValues, &nCount); bRow;
         bRow = m_pAccessor->QueryNext("Main", ColumnNames(), &pValues, &nCount)) {
        PmAddrEx2Record record{};
        RowToRecord(pValues, nCount, &record);
        FillDerivedFields(&record);
        m_pDataMgr->Append(&record);
        PmDataAccessor::FreeValues(pValues, nCount);
        pValues = nullptr;
        nCount = kColumnCount;
    }
    // A walk that ended in a read error stopped in damaged pages: the rows
    // listed are not all of them, and nothing may be written back.
    JetQuery* pQuery = m_pAccessor->GetQuery();
    if (m_pAccessor->LastExecuteFailed() || (pQuery != nullptr && pQuery->Failed())) {
        m_LastFailure = FailReason::Of(FailKind::Damaged, pQuery != nullptr ? pQuery->GetLastError() : std::string());
        g_DebugUtil.Log(0, __FILE__, __LINE__, "Load Palm Desktop Contacts failed: %s (%s)", pszPath,
                        FailReasonText(m_LastFailure).c_str());
        m_pDataMgr->Clear();
        m_pAccessor->GetConnection()->Close();
        return false;
    }
    return true;
}

bool PmAddrEx2Util::HasDesktopTables()
{
    JetConnection* pConnection = m_pAccessor != nullptr ? m_pAccessor->GetConnection() : nullptr;
    if (pConnection == nullptr || !pConnection->IsOpen()) {
        m_LastFailure = FailReason::Of(FailKind::Unreadable);
        return false;
    }
    std::string mainSelect = "SELECT ";
    for (int nColumn = 0; nColumn < kColumnCount; ++nColumn) {
        mainSelect += nColumn == 0 ? "[" : ", [";
        mainSelect += ColumnName(nColumn);
        mainSelect += "]";
    }
    mainSelect += " FROM [Main]";
    const std::string selects[] = {mainSelect, "SELECT [ID], [Name], [Status], [Color] FROM [Category]",
                                   "SELECT [Name], [Note] FROM [Information]"};
    for (const std::string& select : selects) {
        std::string error;
        if (!pConnection->CanPrepare(select.c_str(), &error)) {
            m_LastFailure =
                FailReason::Of(FailKind::WrongKind, "a database, but not a Palm Desktop 6 one (" + error + ")");
            m_bFailureLogged = false;
            pConnection->Close();
            return false;
        }
    }
    return true;
}

void PmAddrEx2Util::BeginWriteBatch()
{
    m_bBatchWanted = true;
}

bool PmAddrEx2Util::EnterBatch()
{
    if (!m_bBatchWanted || m_bInBatch)
        return true;
    if (m_pAccessor == nullptr || !m_pAccessor->Execute("BEGIN IMMEDIATE", false))
        return false;
    m_bInBatch = true;
    return true;
}

bool PmAddrEx2Util::SaveFile()
{
    m_bBatchWanted = false;
    if (!m_bInBatch)
        return true;
    m_bInBatch = false;
    if (m_pAccessor != nullptr && m_pAccessor->Execute("COMMIT", false))
        return true;
    if (m_pAccessor != nullptr)
        m_pAccessor->Execute("ROLLBACK", false);
    return false;
}

bool PmAddrEx2Util::WriteRecord(const PmAddrEx2Record* pRecord)
{
    return WriteByKeys(pRecord, kKeyCount, true);
}

bool PmAddrEx2Util::WriteByKeys(const PmAddrEx2Record* pRecord, int nKeys, bool bInsert)
{
    if (pRecord == nullptr || m_pAccessor == nullptr)
        return false;

    VARIANT keyValues[kKeyCount];
    for (int i = 0; i < kKeyCount; ++i)
        JetInitValue(&keyValues[i]);
    bool bKeys = true;
    for (int i = 0; i < nKeys && bKeys; ++i)
        bKeys = RecordToValue(pRecord, kKeyIds[i], &keyValues[i]);

    std::unique_ptr<PmAddrEx2Record> pStored(new (std::nothrow) PmAddrEx2Record());
    bool bFound = false;
    if (bKeys && pStored != nullptr)
        bFound = LookupRow(kKeyNames, keyValues, nKeys, pStored.get());
    for (VARIANT& value : keyValues)
        JetClearValue(&value);
    if (!bKeys || pStored == nullptr)
        return false;
    // A row that could not be read is not a missing row: inserting then
    // could duplicate the contact.
    if (!bFound && m_bLookupFailed) {
        g_DebugUtil.Log(0, __FILE__, __LINE__, "Contact not written, its row cannot be looked up: %.63s %.63s",
                        pRecord->FirstName, pRecord->LastName);
        return false;
    }
    if (!bFound && !bInsert) {
        g_DebugUtil.Log(0, __FILE__, __LINE__, "Contact not written, its row (Record ID %d) is gone: %.63s %.63s",
                        static_cast<int>(pRecord->RecordID), pRecord->FirstName, pRecord->LastName);
        return false;
    }

    int ids[kColumnCount];
    int nCount = 0;
    if (bFound) {
        if (RecordsEqual(pRecord, pStored.get()))
            return true;
        ChangedColumns(pRecord, pStored.get(), ids, &nCount);
    } else {
        AllColumns(ids, &nCount);
    }
    if (nCount == 0)
        return true;
    return WriteColumnsByKeys(pRecord, ids, nCount, nKeys);
}

bool PmAddrEx2Util::RewriteRecord(const PmAddrEx2Record* pRecord)
{
    if (pRecord == nullptr || m_pAccessor == nullptr || !EnterBatch())
        return false;
    const std::string strCount = "SELECT COUNT(*) FROM Main WHERE [Record ID] = " + std::to_string(pRecord->RecordID);
    VARIANT* pValues = nullptr;
    int nValues = 0;
    int32_t nRows = 0;
    if (!m_pAccessor->OpenQuery(strCount.c_str(), &pValues, &nValues))
        return false;
    if (nValues > 0)
        PmDataAccessor::ValueToInt(&pValues[0], &nRows);
    PmDataAccessor::FreeValues(pValues, nValues);
    // The id alone finds the row when it is the row's own.
    return WriteByKeys(pRecord, nRows == 1 ? 1 : kKeyCount, false);
}

bool PmAddrEx2Util::InsertNewRecord(PmAddrEx2Record* pRecord)
{
    if (pRecord == nullptr || m_pAccessor == nullptr || !EnterBatch())
        return false;
    // The id is read and taken inside the transaction: a second writer
    // waits for it to end and then sees the id as used. Inside a batch the
    // insert is a savepoint of the batch's transaction.
    const char* pszBegin = m_bInBatch ? "SAVEPOINT newrecord" : "BEGIN IMMEDIATE";
    const char* pszCommit = m_bInBatch ? "RELEASE newrecord" : "COMMIT";
    if (!m_pAccessor->Execute(pszBegin, false))
        return false;
    const int32_t nOldId = pRecord->RecordID;
    if (AssignNewRecordId(pRecord) && WriteRecord(pRecord) && m_pAccessor->Execute(pszCommit, false))
        return true;
    if (m_bInBatch) {
        m_pAccessor->Execute("ROLLBACK TO newrecord", false);
        m_pAccessor->Execute("RELEASE newrecord", false);
    } else {
        m_pAccessor->Execute("ROLLBACK", false);
    }
    pRecord->RecordID = nOldId;
    return false;
}

bool PmAddrEx2Util::AssignNewRecordId(PmAddrEx2Record* pRecord)
{
    if (pRecord == nullptr || m_pAccessor == nullptr || !m_pAccessor->IsConnected())
        return false;

    int32_t nMaxId = 0;
    VARIANT* pValues = nullptr;
    int nCount = 0;
    if (m_pAccessor->OpenQuery(PmDataAccessor::BuildMaxSql("Main", "Record ID"), &pValues, &nCount)) {
        if (nCount > 0)
            PmDataAccessor::ValueToInt(&pValues[0], &nMaxId);  // an empty table gives null: 0
        PmDataAccessor::FreeValues(pValues, nCount);
    } else if (m_pAccessor->LastExecuteFailed()) {
        return false;
    }

    char szFree[32];
    bool bFound = false;
    int32_t nFreeRecId = 0;
    if (ReadInformationValue("FreeRecID", szFree, sizeof(szFree), &bFound) && bFound)
        nFreeRecId = static_cast<int32_t>(std::strtol(szFree, nullptr, 10));

    if (nMaxId == INT32_MAX)
        return false;
    int32_t nId = std::max({nFreeRecId, nMaxId + 1, m_nNextRecordId, int32_t{1}});
    if (nId == INT32_MAX)
        return false;  // no id left to advance FreeRecID to

    pRecord->RecordID = nId;
    m_nNextRecordId = nId + 1;
    m_pInfo->FreeRecID = nId + 1;
    // The id is free in "Main" whether or not this write succeeds; a failed
    // write is logged by the accessor.
    WriteInformationValue("FreeRecID", std::to_string(nId + 1).c_str());
    return true;
}

bool PmAddrEx2Util::FillDerivedFields(PmAddrEx2Record* pRecord)
{
    if (pRecord == nullptr)
        return false;
    for (int i = 0; i < PmAddrEx2Record::kPhoneCount; ++i) {
        const int32_t nLabel = pRecord->phoneLabel[i];
        if (nLabel < 0 || nLabel > 7)
            continue;
        CopyText(pRecord->labelText[kLabelTextIndex[nLabel]], kLabelTextWidth, pRecord->phone[i]);
    }
    if (m_pCategoryMgr == nullptr)
        return false;
    const PmCategoryEx2* pCategory = m_pCategoryMgr->FindById(pRecord->Category);
    if (pCategory == nullptr)
        return false;
    CopyText(pRecord->categoryName, kCategoryNameWidth, pCategory->m_szName);
    return true;
}

bool PmAddrEx2Util::GetCategoryId(const char* pszName, int32_t* pnId, bool bCreate)
{
    if (pnId == nullptr)
        return false;
    if (pszName == nullptr || pszName[0] == '\0') {
        *pnId = 0;
        return true;
    }
    PmCategoryEx2 category;
    category.SetName(pszName);
    // A name longer than a category can hold is known by its stored part,
    // so asking again does not create it again.
    const PmCategoryEx2* pFound = m_pCategoryMgr->FindByName(pszName);
    if (pFound == nullptr)
        pFound = m_pCategoryMgr->FindByName(category.m_szName);
    if (pFound != nullptr) {
        *pnId = pFound->m_nId;
        return true;
    }
    if (!bCreate) {
        *pnId = 0;
        return false;
    }
    m_pCategoryMgr->AddCategory(&category);
    pFound = m_pCategoryMgr->FindByName(category.m_szName);
    if (pFound == nullptr) {
        *pnId = -1;
        return false;
    }
    *pnId = pFound->m_nId;
    return true;
}

bool PmAddrEx2Util::RowToRecord(const VARIANT* pValues, int nCount, PmAddrEx2Record* pRecord)
{
    if (pValues == nullptr || pRecord == nullptr || nCount != kColumnCount)
        return false;
    for (int i = 0; i < kColumnCount; ++i)
        ValueToRecord(&pValues[i], i, pRecord);
    return true;
}

bool PmAddrEx2Util::ValueToRecord(const VARIANT* pValue, int nColumn, PmAddrEx2Record* pRecord)
{
    if (pValue == nullptr || pRecord == nullptr || !IsColumnId(nColumn))
        return false;
    const PmAddrEx2Column& column = kAddrEx2Columns[nColumn];
    switch (column.kind) {
    case Ex2ColumnKind::Int:
    case Ex2ColumnKind::Category:
        return PmDataAccessor::ValueToInt(pValue, MemberAt<int32_t>(pRecord, column.nOffset));
    case Ex2ColumnKind::Flag:
        return PmDataAccessor::ValueToBool(pValue, MemberAt<uint8_t>(pRecord, column.nOffset));
    case Ex2ColumnKind::Text:
        return PmDataAccessor::ValueToText(pValue, MemberAt<char>(pRecord, column.nOffset),
                                           static_cast<int>(column.nSize));
    case Ex2ColumnKind::None:
        return true;
    }
    return false;
}

bool PmAddrEx2Util::RecordToValue(const PmAddrEx2Record* pRecord, int nColumn, VARIANT* pValue)
{
    if (pRecord == nullptr || pValue == nullptr || !IsColumnId(nColumn))
        return false;
    const PmAddrEx2Column& column = kAddrEx2Columns[nColumn];
    switch (column.kind) {
    case Ex2ColumnKind::Int:
        return PmDataAccessor::IntValue(*MemberAt<int32_t>(pRecord, column.nOffset), pValue);
    case Ex2ColumnKind::Category:
        return PmDataAccessor::IntTextValue(*MemberAt<int32_t>(pRecord, column.nOffset), pValue);
    case Ex2ColumnKind::Flag:
        return PmDataAccessor::BoolValue(*MemberAt<uint8_t>(pRecord, column.nOffset), pValue);
    case Ex2ColumnKind::Text: {
        const char* pszText = MemberAt<char>(pRecord, column.nOffset);
        const std::string text(pszText, strnlen(pszText, column.nSize));
        return PmDataAccessor::TextValue(text.c_str(), pValue);
    }
    case Ex2ColumnKind::None:
        return PmDataAccessor::TextValue("", pValue);
    }
    return false;
}

const char* PmAddrEx2Util::ColumnName(int nColumn)
{
    return IsColumnId(nColumn) ? kAddrEx2Columns[nColumn].pszName : "";
}

const char* const* PmAddrEx2Util::ColumnNames()
{
    return kColumnNames.data();
}

void PmAddrEx2Util::AllColumns(int* pIds, int* pnCount)
{
    if (pIds == nullptr || pnCount == nullptr)
        return;
    for (int i = 0; i < kColumnCount; ++i)
        pIds[i] = i;
    *pnCount = kColumnCount;
}

bool PmAddrEx2Util::RecordsEqual(const PmAddrEx2Record* pA, const PmAddrEx2Record* pB)
{
    if (pA == pB)
        return pA != nullptr;
    if (pA == nullptr || pB == nullptr)
        return false;
    for (const PmAddrEx2Column& column : kAddrEx2Columns) {
        if (column.bCompared && !MembersEqual(pA, pB, column))
            return false;
    }
    return true;
}

void PmAddrEx2Util::ChangedColumns(const PmAddrEx2Record* pA, const PmAddrEx2Record* pB, int* pIds, int* pnCount)
{
    if (pnCount == nullptr)
        return;
    *pnCount = 0;
    if (pA == nullptr || pB == nullptr || pIds == nullptr)
        return;
    for (int nColumn : kAddrEx2UpdateOrder) {
        if (!MembersEqual(pA, pB, kAddrEx2Columns[nColumn]))
            pIds[(*pnCount)++] = nColumn;
    }
}

bool PmAddrEx2Util::LookupRow(const char* const* ppszKeys, const VARIANT* pKeyValues, int nKeyCount,
                              PmAddrEx2Record* pRecord)
{
    m_bLookupFailed = true;
    if (pRecord == nullptr || m_pAccessor == nullptr)
        return false;
    char szWhere[kLookupWhereSize];
    if (!PmDataAccessor::BuildWhere(ppszKeys, nKeyCount, pKeyValues, szWhere, sizeof(szWhere)))
        return false;
    ValueArray row{nullptr, kColumnCount};
    if (!QueryMainWhere(szWhere, ColumnNames(), &row.pValues, &row.nCount)) {
        m_bLookupFailed = m_pAccessor->LastExecuteFailed();
        return false;
    }
    m_bLookupFailed = false;
    std::memset(pRecord, 0, sizeof(*pRecord));
    RowToRecord(row.pValues, row.nCount, pRecord);
    return true;
}

bool PmAddrEx2Util::WriteColumns(const PmAddrEx2Record* pRecord, const int* pIds, int nCount)
{
    return WriteColumnsByKeys(pRecord, pIds, nCount, kKeyCount);
}

bool PmAddrEx2Util::WriteColumnsByKeys(const PmAddrEx2Record* pRecord, const int* pIds, int nCount, int nKeys)
{
    if (pRecord == nullptr || pIds == nullptr || nCount < 1 || m_pAccessor == nullptr || nKeys < 1 || nKeys > kKeyCount)
        return false;
    const bool bInsert = pIds[0] == 0;

    char szWhere[kUpdateWhereSize] = "";
    if (!bInsert) {
        VARIANT keyValues[kKeyCount];
        for (int i = 0; i < kKeyCount; ++i)
            JetInitValue(&keyValues[i]);
        bool bKeys = true;
        for (int i = 0; i < nKeys && bKeys; ++i)
            bKeys = RecordToValue(pRecord, kKeyIds[i], &keyValues[i]);
        // An update must never run without its where clause: it would
        // change every row.
        if (bKeys)
            bKeys = PmDataAccessor::BuildWhere(kKeyNames, nKeys, keyValues, szWhere, sizeof(szWhere));
        for (VARIANT& value : keyValues)
            JetClearValue(&value);
        if (!bKeys || szWhere[0] == '\0')
            return false;
    }

    ValueArray values{PmDataAccessor::AllocValues(nCount), nCount};
    std::unique_ptr<const char*[]> ppszNames(new (std::nothrow) const char*[static_cast<size_t>(nCount)]);
    if (values.pValues == nullptr || ppszNames == nullptr)
        return false;
    for (int i = 0; i < nCount; ++i) {
        if (!IsColumnId(pIds[i]) || !RecordToValue(pRecord, pIds[i], &values.pValues[i]))
            return false;
        ppszNames[i] = ColumnName(pIds[i]);
    }
    const char* pszSql = m_pAccessor->BuildMainSql(bInsert ? nullptr : szWhere, bInsert ? kSqlInsert : kSqlUpdate,
                                                   ppszNames.get(), values.pValues, nCount);
    if (pszSql[0] == '\0')
        return false;
    return m_pAccessor->Execute(pszSql, false);
}
