// varnwick-cli: the command-line companion of the Varnwick window.
//
// It drives the same transfer engine as the window: settings from
// corvane.ini (or the file --ini names), the chosen HotSync user's data
// file, the address book of WabFile, the same lists, classification and
// transfers. It never writes the settings file: a run from a script must
// not change what the window finds at its next start (the window saves its
// settings itself, once, when it closes).
//
// Exit status: 0 success, 1 a side cannot be read or written, 2 usage.
// With --json every error is a JSON object on standard output instead of a
// line on standard error, with the same exit status.
#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <unordered_set>
#include <vector>

#include "cli/CliCommon.h"
#include "cli/CliExchange.h"
#include "cli/CliOptions.h"
#include "cli/JsonWriter.h"
#include "cli/RecordFormat.h"
#include "common/misc/AppFolder.h"
#include "common/misc/CommAddrMgr.h"
#include "common/misc/CommAddrRecord.h"
#include "common/oe/CxWab.h"
#include "common/oe/WabRecord.h"
#include "common/palm/PalmUser.h"
#include "common/palm/PmAddrInfo.h"
#include "common/palm/PmDesktop.h"
#include "platform/codepage/CodePage.h"
#include "platform/fsutil/FsUtil.h"
#include "src/core/SysSettings.h"
#include "src/core/TransferEngine.h"

namespace {

constexpr int kExitOk = kCliExitOk;
constexpr int kExitSide = kCliExitSide;
constexpr int kExitUsage = kCliExitUsage;

// Whether --json stands anywhere on the command line: errors are then JSON
// objects on standard output, even those found before the command read it.
bool g_bJsonErrors = false;

// The complaint, then the exit status: one line on standard error, or with
// --json one object {"error": ..., "status": ...} on standard output.
int Fail(int nStatus, const std::string& strReason)
{
    if (g_bJsonErrors) {
        const std::string out =
            "{\"error\": " + JsonString(AnsiToUtf8(strReason)) + ", \"status\": " + std::to_string(nStatus) + "}\n";
        std::fputs(out.c_str(), stdout);
    } else {
        std::fprintf(stderr, "varnwick-cli: %s\n", strReason.c_str());
    }
    return nStatus;
}

// A failure found after the command printed its result, which already says
// what went wrong: only the line on standard error, so that JSON output
// stays one document.
int FailAfterOutput(int nStatus, const std::string& strReason)
{
    std::fprintf(stderr, "varnwick-cli: %s\n", strReason.c_str());
    return nStatus;
}

// "option --palm needs a file": an option whose value is missing.
int MissingValue(const std::string& strOption, const char* pszWhat)
{
    return Fail(kExitUsage, "option " + strOption + " needs " + pszWhat);
}

// Names a side's file. A path that does not fit its field is refused whole,
// never cut (the side then fails to load and says why).
void SetSidePath(SysSettings& settings, bool bPalm, const std::string& strPath)
{
    const bool bTooLong = strPath.size() >= MAX_PATH;
    CopyTextField(bPalm ? settings.DatFile : settings.WabFile, bTooLong ? "" : strPath.c_str());
    (bPalm ? settings.nDatFileTooLong : settings.nWabFileTooLong) = bTooLong ? static_cast<int>(strPath.size()) : 0;
}

// Settings, engine and the options every command shares.
struct Session {
    SysSettings settings{};
    TransferEngine engine{settings};
    bool bJson = false;

