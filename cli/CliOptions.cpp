#include "cli/CliOptions.h"

#include <algorithm>
#include <cstring>

#include "cli/CliCommon.h"

namespace {

// Help lines are wrapped to fit a terminal of 80 columns.
constexpr size_t kHelpWidth = 79;
// Where a wrapped usage line continues: under the command's name.
constexpr const char kUsageStart[] = "usage: varnwick-cli ";
constexpr const char kUsageIni[] = "[--ini FILE] ";
// The space between an option (or a command) and its help.
constexpr size_t kColumnGap = 2;

bool Matches(const CliOption& option, const std::string& arg)
{
    return arg == option.pszName || (option.pszAlias != nullptr && arg == option.pszAlias);
}

const CliOption* FindOption(std::span<const CliOption> options, const std::string& arg)
{
    for (const CliOption& option : options) {
        if (Matches(option, arg))
            return &option;
    }
    return nullptr;
}

// "--palm FILE", "-o FILE, --output FILE", "--help, -h".
std::string OptionLabel(const CliOption& option)
{
    const std::string strValue = option.pszValue != nullptr ? std::string(" ") + option.pszValue : std::string();
    std::string strLabel = option.pszName + strValue;
    if (option.pszAlias != nullptr)
        strLabel += std::string(", ") + option.pszAlias + strValue;
    return strLabel;
}

// Words wrapped into lines of at most kHelpWidth columns, the first
// starting at nFirstColumn, every line after it indented by nIndent.
// Answers the lines joined, each ended by a line break.
std::string Wrap(const std::string& strText, size_t nFirstColumn, size_t nIndent)
{
    std::string out;
    size_t nColumn = nFirstColumn;
    bool bLineEmpty = true;
    size_t nPos = 0;
    while (nPos < strText.size()) {
        if (strText[nPos] == ' ') {
            ++nPos;
            continue;
        }
        size_t nEnd = strText.find(' ', nPos);
        if (nEnd == std::string::npos)
            nEnd = strText.size();
        const size_t nLen = nEnd - nPos;
        if (!bLineEmpty && nColumn + 1 + nLen > kHelpWidth) {
            out += "\n" + std::string(nIndent, ' ');
            nColumn = nIndent;
            bLineEmpty = true;
        }
        if (!bLineEmpty) {
            out += ' ';
            ++nColumn;
        }
        out.append(strText, nPos, nLen);
        nColumn += nLen;
        bLineEmpty = false;
        nPos = nEnd;
    }
    return out + "\n";
}

// Rows of a two-column list ("  label  help"), the help wrapped under itself.
std::string Columns(const std::vector<std::pair<std::string, std::string>>& rows)
{
    size_t nWidth = 0;
    for (const auto& row : rows)
        nWidth = std::max(nWidth, row.first.size());
    const size_t nHelpColumn = 2 + nWidth + kColumnGap;
    std::string out;
    for (const auto& [strLabel, strHelp] : rows) {
        out += "  " + strLabel + std::string(nHelpColumn - 2 - strLabel.size(), ' ');
        out += Wrap(strHelp, nHelpColumn, nHelpColumn);
    }
    return out;
}

// What the command list names a command by: its name, its arguments and
// the options it cannot do without.
std::string CommandLabel(const CliCommandSpec& command)
{
    std::string strLabel = command.pszName;
    if (command.pszArgs[0] != '\0')
        strLabel += std::string(" ") + command.pszArgs;
    for (const CliOption& option : command.options) {
        if (option.bRequired)
            strLabel += " " + OptionLabel(option);
    }
    return strLabel;
}

// One section of prose: the text, then a blank line when there is more.
void AppendProse(std::string& out, const char* pszText)
{
    if (pszText != nullptr && pszText[0] != '\0')
        out += std::string("\n") + pszText;
}

}  // namespace

bool CliArgs::Has(const char* pszName) const
{
    return Last(pszName) != nullptr;
}

const std::string* CliArgs::Last(const char* pszName) const
{
    for (auto it = given.rbegin(); it != given.rend(); ++it) {
        if (it->first == pszName)
            return &it->second;
    }
    return nullptr;
}

int CliParse(const CliCommandSpec& command, const std::vector<std::string>& args, CliArgs* pArgs)
{
    pArgs->words.clear();
    pArgs->given.clear();
    const std::string strCommand = command.pszName;
    for (size_t i = 0; i < args.size(); ++i) {
        const std::string& arg = args[i];
        const CliOption* pOption = FindOption(command.options, arg);
        if (pOption != nullptr) {
            std::string strValue;
            if (pOption->pszValue != nullptr) {
                if (i + 1 >= args.size())
                    return CliMissingValue(arg, pOption->pszNeeds);
                strValue = args[++i];
            }
            pArgs->given.emplace_back(pOption->pszName, std::move(strValue));
        } else if (!arg.empty() && arg[0] == '-') {
            return CliFail(kCliExitUsage, strCommand + ": " +
                                              (command.bNamesUnknownOption ? "unknown option" : "unexpected argument") +
                                              " '" + arg + "'");
        } else if (pArgs->words.size() < static_cast<size_t>(command.nMaxArgs)) {
            pArgs->words.push_back(arg);
        } else {
            return CliFail(kCliExitUsage, strCommand + ": unexpected argument '" + arg + "'");
        }
    }
    return kCliExitOk;
}

std::string CliCommandHelp(const CliCommandSpec& command)
{
    // The usage line: the command, its arguments, then each option, the
    // optional ones in brackets; wrapped under the command's name.
    std::string strUsage = std::string(kUsageIni) + command.pszName;
    if (command.pszArgs[0] != '\0')
        strUsage += std::string(" ") + command.pszArgs;
    // An option and its value stay on one line: '\x01' holds them together
    // while the line is wrapped.
    for (const CliOption& option : command.options) {
        const std::string strOption =
            std::string(option.pszName) + (option.pszValue != nullptr ? std::string("\x01") + option.pszValue : "");
        strUsage += " " + (option.bRequired ? strOption : "[" + strOption + "]") + (option.bRepeat ? "..." : "");
    }
    std::string out = std::string(kUsageStart) + Wrap(strUsage, std::strlen(kUsageStart), std::strlen(kUsageStart));
    std::replace(out.begin(), out.end(), '\x01', ' ');

    AppendProse(out, command.pszAbout);
    std::vector<std::pair<std::string, std::string>> rows;
    for (const CliOption& option : command.options)
        rows.emplace_back(OptionLabel(option), option.pszHelp);
    if (!rows.empty())
        out += "\n" + Columns(rows);
    AppendProse(out, command.pszAfter);
    return out;
}

std::string CliMainHelp()
{
    const CliProgramText& program = CliProgram();
    std::string out = program.pszUsage;
    AppendProse(out, program.pszAbout);

    std::vector<std::pair<std::string, std::string>> rows;
    for (const CliCommandSpec& command : CliCommands())
        rows.emplace_back(CommandLabel(command), command.pszSummary);
    out += "\ncommands:\n" + Columns(rows);

    rows.clear();
    for (const CliOption& option : CliGlobalOptions())
        rows.emplace_back(OptionLabel(option), option.pszHelp);
    out += "\nglobal options:\n" + Columns(rows);
    AppendProse(out, program.pszAfter);
    return out;
}

const CliCommandSpec* FindCliCommand(const std::string& strName)
{
    for (const CliCommandSpec& command : CliCommands()) {
        if (strName == command.pszName)
            return &command;
    }
    return nullptr;
}

const CliOption* FindCliGlobalOption(const std::string& strName)
{
    return FindOption(CliGlobalOptions(), strName);
}
