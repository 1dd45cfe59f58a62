#include "cli/RecordFormat.h"

#include <cstdio>
#include <cstring>
#include <utility>
#include <vector>

#include "common/misc/CommAddrRecord.h"
#include "platform/codepage/CodePage.h"
#include "platform/oletime/OleTime.h"

namespace {

// One printed field: its catalog name, its value as UTF-8 text, and whether
// JSON takes it as a number rather than a string.
struct PrintedField {
    int nId;
    const char* pszName;
    std::string strValue;
    bool bNumber;
};

// Every field of the record that has a value, in catalog order.
std::vector<PrintedField> FieldsWithValue(const CommAddrRecord& record)
{
    std::vector<PrintedField> fields;
    for (const CommField& field : g_CommFieldCatalog) {
        const void* pAddress = GetFieldAddress(&record, field.id);
        if (pAddress == nullptr || field.id == CF_STATUS)
            continue;
        switch (field.type) {
        case CFT_TEXT: {
            const char* pszText = static_cast<const char*>(pAddress);
            const size_t nLength = strnlen(pszText, static_cast<size_t>(field.size));
            if (nLength > 0)
                fields.push_back({field.id, field.name, AnsiToUtf8(std::string_view(pszText, nLength)), false});
            break;
        }
        case CFT_DATETIME: {
            double dtValue;
            std::memcpy(&dtValue, pAddress, sizeof dtValue);
            if (dtValue != 0.0) {
                std::string strDate = IsoDate(dtValue);
                if (!strDate.empty())
                    fields.push_back({field.id, field.name, std::move(strDate), false});
            }
            break;
        }
        default: {
            int32_t nValue;
            std::memcpy(&nValue, pAddress, sizeof nValue);
            if (field.id == CF_SOURCE_TYPE) {
                if (const char* pszLabel = SourceTypeLabel(nValue))
                    fields.push_back({field.id, field.name, pszLabel, false});
            } else if (nValue != 0) {
                fields.push_back({field.id, field.name, std::to_string(nValue), true});
            }
            break;
        }
        }
    }
    return fields;
}

} // namespace

std::string JsonString(std::string_view s)
{
    std::string out;
    out.reserve(s.size() + 2);
    out += '"';
    for (const char c : s) {
        const auto byte = static_cast<unsigned char>(c);
        switch (c) {
        case '"':
            out += "\\\"";
            break;
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
            if (byte < 0x20) {
                char szEscape[8];
                std::snprintf(szEscape, sizeof szEscape, "\\u%04x", byte);
                out += szEscape;
            } else {
                out += c;
            }
        }
    }
    out += '"';
    return out;
}

std::string IsoDate(double dtValue)
{
    SYSTEMTIME time = {};
    if (!VariantTimeToSystemTime(dtValue, &time))
        return std::string();
    char szDate[48];
    std::snprintf(szDate, sizeof szDate, "%04u-%02u-%02uT%02u:%02u:%02u", time.wYear, time.wMonth,
                  time.wDay, time.wHour, time.wMinute, time.wSecond);
    return szDate;
}

std::string RecordToJson(const CommAddrRecord& record)
{
    std::string out = "{";
    bool bFirst = true;
    for (const PrintedField& field : FieldsWithValue(record)) {
        if (!bFirst)
            out += ", ";
        bFirst = false;
        out += JsonString(field.pszName);
        out += ": ";
        out += field.bNumber ? field.strValue : JsonString(field.strValue);
    }
    out += "}";
    return out;
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
    std::string out;
    for (const PrintedField& field : FieldsWithValue(record)) {
        out += pszIndent;
        out += field.pszName;
        out += ": ";
        if (field.nId != CF_NOTE) {
            out += OneLine(field.strValue);
            out += '\n';
            continue;
        }
        // A multi-line note keeps its lines under the indent.
        for (const char c : field.strValue) {
            if (c == '\r')
                continue;
            out += c;
            if (c == '\n') {
                out += pszIndent;
                out += "  ";
            }
        }
        out += '\n';
    }
    return out;
}
