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
#include <sys/stat.h>

#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <unordered_set>
#include <vector>

#include "cli/CliExchange.h"
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
#include "src/core/SysSettings.h"
#include "src/core/TransferEngine.h"

namespace {

constexpr int kExitOk = 0;
constexpr int kExitSide = 1;
constexpr int kExitUsage = 2;

constexpr const char kMainHelp[] =
    "usage: varnwick-cli [--ini FILE] COMMAND [OPTIONS]\n"
    "       varnwick-cli help [COMMAND]\n"
    "       varnwick-cli --version\n"
    "\n"
    "Carries contacts between Palm Desktop and an Outlook Express address book,\n"
    "as the Varnwick window does, with the window's settings (corvane.ini).\n"
    "\n"
    "commands:\n"
    "  users                         Palm Desktop folder, version and HotSync users\n"
    "  list palm|wab [FILE]          the contacts of one side as the window lists them\n"
    "  compare                       every record of both sides with its state\n"
    "  transfer p2o|o2p|sync         carry contacts from one side to the other\n"
    "  export palm|wab               one side's contacts as vCard or CSV\n"
    "  import FILE --into palm|wab   the contacts of a vCard or CSV file into one side\n"
    "  help [COMMAND]                this text, or the options of one command\n"
    "\n"
    "global options:\n"
    "  --ini FILE    read the settings from FILE instead of corvane.ini\n"
    "  --json        print results, and errors, as JSON on standard output\n"
    "  --help        this text; 'varnwick-cli COMMAND --help' for a command\n"
    "  --version     the program's version\n"
    "\n"
    "The settings file is never written. Exit status: 0 success, 1 a side\n"
    "cannot be read or written, 2 usage error. With --json an error is printed\n"
    "as {\"error\": TEXT, \"status\": N} on standard output, with the same status.\n";

constexpr const char kUsersHelp[] =
    "usage: varnwick-cli [--ini FILE] users [--json]\n"
    "\n"
    "Prints the Palm Desktop folder, its version, the database generation that\n"
    "version expects, and every HotSync user with id, name, folder and address\n"
    "file. The user marked '*' is the one the settings choose.\n"
    "Exit status 1 when no Palm Desktop folder can be found.\n";

constexpr const char kListHelp[] =
    "usage: varnwick-cli [--ini FILE] list palm|wab [FILE] [--all] [--json]\n"
    "\n"
    "Prints the contacts of one side as the window lists them (EmailOnly\n"
    "applies unless --all is given), each as its neutral record: the Palm\n"
    "contacts of FILE or of the chosen HotSync user's data file, or the\n"
    "address-book entries of FILE or of WabFile as they convert to neutral\n"
    "records. --json prints an array of objects keyed by field name, text in\n"
    "UTF-8, dates in ISO 8601. In text output a line break inside a value is\n"
    "written as \\n, so that every value keeps to its line (the note keeps its\n"
    "lines, indented).\n"
    "\n"
    "  --all    every contact, also those EmailOnly keeps out of the lists\n"
    "\n"
    "Exit status 1 when the file cannot be read.\n";

constexpr const char kCompareHelp[] =
    "usage: varnwick-cli [--ini FILE] compare [--palm FILE] [--wab FILE] [--all] [--json]\n"
    "\n"
    "Classifies every record of both sides against the other side and prints\n"
    "it with its state: same, new (no match on the other side) or modified (a\n"
    "match that differs). Records that EmailOnly keeps out of the lists are\n"
    "classified too and marked as not listed, unless --all lists every record.\n"
    "\n"
    "  --palm FILE     Palm Desktop data file (default: the chosen user's file)\n"
    "  --wab FILE      address book (default: WabFile)\n"
    "  --all           ignore EmailOnly: every record is listed\n"
    "\n"
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

constexpr const char kExportHelp[] =
    "usage: varnwick-cli [--ini FILE] export palm|wab [--format FORMAT]\n"
    "                    [--ticked-state STATES] [--palm FILE] [--wab FILE]\n"
    "                    [-o FILE] [--json]\n"
    "\n"
    "Writes the contacts of one side, as the window lists them (EmailOnly\n"
    "applies), to a file that other address books read.\n"
    "\n"
    "  --format FORMAT       vcard4 (vCard 4.0, the default), vcard3 (vCard 3.0,\n"
    "                        for Google and most phones), csv-google or\n"
    "                        csv-outlook (CSV with that program's header row)\n"
    "  --ticked-state STATES only the contacts in these states against the other\n"
    "                        side, as the window ticks them: a comma-separated\n"
    "                        list of same, new, modified (both sides are read)\n"
    "  --palm FILE, --wab FILE  the sides' files (default: the settings')\n"
    "  -o FILE               write FILE (replaced as a whole); without it the\n"
    "                        contacts go to standard output\n"
    "  --json                with -o: the result as a JSON object\n"
    "\n"
    "Text is written as UTF-8. Exit status 1 when a side cannot be read or the\n"
    "file cannot be written.\n";

constexpr const char kImportHelp[] =
    "usage: varnwick-cli [--ini FILE] import FILE --into palm|wab [--format FORMAT]\n"
    "                    [--palm FILE] [--wab FILE] [--json]\n"
    "\n"
    "Reads the contacts of a vCard file (2.1, 3.0 or 4.0) or of a CSV file with\n"
    "the header row of Google Contacts or Outlook, and hands them to one side as\n"
    "a transfer would: a contact is added, merged into its match, or left alone\n"
    "when the side has it already, so importing a file twice changes nothing.\n"
    "The Palm data is saved afterwards.\n"
    "\n"
    "  --into palm|wab       the receiving side\n"
    "  --format FORMAT       vcard4, vcard3, csv-google or csv-outlook (default:\n"
    "                        recognised from the file)\n"
    "  --palm FILE, --wab FILE  the sides' files (default: the settings'; a\n"
    "                        missing address book is created)\n"
    "  --json                the result as a JSON object\n"
    "\n"
    "A contact holding characters the ANSI code page cannot hold is not\n"
    "imported; it is named, with the count, in the result. Exit status 1 when\n"
    "a side or the file cannot be read or written, or when some contact could\n"
    "not be imported.\n";

// Whether --json stands anywhere on the command line: errors are then JSON
// objects on standard output, even those found before the command read it.
bool g_bJsonErrors = false;

// The complaint, then the exit status: one line on standard error, or with
// --json one object {"error": ..., "status": ...} on standard output.
int Fail(int nStatus, const std::string& strReason)
{
    if (g_bJsonErrors) {
        const std::string out = "{\"error\": " + JsonString(AnsiToUtf8(strReason)) +
                                ", \"status\": " + std::to_string(nStatus) + "}\n";
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
    if (!bMayCreate && pszFile[0] != '\0' && !FileExists(pszFile))
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
        return FailAfterOutput(kExitSide, "no Palm Desktop folder: choose it in the window's Options or set PDPath in "
                                          "section [Path] of the settings");
    return kExitOk;
}

// ---- list --------------------------------------------------------------

int CmdList(Session& session, const std::vector<std::string>& args)
{
    std::string strSide;
    std::string strFile;
    bool bAll = false;
    for (const std::string& arg : args) {
        if (arg == "--json")
            session.bJson = true;
        else if (arg == "--all")
            bAll = true;
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
                                  " " + std::string(record.szLastName, strnlen(record.szLastName, sizeof record.szLastName)));
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

// Applies --palm/--wab (and, for transfer, the other overrides; for
// compare, --all) to the settings. Answers kExitOk, or the usage status after complaining.
int ParseSideOptions(Session& session, const std::vector<std::string>& args, size_t nFirst,
                     bool bTransferOptions, const char* pszCommand)
{
    SysSettings& settings = session.settings;
    for (size_t i = nFirst; i < args.size(); ++i) {
        const std::string& arg = args[i];
        const bool bHasValue = i + 1 < args.size();
        if (arg == "--json") {
            session.bJson = true;
        } else if (arg == "--palm" || arg == "--wab") {
            if (!bHasValue)
                return MissingValue(arg, "a file");
            SetSidePath(settings, arg == "--palm", args[++i]);
        } else if (!bTransferOptions && arg == "--all") {
            settings.EmailOnly = 0;
        } else if (bTransferOptions && arg == "--email-only") {
            settings.EmailOnly = 1;
        } else if (bTransferOptions && arg == "--swap-name") {
            settings.SwapName = 1;
        } else if (bTransferOptions && arg == "--custom") {
            if (!bHasValue)
                return MissingValue(arg, "N=TAG");
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
    std::unordered_set<const void*> listed;
    for (ListType eList : {LIST_PALM, LIST_WAB}) {
        listed.reserve(listed.size() + static_cast<size_t>(engine.GetRowCount(eList)));
        for (int nRow = 0; nRow < engine.GetRowCount(eList); ++nRow)
            listed.insert(engine.GetRow(eList, nRow)->pData);
    }
    auto isListed = [&listed](const void* p) { return listed.count(p) != 0; };

    // Both sides are walked where they are stored, Palm first; an
    // address-book entry is converted into one neutral record at a time.
    CommAddrMgr* pPalmSet = engine.GetPalmInfo()->GetContactSet();
    CxWab* pWab = engine.GetWab();
    CommAddrRecord converted;
    // visit(state, listed, caption (ANSI), record) for every record of a
    // side; with bRecords the neutral record is filled in and the caption
    // left empty, otherwise the other way round.
    std::string strCaption;
    auto forEachPalm = [&](auto&& visit, bool bRecords) {
        for (CommAddrRecord* p = pPalmSet->GetFirstRecord(); p != nullptr; p = pPalmSet->GetNextRecord()) {
            if (!bRecords)
                strCaption.assign(p->szFirstName).append(" ").append(p->szLastName);
            visit(p->nStatus, isListed(p), strCaption, *p);
        }
    };
    auto forEachWab = [&](auto&& visit, bool bRecords) {
        for (WabRecord* p = pWab->GetFirstEntry(); p != nullptr; p = pWab->GetNextEntry()) {
            if (bRecords) {
                ZeroCommRecord(&converted);
                CxWab::ConvertToComm(p, &converted);
            } else {
                strCaption.assign(p->PR_DISPLAY_NAME);
            }
            visit(p->nState, isListed(p), strCaption, converted);
        }
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
            forEach([&](int nState, bool, const std::string&, const CommAddrRecord&) {
                ++nRecords;
                ++nCounts[nState == RS_NEW ? 1 : nState == RS_MODIFIED ? 2 : 0];
            }, false);
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
            forEach([&](int nState, bool bListed, const std::string& strCaption, const CommAddrRecord&) {
                char szState[16];
                std::snprintf(szState, sizeof szState, "%-9s", StateName(nState));
                out.Append("  ");
                out.Append(szState);
                out.Append(OneLine(AnsiToUtf8(strCaption)));
                out.Append(bListed ? "\n" : "  (not listed)\n");
            }, false);
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

    OutputBuffer out(stdout);
    if (session.bJson) {
        JsonWriter json(out);
        json.BeginObject();
        json.Key("mode");
        json.String(args[0]);
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

int CmdExport(Session& session, const std::vector<std::string>& args)
{
    return RunExportCommand(session.settings, session.engine, args);
}

int CmdImport(Session& session, const std::vector<std::string>& args)
{
    return RunImportCommand(session.settings, session.engine, args);
}

} // namespace

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
    bool bGlobalJson = false;   // --json before the command
    for (int i = 1; i < argc; ++i) {
        if (std::strcmp(argv[i], "--json") == 0)
            g_bJsonErrors = true;
    }
    for (int i = 1; i < argc; ++i) {
        const std::string arg = argv[i];
        if (arg == "--ini") {
            if (i + 1 >= argc)
                return MissingValue(arg, "a file");
            strIni = argv[++i];
        } else if (arg == "--help" || arg == "-h") {
            bHelp = true;
        } else if (arg == "--version" && strCommand.empty()) {
            std::printf("varnwick-cli %s\n", VW_VERSION);
            return kExitOk;
        } else if (arg == "--json" && strCommand.empty()) {
            bGlobalJson = true;
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
        {"export", kExportHelp, CmdExport},
        {"import", kImportHelp, CmdImport},
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
    session.bJson = bGlobalJson;
    return pCommand->pfnRun(session, args);
}
