#include "common/exchange/CsvReader.h"

bool CsvReader::Parse(std::string_view text, std::vector<Row>* pRows, std::string* pstrError)
{
    if (pRows == nullptr)
        return false;
    if (text.substr(0, 3) == "\xEF\xBB\xBF")
        text.remove_prefix(3);

    Row row;
    std::string field;
    bool bFieldStarted = false;  // the row has a field (even an empty one)
    size_t nLine = 1;
    size_t i = 0;
    auto endRow = [&]() {
        if (bFieldStarted || !field.empty()) {
            row.push_back(std::move(field));
            field.clear();
        }
        bool bEmpty = true;
        for (const std::string& value : row)
            bEmpty = bEmpty && value.empty();
        if (!bEmpty || row.size() > 1)
            pRows->push_back(std::move(row));
        row.clear();
        bFieldStarted = false;
    };

    while (i < text.size()) {
        const char c = text[i];
        if (c == '"' && field.empty()) {
            // A quoted field, up to the quote that is not doubled.
            const size_t nStartLine = nLine;
            ++i;
            bool bClosed = false;
            while (i < text.size()) {
                if (text[i] == '"') {
                    if (i + 1 < text.size() && text[i + 1] == '"') {
                        field.push_back('"');
                        i += 2;
                        continue;
                    }
                    ++i;
                    bClosed = true;
                    break;
                }
                if (text[i] == '\n')
                    ++nLine;
                field.push_back(text[i++]);
            }
            if (!bClosed) {
                if (pstrError != nullptr)
                    *pstrError = "line " + std::to_string(nStartLine) + ": a quoted field is never closed";
                return false;
            }
            bFieldStarted = true;
            // Text between the closing quote and the next separator is kept.
            continue;
        }
        if (c == ',') {
            row.push_back(std::move(field));
            field.clear();
            bFieldStarted = true;
            ++i;
            continue;
        }
        if (c == '\r' || c == '\n') {
            endRow();
            if (c == '\r' && i + 1 < text.size() && text[i + 1] == '\n')
                ++i;
            ++i;
            ++nLine;
            continue;
        }
        field.push_back(c);
        ++i;
    }
    endRow();
    return true;
}
