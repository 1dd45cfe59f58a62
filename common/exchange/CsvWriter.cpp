#include "common/exchange/CsvWriter.h"

CsvWriter::CsvWriter(bool bByteOrderMark)
{
    if (bByteOrderMark)
        m_strText = "\xEF\xBB\xBF";
}

void CsvWriter::AddRow(const std::vector<std::string>& fields)
{
    for (size_t i = 0; i < fields.size(); ++i) {
        if (i > 0)
            m_strText += ',';
        m_strText += QuoteField(fields[i]);
    }
    m_strText += "\r\n";
}

std::string CsvWriter::QuoteField(std::string_view field)
{
    const bool bQuote = field.find_first_of(",\"\r\n") != std::string_view::npos ||
                        (!field.empty() && (field.front() == ' ' || field.back() == ' '));
    if (!bQuote)
        return std::string(field);
    std::string out = "\"";
    for (const char c : field) {
        if (c == '"')
            out += '"';
        out += c;
    }
    out += '"';
    return out;
}
