#include "cli/CliExchange.h"

#include <cstdio>
#include <cstring>

#include "cli/CliCommon.h"
#include "cli/RecordFormat.h"
#include "common/misc/CommAddrMgr.h"
#include "common/misc/CommAddrRecord.h"
#include "common/oe/CxWab.h"
#include "common/palm/PmAddrInfo.h"
#include "platform/codepage/CodePage.h"
#include "platform/fsutil/FailReason.h"
#include "src/core/SideExchange.h"

namespace {

constexpr int kExitOk = kCliExitOk;
constexpr int kExitSide = kCliExitSide;
constexpr int kExitUsage = kCliExitUsage;

int Fail(int nStatus, const std::string& strReason)
{
    return CliFail(nStatus, strReason);
}

int FailAfterOutput(int nStatus, const std::string& strReason)
{
    return CliFailAfterOutput(nStatus, strReason);
}

bool ParseSide(const std::string& arg, ListType* peSide)
{
    if (arg == "palm")
        *peSide = LIST_PALM;
    else if (arg == "wab")
        *peSide = LIST_WAB;
    else
        return false;
    return true;
}

// "new,modified" -> the states named. False for an unknown name.
bool ParseStates(const std::string& list, bool states[3])
{
    states[0] = states[1] = states[2] = false;
    size_t start = 0;
    while (start <= list.size()) {
        const size_t comma = list.find(',', start);
        const std::string name = list.substr(start, comma == std::string::npos ? std::string::npos : comma - start);
        if (name == "same")
            states[RS_SAME] = true;
        else if (name == "new")
            states[RS_NEW] = true;
        else if (name == "modified")
            states[RS_MODIFIED] = true;
        else
            return false;
        if (comma == std::string::npos)
            break;
        start = comma + 1;
    }
    return true;
}

// What export and import both take: --json, --format and the sides' files.
struct ExchangeOptions {
    bool bJson = false;
    bool bFormat = false;  // --format was given
    ExchangeFormat eFormat = EXF_VCARD4;
};

// Applies the options export and import share, in the order given; the
// others are left to the command. Answers kExitOk, or the usage status
// after complaining.
int ApplyExchangeOptions(SysSettings& settings, const CliArgs& args, const char* pszCommand, ExchangeOptions* pOptions)
{
    for (const auto& [strOption, strValue] : args.given) {
        if (strOption == "--json") {
            pOptions->bJson = true;
        } else if (strOption == "--format") {
            if (!ParseExchangeFormat(strValue, &pOptions->eFormat))
                return Fail(kExitUsage, std::string(pszCommand) + ": unknown format '" + strValue +
                                            "' (vcard4, vcard3, csv-google or csv-outlook)");
            pOptions->bFormat = true;
        } else if (strOption == "--palm" || strOption == "--wab") {
            CliSetSidePath(settings, strOption == "--palm", strValue);
        }
    }
    return kExitOk;
}

std::string IssuesJson(const std::vector<ExchangeIssue>& issues)
{
    std::string out = "[";
    for (size_t i = 0; i < issues.size(); ++i) {
        out += i ? ", " : "";
        out += "{\"name\": " + JsonString(issues[i].strName) + ", \"reason\": " + JsonString(issues[i].strReason) + "}";
    }
    return out + "]";
}

}  // namespace

