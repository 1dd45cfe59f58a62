#include "cli/RecordFormat.h"

#include <cstdio>
#include <cstring>
#include <string>

#include "common/misc/CommAddrRecord.h"
#include "platform/codepage/CodePage.h"
#include "platform/oletime/OleTime.h"

namespace {

// Calls visit(id, name, value, bNumber) for every field of the record that
// has a value, in catalog order: its id and catalog name, its value as UTF-8
// text, and whether JSON takes it as a number rather than a string. The
// value is valid during the call only.
template <typename Visit>
void ForEachFieldWithValue(const CommAddrRecord& record, Visit&& visit)
{
    std::string strValue;
    for (const CommField& field : g_CommFieldCatalog) {
        const void* pAddress = GetFieldAddress(&record, field.id);
        if (pAddress == nullptr || field.id == CF_STATUS)
            continue;
        switch (field.type) {
        case CFT_TEXT: {
            const char* pszText = static_cast<const char*>(pAddress);
            // Most fields of a contact are empty.
            const size_t nLength = pszText[0] == '\0' ? 0 : strnlen(pszText, static_cast<size_t>(field.size));
            if (nLength > 0) {
                strValue = AnsiToUtf8(std::string_view(pszText, nLength));
                visit(field.id, field.name, std::string_view(strValue), false);
            }
            break;
        }
        case CFT_DATETIME: {
            double dtValue;
            std::memcpy(&dtValue, pAddress, sizeof dtValue);
            if (dtValue != 0.0) {
                strValue = IsoDate(dtValue);
                if (!strValue.empty())
                    visit(field.id, field.name, std::string_view(strValue), false);
            }
            break;
        }
        default: {
            int32_t nValue;
            std::memcpy(&nValue, pAddress, sizeof nValue);
            if (field.id == CF_SOURCE_TYPE) {
                if (const char* pszLabel = SourceTypeLabel(nValue))
                    visit(field.id, field.name, std::string_view(pszLabel), false);
            } else if (nValue != 0) {
                strValue = std::to_string(nValue);
                visit(field.id, field.name, std::string_view(strValue), true);
            }
            break;
        }
        }
    }
}

}  // namespace

std::string JsonString(std::string_view s)
{
    std::string out;
    out.reserve(s.size() + 2);
    AppendJsonString(out, s);
    return out;
}

std::string IsoDate(double dtValue)
{
    SYSTEMTIME time = {};
    if (!VariantTimeToSystemTime(dtValue, &time))
        return std::string();
    char szDate[48];
    std::snprintf(szDate, sizeof szDate, "%04u-%02u-%02uT%02u:%02u:%02u", time.wYear, time.wMonth, time.wDay,
                  time.wHour, time.wMinute, time.wSecond);
    return szDate;
}

void WriteRecordJson(JsonWriter& json, const CommAddrRecord& record)
{
    json.BeginObject();
    ForEachFieldWithValue(record, [&json](int, const char* pszName, std::string_view value, bool bNumber) {
        json.Key(pszName);
        if (bNumber)
            json.Raw(value);
        else
            json.String(value);
    });
    json.EndObject();
}

void WriteRecordText(OutputBuffer& out, const CommAddrRecord& record, const char* pszIndent)
{
    ForEachFieldWithValue(record, [&out, pszIndent](int nId, const char* pszName, std::string_view value, bool) {
        out.Append(pszIndent);
        out.Append(pszName);
        out.Append(": ");
        if (nId != CF_NOTE) {
            out.Append(OneLine(value));
            out.Append('\n');
            return;
        }
        // A multi-line note keeps its lines under the indent.
        for (const char c : value) {
            if (c == '\r')
                continue;
            out.Append(c);
            if (c == '\n') {
                out.Append(pszIndent);
                out.Append("  ");
            }
        }
        out.Append('\n');
    });
}

std::string RecordToJson(const CommAddrRecord& record)
{
    std::string text;
    {
        OutputBuffer out(&text);
        JsonWriter json(out);
        WriteRecordJson(json, record);
    }
    return text;
}

std::string OneLine(std::string_view s)
{
    std::string out;
    out.reserve(s.size());
    for (const char c : s) {
        switch (c) {
        case '\\':
            out += "\\\\";
            break;
        case '\n':
            out += "\\n";
            break;
        case '\r':
            out += "\\r";
            break;
        case '\t':
            out += "\\t";
            break;
        default:
            out += c;
        }
    }
    return out;
}

std::string RecordToText(const CommAddrRecord& record, const char* pszIndent)
{
    std::string text;
    {
        OutputBuffer out(&text);
        WriteRecordText(out, record, pszIndent);
    }
    return text;
}
