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
#include <sys/stat.h>

#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

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
#include "src/core/SysSettings.h"
#include "src/core/TransferEngine.h"

namespace {

constexpr int kExitOk = 0;
constexpr int kExitSide = 1;
constexpr int kExitUsage = 2;

constexpr const char kMainHelp[] =
    "usage: varnwick-cli [--ini FILE] COMMAND [OPTIONS]\n"
    "\n"
    "Carries contacts between Palm Desktop and an Outlook Express address book,\n"
    "as the Varnwick window does, with the window's settings (corvane.ini).\n"
    "\n"
    "commands:\n"
    "  users                         Palm Desktop folder, version and HotSync users\n"
    "  list palm|wab [FILE]          the contacts of one side as the window lists them\n"
    "  compare                       every record of both sides with its state\n"
    "  transfer p2o|o2p|sync         carry contacts from one side to the other\n"
    "\n"
    "global options:\n"
    "  --ini FILE    read the settings from FILE instead of corvane.ini\n"
    "  --help        this text; 'varnwick-cli COMMAND --help' for a command\n"
    "\n"
    "The settings file is never written. Exit status: 0 success, 1 a side\n"
    "cannot be read or written, 2 usage error.\n";

constexpr const char kUsersHelp[] =
    "usage: varnwick-cli [--ini FILE] users [--json]\n"
    "\n"
    "Prints the Palm Desktop folder, its version, the database generation that\n"
    "version expects, and every HotSync user with id, name, folder and address\n"
    "file. The user marked '*' is the one the settings choose.\n"
    "Exit status 1 when no Palm Desktop folder can be found.\n";

constexpr const char kListHelp[] =
    "usage: varnwick-cli [--ini FILE] list palm|wab [FILE] [--json]\n"
    "\n"
    "Prints the contacts of one side as the window lists them (EmailOnly\n"
    "applies), each as its neutral record: the Palm contacts of FILE or of the\n"
    "chosen HotSync user's data file, or the address-book entries of FILE or of\n"
    "WabFile as they convert to neutral records. --json prints an array of\n"
    "objects keyed by field name, text in UTF-8, dates in ISO 8601.\n"
    "Exit status 1 when the file cannot be read.\n";

constexpr const char kCompareHelp[] =
    "usage: varnwick-cli [--ini FILE] compare [--palm FILE] [--wab FILE] [--json]\n"
    "\n"
    "Classifies every record of both sides against the other side and prints\n"
    "it with its state: same, new (no match on the other side) or modified (a\n"
    "match that differs). Records that EmailOnly keeps out of the lists are\n"
    "classified too and marked as not listed.\n"
    "Exit status 1 when a side cannot be read.\n";

constexpr const char kTransferHelp[] =
    "usage: varnwick-cli [--ini FILE] transfer p2o|o2p|sync [--palm FILE] [--wab FILE]\n"
    "                    [--email-only] [--swap-name] [--custom N=TAG]... [--json]\n"
    "\n"
    "  p2o   Palm Desktop to Outlook Express: the Palm contacts that are new or\n"
    "        modified against the address book\n"
    "  o2p   Outlook Express to Palm Desktop: the address-book entries that are\n"
    "        new or modified against the Palm data\n"
    "  sync  every listed record of both sides, Palm first\n"
    "\n"
    "  --palm FILE     Palm Desktop data file (default: the chosen user's file)\n"
    "  --wab FILE      address book (default: WabFile; created when missing)\n"
    "  --email-only    only contacts with an e-mail address\n"
    "  --swap-name     exchange first and last name on the Palm side\n"
    "  --custom N=TAG  exchange Palm custom field N (1-9) with the address-book\n"
    "                  property TAG (decimal or 0x...; 0 for none); turns the\n"
    "                  custom mapping on\n"
    "\n"
    "Prints the window's message and what each receiving side did (added,\n"
    "updated, unchanged, failed). Exit status 1 when a side cannot be read or\n"
    "written.\n";

// One-line complaint on standard error, then the exit status.
int Fail(int nStatus, const std::string& strReason)
{
    std::fprintf(stderr, "varnwick-cli: %s\n", strReason.c_str());
    return nStatus;
}

bool FileExists(const char* pszPath)
{
    struct stat info;
    return stat(pszPath, &info) == 0 && S_ISREG(info.st_mode);
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

    ~Session() { engine.Shutdown(false); }
};

// The Palm side as named by the settings (or an override), loaded.
int LoadPalmSide(Session& session)
{
    if (session.settings.DatFile[0] == '\0' && session.settings.nDatFileTooLong == 0)
        return Fail(kExitSide, "no Palm Desktop data file: no HotSync user is known; name the file");
    session.engine.LoadPalmList();
    if (!session.engine.GetPalmInfo()->IsLoaded())
        return Fail(kExitSide, session.engine.SideFailureText(LIST_PALM, false));
    return kExitOk;
}

// The address book as named by the settings (or an override), opened. A
// read-only command refuses a named book that does not exist, because
// opening it would create it.
int LoadWabSide(Session& session, bool bMayCreate)
{
    const char* pszFile = session.settings.WabFile;
    if (!bMayCreate && pszFile[0] != '\0' && !FileExists(pszFile))
        return Fail(kExitSide, std::string("the Outlook Express address book \"") + pszFile +
                                   "\" is not open: " + FailReasonText(CheckInputPath(pszFile)));
    session.engine.LoadOutlookList();
    if (!session.engine.GetWab()->IsOpen())
        return Fail(kExitSide, session.engine.SideFailureText(LIST_WAB, false));
    return kExitOk;
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

// ---- users -------------------------------------------------------------

int CmdUsers(Session& session, const std::vector<std::string>& args)
{
    for (const std::string& arg : args) {
        if (arg == "--json")
            session.bJson = true;
        else
            return Fail(kExitUsage, "users: unexpected argument '" + arg + "'");
    }
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
                        static_cast<int>(i) == engine.GetSelectedUser() ? '*' : ' ',
                        line.pUser->dwUserID, Utf8(line.pUser->szName).c_str(),
                        Utf8(line.strFolder.c_str()).c_str(), Utf8(line.strFile.c_str()).c_str());
        }
    }
    if (!bFolder)
        return Fail(kExitSide, "no Palm Desktop folder: set PDPath in section [Path] of the settings");
    return kExitOk;
}

