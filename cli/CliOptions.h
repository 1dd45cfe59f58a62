// The options of varnwick-cli as data. Each command's arguments and
// options, with the help text of each, stand in one table (CliCommands.cpp)
// that drives both the parser and the help the program prints, so that the
// two cannot drift apart; the manual page is made from that help.
#pragma once

#include <span>
#include <string>
#include <utility>
#include <vector>

// One option of a command, or of the program as a whole.
struct CliOption {
    const char* pszName;             // "--palm"
    const char* pszValue = nullptr;  // the value as help names it, "FILE"; null for a flag
    const char* pszNeeds = nullptr;  // what a missing value is complained of: "a file"
    const char* pszHelp = "";        // one paragraph, wrapped to the help's width
    const char* pszAlias = nullptr;  // another spelling of the name, "--output" for "-o"
    bool bRepeat = false;            // each time it is given counts ("[--custom N=TAG]...")
    bool bRequired = false;          // the usage line shows it without brackets
};

// One command: its arguments (the words that are not options), its options
// and the prose of its help.
struct CliCommandSpec {
    const char* pszName;     // "export"
    const char* pszArgs;     // the arguments in the usage line: "palm|wab [FILE]"
    int nMaxArgs;            // how many arguments it takes at most
    const char* pszSummary;  // its line in the main help's command list
    std::span<const CliOption> options;
    const char* pszAbout;  // help text before the options ("" for none), whole lines
    const char* pszAfter;  // help text after them, whole lines
    // An unknown option is complained of as "unknown option" rather than
    // as "unexpected argument".
    bool bNamesUnknownOption = false;
};

// A command line as the parser read it against a command's table.
struct CliArgs {
    std::vector<std::string> words;  // the arguments, in order
    // Each option given, in order: its name as the table has it (an alias
    // is given as the name it stands for) and its value ("" for a flag).
    std::vector<std::pair<std::string, std::string>> given;

    bool Has(const char* pszName) const;
    // The value of the last pszName given; null when it was not.
    const std::string* Last(const char* pszName) const;
};

// Reads args against the command's table into *pArgs. An option whose
// value is missing, an unknown option and one argument too many are
// complained of (CliFail, exit status 2); answers 0 when the line reads.
// Option values are only collected here: the command judges them.
int CliParse(const CliCommandSpec& command, const std::vector<std::string>& args, CliArgs* pArgs);

// The help of one command: the usage line made from its table, its prose
// and each option with its help ("varnwick-cli help COMMAND").
std::string CliCommandHelp(const CliCommandSpec& command);
// The program's help: usage, the list of commands and the global options.
std::string CliMainHelp();

// The prose of the program's help, whole lines each.
struct CliProgramText {
    const char* pszUsage;  // the usage lines
    const char* pszAbout;  // what the program does, before the commands
    const char* pszAfter;  // after the global options
};

// The tables (CliCommands.cpp).
const CliProgramText& CliProgram();
std::span<const CliCommandSpec> CliCommands();
const CliCommandSpec* FindCliCommand(const std::string& strName);
std::span<const CliOption> CliGlobalOptions();
const CliOption* FindCliGlobalOption(const std::string& strName);
