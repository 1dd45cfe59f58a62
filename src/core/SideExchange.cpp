#include "src/core/SideExchange.h"

#include <filesystem>
#include <fstream>
#include <iterator>
#include <sstream>
#include <system_error>

#include "common/misc/CommAddrRecord.h"
#include "common/oe/CxWab.h"
#include "common/oe/WabRecord.h"
#include "platform/fsutil/FsUtil.h"

namespace {

// A contact file larger than this is not a contact file: 10 000 contacts
// with every field set take about 30 MiB as vCard.
constexpr std::uintmax_t kMaxImportBytes = 512ull * 1024 * 1024;

// How many names a message lists before it says "and N more".
constexpr size_t kNamesShown = 10;

std::string NameList(const std::vector<ExchangeIssue>& issues)
{
    std::string out;
    for (size_t i = 0; i < issues.size() && i < kNamesShown; ++i) {
        out += i ? ", " : "";
        out += issues[i].strName.empty() ? "(no name)" : issues[i].strName;
    }
    if (issues.size() > kNamesShown)
        out += " and " + std::to_string(issues.size() - kNamesShown) + " more";
    return out;
}

std::string Plural(int n, const char* pszOne, const char* pszMany)
{
    return std::to_string(n) + " " + (n == 1 ? pszOne : pszMany);
}

}  // namespace

const char* SideName(ListType eSide)
{
    return eSide == LIST_PALM ? "the Palm Desktop data" : "the Outlook Express address book";
}

std::vector<CommAddrRecord> SideRecords(const TransferEngine& engine, ListType eSide, bool bTickedOnly)
{
    std::vector<CommAddrRecord> records;
    const int nRows = engine.GetRowCount(eSide);
    records.reserve(static_cast<size_t>(nRows));
    for (int nRow = 0; nRow < nRows; ++nRow) {
        const ContactRow* pRow = engine.GetRow(eSide, nRow);
        if (pRow->pData == nullptr || (bTickedOnly && !pRow->bChecked))
            continue;
        CommAddrRecord& record = records.emplace_back();
        ZeroCommRecord(&record);
        if (eSide == LIST_PALM) {
            record = *static_cast<const CommAddrRecord*>(pRow->pData);
            record.pAttached = nullptr;  // the copy does not own the Palm entry
            record.nAttachedLen = 0;
        } else {
            CxWab::ConvertToComm(static_cast<const WabRecord*>(pRow->pData), &record);
        }
    }
    return records;
}

ExportResult ExportSide(const TransferEngine& engine, ListType eSide, ExchangeFormat eFormat, bool bTickedOnly,
                        const char* pszPath)
{
    ExportResult result;
    const std::vector<CommAddrRecord> records = SideRecords(engine, eSide, bTickedOnly);
    std::vector<const CommAddrRecord*> pointers;
    pointers.reserve(records.size());
    for (const CommAddrRecord& record : records)
        pointers.push_back(&record);
    result.strText = WriteContacts(pointers, eFormat);
    result.nContacts = static_cast<int>(records.size());
    if (pszPath == nullptr || pszPath[0] == '\0') {
        result.bSuccess = true;
        result.strMessage = Plural(result.nContacts, "contact", "contacts") + " of " + SideName(eSide) +
                            " written as " + ExchangeFormatName(eFormat) + ".";
        return result;
    }
    if (!AtomicWriteFile(pszPath, result.strText.data(), result.strText.size())) {
        std::error_code error;
        const bool bFolder = std::filesystem::is_directory(std::filesystem::path(pszPath).parent_path(), error) ||
                             std::filesystem::path(pszPath).parent_path().empty();
        result.strMessage = std::string("Export failed: ") + pszPath + " could not be written (" +
                            (bFolder ? "no permission, or the disk is full" : "its folder does not exist") +
                            "); no file was changed.";
        return result;
    }
    result.bSuccess = true;
    result.strMessage = "Exported " + Plural(result.nContacts, "contact", "contacts") + " of " + SideName(eSide) +
                        " to " + pszPath + " (" + ExchangeFormatName(eFormat) + ").";
    return result;
}

ImportResult ImportFile(TransferEngine& engine, const char* pszPath, ListType eInto, const ExchangeFormat* peFormat)
{
    ImportResult result;
    const std::string path = pszPath != nullptr ? pszPath : "";
    std::error_code error;
    const std::filesystem::file_status status = std::filesystem::status(path, error);
    if (path.empty() || !std::filesystem::exists(status)) {
        result.strMessage = "Import failed: the file " + path + " does not exist.";
        return result;
    }
    if (!std::filesystem::is_regular_file(status)) {
        result.strMessage = "Import failed: " + path + " is not a regular file.";
        return result;
    }
    if (std::filesystem::file_size(path, error) > kMaxImportBytes) {
        result.strMessage = "Import failed: " + path + " is too large to be a contact file.";
        return result;
    }
    std::ifstream in(path, std::ios::binary);
    std::ostringstream content;
    content << in.rdbuf();
    if (!in.good() && !in.eof()) {
        result.strMessage = "Import failed: " + path + " could not be read.";
        return result;
    }
    return ImportText(engine, content.str(), path.c_str(), eInto, peFormat);
}

ImportResult ImportText(TransferEngine& engine, const std::string& text, const char* pszName, ListType eInto,
                        const ExchangeFormat* peFormat)
{
    ImportResult result;
    const std::string name = pszName != nullptr ? pszName : "";
    if (peFormat != nullptr) {
        result.eFormat = *peFormat;
    } else if (!DetectExchangeFormat(text, &result.eFormat)) {
        result.strMessage = "Import failed: " + name +
                            " is neither a vCard file nor a CSV file with the header row of Google or Outlook.";
        return result;
    }

    ContactImport contacts;
    if (!ReadContacts(text, result.eFormat, &contacts)) {
        result.strMessage = "Import failed: " + name + ": " + contacts.strError + ".";
        return result;
    }
    std::vector<const CommAddrRecord*> records;
    records.reserve(contacts.records.size());
    for (const auto& pRecord : contacts.records)
        records.push_back(pRecord.get());
    result.nRead = static_cast<int>(records.size() + contacts.refused.size());
    result.refused = std::move(contacts.refused);
    result.shortened = std::move(contacts.shortened);
    result.bRan = true;
    result.outcome = engine.ReceiveRecords(eInto, records);

    const SideOutcome& o = result.outcome;
    result.bSuccess = o.bWritten && o.nFailed == 0 && result.refused.empty();
    std::string message = std::string(result.bSuccess ? "Imported " : "Import incomplete: ") + name + " into " +
                          SideName(eInto) + ": " + Plural(result.nRead, "contact", "contacts") + " read, " +
                          std::to_string(o.nAdded) + " added, " + std::to_string(o.nUpdated) + " updated, " +
                          std::to_string(o.nUnchanged) + " unchanged, " + std::to_string(o.nFailed) + " failed.";
    if (!o.bWritten)
        message += " " + o.strError + ".";
    if (!result.refused.empty())
        message += " " + Plural(static_cast<int>(result.refused.size()), "contact was", "contacts were") +
                   " not imported because " + (result.refused.size() == 1 ? "it holds" : "they hold") +
                   " characters the code page cannot hold: " + NameList(result.refused) + ".";
    if (!result.shortened.empty())
        message += " " + Plural(static_cast<int>(result.shortened.size()), "contact has", "contacts have") +
                   " a text cut to its field: " + NameList(result.shortened) + ".";
    result.strMessage = message;
    return result;
}
