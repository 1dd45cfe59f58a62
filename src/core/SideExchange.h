// SideExchange: one side's contacts out to a vCard or CSV file, and the
// contacts of such a file into one side.
//
// Export takes the side's records as its list shows them (all rows, or the
// ticked ones): the Palm contacts as the facade made them, the address-book
// entries as they convert to neutral records. Import reads the file, keeps
// out the contacts it cannot carry whole (characters the ANSI code page
// cannot hold), and hands the others to the side through the transfer
// engine, so that they are matched, added or merged exactly as a transfer's
// records are: a second import of the same file changes nothing.
#pragma once

#include <string>
#include <vector>

#include "common/exchange/ContactExchange.h"
#include "src/core/TransferEngine.h"

struct ExportResult {
    bool bSuccess = false;
    int nContacts = 0;       // contacts written
    std::string strText;     // the file's content (UTF-8); kept for stdout
    std::string strMessage;  // what the user is told (UTF-8)
};

struct ImportResult {
    bool bRan = false;      // the file was read and its contacts handed over
    bool bSuccess = false;  // every contact of the file is in the side
    ExchangeFormat eFormat = EXF_VCARD4;
    int nRead = 0;        // contacts read from the file (refused ones included)
    SideOutcome outcome;  // what the side did with those handed over
    std::vector<ExchangeIssue> refused;
    std::vector<ExchangeIssue> shortened;
    std::string strMessage;  // what the user is told (UTF-8)
};

// The neutral records of a list's rows, all of them or only the ticked ones,
// in list order.
std::vector<CommAddrRecord> SideRecords(const TransferEngine& engine, ListType eSide, bool bTickedOnly);

// Writes the records of the side's rows (all, or the ticked ones) in
// eFormat. With a path, the file is replaced as a whole (never half
// written); with a null or empty path only strText is filled.
ExportResult ExportSide(const TransferEngine& engine, ListType eSide, ExchangeFormat eFormat, bool bTickedOnly,
                        const char* pszPath);

// Reads the file at pszPath (peFormat null: the format is recognised from
// the content) and hands its contacts to the side eInto.
ImportResult ImportFile(TransferEngine& engine, const char* pszPath, ListType eInto, const ExchangeFormat* peFormat);

// The same with the file's content already read (pszName names it in the
// messages).
ImportResult ImportText(TransferEngine& engine, const std::string& text, const char* pszName, ListType eInto,
                        const ExchangeFormat* peFormat);

// "the Palm Desktop data" or "the Outlook Express address book".
const char* SideName(ListType eSide);
