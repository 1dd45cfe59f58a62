// CsvReader: reads comma-separated text as RFC 4180 describes it, and as
// the programs that write it actually do: a UTF-8 byte order mark at the
// start is skipped, rows end in CRLF or LF, a quoted field may hold commas,
// doubled quotes and line breaks, and the last row may lack its line end.
// Rows that are entirely empty are left out.
#pragma once

#include <string>
#include <string_view>
#include <vector>

class CsvReader {
public:
    using Row = std::vector<std::string>;

    // Fills *pRows with the rows of text. False, with *pstrError saying
    // where, when a quoted field is never closed; the rows before it are
    // kept.
    static bool Parse(std::string_view text, std::vector<Row>* pRows, std::string* pstrError);
};