    // The command line shows no columns: its rows need their captions alone.
    Session() { engine.SetRowCells(false); }
    ~Session() { engine.Shutdown(false); }
};

// One side as named by the settings (or an override), loaded. A read-only
// command refuses a named address book that does not exist, because a
// command that writes would create it.
int LoadSide(SysSettings& settings, TransferEngine& engine, ListType eSide, bool bMayCreate)
{
    if (eSide == LIST_PALM) {
        if (settings.DatFile[0] == '\0' && settings.nDatFileTooLong == 0)
            return Fail(kExitSide, "no Palm Desktop data file: no HotSync user is known; name the file");
        engine.LoadPalmList();
        if (!engine.GetPalmInfo()->IsLoaded())
            return Fail(kExitSide, engine.SideFailureText(LIST_PALM, false));
        return kExitOk;
    }
    const char* pszFile = settings.WabFile;
    if (!bMayCreate && pszFile[0] != '\0' && !IsRegularFile(pszFile))
        return Fail(kExitSide, std::string("the Outlook Express address book \"") + pszFile +
                                   "\" is not open: " + FailReasonText(CheckInputPath(pszFile)));
    engine.LoadOutlookList();
    if (!engine.GetWab()->IsOpen())
        return Fail(kExitSide, engine.SideFailureText(LIST_WAB, false));
    return kExitOk;
}

int LoadPalmSide(Session& session)
{
    return LoadSide(session.settings, session.engine, LIST_PALM, false);
}

int LoadWabSide(Session& session, bool bMayCreate)
{
    return LoadSide(session.settings, session.engine, LIST_WAB, bMayCreate);
}

const char* StateName(int nState)
{
    switch (nState) {
    case RS_NEW:
        return "new";
    case RS_MODIFIED:
        return "modified";
    default:
        return "same";
    }
}

const char* GenerationName(int nGeneration)
{
    switch (nGeneration) {
    case PmAddrInfo::kGenClassic:
        return "classic";
    case PmAddrInfo::kGenExtended:
        return "extended";
    case PmAddrInfo::kGenDesktop6:
        return "desktop6";
    default:
        return "unknown";
    }
}

const char* GenerationFile(int nGeneration)
{
    switch (nGeneration) {
    case PmAddrInfo::kGenClassic:
        return "classic address.dat";
    case PmAddrInfo::kGenExtended:
        return "extended address.dat (PalmSG Database)";
    case PmAddrInfo::kGenDesktop6:
        return "Desktop 6 address.mdb";
    default:
        return "unknown";
    }
}

std::string Utf8(const char* pszAnsi)
{
    return AnsiToUtf8(pszAnsi != nullptr ? pszAnsi : "");
}

// Flushes a command's output; a write that failed (a full disk, a closed
// pipe) is a failure of the command, not a success with a cut output.
int FinishOutput(OutputBuffer& out, int nStatus)
{
    if (!out.Flush())
        return FailAfterOutput(kExitSide, std::string("cannot write the output: ") + std::strerror(errno));
    return nStatus;
}

// ---- users -------------------------------------------------------------

int CmdUsers(Session& session, const CliArgs& args)
{
    session.bJson = session.bJson || args.Has("--json");
    TransferEngine& engine = session.engine;
    engine.Startup(false);

    char szFolder[MAX_PATH] = {};
    const bool bFolder = GetDesktopFolder(szFolder, MAX_PATH) == PD_FOLDER_OK;
    const DWORD dwVersion = GetDesktopVersion();
    const int nGeneration = engine.GetPalmInfo()->GetExpectedGeneration();
    char szVersion[32] = "unknown";
    if (dwVersion != PD_VERSION_UNKNOWN)
        std::snprintf(szVersion, sizeof szVersion, "%u.%u.%u", dwVersion / 10000, dwVersion / 100 % 100,
                      dwVersion % 100);

    struct UserLine {
        const PalmUser* pUser;
        std::string strFolder;
        std::string strFile;
    };
    std::vector<UserLine> users;
    for (int i = 0; i < engine.GetUserCount(); ++i) {
        const PalmUser* pUser = engine.GetUser(i);
        char szUserFolder[MAX_PATH] = {};
        char szFile[MAX_PATH] = {};
        GetUserFolder(pUser->dwUserID, szUserFolder, MAX_PATH);
        engine.GetPalmInfo()->GetUserFilePath(pUser->dwUserID, szFile, MAX_PATH);
        users.push_back({pUser, szUserFolder, szFile});
    }

    if (session.bJson) {
        std::string out = "{\"folder\": ";
        out += bFolder ? JsonString(Utf8(szFolder)) : "null";
        out += ", \"version\": ";
        out += dwVersion != PD_VERSION_UNKNOWN ? JsonString(szVersion) : "null";
        out += ", \"generation\": ";
        out += JsonString(GenerationName(nGeneration));
        out += ", \"users\": [";
        for (size_t i = 0; i < users.size(); ++i) {
            const UserLine& line = users[i];
            out += i ? ", " : "";
            out += "{\"id\": " + std::to_string(line.pUser->dwUserID);
            out += ", \"name\": " + JsonString(Utf8(line.pUser->szName));
            out += ", \"folder\": " + JsonString(Utf8(line.strFolder.c_str()));
            out += ", \"addressFile\": " + JsonString(Utf8(line.strFile.c_str()));
            out += std::string(", \"chosen\": ") +
                   (static_cast<int>(i) == engine.GetSelectedUser() ? "true" : "false") + "}";
        }
        out += "]}\n";
        std::fputs(out.c_str(), stdout);
    } else {
        std::printf("Palm Desktop folder: %s\n", bFolder ? Utf8(szFolder).c_str() : "(not found)");
        std::printf("Palm Desktop version: %s\n", szVersion);
        std::printf("Expected database: %s\n", GenerationFile(nGeneration));
        std::printf("HotSync users: %zu\n", users.size());
        for (size_t i = 0; i < users.size(); ++i) {
            const UserLine& line = users[i];
            std::printf("%c %u  %s\n    folder: %s\n    address file: %s\n",
                        static_cast<int>(i) == engine.GetSelectedUser() ? '*' : ' ', line.pUser->dwUserID,
                        Utf8(line.pUser->szName).c_str(), Utf8(line.strFolder.c_str()).c_str(),
                        Utf8(line.strFile.c_str()).c_str());
        }
    }
    if (!bFolder)
        return FailAfterOutput(kExitSide,
                               "no Palm Desktop folder: choose it in the window's Options or set PDPath in "
                               "section [Path] of the settings");
    return kExitOk;
}

// ---- list --------------------------------------------------------------

int CmdList(Session& session, const CliArgs& args)
{
    const std::string strSide = !args.words.empty() ? args.words[0] : std::string();
    const std::string strFile = args.words.size() > 1 ? args.words[1] : std::string();
    const bool bAll = args.Has("--all");
    session.bJson = session.bJson || args.Has("--json");
    if (strSide != "palm" && strSide != "wab")
        return Fail(kExitUsage, "list: name the side, palm or wab");
    const bool bPalm = strSide == "palm";

    TransferEngine& engine = session.engine;
    engine.Startup(false);
    if (bAll)
        session.settings.EmailOnly = 0;
    if (!strFile.empty())
        SetSidePath(session.settings, bPalm, strFile);
    // The Palm contacts are listed straight from the loaded file, one at a
    // time, in the order and with the filter the window lists them: no
    // contact set is built, which for a large file is most of the time and
    // memory the command would take.
    if (bPalm)
        engine.GetPalmInfo()->SetBuildContactSet(false);
    const int nStatus = bPalm ? LoadPalmSide(session) : LoadWabSide(session, false);
    if (nStatus != kExitOk)
        return nStatus;

    // Rows are written as they are converted: the Palm contacts one at a
    // time as the loaded file gives them, the address-book rows one at a
    // time into the same record.
    OutputBuffer out(stdout);
    JsonWriter json(out);
    if (session.bJson)
        json.BeginArray("", "\n ");
    int nListed = 0;
    auto write = [&](const CommAddrRecord& record, const std::string& strCaption) {
        if (session.bJson) {
            WriteRecordJson(json, record);
        } else {
            out.Append('[');
            out.AppendInt(nListed + 1);
            out.Append("] ");
            out.Append(OneLine(AnsiToUtf8(strCaption)));
            out.Append('\n');
            WriteRecordText(out, record, "    ");
        }
        ++nListed;
    };
    if (bPalm) {
        const bool bEmailOnly = session.settings.EmailOnly != 0;
        engine.GetPalmInfo()->ForEachLoadedContact([&](const CommAddrRecord& record) {
            if (bEmailOnly && record.szEmail[0] == '\0')
                return true;
            if (session.bJson) {
                write(record, std::string());
            } else {
                // "%s %s", as the window's caption: a contact without a first
                // name gets a leading blank.
                write(record, std::string(record.szFirstName, strnlen(record.szFirstName, sizeof record.szFirstName)) +
                                  " " +
                                  std::string(record.szLastName, strnlen(record.szLastName, sizeof record.szLastName)));
            }
            return true;
        });
    } else {
        CommAddrRecord converted;
        const int nRows = engine.GetRowCount(LIST_WAB);
        for (int nRow = 0; nRow < nRows; ++nRow) {
            ZeroCommRecord(&converted);
            CxWab::ConvertToComm(engine.WabRecordAt(nRow), &converted);
            write(converted, engine.GetRow(LIST_WAB, nRow)->strCaption);
        }
    }
    if (session.bJson) {
        json.EndArray();
        out.Append('\n');
    } else {
        out.AppendInt(nListed);
        out.Append(bPalm ? " Palm Desktop contacts listed\n" : " address-book contacts listed\n");
    }
    return FinishOutput(out, kExitOk);
}

// ---- options shared by compare and transfer ----------------------------

// Applies the options of compare or transfer to the settings: the sides'
// files, --all, and transfer's overrides. Answers kExitOk, or the usage
// status after complaining.
int ApplySideOptions(Session& session, const CliArgs& args, const char* pszCommand)
{
    SysSettings& settings = session.settings;
    for (const auto& [strOption, strValue] : args.given) {
        if (strOption == "--json") {
            session.bJson = true;
        } else if (strOption == "--palm" || strOption == "--wab") {
            SetSidePath(settings, strOption == "--palm", strValue);
        } else if (strOption == "--all") {
            settings.EmailOnly = 0;
        } else if (strOption == "--email-only") {
            settings.EmailOnly = 1;
        } else if (strOption == "--swap-name") {
            settings.SwapName = 1;
        } else if (strOption == "--custom") {
            char* pEnd = nullptr;
            errno = 0;
            const long nField = std::strtol(strValue.c_str(), &pEnd, 10);
            if (pEnd == strValue.c_str() || *pEnd != '=' || nField < 1 || nField > 9)
                return Fail(kExitUsage, std::string(pszCommand) + ": --custom wants N=TAG with N from 1 to 9");
            const char* pszTag = pEnd + 1;
            const unsigned long ulTag = std::strtoul(pszTag, &pEnd, 0);
            if (*pszTag == '\0' || *pEnd != '\0' || errno != 0 || ulTag > 0xFFFFFFFFul)
                return Fail(kExitUsage, std::string(pszCommand) + ": --custom TAG is not a number: " + pszTag);
            settings.Custom[nField - 1] = static_cast<int>(static_cast<uint32_t>(ulTag));
            settings.SyncCustom = 1;
        }
    }
    return kExitOk;
}

// ---- compare -----------------------------------------------------------

int CmdCompare(Session& session, const CliArgs& args)
{
    TransferEngine& engine = session.engine;
    engine.Startup(false);
    int nStatus = ApplySideOptions(session, args, "compare");
    if (nStatus == kExitOk)
        nStatus = LoadPalmSide(session);
    if (nStatus == kExitOk)
        nStatus = LoadWabSide(session, false);
    if (nStatus != kExitOk)
        return nStatus;
    engine.RefreshStates();

    // Both sides are walked where they are stored, Palm first; an
    // address-book entry is converted into one neutral record at a time.
    CommAddrMgr* pPalmSet = engine.GetPalmInfo()->GetContactSet();
    CxWab* pWab = engine.GetWab();
    auto walkPalm = [&](auto&& visit) {
        for (CommAddrRecord* p = pPalmSet->GetFirstRecord(); p != nullptr; p = pPalmSet->GetNextRecord())
            visit(p);
    };
    auto walkWab = [&](auto&& visit) {
        for (WabRecord* p = pWab->GetFirstEntry(); p != nullptr; p = pWab->GetNextEntry())
            visit(p);
    };

    // Which records the lists show (EmailOnly keeps some out), one flag per
    // record in walk order. A list shows its side's records in the side's
    // order, so one walk meets its rows one after the other; should a list
    // ever hold them otherwise, its records are looked up in a set instead.
    auto listedFlags = [&](ListType eList, auto&& walk) {
        const int nRows = engine.GetRowCount(eList);
        std::vector<bool> flags;
        int nRow = 0;
        walk([&](const void* p) {
            const bool bListed = nRow < nRows && engine.GetRow(eList, nRow)->pData == p;
            nRow += bListed ? 1 : 0;
            flags.push_back(bListed);
        });
        if (nRow != nRows) {
            std::unordered_set<const void*> listed;
            for (nRow = 0; nRow < nRows; ++nRow)
                listed.insert(engine.GetRow(eList, nRow)->pData);
            flags.clear();
            walk([&](const void* p) { flags.push_back(listed.count(p) != 0); });
        }
        return flags;
    };
    const std::vector<bool> palmListed = listedFlags(LIST_PALM, walkPalm);
    const std::vector<bool> wabListed = listedFlags(LIST_WAB, walkWab);

    CommAddrRecord converted;
    // visit(state, listed, caption (ANSI), record) for every record of a
    // side; with bRecords the neutral record is filled in and the caption
    // left empty, otherwise the other way round.
    std::string strCaption;
    auto forEachPalm = [&](auto&& visit, bool bRecords) {
        size_t nIndex = 0;
        walkPalm([&](CommAddrRecord* p) {
            if (!bRecords)
                strCaption.assign(p->szFirstName).append(" ").append(p->szLastName);
            visit(p->nStatus, nIndex < palmListed.size() && palmListed[nIndex], strCaption, *p);
            ++nIndex;
        });
    };
    auto forEachWab = [&](auto&& visit, bool bRecords) {
        size_t nIndex = 0;
        walkWab([&](WabRecord* p) {
            if (bRecords) {
                ZeroCommRecord(&converted);
                CxWab::ConvertToComm(p, &converted);
            } else {
                strCaption.assign(p->PR_DISPLAY_NAME);
            }
            visit(p->nState, nIndex < wabListed.size() && wabListed[nIndex], strCaption, converted);
            ++nIndex;
        });
    };

    OutputBuffer out(stdout);
    if (session.bJson) {
        JsonWriter json(out);
        auto writeEntry = [&json](int nState, bool bListed, const std::string&, const CommAddrRecord& record) {
            json.BeginObject();
            json.Key("state");
            json.String(StateName(nState));
            json.Key("listed");
            json.Bool(bListed);
            json.Key("record");
            WriteRecordJson(json, record);
            json.EndObject();
        };
        json.BeginObject("", "\n ");
        json.Key("palm");
        json.BeginArray("\n  ", "\n  ");
        forEachPalm(writeEntry, true);
        json.EndArray();
        json.Key("wab");
        json.BeginArray("\n  ", "\n  ");
        forEachWab(writeEntry, true);
        json.EndArray();
        json.EndObject();
        json.Raw("\n");
    } else {
        auto writeSide = [&out](const char* pszName, auto& forEach) {
            int nCounts[3] = {};
            int nRecords = 0;
            forEach(
                [&](int nState, bool, const std::string&, const CommAddrRecord&) {
                    ++nRecords;
                    ++nCounts[nState == RS_NEW ? 1 : nState == RS_MODIFIED ? 2 : 0];
                },
                false);
            out.Append(pszName);
            out.Append(": ");
            out.AppendInt(nRecords);
            out.Append(" records, ");
            out.AppendInt(nCounts[0]);
            out.Append(" same, ");
            out.AppendInt(nCounts[1]);
            out.Append(" new, ");
            out.AppendInt(nCounts[2]);
            out.Append(" modified\n");
            forEach(
                [&](int nState, bool bListed, const std::string& strRowCaption, const CommAddrRecord&) {
                    char szState[16];
                    std::snprintf(szState, sizeof szState, "%-9s", StateName(nState));
                    out.Append("  ");
                    out.Append(szState);
                    out.Append(OneLine(AnsiToUtf8(strRowCaption)));
                    out.Append(bListed ? "\n" : "  (not listed)\n");
                },
                false);
        };
        writeSide("Palm Desktop", forEachPalm);
        writeSide("Outlook Express", forEachWab);
    }
    return FinishOutput(out, kExitOk);
}

// ---- transfer ----------------------------------------------------------

void WriteSideJson(JsonWriter& json, const SideOutcome& side)
{
    if (!side.bReceiving) {
        json.Null();
        return;
    }
    json.BeginObject();
    json.Key("written");
    json.Bool(side.bWritten);
    if (!side.bWritten) {
        json.Key("error");
        json.String(Utf8(side.strError.c_str()));
    }
    const std::pair<const char*, int> counts[] = {{"handed", side.nHanded},
                                                  {"added", side.nAdded},
                                                  {"updated", side.nUpdated},
                                                  {"unchanged", side.nUnchanged},
                                                  {"failed", side.nFailed}};
    for (const auto& [pszKey, nCount] : counts) {
        json.Key(pszKey);
        json.Int(nCount);
    }
    json.EndObject();
}

std::string SideText(const char* pszSide, const SideOutcome& side)
{
    std::string out = std::string(pszSide) + ": " + std::to_string(side.nAdded) + " added, " +
                      std::to_string(side.nUpdated) + " updated, " + std::to_string(side.nUnchanged) + " unchanged, " +
                      std::to_string(side.nFailed) + " failed";
    if (!side.bWritten)
        out += " (" + Utf8(side.strError.c_str()) + ")";
    return out + "\n";
}

int CmdTransfer(Session& session, const CliArgs& args)
{
    if (args.words.empty())
        return Fail(kExitUsage, "transfer: name the mode, p2o, o2p or sync");
    const std::string& strMode = args.words[0];
    int nMode;
    if (strMode == "p2o")
        nMode = SYNC_PALM_TO_OE;
    else if (strMode == "o2p")
        nMode = SYNC_OE_TO_PALM;
    else if (strMode == "sync")
        nMode = SYNC_BOTH;
    else
        return Fail(kExitUsage, "transfer: unknown mode '" + strMode + "' (p2o, o2p or sync)");

    TransferEngine& engine = session.engine;
    engine.Startup(false);
    int nStatus = ApplySideOptions(session, args, "transfer");
    if (nStatus == kExitOk)
        nStatus = LoadPalmSide(session);
    if (nStatus == kExitOk)
        nStatus = LoadWabSide(session, true);
    if (nStatus != kExitOk)
        return nStatus;
    // As at the window's start: the rows that differ are ticked.
    engine.RefreshStates();
    const TransferResult result = engine.StartTransfer(nMode);

    OutputBuffer out(stdout);
    if (session.bJson) {
        JsonWriter json(out);
        json.BeginObject();
        json.Key("mode");
        json.String(strMode);
        json.Key("ran");
        json.Bool(result.bRan);
        json.Key("success");
        json.Bool(result.bSuccess);
        json.Key("caption");
        json.String(result.strCaption);
        json.Key("message");
        json.String(Utf8(result.strMessage.c_str()));
        json.Key("reported");
        json.Int(result.nReported);
        json.Key("wab");
        WriteSideJson(json, result.toWab);
        json.Key("palm");
        WriteSideJson(json, result.toPalm);
        json.EndObject();
        json.Raw("\n");
    } else {
        out.Append(result.strCaption + ": " + Utf8(result.strMessage.c_str()) + "\n");
        if (result.toWab.bReceiving)
            out.Append(SideText("Outlook Express address book", result.toWab));
        if (result.toPalm.bReceiving)
            out.Append(SideText("Palm Desktop data", result.toPalm));
    }
    nStatus = FinishOutput(out, kExitOk);
    if (nStatus == kExitOk && result.bRan && !result.bSuccess)
        return FailAfterOutput(kExitSide, Utf8(result.strMessage.c_str()));
    return nStatus;
}

int CmdExport(Session& session, const CliArgs& args)
{
    return RunExportCommand(session.settings, session.engine, args);
}

int CmdImport(Session& session, const CliArgs& args)
{
    return RunImportCommand(session.settings, session.engine, args);
}

}  // namespace