int RunExportCommand(SysSettings& settings, TransferEngine& engine, const CliArgs& args)
{
    ListType eSide = LIST_PALM;
    if (!args.words.empty() && !ParseSide(args.words[0], &eSide))
        return Fail(kExitUsage, "export: unexpected argument '" + args.words[0] + "'");
    engine.Startup(false);
    ExchangeOptions options;
    int nStatus = ApplyExchangeOptions(settings, args, "export", &options);
    if (nStatus != kExitOk)
        return nStatus;
    const ExchangeFormat eFormat = options.eFormat;
    const bool bJson = options.bJson;
    bool bStates = false;
    bool states[3] = {};
    std::string output;
    for (const auto& [strOption, strValue] : args.given) {
        if (strOption == "--ticked-state") {
            if (!ParseStates(strValue, states))
                return Fail(kExitUsage,
                            "export: --ticked-state wants states from same, new, modified: '" + strValue + "'");
            bStates = true;
        } else if (strOption == "-o") {
            output = strValue;
        }
    }
    if (args.words.empty())
        return Fail(kExitUsage, "export: name the side, palm or wab");
    if (bJson && output.empty())
        return Fail(kExitUsage, "export: --json needs -o FILE (without it the contacts go to standard output)");

    nStatus = CliLoadSide(settings, engine, eSide, false);
    if (nStatus != kExitOk)
        return nStatus;
    if (bStates) {
        // The ticks of a state come from classifying against the other side.
        nStatus = CliLoadSide(settings, engine, eSide == LIST_PALM ? LIST_WAB : LIST_PALM, false);
        if (nStatus != kExitOk)
            return nStatus;
        engine.RefreshStates();
        for (int nRow = 0; nRow < engine.GetRowCount(eSide); ++nRow)
            engine.SetChecked(eSide, nRow, states[engine.RowState(eSide, nRow)]);
    }

    const ExportResult result = ExportSide(engine, eSide, eFormat, bStates, output.c_str());
    if (output.empty()) {
        std::fwrite(result.strText.data(), 1, result.strText.size(), stdout);
        std::fflush(stdout);
        if (std::ferror(stdout))
            return Fail(kExitSide, "export: standard output could not be written");
        return kExitOk;
    }
    if (bJson) {
        std::string out = "{\"side\": " + JsonString(eSide == LIST_PALM ? "palm" : "wab");
        out += ", \"format\": " + JsonString(ExchangeFormatName(eFormat));
        out += ", \"file\": " + JsonString(output);  // a path: the file system's bytes
        out += std::string(", \"success\": ") + (result.bSuccess ? "true" : "false");
        out += ", \"contacts\": " + std::to_string(result.nContacts);
        out += ", \"message\": " + JsonString(result.strMessage) + "}\n";
        std::fputs(out.c_str(), stdout);
    } else if (result.bSuccess) {
        std::printf("%s\n", result.strMessage.c_str());
    }
    if (!result.bSuccess)
        return FailAfterOutput(kExitSide, result.strMessage);
    return kExitOk;
}

int RunImportCommand(SysSettings& settings, TransferEngine& engine, const CliArgs& args)
{
    const std::string file = !args.words.empty() ? args.words[0] : std::string();
    engine.Startup(false);
    ExchangeOptions options;
    const int nOptionStatus = ApplyExchangeOptions(settings, args, "import", &options);
    if (nOptionStatus != kExitOk)
        return nOptionStatus;
    ExchangeFormat eFormat = options.eFormat;
    const bool bFormat = options.bFormat;
    const bool bJson = options.bJson;
    ListType eInto = LIST_PALM;
    bool bInto = false;
    for (const auto& [strOption, strValue] : args.given) {
        if (strOption == "--into") {
            if (!ParseSide(strValue, &eInto))
                return Fail(kExitUsage, "import: --into wants palm or wab, not '" + strValue + "'");
            bInto = true;
        }
    }
    if (file.empty())
        return Fail(kExitUsage, "import: name the vCard or CSV file");
    if (!bInto)
        return Fail(kExitUsage, "import: say which side receives the contacts: --into palm or --into wab");
    const FailReason fileReason = CheckInputPath(file);
    if (fileReason.IsSet())
        return Fail(kExitSide, "import: " + file + ": " + FailReasonText(fileReason));

    const int nStatus = CliLoadSide(settings, engine, eInto, true);
    if (nStatus != kExitOk)
        return nStatus;
    const ImportResult result = ImportFile(engine, file.c_str(), eInto, bFormat ? &eFormat : nullptr);

    if (bJson) {
        const SideOutcome& o = result.outcome;
        std::string out = "{\"file\": " + JsonString(file);
        out += ", \"into\": " + JsonString(eInto == LIST_PALM ? "palm" : "wab");
        out += ", \"format\": " + JsonString(ExchangeFormatName(result.eFormat));
        out += std::string(", \"ran\": ") + (result.bRan ? "true" : "false");
        out += std::string(", \"success\": ") + (result.bSuccess ? "true" : "false");
        out += ", \"read\": " + std::to_string(result.nRead);
        out += ", \"added\": " + std::to_string(o.nAdded);
        out += ", \"updated\": " + std::to_string(o.nUpdated);
        out += ", \"unchanged\": " + std::to_string(o.nUnchanged);
        out += ", \"failed\": " + std::to_string(o.nFailed);
        out += ", \"refused\": " + IssuesJson(result.refused);
        out += ", \"shortened\": " + IssuesJson(result.shortened);
        out += ", \"message\": " + JsonString(result.strMessage) + "}\n";
        std::fputs(out.c_str(), stdout);
    } else {
        std::printf("%s\n", result.strMessage.c_str());
        for (const ExchangeIssue& issue : result.refused)
            std::printf("  not imported: %s: %s\n", issue.strName.c_str(), issue.strReason.c_str());
        for (const ExchangeIssue& issue : result.shortened)
            std::printf("  shortened: %s: %s\n", issue.strName.c_str(), issue.strReason.c_str());
    }
    if (!result.bSuccess)
        return FailAfterOutput(kExitSide, result.strMessage);
    return kExitOk;
}
