#include "common/palm/PmDataAccessor.h"

#include <algorithm>
#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <new>
#include <string>
#include <string_view>

#include "common/misc/CxDebugUtil.h"
#include "platform/codepage/CodePage.h"

namespace {

// The statement buffer shared by every accessor of the process.
char g_szSql[PmDataAccessor::kSqlBufferSize + 1];

// Columns named by an insert of more than 30 columns (a whole "Main" row)
// and by one of more than 4, each given the empty binary literal.
constexpr int kMediaColumnThreshold = 30;
constexpr int kBlobColumnThreshold = 4;
constexpr const char* kMediaColumns = ", [Photo], [VoiceTag], [Ringtone]";
constexpr const char* kMediaValues = ", 0x00000000, 0x00000000, 0x00000000";
constexpr const char* kBlobColumn = ", [Blob]";
constexpr const char* kBlobValue = ", 0x00000000";

std::u16string_view WideView(const char16_t* pszWide)
{
    return std::u16string_view(pszWide != nullptr ? pszWide : u"", JetTextLength(pszWide));
}

// Appends a text as a single-quoted SQL literal. Doubling the apostrophe is
// the only escape such a literal needs.
void AppendQuoted(std::string& sql, std::string_view text)
{
    sql += '\'';
    for (char c : text) {
        if (c == '\'')
            sql += '\'';
        sql += c;
    }
    sql += '\'';
}

// Appends one value as SQL text; a tag without an SQL form appends nothing.
void AppendValue(std::string& sql, const VARIANT& value)
{
    switch (value.vt) {
    case VT_BOOL:
        sql += value.boolVal != 0 ? "1" : "0";
        break;
    case VT_I4:
        sql += std::to_string(value.lVal);
        break;
    case VT_BSTR:
        AppendQuoted(sql, WideToAnsi(WideView(value.bstrVal)));
        break;
    default:
        break;
    }
}

void AppendColumn(std::string& sql, const char* pszName)
{
    sql += '[';
    sql += pszName != nullptr ? pszName : "";
    sql += ']';
}

// Copies the statement into the shared buffer; one that does not fit is
// never cut (a cut statement could run with a different meaning) but
// replaced by the empty statement, which nothing runs.
char* Publish(const std::string& sql)
{
    if (sql.size() > static_cast<size_t>(PmDataAccessor::kSqlBufferSize)) {
        g_DebugUtil.Log(0, __FILE__, __LINE__, "SQL statement too long (%zu bytes), not built", sql.size());
        g_szSql[0] = '\0';
        return g_szSql;
    }
    std::memcpy(g_szSql, sql.data(), sql.size());
    g_szSql[sql.size()] = '\0';
    return g_szSql;
}

bool CopyOut(const std::string& text, char* pszBuf, int nLength)
{
    if (text.size() >= static_cast<size_t>(nLength)) {
        pszBuf[0] = '\0';
        return false;
    }
    std::memcpy(pszBuf, text.data(), text.size());
    pszBuf[text.size()] = '\0';
    return true;
}

}  // namespace

PmDataAccessor::PmDataAccessor()
{
    m_szLastSql[0] = '\0';
}

PmDataAccessor::~PmDataAccessor()
{
    Close();
}

void PmDataAccessor::Close() { }

char* PmDataAccessor::BuildInformationSql(const char* pszWhere, int nOp, const char* const* ppszColumns,
                                          const VARIANT* pValues, int nCount)
{
    return BuildSql("Information", pszWhere, nOp, ppszColumns, pValues, nCount);
}

char* PmDataAccessor::BuildCategorySql(const char* pszWhere, int nOp, const char* const* ppszColumns,
                                       const VARIANT* pValues, int nCount)
{
    return BuildSql("Category", pszWhere, nOp, ppszColumns, pValues, nCount);
}

char* PmDataAccessor::BuildMainSql(const char* pszWhere, int nOp, const char* const* ppszColumns,
                                   const VARIANT* pValues, int nCount)
{
    return BuildSql("Main", pszWhere, nOp, ppszColumns, pValues, nCount);
}

bool PmDataAccessor::QueryFirst(const char*, const char* const*, VARIANT**, int*)
{
    return false;
}

bool PmDataAccessor::QueryNext(const char*, const char* const*, VARIANT**, int*)
{
    return false;
}

bool PmDataAccessor::OpenQuery(const char*, VARIANT**, int*)
{
    return false;
}

bool PmDataAccessor::NextRow(const char*, VARIANT**, int*)
{
    return false;
}

bool PmDataAccessor::Execute(const char*, bool)
{
    return false;
}