int CliFail(int nStatus, const std::string& strReason)
{
    return Fail(nStatus, strReason);
}

int CliFailAfterOutput(int nStatus, const std::string& strReason)
{
    return FailAfterOutput(nStatus, strReason);
}

void CliSetSidePath(SysSettings& settings, bool bPalm, const std::string& strPath)
{
    SetSidePath(settings, bPalm, strPath);
}

int CliMissingValue(const std::string& strOption, const char* pszWhat)
{
    return MissingValue(strOption, pszWhat);
}

int CliLoadSide(SysSettings& settings, TransferEngine& engine, ListType eSide, bool bMayCreate)
{
    return LoadSide(settings, engine, eSide, bMayCreate);
}

int main(int argc, char** argv)
{
    std::string strIni;
    std::string strCommand;
    std::vector<std::string> args;
    bool bHelp = false;
    bool bGlobalJson = false;  // --json before the command
    for (int i = 1; i < argc; ++i) {
        if (std::strcmp(argv[i], "--json") == 0)
            g_bJsonErrors = true;
    }
    // --ini and --help count wherever they stand, --version and --json
    // before the command; the rest after the command is the command's.
    for (int i = 1; i < argc; ++i) {
        const std::string arg = argv[i];
        const CliOption* pGlobal = FindCliGlobalOption(arg);
        const std::string strGlobal = pGlobal != nullptr ? pGlobal->pszName : "";
        if (strGlobal == "--ini") {
            if (i + 1 >= argc)
                return MissingValue(arg, pGlobal->pszNeeds);
            strIni = argv[++i];
        } else if (strGlobal == "--help") {
            bHelp = true;
        } else if (strGlobal == "--version" && strCommand.empty()) {
            std::printf("varnwick-cli %s\n", VW_VERSION);
            return kExitOk;
        } else if (strGlobal == "--json" && strCommand.empty()) {
            bGlobalJson = true;
        } else if (strCommand.empty() && !arg.empty() && arg[0] != '-') {
            strCommand = arg;
        } else if (strCommand.empty()) {
            return Fail(kExitUsage, "unknown option '" + arg + "'; see --help");
        } else {
            args.push_back(arg);
        }
    }

    // What runs each command; its options and help are in its table.
    struct Command {
        const char* pszName;
        int (*pfnRun)(Session&, const CliArgs&);
    };
    static const Command kCommands[] = {
        {"users", CmdUsers},       {"list", CmdList},     {"compare", CmdCompare},
        {"transfer", CmdTransfer}, {"export", CmdExport}, {"import", CmdImport},
    };
    // "help [COMMAND]" is "--help" and "COMMAND --help".
    if (strCommand == "help") {
        std::vector<std::string> names;
        for (const std::string& arg : args) {
            if (arg != "--json")
                names.push_back(arg);
        }
        if (names.size() > 1 || (!names.empty() && names[0][0] == '-'))
            return Fail(kExitUsage, "help: name one command; see --help");
        strCommand = names.empty() ? std::string() : names[0];
        args.clear();
        bHelp = true;
    }
    if (strCommand.empty()) {
        if (!bHelp)
            return Fail(kExitUsage, "no command given; see --help");
        std::fputs(CliMainHelp().c_str(), stdout);
        return kExitOk;
    }
    const CliCommandSpec* pSpec = FindCliCommand(strCommand);
    if (pSpec == nullptr)
        return Fail(kExitUsage, "unknown command '" + strCommand + "'; see --help");
    if (bHelp) {
        std::fputs(CliCommandHelp(*pSpec).c_str(), stdout);
        return kExitOk;
    }
    const Command* pCommand = nullptr;
    for (const Command& command : kCommands) {
        if (strCommand == command.pszName)
            pCommand = &command;
    }
    if (pCommand == nullptr)
        return Fail(kExitUsage, "unknown command '" + strCommand + "'; see --help");

    if (!strIni.empty()) {
        if (!IsRegularFile(strIni))
            return Fail(kExitUsage, "settings file " + strIni + " does not exist");
        SetIniFilePathOverride(strIni.c_str());
    }
    CliArgs parsed;
    const int nStatus = CliParse(*pSpec, args, &parsed);
    if (nStatus != kExitOk)
        return nStatus;
    Session session;
    session.bJson = bGlobalJson;
    return pCommand->pfnRun(session, parsed);
}
