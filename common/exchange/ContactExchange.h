// ContactExchange: neutral contact records to and from the files other
// address books exchange: vCard 4.0 and 3.0, and CSV with the header row of
// Google Contacts or of Outlook.
//
// Writing takes neutral records (8-bit text in the ANSI code page) and
// gives UTF-8 text: every field that has a home in the format goes there
// (names, organisation, the three addresses, every phone kind, e-mails, web
// pages, dates, note, category, custom fields and the rest as X- properties
// or extra columns). The bookkeeping of a side (Source Type, Status, ID,
// creation and modification times) is not written.
//
// Reading takes vCard 2.1, 3.0 and 4.0, or CSV with either header, and
// gives zero-filled neutral records in the ANSI code page. A contact holding
// a character the code page cannot hold is not made into a record at all
// (it would reach the address book damaged): it is named in the refused
// list. A text longer than its field is cut to the field, and the contact
// is named in the shortened list.
#pragma once

#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "common/misc/CommAddrRecord.h"

enum ExchangeFormat : int {
    EXF_VCARD4 = 0,       // vCard 4.0, RFC 6350 (the default)
    EXF_VCARD3 = 1,       // vCard 3.0, RFC 2426
    EXF_CSV_GOOGLE = 2,   // CSV with the Google Contacts header
    EXF_CSV_OUTLOOK = 3,  // CSV with the Outlook header
};

// "vcard4", "vcard3", "csv-google", "csv-outlook".
const char* ExchangeFormatName(ExchangeFormat eFormat);
// The format of a name above. False for any other name.
bool ParseExchangeFormat(std::string_view name, ExchangeFormat* peFormat);
// True for the two CSV formats.
bool IsCsvFormat(ExchangeFormat eFormat);

// The format a file's text is in: a vCard (any version; reads as
// EXF_VCARD4) or a CSV whose header names Google's or Outlook's columns.
// False when it is neither.
bool DetectExchangeFormat(std::string_view text, ExchangeFormat* peFormat);

// The records as one file of the format, UTF-8.
std::string WriteContacts(const std::vector<const CommAddrRecord*>& records, ExchangeFormat eFormat);

// A contact named in a report, in UTF-8.
struct ExchangeIssue {
    std::string strName;
    std::string strReason;
};

struct ContactImport {
    // The records read, zero-filled and then filled, in file order, with
    // Source Type VCard or CSV.
    std::vector<std::unique_ptr<CommAddrRecord>> records;
    std::vector<ExchangeIssue> refused;    // not read: text the code page cannot hold
    std::vector<ExchangeIssue> shortened;  // read with a text cut to its field
    int nEmpty = 0;                        // cards or rows without a single field
    std::string strError;                  // why the text could not be read at all
};

// Reads the contacts of text, which is in eFormat (a vCard format reads
// every version). False, with pResult->strError set, when the text holds no
// card (vCard) or no header row with a known column (CSV), or a CSV quote is
// never closed.
bool ReadContacts(std::string_view text, ExchangeFormat eFormat, ContactImport* pResult);