// ---- list --------------------------------------------------------------

int CmdList(Session& session, const std::vector<std::string>& args)
{
    std::string strSide;
    std::string strFile;
    for (const std::string& arg : args) {
        if (arg == "--json")
            session.bJson = true;
        else if (!arg.empty() && arg[0] == '-')
            return Fail(kExitUsage, "list: unknown option '" + arg + "'");
        else if (strSide.empty())
            strSide = arg;
        else if (strFile.empty())
            strFile = arg;
        else
            return Fail(kExitUsage, "list: unexpected argument '" + arg + "'");
    }
    if (strSide != "palm" && strSide != "wab")
        return Fail(kExitUsage, "list: name the side, palm or wab");
    const bool bPalm = strSide == "palm";

    TransferEngine& engine = session.engine;
    engine.Startup(false);
    if (!strFile.empty())
        SetSidePath(session.settings, bPalm, strFile);
    const int nStatus = bPalm ? LoadPalmSide(session) : LoadWabSide(session, false);
    if (nStatus != kExitOk)
        return nStatus;

    const ListType eList = bPalm ? LIST_PALM : LIST_WAB;
    std::string out = session.bJson ? "[" : "";
    for (int nRow = 0; nRow < engine.GetRowCount(eList); ++nRow) {
        CommAddrRecord record;
        ZeroCommRecord(&record);
        if (bPalm) {
            record = *engine.PalmRecordAt(nRow);
        } else {
            CxWab::ConvertToComm(engine.WabRecordAt(nRow), &record);
        }
        if (session.bJson) {
            out += nRow ? ",\n " : "";
            out += RecordToJson(record);
        } else {
            out += "[" + std::to_string(nRow + 1) + "] " + AnsiToUtf8(engine.GetRow(eList, nRow)->strCaption) + "\n";
            out += RecordToText(record, "    ");
        }
    }
    if (session.bJson)
        out += "]\n";
    else
        out += std::to_string(engine.GetRowCount(eList)) + (bPalm ? " Palm Desktop" : " address-book") +
               " contacts listed\n";
    std::fputs(out.c_str(), stdout);
    return kExitOk;
}

