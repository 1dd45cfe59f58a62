#include "common/palm/PmMDBAccessor.h"

#include <cstring>
#include <string>
#include <string_view>

#include "common/misc/CxDebugUtil.h"
#include "common/palm/TdmMain.h"
#include "platform/fsutil/FailReason.h"
#include "platform/jetdb/JetConnection.h"
#include "platform/jetdb/JetQuery.h"

namespace {

constexpr const char* kConnectionPrefix = "Provider=Microsoft.Jet.OLEDB.4.0;Data Source=";

}  // namespace

PmMDBAccessor::PmMDBAccessor(int nKind, const char* pszPath)
    : m_pDataModule(TdmMain::Instance()), m_nKind(0), m_bLastFailed(false)
{
    m_szPath[0] = '\0';
    Connect(nKind, pszPath);
}

PmMDBAccessor::~PmMDBAccessor() = default;

bool PmMDBAccessor::Connect(int nKind, const char* pszPath)
{
    m_nKind = nKind;
    m_szPath[0] = '\0';
    m_LastFailure.Clear();
    JetConnection* pConnection = GetConnection();
    const char* pszGiven = pszPath != nullptr ? pszPath : "";
    if (std::strlen(pszGiven) >= sizeof(m_szPath)) {
        // A cut path could name another file.
        m_LastFailure = CheckInputPath(pszGiven, sizeof(m_szPath));
        g_DebugUtil.Log(0, __FILE__, __LINE__, "Database path too long: %.200s (%s)", pszGiven,
                        FailReasonText(m_LastFailure).c_str());
        if (pConnection != nullptr)
            pConnection->Close();
        return false;
    }
    std::strcpy(m_szPath, pszGiven);
    if (pConnection == nullptr)
        return false;
    // Whatever was open before is closed: queries must not reach the file of
    // an earlier Connect when this one names none.
    pConnection->Close();
    m_LastFailure = CheckInputPath(m_szPath);
    if (m_LastFailure.IsSet())
        return false;

    // The connection string is kept for whoever shows it; the file itself is
    // named byte for byte, so no quote or ';' in the path can name another.
    std::string connectionString = kConnectionPrefix;
    connectionString += '"';
    connectionString += m_szPath;
    connectionString += '"';
    pConnection->SetConnectionString(connectionString.c_str());
    pConnection->SetDataSource(m_szPath);
    if (!pConnection->Open()) {
        m_LastFailure = pConnection->GetLastFailure();
        if (m_LastFailure.eKind == FailKind::WrongKind) {
            if (IsJetDatabase(m_szPath))
                m_LastFailure.strDetail =
                    "a Palm Desktop 6 database made on Windows (Jet); Varnwick cannot read it yet";
            else if (m_LastFailure.strDetail.empty() || m_LastFailure.strDetail == "unknown data")
                m_LastFailure.strDetail = "not a Palm Desktop 6 database";
            else
                m_LastFailure.strDetail += ", not a Palm Desktop 6 database";
        }
        g_DebugUtil.Log(0, __FILE__, __LINE__, "Open database failed: %s (%s; %s)", m_szPath,
                        pConnection->GetLastError().c_str(), FailReasonText(m_LastFailure).c_str());
        return false;
    }
    return true;
}

bool PmMDBAccessor::IsConnected()
{
    JetConnection* pConnection = GetConnection();
    return pConnection != nullptr && pConnection->IsOpen();
}

bool PmMDBAccessor::QueryFirst(const char* pszTable, const char* const* ppszColumns, VARIANT** ppValues, int* pnCount)
{
    if (GetQuery() == nullptr || pnCount == nullptr)
        return false;
    const char* pszSql = BuildSql(pszTable, nullptr, kSqlSelect, ppszColumns, nullptr, *pnCount);
    const size_t nLength = std::strlen(pszSql);
    if (nLength >= sizeof(m_szLastSql))
        return false;
    std::memcpy(m_szLastSql, pszSql, nLength + 1);
    return OpenQuery(m_szLastSql, ppValues, pnCount);
}

bool PmMDBAccessor::QueryNext(const char*, const char* const*, VARIANT** ppValues, int* pnCount)
{
    return NextRow(m_szLastSql, ppValues, pnCount);
}

bool PmMDBAccessor::OpenQuery(const char* pszSql, VARIANT** ppValues, int* pnCount)
{
    JetQuery* pQuery = GetQuery();
    if (pszSql == nullptr || pszSql[0] == '\0' || pQuery == nullptr)
        return false;
    if (!Execute(pszSql, true) || pQuery->Eof())
        return false;
    return RowToValues(pQuery, ppValues, pnCount);
}

bool PmMDBAccessor::NextRow(const char* pszSql, VARIANT** ppValues, int* pnCount)
{
    JetQuery* pQuery = GetQuery();
    if (pszSql == nullptr || pszSql[0] == '\0' || pQuery == nullptr)
        return false;
    if (std::strcmp(pszSql, m_szLastSql) != 0 || pQuery->GetSql() != m_szLastSql || !pQuery->IsActive())
        return false;
    if (!pQuery->Next()) {
        if (pQuery->Failed())
            g_DebugUtil.Log(0, __FILE__, __LINE__, "Reading rows failed: %s", pQuery->GetLastError().c_str());
        return false;
    }
    return RowToValues(pQuery, ppValues, pnCount);
}

