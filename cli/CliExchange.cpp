#include "cli/CliExchange.h"

#include <cstdio>
#include <cstring>

#include "cli/RecordFormat.h"
#include "common/misc/CommAddrMgr.h"
#include "common/misc/CommAddrRecord.h"
#include "common/oe/CxWab.h"
#include "common/palm/PmAddrInfo.h"
#include "platform/codepage/CodePage.h"
#include "platform/fsutil/FailReason.h"
#include "src/core/SideExchange.h"

namespace {

constexpr int kExitOk = 0;
constexpr int kExitSide = 1;
constexpr int kExitUsage = 2;

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

std::string IssuesJson(const std::vector<ExchangeIssue>& issues)
{
    std::string out = "[";
    for (size_t i = 0; i < issues.size(); ++i) {
        out += i ? ", " : "";
        out += "{\"name\": " + JsonString(issues[i].strName) + ", \"reason\": " + JsonString(issues[i].strReason) +
               "}";
    }
    return out + "]";
}

} // namespace

int RunExportCommand(SysSettings& settings, TransferEngine& engine, const std::vector<std::string>& args)
{
    ListType eSide = LIST_PALM;
    bool bSide = false;
    ExchangeFormat eFormat = EXF_VCARD4;
    bool bStates = false;
    bool states[3] = {};
    std::string output;
    bool bJson = false;
    engine.Startup(false);
    for (size_t i = 0; i < args.size(); ++i) {
        const std::string& arg = args[i];
        const bool bHasValue = i + 1 < args.size();
        if (arg == "--json") {
            bJson = true;
        } else if (arg == "--format") {
            if (!bHasValue)
                return CliMissingValue(arg, "a format");
            if (!ParseExchangeFormat(args[++i], &eFormat))
                return Fail(kExitUsage, "export: unknown format '" + args[i] +
                                            "' (vcard4, vcard3, csv-google or csv-outlook)");
        } else if (arg == "--ticked-state") {
            if (!bHasValue)
                return CliMissingValue(arg, "states");
            if (!ParseStates(args[++i], states))
                return Fail(kExitUsage, "export: --ticked-state wants states from same, new, modified: '" +
                                            args[i] + "'");
            bStates = true;
        } else if (arg == "-o" || arg == "--output") {
            if (!bHasValue)
                return CliMissingValue(arg, "a file");
            output = args[++i];
        } else if (arg == "--palm" || arg == "--wab") {
            if (!bHasValue)
                return CliMissingValue(arg, "a file");
            CliSetSidePath(settings, arg == "--palm", args[++i]);
        } else if (!bSide && ParseSide(arg, &eSide)) {
            bSide = true;
        } else {
            return Fail(kExitUsage, "export: unexpected argument '" + arg + "'");
        }
    }
    if (!bSide)
        return Fail(kExitUsage, "export: name the side, palm or wab");
    if (bJson && output.empty())
        return Fail(kExitUsage, "export: --json needs -o FILE (without it the contacts go to standard output)");

    int nStatus = CliLoadSide(settings, engine, eSide, false);
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
        out += ", \"file\": " + JsonString(output);   // a path: the file system's bytes
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

int RunImportCommand(SysSettings& settings, TransferEngine& engine, const std::vector<std::string>& args)
{
    std::string file;
    ListType eInto = LIST_PALM;
    bool bInto = false;
    ExchangeFormat eFormat = EXF_VCARD4;
    bool bFormat = false;
    bool bJson = false;
    engine.Startup(false);
    for (size_t i = 0; i < args.size(); ++i) {
        const std::string& arg = args[i];
        const bool bHasValue = i + 1 < args.size();
        if (arg == "--json") {
            bJson = true;
        } else if (arg == "--into") {
            if (!bHasValue)
                return CliMissingValue(arg, "palm or wab");
            if (!ParseSide(args[++i], &eInto))
                return Fail(kExitUsage, "import: --into wants palm or wab, not '" + args[i] + "'");
            bInto = true;
        } else if (arg == "--format") {
            if (!bHasValue)
                return CliMissingValue(arg, "a format");
            if (!ParseExchangeFormat(args[++i], &eFormat))
                return Fail(kExitUsage, "import: unknown format '" + args[i] +
                                            "' (vcard4, vcard3, csv-google or csv-outlook)");
            bFormat = true;
        } else if (arg == "--palm" || arg == "--wab") {
            if (!bHasValue)
                return CliMissingValue(arg, "a file");
            CliSetSidePath(settings, arg == "--palm", args[++i]);
        } else if (file.empty() && !arg.empty() && arg[0] != '-') {
            file = arg;
        } else {
            return Fail(kExitUsage, "import: unexpected argument '" + arg + "'");
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
