// Fuzzes the vCard and CSV readers over arbitrary bytes, and the writers
// through them: whatever the readers make of the input, the records read
// must write as a file of every format that reads back as the same number
// of contacts with the same key fields.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <string>
#include <string_view>
#include <vector>

#include "common/exchange/ContactExchange.h"
#include "common/exchange/CsvReader.h"
#include "common/exchange/VCardReader.h"

namespace {

void Check(bool bCondition)
{
    if (!bCondition)
        std::abort();
}

void RoundTrip(const ContactImport& first)
{
    std::vector<const CommAddrRecord*> records;
    for (const auto& pRecord : first.records) {
        // Every text field stays inside its width, terminated.
        for (const CommField& field : g_CommFieldCatalog) {
            if (field.type == CFT_TEXT)
                Check(std::memchr(GetTextField(pRecord.get(), field.id), '\0', static_cast<size_t>(field.size)) !=
                      nullptr);
        }
        records.push_back(pRecord.get());
    }
    if (records.empty())
        return;  // a vCard file of no card is no contact file
    for (ExchangeFormat eFormat : {EXF_VCARD4, EXF_VCARD3, EXF_CSV_GOOGLE, EXF_CSV_OUTLOOK}) {
        const std::string text = WriteContacts(records, eFormat);
        ContactImport again;
        Check(ReadContacts(text, eFormat, &again));
        Check(again.records.size() + static_cast<size_t>(again.nEmpty) == records.size());
        if (again.records.size() != records.size())
            continue;  // a record whose only values the format has no home for
        for (size_t i = 0; i < records.size(); ++i) {
            Check(std::strcmp(again.records[i]->szLastName, records[i]->szLastName) == 0);
            Check(std::strcmp(again.records[i]->szEmail, records[i]->szEmail) == 0);
        }
    }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    const std::string_view text(reinterpret_cast<const char*>(data), size);

    std::vector<VCard> cards;
    VCardReader::Parse(text, &cards);
    for (const VCard& card : cards) {
        for (const VCardProperty& property : card.properties) {
            VCardReader::SplitValue(property.strValue, ';');
            VCardReader::UnescapeValue(property.strValue);
        }
    }
    std::vector<CsvReader::Row> rows;
    std::string strError;
    CsvReader::Parse(text, &rows, &strError);

    for (ExchangeFormat eFormat : {EXF_VCARD4, EXF_CSV_GOOGLE, EXF_CSV_OUTLOOK}) {
        ContactImport contacts;
        if (ReadContacts(text, eFormat, &contacts))
            RoundTrip(contacts);
    }
    return 0;
}