bool PmMDBAccessor::Execute(const char* pszSql, bool bReturnsRows)
{
    m_bLastFailed = true;
    JetQuery* pQuery = GetQuery();
    if (pQuery == nullptr || pszSql == nullptr || pszSql[0] == '\0')
        return false;
    pQuery->Close();
    pQuery->SetSql(pszSql);
    JetConnection* pConnection = pQuery->GetConnection();
    if (pConnection == nullptr || !pConnection->IsOpen()) {
        // The failed connect was logged; a select then simply finds nothing,
        // but a lost write is worth a line of its own.
        if (!bReturnsRows)
            g_DebugUtil.Log(0, __FILE__, __LINE__, "SQL not run, no database open: %.200s", pszSql);
        return false;
    }
    const bool bOk = bReturnsRows ? pQuery->Open() : pQuery->ExecSql();
    if (!bOk) {
        if (pConnection->GetLastFailure().IsSet())
            m_LastFailure = pConnection->GetLastFailure();
        g_DebugUtil.Log(0, __FILE__, __LINE__, "SQL failed: %s: %.200s", pQuery->GetLastError().c_str(), pszSql);
        return false;
    }
    m_bLastFailed = false;
    return true;
}

JetQuery* PmMDBAccessor::GetAddrQuery()
{
    return m_pDataModule != nullptr ? &m_pDataModule->qryAddr : nullptr;
}

JetQuery* PmMDBAccessor::GetDateQuery()
{
    return m_pDataModule != nullptr ? &m_pDataModule->qryDate : nullptr;
}

JetQuery* PmMDBAccessor::GetTodoQuery()
{
    return m_pDataModule != nullptr ? &m_pDataModule->qryTodo : nullptr;
}

JetQuery* PmMDBAccessor::GetMemoQuery()
{
    return m_pDataModule != nullptr ? &m_pDataModule->qryMemo : nullptr;
}

JetQuery* PmMDBAccessor::GetQuery()
{
    switch (m_nKind) {
    case kAccessorAddress:
        return GetAddrQuery();
    case kAccessorDate:
        return GetDateQuery();
    case kAccessorTodo:
        return GetTodoQuery();
    case kAccessorMemo:
        return GetMemoQuery();
    default:
        return nullptr;
    }
}

JetConnection* PmMDBAccessor::GetAddrConnection()
{
    return m_pDataModule != nullptr ? &m_pDataModule->connAddr : nullptr;
}

JetConnection* PmMDBAccessor::GetDateConnection()
{
    return m_pDataModule != nullptr ? &m_pDataModule->connDate : nullptr;
}

JetConnection* PmMDBAccessor::GetTodoConnection()
{
    return m_pDataModule != nullptr ? &m_pDataModule->connTodo : nullptr;
}

JetConnection* PmMDBAccessor::GetMemoConnection()
{
    return m_pDataModule != nullptr ? &m_pDataModule->connMemo : nullptr;
}

JetConnection* PmMDBAccessor::GetConnection()
{
    switch (m_nKind) {
    case kAccessorAddress:
        return GetAddrConnection();
    case kAccessorDate:
        return GetDateConnection();
    case kAccessorTodo:
        return GetTodoConnection();
    case kAccessorMemo:
        return GetMemoConnection();
    default:
        return nullptr;
    }
}

bool PmMDBAccessor::RowToValues(JetQuery* pQuery, VARIANT** ppValues, int* pnCount)
{
    if (pQuery == nullptr || ppValues == nullptr || pnCount == nullptr || pQuery->Eof())
        return false;
    const int nCount = pQuery->FieldCount();
    VARIANT* pValues = nullptr;
    if (nCount > 0) {
        pValues = AllocValues(nCount);
        if (pValues == nullptr)
            return false;
    }
    for (int i = 0; i < nCount; ++i) {
        VARIANT& value = pValues[i];
        switch (pQuery->FieldType(i)) {
        case JetFieldType::Integer:
            IntValue(pQuery->FieldAsInteger(i), &value);
            break;
        case JetFieldType::Boolean:
            value.vt = VT_BOOL;
            value.boolVal = pQuery->FieldAsInteger(i) != 0 ? 1 : 0;
            break;
        case JetFieldType::WideText: {
            const std::u16string_view text = pQuery->FieldAsWideText(i);
            BSTR pText = nullptr;
            if (!text.empty()) {
                pText = JetAllocText(text.data(), text.size());
                if (pText == nullptr) {
                    FreeValues(pValues, nCount);
                    return false;
                }
            }
            value.vt = VT_BSTR;
            value.bstrVal = pText;
            break;
        }
        default:
            break;  // null, floating point, binary: left empty
        }
    }
    *ppValues = pValues;
    *pnCount = nCount;
    return true;
}