char* PmDataAccessor::BuildSql(const char* pszTable, const char* pszWhere, int nOp, const char* const* ppszColumns,
                               const VARIANT* pValues, int nCount)
{
    std::string sql;
    const char* pszTableName = pszTable != nullptr ? pszTable : "";
    if (ppszColumns == nullptr || nCount < 1)
        return Publish(sql);

    switch (nOp) {
    case kSqlSelect:
        sql = "SELECT ";
        for (int i = 0; i < nCount; ++i) {
            AppendColumn(sql, ppszColumns[i]);
            sql += i + 1 < nCount ? ", " : " ";
        }
        sql += "FROM ";
        sql += pszTableName;
        sql += ' ';
        if (pszWhere != nullptr)
            sql += pszWhere;
        break;
    case kSqlInsert:
        if (pValues == nullptr)
            break;
        sql = "INSERT INTO ";
        sql += pszTableName;
        sql += " (";
        for (int i = 0; i < nCount; ++i) {
            if (i > 0)
                sql += ", ";
            AppendColumn(sql, ppszColumns[i]);
        }
        if (nCount > kMediaColumnThreshold)
            sql += kMediaColumns;
        if (nCount > kBlobColumnThreshold)
            sql += kBlobColumn;
        sql += ") VALUES (";
        for (int i = 0; i < nCount; ++i) {
            if (i > 0)
                sql += ", ";
            AppendValue(sql, pValues[i]);
        }
        if (nCount > kMediaColumnThreshold)
            sql += kMediaValues;
        if (nCount > kBlobColumnThreshold)
            sql += kBlobValue;
        sql += ')';
        break;
    case kSqlDelete:
        sql = "DELETE FROM ";
        sql += pszTableName;
        sql += ' ';
        if (pszWhere != nullptr)
            sql += pszWhere;
        break;
    case kSqlUpdate:
        if (pValues == nullptr)
            break;
        sql = "UPDATE ";
        sql += pszTableName;
        sql += " SET ";
        for (int i = 0; i < nCount; ++i) {
            if (i > 0)
                sql += ", ";
            AppendColumn(sql, ppszColumns[i]);
            sql += '=';
            AppendValue(sql, pValues[i]);
        }
        sql += ' ';
        if (pszWhere != nullptr)
            sql += pszWhere;
        break;
    default:
        break;
    }
    return Publish(sql);
}

bool PmDataAccessor::BuildWhere(const char* const* ppszColumns, int nCount, const VARIANT* pValues, char* pszOut,
                                int nOutLength)
{
    if (pszOut == nullptr || nOutLength < 1)
        return false;
    pszOut[0] = '\0';
    if (ppszColumns == nullptr || pValues == nullptr || nCount < 1)
        return true;
    std::string clause = "WHERE ";
    for (int i = 0; i < nCount; ++i) {
        if (i > 0)
            clause += " AND ";
        AppendColumn(clause, ppszColumns[i]);
        clause += " = ";
        AppendValue(clause, pValues[i]);
    }
    // A cut clause would select other rows than the caller meant.
    return CopyOut(clause, pszOut, nOutLength);
}

char* PmDataAccessor::BuildMaxSql(const char* pszTable, const char* pszColumn)
{
    std::string sql = "SELECT MAX(";
    AppendColumn(sql, pszColumn);
    sql += ") FROM ";
    sql += pszTable != nullptr ? pszTable : "";
    return Publish(sql);
}

bool PmDataAccessor::FormatSqlValue(const VARIANT* pValue, char* pszBuf, int nLength)
{
    if (pszBuf == nullptr || nLength < 1)
        return false;
    pszBuf[0] = '\0';
    if (pValue == nullptr)
        return false;
    std::string text;
    AppendValue(text, *pValue);
    return CopyOut(text, pszBuf, nLength);
}

bool PmDataAccessor::ReplaceQuotes(char* pszText, int nSize)
{
    if (pszText == nullptr || nSize < 1)
        return false;
    const size_t nLength = strnlen(pszText, static_cast<size_t>(nSize));
    if (nLength == static_cast<size_t>(nSize))
        return false;  // not terminated within its buffer
    std::string doubled;
    doubled.reserve(nLength + 8);
    for (size_t i = 0; i < nLength; ++i) {
        if (pszText[i] == '\'')
            doubled += '\'';
        doubled += pszText[i];
    }
    if (doubled.size() >= static_cast<size_t>(nSize))
        return false;
    std::memcpy(pszText, doubled.data(), doubled.size());
    pszText[doubled.size()] = '\0';
    return true;
}

