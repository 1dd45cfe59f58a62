// CsvWriter: writes rows as RFC 4180 text: fields separated by commas,
// rows ended by CRLF, a field quoted (with doubled quotes inside) when it
// holds a comma, a quote, a line break or a blank at either end.
#pragma once

#include <string>
#include <string_view>
#include <vector>

class CsvWriter {
public:
    // bByteOrderMark: begin with the UTF-8 byte order mark, which some
    // spreadsheet and mail programs need to read the file as UTF-8.
    explicit CsvWriter(bool bByteOrderMark = false);

    void AddRow(const std::vector<std::string>& fields);

    const std::string& Text() const { return m_strText; }
    std::string TakeText() { return std::move(m_strText); }

    // The field as it stands in a row, quoted when it must be.
    static std::string QuoteField(std::string_view field);

private:
    std::string m_strText;
};