// ---- options shared by compare and transfer ----------------------------

// Applies --palm/--wab (and, for transfer, the other overrides) to the
// settings. Answers kExitOk, or the usage status after complaining.
int ParseSideOptions(Session& session, const std::vector<std::string>& args, size_t nFirst,
                     bool bTransferOptions, const char* pszCommand)
{
    SysSettings& settings = session.settings;
    for (size_t i = nFirst; i < args.size(); ++i) {
        const std::string& arg = args[i];
        const bool bHasValue = i + 1 < args.size();
        if (arg == "--json") {
            session.bJson = true;
        } else if ((arg == "--palm" || arg == "--wab") && bHasValue) {
            const bool bPalm = arg == "--palm";
            SetSidePath(settings, bPalm, args[++i]);
        } else if (bTransferOptions && arg == "--email-only") {
            settings.EmailOnly = 1;
        } else if (bTransferOptions && arg == "--swap-name") {
            settings.SwapName = 1;
        } else if (bTransferOptions && arg == "--custom" && bHasValue) {
            const std::string& value = args[++i];
            char* pEnd = nullptr;
            errno = 0;
            const long nField = std::strtol(value.c_str(), &pEnd, 10);
            if (pEnd == value.c_str() || *pEnd != '=' || nField < 1 || nField > 9)
                return Fail(kExitUsage, std::string(pszCommand) + ": --custom wants N=TAG with N from 1 to 9");
            const char* pszTag = pEnd + 1;
            const unsigned long ulTag = std::strtoul(pszTag, &pEnd, 0);
            if (*pszTag == '\0' || *pEnd != '\0' || errno != 0 || ulTag > 0xFFFFFFFFul)
                return Fail(kExitUsage, std::string(pszCommand) + ": --custom TAG is not a number: " + pszTag);
            settings.Custom[nField - 1] = static_cast<int>(static_cast<uint32_t>(ulTag));
            settings.SyncCustom = 1;
        } else {
            return Fail(kExitUsage, std::string(pszCommand) + ": unexpected argument '" + arg + "'");
        }
    }
    return kExitOk;
}

// ---- compare -----------------------------------------------------------

