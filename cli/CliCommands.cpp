// The commands of varnwick-cli and their options: what the parser reads and
// what the help says, in one place.

#include "cli/CliOptions.h"

namespace {

// ---- the program ----------------------------------------------------------

constexpr CliProgramText kProgram = {
    "usage: varnwick-cli [--ini FILE] COMMAND [OPTIONS]\n"
    "       varnwick-cli help [COMMAND]\n"
    "       varnwick-cli --version\n",

    "Carries contacts between Palm Desktop and an Outlook Express address book,\n"
    "as the Varnwick window does, with the window's settings (corvane.ini).\n",

    "The settings file is never written. Exit status: 0 success, 1 a side\n"
    "cannot be read or written, 2 usage error. With --json an error is printed\n"
    "as {\"error\": TEXT, \"status\": N} on standard output, with the same status.\n",
};

constexpr CliOption kGlobalOptions[] = {
    {.pszName = "--ini",
     .pszValue = "FILE",
     .pszNeeds = "a file",
     .pszHelp = "read the settings from FILE instead of corvane.ini"},
    {.pszName = "--json", .pszHelp = "print results, and errors, as JSON on standard output"},
    {.pszName = "--help", .pszHelp = "this text; 'varnwick-cli COMMAND --help' for a command", .pszAlias = "-h"},
    {.pszName = "--version", .pszHelp = "the program's version"},
};

// ---- options several commands take ---------------------------------------

constexpr CliOption kPalmFile = {.pszName = "--palm",
                                 .pszValue = "FILE",
                                 .pszNeeds = "a file",
                                 .pszHelp = "Palm Desktop data file (default: the chosen user's file)"};
constexpr CliOption kWabFile = {
    .pszName = "--wab", .pszValue = "FILE", .pszNeeds = "a file", .pszHelp = "address book (default: WabFile)"};
constexpr CliOption kWabFileCreated = {.pszName = "--wab",
                                       .pszValue = "FILE",
                                       .pszNeeds = "a file",
                                       .pszHelp = "address book (default: WabFile; created when missing)"};

// ---- users ----------------------------------------------------------------

constexpr CliOption kUsersOptions[] = {
    {.pszName = "--json", .pszHelp = "the folder, version and users as a JSON object"},
};

// ---- list -----------------------------------------------------------------

constexpr CliOption kListOptions[] = {
    {.pszName = "--all", .pszHelp = "every contact, also those EmailOnly keeps out of the lists"},
    {.pszName = "--json", .pszHelp = "the contacts as a JSON array"},
};

// ---- compare --------------------------------------------------------------

constexpr CliOption kCompareOptions[] = {
    kPalmFile,
    kWabFile,
    {.pszName = "--all", .pszHelp = "ignore EmailOnly: every record is listed"},
    {.pszName = "--json", .pszHelp = "both sides' records, each with its state, as a JSON object"},
};

// ---- transfer -------------------------------------------------------------

constexpr CliOption kTransferOptions[] = {
    kPalmFile,
    kWabFileCreated,
    {.pszName = "--email-only", .pszHelp = "only contacts with an e-mail address"},
    {.pszName = "--swap-name", .pszHelp = "exchange first and last name on the Palm side"},
    {.pszName = "--custom",
     .pszValue = "N=TAG",
     .pszNeeds = "N=TAG",
     .pszHelp = "exchange Palm custom field N (1-9) with the address-book property TAG (decimal or 0x...; 0 "
                "for none); turns the custom mapping on",
     .bRepeat = true},
    {.pszName = "--json", .pszHelp = "the message and what each side did as a JSON object"},
};

// ---- export ---------------------------------------------------------------

constexpr CliOption kExportOptions[] = {
    {.pszName = "--format",
     .pszValue = "FORMAT",
     .pszNeeds = "a format",
     .pszHelp = "vcard4 (vCard 4.0, the default), vcard3 (vCard 3.0, for Google and most phones), csv-google "
                "or csv-outlook (CSV with that program's header row)"},
    {.pszName = "--ticked-state",
     .pszValue = "STATES",
     .pszNeeds = "states",
     .pszHelp = "only the contacts in these states against the other side, as the window ticks them: a "
                "comma-separated list of same, new, modified (both sides are read)"},
    {.pszName = "--palm",
     .pszValue = "FILE",
     .pszNeeds = "a file",
     .pszHelp = "Palm Desktop data file (default: the settings')"},
    {.pszName = "--wab", .pszValue = "FILE", .pszNeeds = "a file", .pszHelp = "address book (default: the settings')"},
    {.pszName = "-o",
     .pszValue = "FILE",
     .pszNeeds = "a file",
     .pszHelp = "write FILE (replaced as a whole); without it the contacts go to standard output",
     .pszAlias = "--output"},
    {.pszName = "--json", .pszHelp = "with -o: the result as a JSON object"},
};

// ---- import ---------------------------------------------------------------

constexpr CliOption kImportOptions[] = {
    {.pszName = "--into",
     .pszValue = "palm|wab",
     .pszNeeds = "palm or wab",
     .pszHelp = "the receiving side",
     .bRequired = true},
    {.pszName = "--format",
     .pszValue = "FORMAT",
     .pszNeeds = "a format",
     .pszHelp = "vcard4, vcard3, csv-google or csv-outlook (default: recognised from the file)"},
    {.pszName = "--palm",
     .pszValue = "FILE",
     .pszNeeds = "a file",
     .pszHelp = "Palm Desktop data file (default: the settings')"},
    {.pszName = "--wab",
     .pszValue = "FILE",
     .pszNeeds = "a file",
     .pszHelp = "address book (default: the settings'; a missing address book is created)"},
    {.pszName = "--json", .pszHelp = "the result as a JSON object"},
};

// ---- the commands ---------------------------------------------------------

// The prose of each command's help, before and after its options.
constexpr const char kUsersAbout[] =
    "Prints the Palm Desktop folder, its version, the database generation that\n"
    "version expects, and every HotSync user with id, name, folder and address\n"
    "file. The user marked '*' is the one the settings choose.\n";
constexpr const char kUsersAfter[] = "Exit status 1 when no Palm Desktop folder can be found.\n";

constexpr const char kListAbout[] =
    "Prints the contacts of one side as the window lists them (EmailOnly\n"
    "applies unless --all is given), each as its neutral record: the Palm\n"
    "contacts of FILE or of the chosen HotSync user's data file, or the\n"
    "address-book entries of FILE or of WabFile as they convert to neutral\n"
    "records. --json prints an array of objects keyed by field name, text in\n"
    "UTF-8, dates in ISO 8601. In text output a line break inside a value is\n"
    "written as \\n, so that every value keeps to its line (the note keeps its\n"
    "lines, indented).\n";
constexpr const char kListAfter[] = "Exit status 1 when the file cannot be read.\n";

constexpr const char kCompareAbout[] =
    "Classifies every record of both sides against the other side and prints\n"
    "it with its state: same, new (no match on the other side) or modified (a\n"
    "match that differs). Records that EmailOnly keeps out of the lists are\n"
    "classified too and marked as not listed, unless --all lists every record.\n";
constexpr const char kCompareAfter[] = "Exit status 1 when a side cannot be read.\n";

constexpr const char kTransferAbout[] =
    "  p2o   Palm Desktop to Outlook Express: the Palm contacts that are new or\n"
    "        modified against the address book\n"
    "  o2p   Outlook Express to Palm Desktop: the address-book entries that are\n"
    "        new or modified against the Palm data\n"
    "  sync  every listed record of both sides, Palm first\n";
constexpr const char kTransferAfter[] =
    "Prints the window's message and what each receiving side did (added,\n"
    "updated, unchanged, failed). Exit status 1 when a side cannot be read or\n"
    "written.\n";

constexpr const char kExportAbout[] =
    "Writes the contacts of one side, as the window lists them (EmailOnly\n"
    "applies), to a file that other address books read.\n";
constexpr const char kExportAfter[] =
    "Text is written as UTF-8. Exit status 1 when a side cannot be read or the\n"
    "file cannot be written.\n";

constexpr const char kImportAbout[] =
    "Reads the contacts of a vCard file (2.1, 3.0 or 4.0) or of a CSV file with\n"
    "the header row of Google Contacts or Outlook, and hands them to one side as\n"
    "a transfer would: a contact is added, merged into its match, or left alone\n"
    "when the side has it already, so importing a file twice changes nothing.\n"
    "The Palm data is saved afterwards.\n";
constexpr const char kImportAfter[] =
    "A contact holding characters the ANSI code page cannot hold is not\n"
    "imported; it is named, with the count, in the result. Exit status 1 when\n"
    "a side or the file cannot be read or written, or when some contact could\n"
    "not be imported.\n";

constexpr const char kHelpAbout[] =
    "Prints the program's help, or the help of COMMAND (as 'varnwick-cli\n"
    "COMMAND --help' does).\n";

// The commands: name, arguments, how many at most, summary, options, the
// help before and after the options, and whether an unknown option is
// complained of as such.
constexpr CliCommandSpec kCommands[] = {
    {"users", "", 0, "Palm Desktop folder, version and HotSync users", kUsersOptions, kUsersAbout, kUsersAfter},
    {"list", "palm|wab [FILE]", 2, "the contacts of one side as the window lists them", kListOptions, kListAbout,
     kListAfter, true},
    {"compare", "", 0, "every record of both sides with its state", kCompareOptions, kCompareAbout, kCompareAfter},
    {"transfer", "p2o|o2p|sync", 1, "carry contacts from one side to the other", kTransferOptions, kTransferAbout,
     kTransferAfter},
    {"export", "palm|wab", 1, "one side's contacts as vCard or CSV", kExportOptions, kExportAbout, kExportAfter},
    {"import", "FILE", 1, "the contacts of a vCard or CSV file into one side", kImportOptions, kImportAbout,
     kImportAfter},
    {"help", "[COMMAND]", 1, "this text, or the options of one command", {}, kHelpAbout, ""},
};

}  // namespace

const CliProgramText& CliProgram()
{
    return kProgram;
}

std::span<const CliCommandSpec> CliCommands()
{
    return kCommands;
}

std::span<const CliOption> CliGlobalOptions()
{
    return kGlobalOptions;
}