bool PmDataAccessor::IntValue(int32_t nValue, VARIANT* pValue)
{
    if (pValue == nullptr)
        return false;
    JetInitValue(pValue);
    pValue->vt = VT_I4;
    pValue->lVal = nValue;
    return true;
}

bool PmDataAccessor::BoolValue(uint8_t bValue, VARIANT* pValue)
{
    if (pValue == nullptr)
        return false;
    JetInitValue(pValue);
    pValue->vt = VT_BOOL;
    pValue->boolVal = bValue;
    return true;
}

bool PmDataAccessor::TextValue(const char* pszText, VARIANT* pValue)
{
    if (pValue == nullptr)
        return false;
    JetInitValue(pValue);
    BSTR pText = nullptr;
    if (pszText != nullptr && pszText[0] != '\0') {
        const std::u16string wide = AnsiToWide(pszText);
        pText = JetAllocText(wide.data(), wide.size());
        if (pText == nullptr)
            return false;
    }
    pValue->vt = VT_BSTR;
    pValue->bstrVal = pText;
    return true;
}

bool PmDataAccessor::IntTextValue(int32_t nValue, VARIANT* pValue)
{
    return TextValue(std::to_string(nValue).c_str(), pValue);
}

bool PmDataAccessor::ValueToInt(const VARIANT* pValue, int32_t* pnValue)
{
    if (pValue == nullptr || pnValue == nullptr)
        return false;
    switch (pValue->vt) {
    case VT_I4:
        *pnValue = pValue->lVal;
        return true;
    case VT_I1:
        *pnValue = pValue->cVal;
        return true;
    case VT_I2:
        *pnValue = pValue->iVal;
        return true;
    case VT_BSTR: {
        if (pValue->bstrVal == nullptr)
            return false;
        const std::string text = WideToAnsi(WideView(pValue->bstrVal));
        char* pszEnd = nullptr;
        errno = 0;
        const long nNumber = std::strtol(text.c_str(), &pszEnd, 10);
        if (pszEnd == text.c_str() || errno == ERANGE || nNumber < INT32_MIN || nNumber > INT32_MAX)
            return false;
        *pnValue = static_cast<int32_t>(nNumber);
        return true;
    }
    default:
        return false;
    }
}

bool PmDataAccessor::ValueToBool(const VARIANT* pValue, uint8_t* pbValue)
{
    if (pValue == nullptr || pbValue == nullptr || pValue->vt != VT_BOOL)
        return false;
    *pbValue = pValue->boolVal != 0 ? 1 : 0;
    return true;
}

bool PmDataAccessor::ValueToText(const VARIANT* pValue, char* pszBuf, int nSize)
{
    if (pValue == nullptr || pszBuf == nullptr || nSize < 1 || pValue->vt != VT_BSTR)
        return false;
    if (pValue->bstrVal == nullptr) {
        pszBuf[0] = '\0';
        return true;
    }
    return ToNarrow(pValue->bstrVal, pszBuf, nSize);
}

bool PmDataAccessor::ToNarrow(const char16_t* pszWide, char* pszBuf, int nSize)
{
    if (pszBuf == nullptr || nSize < 1)
        return false;
    const std::string text = WideToAnsi(WideView(pszWide));
    const size_t nCopy = std::min(text.size(), static_cast<size_t>(nSize - 1));
    std::memcpy(pszBuf, text.data(), nCopy);
    pszBuf[nCopy] = '\0';
    pszBuf[nSize - 1] = '\0';
    return true;
}

bool PmDataAccessor::ToWide(const char* pszText, char16_t* pszBuf, int nSize)
{
    if (pszBuf == nullptr || nSize < 1)
        return false;
    const std::u16string wide = AnsiToWide(pszText != nullptr ? pszText : "");
    const size_t nCopy = std::min(wide.size(), static_cast<size_t>(nSize - 1));
    std::memcpy(pszBuf, wide.data(), nCopy * sizeof(char16_t));
    pszBuf[nCopy] = u'\0';
    pszBuf[nSize - 1] = u'\0';
    return true;
}

VARIANT* PmDataAccessor::AllocValues(int nCount)
{
    if (nCount < 1)
        return nullptr;
    VARIANT* pValues = new (std::nothrow) VARIANT[static_cast<size_t>(nCount)];
    if (pValues == nullptr)
        return nullptr;
    for (int i = 0; i < nCount; ++i)
        JetInitValue(&pValues[i]);
    return pValues;
}

void PmDataAccessor::FreeValues(VARIANT* pValues, int nCount)
{
    if (pValues == nullptr)
        return;
    for (int i = 0; i < nCount; ++i)
        JetClearValue(&pValues[i]);
    delete[] pValues;
}