int CmdCompare(Session& session, const std::vector<std::string>& args)
{
    TransferEngine& engine = session.engine;
    engine.Startup(false);
    int nStatus = ParseSideOptions(session, args, 0, false, "compare");
    if (nStatus == kExitOk)
        nStatus = LoadPalmSide(session);
    if (nStatus == kExitOk)
        nStatus = LoadWabSide(session, false);
    if (nStatus != kExitOk)
        return nStatus;
    engine.RefreshStates();

    // Which records the lists show (EmailOnly keeps some out).
    std::vector<const void*> listed;
    for (ListType eList : {LIST_PALM, LIST_WAB})
        for (int nRow = 0; nRow < engine.GetRowCount(eList); ++nRow)
            listed.push_back(engine.GetRow(eList, nRow)->pData);
    auto isListed = [&listed](const void* p) {
        for (const void* q : listed)
            if (q == p)
                return true;
        return false;
    };

    struct Entry {
        int nState;
        bool bListed;
        std::string strCaption;
        CommAddrRecord record;
    };
    std::vector<Entry> palm;
    std::vector<Entry> wab;
    CommAddrMgr* pPalmSet = engine.GetPalmInfo()->GetContactSet();
    for (CommAddrRecord* p = pPalmSet->GetFirstRecord(); p != nullptr; p = pPalmSet->GetNextRecord()) {
        Entry entry{p->nStatus, isListed(p), std::string(p->szFirstName) + " " + p->szLastName, *p};
        palm.push_back(std::move(entry));
    }
    CxWab* pWab = engine.GetWab();
    for (WabRecord* p = pWab->GetFirstEntry(); p != nullptr; p = pWab->GetNextEntry()) {
        Entry entry{p->nState, isListed(p), p->PR_DISPLAY_NAME, {}};
        ZeroCommRecord(&entry.record);
        CxWab::ConvertToComm(p, &entry.record);
        wab.push_back(std::move(entry));
    }

    std::string out;
    if (session.bJson) {
        out = "{";
        const std::pair<const char*, const std::vector<Entry>*> sides[] = {{"palm", &palm}, {"wab", &wab}};
        for (const auto& [pszName, pEntries] : sides) {
            out += std::string(pEntries == &palm ? "" : ",\n ") + "\"" + pszName + "\": [";
            for (size_t i = 0; i < pEntries->size(); ++i) {
                const Entry& entry = (*pEntries)[i];
                out += i ? ",\n  " : "\n  ";
                out += std::string("{\"state\": \"") + StateName(entry.nState) + "\", \"listed\": " +
                       (entry.bListed ? "true" : "false") + ", \"record\": " + RecordToJson(entry.record) + "}";
            }
            out += "]";
        }
        out += "}\n";
    } else {
        const std::pair<const char*, const std::vector<Entry>*> sides[] = {
            {"Palm Desktop", &palm}, {"Outlook Express", &wab}};
        for (const auto& [pszName, pEntries] : sides) {
            int nCounts[3] = {};
            for (const Entry& entry : *pEntries)
                ++nCounts[entry.nState == RS_NEW ? 1 : entry.nState == RS_MODIFIED ? 2 : 0];
            out += std::string(pszName) + ": " + std::to_string(pEntries->size()) + " records, " +
                   std::to_string(nCounts[0]) + " same, " + std::to_string(nCounts[1]) + " new, " +
                   std::to_string(nCounts[2]) + " modified\n";
            for (const Entry& entry : *pEntries) {
                char szState[16];
                std::snprintf(szState, sizeof szState, "%-9s", StateName(entry.nState));
                out += std::string("  ") + szState + AnsiToUtf8(entry.strCaption) +
                       (entry.bListed ? "" : "  (not listed)") + "\n";
            }
        }
    }
    std::fputs(out.c_str(), stdout);
    return kExitOk;
}

// ---- transfer ----------------------------------------------------------

std::string SideJson(const SideOutcome& side)
{
    if (!side.bReceiving)
        return "null";
    std::string out = "{\"written\": ";
    out += side.bWritten ? "true" : "false";
    if (!side.bWritten)
        out += ", \"error\": " + JsonString(Utf8(side.strError.c_str()));
    out += ", \"handed\": " + std::to_string(side.nHanded);
    out += ", \"added\": " + std::to_string(side.nAdded);
    out += ", \"updated\": " + std::to_string(side.nUpdated);
    out += ", \"unchanged\": " + std::to_string(side.nUnchanged);
    out += ", \"failed\": " + std::to_string(side.nFailed) + "}";
    return out;
}

std::string SideText(const char* pszSide, const SideOutcome& side)
{
    std::string out = std::string(pszSide) + ": " + std::to_string(side.nAdded) + " added, " +
                      std::to_string(side.nUpdated) + " updated, " + std::to_string(side.nUnchanged) +
                      " unchanged, " + std::to_string(side.nFailed) + " failed";
    if (!side.bWritten)
        out += " (" + Utf8(side.strError.c_str()) + ")";
    return out + "\n";
}

int CmdTransfer(Session& session, const std::vector<std::string>& args)
{
    if (args.empty())
        return Fail(kExitUsage, "transfer: name the mode, p2o, o2p or sync");
    int nMode;
    if (args[0] == "p2o")
        nMode = SYNC_PALM_TO_OE;
    else if (args[0] == "o2p")
        nMode = SYNC_OE_TO_PALM;
    else if (args[0] == "sync")
        nMode = SYNC_BOTH;
    else
        return Fail(kExitUsage, "transfer: unknown mode '" + args[0] + "' (p2o, o2p or sync)");

    TransferEngine& engine = session.engine;
    engine.Startup(false);
    int nStatus = ParseSideOptions(session, args, 1, true, "transfer");
    if (nStatus == kExitOk)
        nStatus = LoadPalmSide(session);
    if (nStatus == kExitOk)
        nStatus = LoadWabSide(session, true);
    if (nStatus != kExitOk)
        return nStatus;
    // As at the window's start: the rows that differ are ticked.
    engine.RefreshStates();
    const TransferResult result = engine.StartTransfer(nMode);

    if (session.bJson) {
        std::string out = "{\"mode\": ";
        out += JsonString(args[0]);
        out += std::string(", \"ran\": ") + (result.bRan ? "true" : "false");
        out += std::string(", \"success\": ") + (result.bSuccess ? "true" : "false");
        out += ", \"caption\": " + JsonString(result.strCaption);
        out += ", \"message\": " + JsonString(Utf8(result.strMessage.c_str()));
        out += ", \"reported\": " + std::to_string(result.nReported);
        out += ", \"wab\": " + SideJson(result.toWab);
        out += ", \"palm\": " + SideJson(result.toPalm) + "}\n";
        std::fputs(out.c_str(), stdout);
    } else {
        std::string out = result.strCaption + ": " + Utf8(result.strMessage.c_str()) + "\n";
        if (result.toWab.bReceiving)
            out += SideText("Outlook Express address book", result.toWab);
        if (result.toPalm.bReceiving)
            out += SideText("Palm Desktop data", result.toPalm);
        std::fputs(out.c_str(), stdout);
    }
    if (result.bRan && !result.bSuccess)
        return Fail(kExitSide, Utf8(result.strMessage.c_str()));
    return kExitOk;
}

} // namespace

int main(int argc, char** argv)
{
    std::string strIni;
    std::string strCommand;
    std::vector<std::string> args;
    bool bHelp = false;
    for (int i = 1; i < argc; ++i) {
        const std::string arg = argv[i];
        if (arg == "--ini") {
            if (i + 1 >= argc)
                return Fail(kExitUsage, "--ini wants a file name");
            strIni = argv[++i];
        } else if (arg == "--help" || arg == "-h") {
            bHelp = true;
        } else if (strCommand.empty() && !arg.empty() && arg[0] != '-') {
            strCommand = arg;
        } else if (strCommand.empty()) {
            return Fail(kExitUsage, "unknown option '" + arg + "'; see --help");
        } else {
            args.push_back(arg);
        }
    }

    struct Command {
        const char* pszName;
        const char* pszHelp;
        int (*pfnRun)(Session&, const std::vector<std::string>&);
    };
    static const Command kCommands[] = {
        {"users", kUsersHelp, CmdUsers},
        {"list", kListHelp, CmdList},
        {"compare", kCompareHelp, CmdCompare},
        {"transfer", kTransferHelp, CmdTransfer},
    };
    const Command* pCommand = nullptr;
    for (const Command& command : kCommands) {
        if (strCommand == command.pszName)
            pCommand = &command;
    }
    if (strCommand.empty()) {
        if (!bHelp)
            return Fail(kExitUsage, "no command given; see --help");
        std::fputs(kMainHelp, stdout);
        return kExitOk;
    }
    if (pCommand == nullptr)
        return Fail(kExitUsage, "unknown command '" + strCommand + "'; see --help");
    if (bHelp) {
        std::fputs(pCommand->pszHelp, stdout);
        return kExitOk;
    }

    if (!strIni.empty()) {
        if (!FileExists(strIni.c_str()))
            return Fail(kExitUsage, "settings file " + strIni + " does not exist");
        SetIniFilePathOverride(strIni.c_str());
    }
    Session session;
    return pCommand->pfnRun(session, args);
}
