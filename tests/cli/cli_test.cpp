// varnwick-cli, run as a user runs it: the built program on small files in a
// scratch folder, judged by its exit status, its output and the files it
// leaves behind.
#include <gtest/gtest.h>

#include <fcntl.h>
#include <sqlite3.h>
#include <stdlib.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <functional>
#include <map>
#include <string>
#include <vector>

#include "common/misc/AppFolder.h"
#include "common/misc/CommAddrMgr.h"
#include "common/misc/CommAddrRecord.h"
#include "common/oe/CxWab.h"
#include "common/palm/PmAddrInfo.h"
#include "platform/fsutil/FsUtil.h"
#include "tests/support/TestFiles.h"
#include "tests/support/TestProcess.h"
#include "tools/d6gen/D6Gen.h"
#include "tools/datgen/DatGen.h"
#include "tools/pdgen/PdGen.h"

namespace fs = std::filesystem;

namespace {

using vwtest::RunResult;

// The integer after "key": inside the object that follows "object": in a
// JSON text, or -1.
int JsonInt(const std::string& json, const std::string& object, const std::string& key)
{
    const size_t nObject = json.find("\"" + object + "\": {");
    if (nObject == std::string::npos)
        return -1;
    const size_t nKey = json.find("\"" + key + "\": ", nObject);
    const size_t nEnd = json.find('}', nObject);
    if (nKey == std::string::npos || nKey > nEnd)
        return -1;
    return std::atoi(json.c_str() + nKey + key.size() + 4);
}

// How many records a transfer's JSON says the side added: 0 when the side
// received nothing ("side": null), -1 when the output says neither.
int Added(const std::string& json, const std::string& side)
{
    if (json.find("\"" + side + "\": null") != std::string::npos)
        return 0;
    return JsonInt(json, side, "added");
}

size_t Count(const std::string& text, const std::string& what)
{
    size_t n = 0;
    for (size_t pos = text.find(what); pos != std::string::npos; pos = text.find(what, pos + 1))
        ++n;
    return n;
}

class CliTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        // Hermetic: no Wine registry and no default address book of the
        // machine running the tests, for this process and the program.
        setenv("WINEPREFIX", File("wine").c_str(), 1);
        setenv("XDG_DATA_HOME", File("xdg").c_str(), 1);
        std::ofstream(m_ini) << "[iSysVal]\nShowFax=1\n";
        SetIniFilePathOverride(m_ini.c_str());
    }
    void TearDown() override { SetIniFilePathOverride(nullptr); }

    std::string File(const std::string& name) const { return m_tmp.File(name); }

    // Runs the program in the scratch folder with --ini and the arguments;
    // standard output goes to pszStdout when given (then not read back).
    RunResult Run(const std::vector<std::string>& args, bool bWithIni = true, const char* pszStdout = nullptr)
    {
        std::vector<std::string> all;
        if (bWithIni) {
            all.push_back("--ini");
            all.push_back(m_ini);
        }
        all.insert(all.end(), args.begin(), args.end());
        return vwtest::RunProgram(std::string(VW_BINARY_DIR) + "/varnwick-cli", all,
                                  pszStdout != nullptr ? pszStdout : File("stdout.txt"), File("stderr.txt"), m_dir,
                                  pszStdout == nullptr);
    }

    static void WriteWab(const std::string& path, const std::vector<CommAddrRecord>& records)
    {
        CxWab wab(nullptr);
        ASSERT_TRUE(wab.OpenAddressBook(path.c_str()));
        for (const CommAddrRecord& rec : records)
            ASSERT_TRUE(wab.StoreContact(&rec));
    }

    vwtest::TempDir m_tmp{"cli"};
    const std::string m_dir = m_tmp.Path();
    const std::string m_ini = m_tmp.File("corvane.ini");
};

CommAddrRecord Contact(const std::string& first, const std::string& last, const std::string& email,
                       const std::string& phone = "", const std::string& company = "")
{
    CommAddrRecord rec;
    ZeroCommRecord(&rec);
    SetTextField(&rec, CF_FIRST_NAME, first.c_str());
    SetTextField(&rec, CF_LAST_NAME, last.c_str());
    SetTextField(&rec, CF_EMAIL, email.c_str());
    SetTextField(&rec, CF_WORK_PHONE, phone.c_str());
    SetTextField(&rec, CF_COMPANY, company.c_str());
    return rec;
}

// An e-mail address of exactly nLength characters.
std::string Mail(const std::string& user, size_t nLength)
{
    std::string mail = user + "." + std::string(64, 'x');
    mail.resize(nLength - std::strlen("@example.org"));
    return mail + "@example.org";
}

TEST_F(CliTest, UsageErrorsAndHelp)
{
    struct Case {
        std::vector<std::string> args;
        bool bWithIni;
        int status;
    };
    const Case cases[] = {
        {{}, false, 2},
        {{"bogus"}, true, 2},
        {{"list"}, true, 2},
        {{"list", "palm", "a.dat", "b.dat"}, true, 2},
        {{"transfer"}, true, 2},
        {{"transfer", "both"}, true, 2},
        {{"transfer", "p2o", "--custom", "10=5"}, true, 2},
        {{"transfer", "p2o", "--custom", "1=abc"}, true, 2},
        {{"compare", "--email-only"}, true, 2},
        {{"--ini", "missing.ini", "users"}, false, 2},
        {{"--help"}, false, 0},
        {{"users", "--help"}, true, 0},
        {{"list", "--help"}, true, 0},
        {{"compare", "--help"}, true, 0},
        {{"transfer", "--help"}, true, 0},
    };
    for (const Case& c : cases) {
        std::string strArgs;
        for (const std::string& arg : c.args)
            strArgs += arg + " ";
        SCOPED_TRACE(strArgs);
        const RunResult result = Run(c.args, c.bWithIni);
        EXPECT_EQ(result.status, c.status);
        if (c.status == 0) {
            EXPECT_EQ(result.out.rfind("usage: varnwick-cli", 0), 0u);
        } else {
            EXPECT_EQ(result.err.rfind("varnwick-cli: ", 0), 0u);
            EXPECT_EQ(Count(result.err, "\n"), 1u);  // one line of reason
        }
    }
}

TEST_F(CliTest, VersionAndHelpCommand)
{
    RunResult result = Run({"--version"}, false);
    EXPECT_EQ(result.status, 0);
    EXPECT_EQ(result.out.rfind("varnwick-cli ", 0), 0u);
    EXPECT_NE(result.out.find_first_of("0123456789"), std::string::npos);
    EXPECT_EQ(Count(result.out, "\n"), 1u);

    const std::string mainHelp = Run({"--help"}, false).out;
    EXPECT_NE(mainHelp.find("help [COMMAND]"), std::string::npos);
    EXPECT_EQ(Run({"help"}, false).out, mainHelp);
    for (const char* pszCommand : {"users", "list", "compare", "transfer"}) {
        SCOPED_TRACE(pszCommand);
        result = Run({"help", pszCommand});
        EXPECT_EQ(result.status, 0);
        EXPECT_EQ(result.out, Run({pszCommand, "--help"}).out);
        EXPECT_EQ(result.out.rfind(std::string("usage: varnwick-cli [--ini FILE] ") + pszCommand, 0), 0u);
    }
    EXPECT_EQ(Run({"help", "bogus"}).status, 2);
    EXPECT_EQ(Run({"help", "list", "compare"}).status, 2);
}

// The help and the parser read one table: every option a command's help
// lists is in its usage line and is read by the command (one that takes a
// value complains of the value missing, never of the option), and no help
// line is wider than a terminal.
TEST_F(CliTest, EveryOptionTheHelpListsIsReadByItsCommand)
{
    auto lines = [](const std::string& text) {
        std::vector<std::string> result;
        size_t nStart = 0;
        for (size_t nEnd = text.find('\n'); nEnd != std::string::npos; nEnd = text.find('\n', nStart)) {
            result.push_back(text.substr(nStart, nEnd - nStart));
            nStart = nEnd + 1;
        }
        return result;
    };
    const RunResult main = Run({"--help"}, false);
    ASSERT_EQ(main.status, 0);
    std::vector<std::string> commands;
    bool bInCommands = false;
    for (const std::string& line : lines(main.out)) {
        EXPECT_LE(line.size(), 80u) << line;
        if (line == "commands:")
            bInCommands = true;
        else if (line.empty())
            bInCommands = false;
        else if (bInCommands && line.rfind("  ", 0) == 0 && line[2] != ' ')
            commands.push_back(line.substr(2, line.find(' ', 2) - 2));
    }
    EXPECT_EQ(commands, (std::vector<std::string>{"users", "list", "compare", "transfer", "export", "import", "help"}));

    size_t nOptions = 0;
    for (const std::string& command : commands) {
        const RunResult help = Run({"help", command});
        ASSERT_EQ(help.status, 0) << command;
        const std::string usage = help.out.substr(0, help.out.find("\n\n"));
        for (const std::string& line : lines(help.out)) {
            EXPECT_LE(line.size(), 80u) << line;
            if (line.rfind("  -", 0) != 0)
                continue;
            // "  --palm FILE  help", "  -o FILE, --output FILE  help"
            const std::string label = line.substr(2, line.find("  ", 2) - 2);
            size_t nPos = 0;
            bool bFirst = true;  // the usage line names an option by its first spelling
            while (nPos < label.size()) {
                size_t nEnd = label.find(", ", nPos);
                if (nEnd == std::string::npos)
                    nEnd = label.size();
                const std::string spelling = label.substr(nPos, nEnd - nPos);
                nPos = nEnd + 2;
                const std::string name = spelling.substr(0, spelling.find(' '));
                const bool bValue = spelling.find(' ') != std::string::npos;
                SCOPED_TRACE(command + " " + name);
                ++nOptions;
                if (bFirst) {
                    EXPECT_NE(usage.find(name), std::string::npos) << usage;
                }
                bFirst = false;
                const RunResult result = Run({command, name});
                if (bValue) {
                    EXPECT_EQ(result.status, 2);
                    EXPECT_EQ(result.err.rfind("varnwick-cli: option " + name + " needs ", 0), 0u) << result.err;
                } else {
                    EXPECT_EQ(result.err.find("'" + name + "'"), std::string::npos) << result.err;
                }
            }
        }
        const RunResult unknown = Run({command, "--no-such-option"});
        EXPECT_EQ(unknown.status, 2) << command;
    }
    EXPECT_GE(nOptions, 20u);
}

// A usage or side error reads the same as text on standard error and, with
// --json, as one JSON object on standard output.
TEST_F(CliTest, ErrorsNameTheMissingValueAndComeAsJsonWithJson)
{
    struct Case {
        std::vector<std::string> args;
        bool bWithIni;
        int status;
        std::string reason;
    };
    const Case cases[] = {
        {{"compare", "--palm"}, true, 2, "option --palm needs a file"},
        {{"compare", "--palm", "a.dat", "--wab"}, true, 2, "option --wab needs a file"},
        {{"transfer", "sync", "--custom"}, true, 2, "option --custom needs N=TAG"},
        {{"users", "--ini"}, false, 2, "option --ini needs a file"},
        {{"bogus"}, true, 2, "unknown command 'bogus'; see --help"},
        {{"list", "palm", "missing.dat"},
         true,
         1,
         "the Palm Desktop data file \"missing.dat\" is not loaded: the file does not exist"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.reason);
        RunResult result = Run(c.args, c.bWithIni);
        EXPECT_EQ(result.status, c.status);
        EXPECT_EQ(result.err, "varnwick-cli: " + c.reason + "\n");
        EXPECT_EQ(result.out, "");

        std::vector<std::string> withJson = c.args;
        withJson.insert(withJson.begin(), "--json");  // as a global option
        result = Run(withJson, c.bWithIni);
        EXPECT_EQ(result.status, c.status);
        std::string jsonReason;
        for (const char ch : c.reason)
            jsonReason += ch == '"' ? std::string("\\\"") : std::string(1, ch);
        EXPECT_EQ(result.out, "{\"error\": \"" + jsonReason + "\", \"status\": " + std::to_string(c.status) + "}\n");
        EXPECT_EQ(result.err, "");
    }
}

TEST_F(CliTest, AllListsWhatEmailOnlyKeepsOutAndTextKeepsOneLinePerValue)
{
    std::ofstream(m_ini, std::ios::app) << "EmailOnly=1\n";
    namespace c = datgen::classic;
    datgen::DatDescription desc;
    desc.records.push_back(datgen::DatRecord()
                               .Text(c::kFirstName, "Ann")
                               .Text(c::kLastName, "Line\nBreak")
                               .Text(c::kCompany, "Tab\there")
                               .Text(c::kNote, "one\ntwo")
                               .Text(c::Phone(1), "ann@example.org")
                               .Int(c::PhoneLabel(1), 4));
    desc.records.push_back(datgen::DatRecord().Text(c::kFirstName, "Bob").Text(c::kLastName, "NoMail"));
    const std::string palm = File("address.dat");
    ASSERT_TRUE(datgen::WriteBytesToFile(palm, datgen::BuildFile(desc)));
    const std::string wab = File("book.wab");
    WriteWab(wab, {Contact("Cy", "NoMail", ""), Contact("Dee", "Book", "dee@example.org")});

    RunResult result = Run({"list", "palm", palm});
    ASSERT_EQ(result.status, 0) << result.err;
    EXPECT_EQ(result.out.rfind("[1] Ann Line\\nBreak\n", 0), 0u) << result.out;
    EXPECT_NE(result.out.find("    Company: Tab\\there\n"), std::string::npos) << result.out;
    EXPECT_NE(result.out.find("    Note: one\n      two\n"), std::string::npos) << result.out;
    EXPECT_EQ(result.out.find("Bob"), std::string::npos);
    EXPECT_NE(result.out.find("1 Palm Desktop contacts listed\n"), std::string::npos);

    result = Run({"list", "palm", palm, "--all"});
    ASSERT_EQ(result.status, 0) << result.err;
    EXPECT_NE(result.out.find("[2] Bob NoMail\n"), std::string::npos) << result.out;
    EXPECT_NE(result.out.find("2 Palm Desktop contacts listed\n"), std::string::npos);
    result = Run({"list", "wab", wab, "--all", "--json"});
    ASSERT_EQ(result.status, 0) << result.err;
    EXPECT_EQ(Count(result.out, "\"First Name\""), 2u) << result.out;

    result = Run({"compare", "--palm", palm, "--wab", wab});
    ASSERT_EQ(result.status, 0) << result.err;
    EXPECT_EQ(Count(result.out, "(not listed)"), 2u) << result.out;
    EXPECT_NE(result.out.find("Ann Line\\nBreak\n"), std::string::npos) << result.out;
    result = Run({"compare", "--all", "--palm", palm, "--wab", wab});
    ASSERT_EQ(result.status, 0) << result.err;
    EXPECT_EQ(Count(result.out, "(not listed)"), 0u) << result.out;
}

TEST_F(CliTest, SideThatCannotBeReadExitsWithOne)
{
    const std::string text = File("notes.txt");
    std::ofstream(text) << "not contacts\n";
    datgen::DatDescription desc;
    ASSERT_TRUE(datgen::WriteBytesToFile(File("address.dat"), datgen::BuildFile(desc)));
    struct Case {
        std::vector<std::string> args;
    };
    const Case cases[] = {
        {{"list", "palm", "missing.dat"}},
        {{"list", "palm", text}},
        {{"list", "wab", "missing.wab"}},  // a read never creates a book
        {{"list", "wab", text}},
        {{"compare", "--palm", File("address.dat"), "--wab", text}},
        {{"transfer", "p2o", "--palm", File("address.dat"), "--wab", text}},
        {{"users"}},  // no Palm Desktop folder
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.args[0] + " " + c.args.back());
        const RunResult result = Run(c.args);
        EXPECT_EQ(result.status, 1);
        EXPECT_EQ(Count(result.err, "\n"), 1u) << result.err;
    }
    EXPECT_FALSE(fs::exists(File("missing.wab")));
    EXPECT_EQ(vwtest::ReadFileText(text), "not contacts\n");
}

TEST_F(CliTest, UsersShowsTheInstallationAndTheChosenUser)
{
    const std::string root = File("Palm");
    pdgen::Folder folder;  // palm.exe 4.1.2
    folder.users = {{"Ann", "address", "address.dat", {}}, {"Bob", "Address", "Address.dat", {}}};
    ASSERT_TRUE(pdgen::MakePalmDesktopFolder(root, folder));
    std::ofstream(m_ini, std::ios::app) << "[Path]\nPDPath=" << root << "\n";

    RunResult result = Run({"users"});
    ASSERT_EQ(result.status, 0) << result.err;
    EXPECT_NE(result.out.find("Palm Desktop folder: " + root), std::string::npos) << result.out;
    EXPECT_NE(result.out.find("Palm Desktop version: 4.1.2\n"), std::string::npos);
    EXPECT_NE(result.out.find("Expected database: extended address.dat"), std::string::npos);
    EXPECT_NE(result.out.find("HotSync users: 2\n* "), std::string::npos);  // UserID 0: the first
    EXPECT_NE(result.out.find("address file: " + root + "/Bob/Address/Address.dat"), std::string::npos) << result.out;

    result = Run({"users", "--json"});
    ASSERT_EQ(result.status, 0) << result.err;
    EXPECT_NE(result.out.find("\"version\": \"4.1.2\", \"generation\": \"extended\""), std::string::npos) << result.out;
    EXPECT_EQ(Count(result.out, "\"chosen\": true"), 1u);
    EXPECT_EQ(Count(result.out, "\"addressFile\": "), 2u);
}

TEST_F(CliTest, JsonIsUtf8EscapedAndKeyedByFieldName)
{
    namespace c = datgen::classic;
    datgen::DatDescription desc;
    desc.records.push_back(datgen::DatRecord()
                               .Text(c::kFirstName, "Zo\xEB")  // Windows-1252
                               .Text(c::kLastName, "O\"Brien")
                               .Text(c::kNote, "a\\b\nc\x01")
                               .Text(c::Phone(1), "zoe@example.org")
                               .Int(c::PhoneLabel(1), 4));
    const std::string palm = File("address.dat");
    ASSERT_TRUE(datgen::WriteBytesToFile(palm, datgen::BuildFile(desc)));
    CommAddrRecord withBirthday = Contact("Ann", "Archer", "ann@example.org");
    withBirthday.dtBirthday = 25598.0;  // 30 January 1970
    const std::string wab = File("book.wab");
    WriteWab(wab, {withBirthday});

    RunResult result = Run({"list", "palm", palm, "--json"});
    ASSERT_EQ(result.status, 0) << result.err;
    EXPECT_EQ(result.out.rfind("[{\"First Name\": \"Zo\xC3\xAB\", \"Last Name\": \"O\\\"Brien\", ", 0), 0u)
        << result.out;
    EXPECT_NE(result.out.find("\"Note\": \"a\\\\b\\nc\\u0001\""), std::string::npos) << result.out;
    EXPECT_NE(result.out.find("\"Email\": \"zoe@example.org\""), std::string::npos);
    EXPECT_EQ(result.out.find("\"Middle Name\""), std::string::npos);  // empty fields are left out
    EXPECT_EQ(result.out.find("\"Status\""), std::string::npos);

    result = Run({"list", "wab", wab, "--json"});
    ASSERT_EQ(result.status, 0) << result.err;
    EXPECT_EQ(result.out,
              "[{\"First Name\": \"Ann\", \"Last Name\": \"Archer\", \"Email\": \"ann@example.org\", "
              "\"Birthday\": \"1970-01-30T00:00:00\"}]\n");

    result = Run({"compare", "--palm", palm, "--wab", wab, "--json"});
    ASSERT_EQ(result.status, 0) << result.err;
    EXPECT_EQ(Count(result.out, "{\"state\": \"new\", \"listed\": true"), 2u) << result.out;
}

TEST_F(CliTest, OutputThatCannotBeWrittenIsAFailure)
{
    const std::string wab = File("book.wab");
    WriteWab(wab, {Contact("Ann", "Archer", "ann@example.org")});
    const std::string palm = File("address.dat");
    ASSERT_TRUE(datgen::WriteBytesToFile(palm, datgen::BuildFile(datgen::DatDescription())));
    const std::vector<std::vector<std::string>> commands = {
        {"list", "wab", wab},
        {"list", "wab", wab, "--json"},
        {"compare", "--palm", palm, "--wab", wab},
        {"compare", "--palm", palm, "--wab", wab, "--json"},
        {"transfer", "o2p", "--palm", palm, "--wab", wab, "--json"},
    };
    for (const std::vector<std::string>& command : commands) {
        SCOPED_TRACE(command[0] + " " + command.back());
        const RunResult result = Run(command, true, "/dev/full");
        EXPECT_EQ(result.status, 1);
        EXPECT_NE(result.err.find("cannot write the output"), std::string::npos) << result.err;
    }
}

TEST_F(CliTest, TransferPrintsTheMessageAndWhatEachSideDid)
{
    namespace c = datgen::classic;
    datgen::DatDescription desc;
    for (const char* pszFirst : {"Ann", "Bob", "Cid"})
        desc.records.push_back(datgen::DatRecord().Text(c::kFirstName, pszFirst).Text(c::kLastName, "Palm"));
    const std::string palm = File("address.dat");
    ASSERT_TRUE(datgen::WriteBytesToFile(palm, datgen::BuildFile(desc)));
    const std::string wab = File("book.wab");
    WriteWab(wab, {Contact("Ann", "Palm", ""), Contact("Dee", "Book", "dee@example.org")});
    const std::string iniBefore = vwtest::ReadFileText(m_ini);

    RunResult result = Run({"transfer", "p2o", "--palm", palm, "--wab", wab});
    ASSERT_EQ(result.status, 0) << result.err;
    EXPECT_EQ(result.out,
              "Information: Palm Desktop to Outlook Express completed successfully, 2 records transfered.\n"
              "Outlook Express address book: 2 added, 0 updated, 0 unchanged, 0 failed\n");

    // --email-only lists (and so hands over) only Dee.
    result = Run({"transfer", "sync", "--palm", palm, "--wab", wab, "--email-only", "--json"});
    ASSERT_EQ(result.status, 0) << result.err;
    EXPECT_NE(result.out.find("\"message\": \"Outlook Express and Palm Desktop synchronized successfully, 1 "
                              "records transfered.\""),
              std::string::npos)
        << result.out;
    EXPECT_EQ(JsonInt(result.out, "palm", "added"), 1);
    EXPECT_NE(result.out.find("\"wab\": null"), std::string::npos);

    // Nothing differs any more: a one-way transfer only asks for a selection.
    result = Run({"transfer", "o2p", "--palm", palm, "--wab", wab});
    EXPECT_EQ(result.status, 0);
    EXPECT_EQ(result.out,
              "Information: Please select Outlook Express contacts which you want to transfer to Palm Desktop.\n");
    EXPECT_EQ(vwtest::ReadFileText(m_ini), iniBefore);  // the settings file is never written
}

// ---- Round trips on every Palm generation ----------------------------------

enum class Gen { Classic, Extended, Desktop6 };

// Extra Palm contacts beside generated ones: long e-mail addresses (32 to 63
// characters) and a company longer than the address book keeps.
const std::string kLongCompany = "Consolidated Interplanetary Widgets Ltd";  // 39 characters
const std::string kMail45 = Mail("lou.long", 45);

std::string MakePalmFile(const std::string& dir, Gen gen)
{
    if (gen == Gen::Desktop6) {
        const std::string path = dir + "/address.mdb";
        std::string error;
        const std::string description =
            "generate 25 7\n"
            "contact Record ID=900|Placement=900|First Name=Lou|Last Name=Long|Company=" +
            kLongCompany + "|Work Phone=555-1000|Work Mobile=" + kMail45 +
            "|Phone Label1=0|Phone Label2=1|Phone Label3=4|Phone Label4=7|Phone Label5=2|Phone Label6=3|"
            "Phone Label7=5\n"
            "contact Record ID=901|Placement=901|First Name=Max|Last Name=Mail|Work Mobile=" +
            Mail("max", 63) + "|Phone Label1=0|Phone Label2=1|Phone Label3=4\n";
        EXPECT_TRUE(D6CreateDatabase(path, description, &error)) << error;
        return path;
    }
    const bool bExt = gen == Gen::Extended;
    datgen::DatDescription desc;
    desc.format = bExt ? datgen::DatFormat::Extended : datgen::DatFormat::Classic;
    datgen::AddRandomRecords(desc, 25, 7);
    const int kFirst = bExt ? datgen::extended::kFirstName : datgen::classic::kFirstName;
    const int kLast = bExt ? datgen::extended::kLastName : datgen::classic::kLastName;
    const int kCompany = bExt ? datgen::extended::kCompany : datgen::classic::kCompany;
    auto phone = [bExt](int n) { return bExt ? datgen::extended::Phone(n) : datgen::classic::Phone(n); };
    auto label = [bExt](int n) { return bExt ? datgen::extended::PhoneLabel(n) : datgen::classic::PhoneLabel(n); };
    desc.records.push_back(datgen::DatRecord()
                               .Text(kFirst, "Lou")
                               .Text(kLast, "Long")
                               .Text(kCompany, kLongCompany)
                               .Text(phone(1), "555-1000")
                               .Int(label(1), 0)
                               .Text(phone(2), kMail45)
                               .Int(label(2), 4));
    desc.records.push_back(
        datgen::DatRecord().Text(kFirst, "Max").Text(kLast, "Mail").Text(phone(1), Mail("max", 63)).Int(label(1), 4));
    const std::string path = dir + "/address.dat";
    EXPECT_TRUE(datgen::WriteBytesToFile(path, datgen::BuildFile(desc)));
    return path;
}

// The neutral records of a Palm file, as the program reads them.
std::vector<CommAddrRecord> PalmRecords(const std::string& path)
{
    PmAddrInfo info(40102);
    EXPECT_TRUE(info.LoadContacts(path.c_str()));
    std::vector<CommAddrRecord> records;
    CommAddrMgr* pSet = info.GetContactSet();
    for (CommAddrRecord* p = pSet->GetFirstRecord(); p != nullptr; p = pSet->GetNextRecord()) {
        records.push_back(*p);
        records.back().pAttached = nullptr;
    }
    return records;
}

// True when any text of a record in `before` came back as a cut-off start of
// itself in the record at the same position of `after`.
std::string FindShortenedText(const std::vector<CommAddrRecord>& before, const std::vector<CommAddrRecord>& after)
{
    for (size_t i = 0; i < before.size() && i < after.size(); ++i) {
        for (const CommField& field : g_CommFieldCatalog) {
            if (field.type != CFT_TEXT)
                continue;
            const std::string was = GetTextField(&before[i], field.id);
            const std::string now = GetTextField(&after[i], field.id);
            if (now.size() < was.size() && was.compare(0, now.size(), now) == 0)
                return "record " + std::to_string(i) + " " + field.name + ": \"" + was + "\" became \"" + now + "\"";
        }
    }
    return std::string();
}

class CliRoundTrip : public CliTest, public ::testing::WithParamInterface<Gen> { };

TEST_P(CliRoundTrip, RepeatedTransfersAddNothingAndSyncNeverShortensAPalmText)
{
    const std::string palm = MakePalmFile(m_dir, GetParam());
    const std::string wab = File("book.wab");
    WriteWab(wab, {Contact("Lou", "Long", kMail45, "555-7777"), Contact("Ned", "North", Mail("ned", 32)),
                   Contact("Ola", "Olsen", Mail("ola", 63), "555-0101", "Short Co")});
    const std::vector<CommAddrRecord> original = PalmRecords(palm);
    ASSERT_GE(original.size(), 20u);

    auto transfer = [&](const char* pszMode) {
        const RunResult result = Run({"transfer", pszMode, "--palm", palm, "--wab", wab, "--json"});
        EXPECT_EQ(result.status, 0) << pszMode << ": " << result.out << result.err;
        return result.out;
    };
    std::string out = transfer("p2o");
    EXPECT_GT(Added(out, "wab"), 20);
    out = transfer("o2p");
    EXPECT_EQ(Added(out, "palm"), 2);  // Ned and Ola; Lou is merged
    const std::vector<CommAddrRecord> settled = PalmRecords(palm);
    EXPECT_EQ(settled.size(), original.size() + 2);
    EXPECT_EQ(FindShortenedText(original, settled), "");

    // The same transfers again find every contact on the other side.
    for (const char* pszMode : {"p2o", "o2p", "sync", "sync"}) {
        SCOPED_TRACE(pszMode);
        out = transfer(pszMode);
        EXPECT_EQ(Added(out, "wab"), 0) << out;
        EXPECT_EQ(Added(out, "palm"), 0) << out;
    }
    const std::vector<CommAddrRecord> after = PalmRecords(palm);
    EXPECT_EQ(after.size(), settled.size());
    EXPECT_EQ(FindShortenedText(settled, after), "");
    EXPECT_EQ(FindShortenedText(original, after), "");

    // Lou kept the whole company name and e-mail address on the Palm side.
    bool bFoundLou = false;
    for (const CommAddrRecord& rec : after) {
        if (std::strcmp(rec.szFirstName, "Lou") == 0) {
            bFoundLou = true;
            EXPECT_EQ(std::string(rec.szCompany), kLongCompany);
            EXPECT_EQ(std::string(rec.szEmail), kMail45);
        }
    }
    EXPECT_TRUE(bFoundLou);
    const RunResult compare = Run({"compare", "--palm", palm, "--wab", wab, "--json"});
    EXPECT_EQ(Count(compare.out, "\"state\": \"new\""), 0u) << compare.out;
}

INSTANTIATE_TEST_SUITE_P(Generations, CliRoundTrip, ::testing::Values(Gen::Classic, Gen::Extended, Gen::Desktop6),
                         [](const ::testing::TestParamInfo<Gen>& generation) {
                             return generation.param == Gen::Classic    ? "Classic"
                                    : generation.param == Gen::Extended ? "Extended"
                                                                        : "Desktop6";
                         });

// ---- Bad input and faults ------------------------------------------------------

// Every file of a folder with its bytes, except what the program itself
// writes there (its log and the captured output).
std::map<std::string, std::string> Snapshot(const std::string& dir)
{
    std::map<std::string, std::string> files;
    for (const auto& entry : fs::directory_iterator(dir)) {
        const std::string name = entry.path().filename().string();
        if (name == "stdout.txt" || name == "stderr.txt" || name == "appdebug.log" || name == "corvane.ini")
            continue;
        if (entry.is_regular_file())
            files[name] = vwtest::ReadFileText(entry.path().string());
        else
            files[name] = entry.is_directory() ? "<folder>" : "<other>";
    }
    return files;
}

std::string RandomBytes(size_t nSize, unsigned nSeed)
{
    std::string bytes(nSize, '\0');
    unsigned nState = nSeed;
    for (char& c : bytes) {
        nState = nState * 1103515245u + 12345u;
        c = static_cast<char>(nState >> 16);
    }
    return bytes;
}

void MakeSqliteFile(const std::string& path, const char* pszSql)
{
    sqlite3* db = nullptr;
    ASSERT_EQ(sqlite3_open(path.c_str(), &db), SQLITE_OK);
    ASSERT_EQ(sqlite3_exec(db, pszSql, nullptr, nullptr, nullptr), SQLITE_OK);
    sqlite3_close(db);
}

// One bad input: the file made at `name`, the command run on it, the exit
// status and a part of the one line of reason it must print.
struct BadInput {
    std::string name;
    std::function<void(const std::string&)> make;
    std::vector<std::string> args;  // "@" stands for the file's path
    int status;
    std::string reason;
};

class CliFaultTest : public CliTest {
protected:
    void SetUp() override
    {
        CliTest::SetUp();
        setenv("VARNWICK_LOCK_WAIT_MS", "300", 1);
    }
    void TearDown() override
    {
        unsetenv("VARNWICK_LOCK_WAIT_MS");
        CliTest::TearDown();
    }

    std::string ClassicFile(const std::vector<std::string>& firstNames)
    {
        namespace c = datgen::classic;
        datgen::DatDescription desc;
        for (const std::string& first : firstNames)
            desc.records.push_back(datgen::DatRecord().Text(c::kFirstName, first).Text(c::kLastName, "Palm"));
        const auto bytes = datgen::BuildFile(desc);
        return std::string(bytes.begin(), bytes.end());
    }

    // Runs every case; each leaves every file of the folder byte for byte.
    void RunCases(const std::vector<BadInput>& cases)
    {
        for (const BadInput& c : cases) {
            SCOPED_TRACE(c.name);
            const std::string path = c.name[0] == '/' ? c.name : File(c.name);
            if (c.make)
                c.make(path);
            const auto before = Snapshot(m_dir);
            std::vector<std::string> args;
            for (const std::string& arg : c.args)
                args.push_back(arg == "@" ? path : arg);
            const auto start = std::chrono::steady_clock::now();
            const RunResult result = Run(args);
            const auto seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
            EXPECT_EQ(result.status, c.status) << result.err << result.out;
            if (c.status != 0) {
                EXPECT_EQ(Count(result.err, "\n"), 1u) << result.err;
                EXPECT_NE(result.err.find(c.reason), std::string::npos) << result.err;
            } else {
                EXPECT_NE(result.out.find(c.reason), std::string::npos) << result.out;
            }
            EXPECT_EQ(Snapshot(m_dir), before) << "no file changed, none created";
            EXPECT_LT(seconds, 4.0) << "nothing blocks";
        }
    }
};

TEST_F(CliFaultTest, BadPalmDataFilesAreRefusedWithTheirReasonAndLeftAsTheyAre)
{
    const std::string classic = ClassicFile({"Ann", "Bob", "Cid"});
    const std::string book = File("good.wab");
    WriteWab(book, {Contact("Dee", "Book", "dee@example.org")});
    FileLock lock;
    auto write = [](const std::string& bytes) {
        return [bytes](const std::string& path) { vwtest::WriteFileText(path, bytes); };
    };
    const std::string longPath = m_dir + "/" + std::string(300, 'p') + ".dat";
    const std::vector<BadInput> cases = {
        {"missing.dat", nullptr, {"list", "palm", "@"}, 1, "the file does not exist"},
        {"folder.dat",
         [](const std::string& p) { fs::create_directory(p); },
         {"list", "palm", "@"},
         1,
         "it is a folder, not a file"},
        {"random.dat", write(RandomBytes(4096, 1)), {"list", "palm", "@"}, 1, "not a Palm Desktop address file"},
        {"empty.dat", write(""), {"compare", "--palm", "@", "--wab", book}, 1, "it is an empty file"},
        {"truncated.dat",
         write(classic.substr(0, classic.size() / 2)),
         {"list", "palm", "@"},
         1,
         "it is damaged at byte"},
        {"sqlite.dat",
         [](const std::string& p) { MakeSqliteFile(p, "CREATE TABLE t(x);"); },
         {"list", "palm", "@"},
         1,
         "a SQLite database, not a Palm Desktop address file"},
        {"fifo.dat",
         [](const std::string& p) { mkfifo(p.c_str(), 0644); },
         {"list", "palm", "@"},
         1,
         "a named pipe (FIFO), not a file"},
        {"locked.dat",
         [&](const std::string& p) {
             vwtest::WriteFileText(p, classic);
             ASSERT_TRUE(lock.Lock(p.c_str()));
         },
         {"transfer", "o2p", "--palm", "@", "--wab", book},
         1,
         "it is in use by another program"},
        {longPath, nullptr, {"list", "palm", "@"}, 1, "the path is too long"},
        {"notes.txt", write("Ann\n"), {"list", "palm", "@"}, 1, "not a Palm Desktop data file (.dat or .mdb)"},
        {"readonly.dat",
         [&](const std::string& p) {
             vwtest::WriteFileText(p, classic);
             chmod(p.c_str(), 0444);  // even the superuser leaves it
         },
         {"transfer", "o2p", "--palm", "@", "--wab", book},
         1,
         "could not be saved: it is read-only"},
    };
    RunCases(cases);
    EXPECT_FALSE(fs::exists(longPath.substr(0, MAX_PATH - 1))) << "the cut path is not created";
}

TEST_F(CliFaultTest, BadDesktop6DatabasesAreRefusedWithTheirReasonAndLeftAsTheyAre)
{
    const std::string good = File("good.mdb");
    std::string error;
    ASSERT_TRUE(D6CreateDatabase(good, "contact First Name=Ann|Last Name=Lee\n", &error)) << error;
    const std::string goodBytes = vwtest::ReadFileText(good);
    const std::string book = File("book.wab");
    WriteWab(book, {Contact("Dee", "Book", "dee@example.org")});
    FileLock lock;
    auto write = [](const std::string& bytes) {
        return [bytes](const std::string& path) { vwtest::WriteFileText(path, bytes); };
    };
    std::string jet(4096, '\0');
    jet.replace(0, 19, std::string("\x00\x01\x00\x00Standard Jet DB", 19));
    const std::vector<BadInput> cases = {
        {"good.mdb", nullptr, {"list", "palm", "@"}, 0, "1 Palm Desktop contacts listed"},
        {"good.mdb", nullptr, {"compare", "--palm", "@", "--wab", book}, 0, ""},
        {"random.mdb", write(RandomBytes(8192, 2)), {"list", "palm", "@"}, 1, "not a Palm Desktop 6 database"},
        {"empty.mdb", write(""), {"list", "palm", "@"}, 1, "it is an empty file, not a Palm Desktop 6 database"},
        {"truncated.mdb", write(goodBytes.substr(0, 4096)), {"list", "palm", "@"}, 1, "it is damaged"},
        {"other.mdb",
         [](const std::string& p) { MakeSqliteFile(p, "CREATE TABLE Main(x); INSERT INTO Main VALUES(1);"); },
         {"compare", "--palm", "@", "--wab", book},
         1,
         "a database, but not a Palm Desktop 6 one"},
        {"jet.mdb",
         write(jet),
         {"list", "palm", "@"},
         1,
         "a Palm Desktop 6 database made on Windows (Jet); Varnwick cannot read it yet"},
        {"fifo.mdb",
         [](const std::string& p) { mkfifo(p.c_str(), 0644); },
         {"list", "palm", "@"},
         1,
         "a named pipe (FIFO), not a file"},
        {"locked.mdb",
         [&](const std::string& p) {
             vwtest::WriteFileText(p, goodBytes);
             ASSERT_TRUE(lock.Lock(p.c_str()));
         },
         {"list", "palm", "@"},
         1,
         "it is in use by another program"},
    };
    RunCases(cases);
}

TEST_F(CliFaultTest, BadAddressBooksAreRefusedWithTheirReasonAndLeftAsTheyAre)
{
    const std::string palm = File("address.dat");
    vwtest::WriteFileText(palm, ClassicFile({"Ann"}));
    FileLock lock;
    auto write = [](const std::string& bytes) {
        return [bytes](const std::string& path) { vwtest::WriteFileText(path, bytes); };
    };
    const std::string windowsBook =
        std::string("\x9C\xCB\xCB\x8D\x13\x75\xD2\x11\x91\x58\x00\xC0\x4F\x79\x56\xA4", 16) + RandomBytes(4096, 3);
    const std::string longPath = m_dir + "/" + std::string(300, 'w') + ".wab";
    const std::vector<BadInput> cases = {
        {"good.wab",
         [&](const std::string& p) { WriteWab(p, {Contact("Dee", "Book", "dee@example.org")}); },
         {"list", "wab", "@"},
         0,
         "1 address-book contacts listed"},
        {"good.wab", nullptr, {"compare", "--palm", palm, "--wab", "@"}, 0, ""},
        {"empty.wab", write(""), {"list", "wab", "@"}, 0, "0 address-book contacts listed"},
        {"random.wab", write(RandomBytes(4096, 4)), {"list", "wab", "@"}, 1, "not a Varnwick address book"},
        {"windows.wab",
         write(windowsBook),
         {"transfer", "p2o", "--palm", palm, "--wab", "@"},
         1,
         "an address book made by Windows (.wab); Varnwick cannot read it yet"},
        {"other.wab",
         [](const std::string& p) { MakeSqliteFile(p, "CREATE TABLE t(x);"); },
         {"list", "wab", "@"},
         1,
         "a SQLite database, not a Varnwick address book"},
        {"text.wab",
         write("BEGIN:VCARD\r\nEND:VCARD\r\n"),
         {"list", "wab", "@"},
         1,
         "a text file, not a Varnwick address book"},
        {"folder.wab",
         [](const std::string& p) { fs::create_directory(p); },
         {"list", "wab", "@"},
         1,
         "it is a folder, not a file"},
        {"fifo.wab",
         [](const std::string& p) { mkfifo(p.c_str(), 0644); },
         {"transfer", "p2o", "--palm", palm, "--wab", "@"},
         1,
         "a named pipe (FIFO), not a file"},
        {"locked.wab",
         [&](const std::string& p) {
             WriteWab(p, {Contact("Eve", "Book", "eve@example.org")});
             ASSERT_TRUE(lock.Lock(p.c_str()));
         },
         {"transfer", "p2o", "--palm", palm, "--wab", "@"},
         1,
         "it is in use by another program"},
        {longPath, nullptr, {"transfer", "p2o", "--palm", palm, "--wab", "@"}, 1, "the path is too long"},
    };
    RunCases(cases);
    EXPECT_FALSE(fs::exists(longPath.substr(0, MAX_PATH - 1))) << "the cut path is not created";
}

TEST_F(CliFaultTest, ADesktop6PathWithQuotesAndSemicolonsOpensTheFileItNames)
{
    const std::string other = File("other.mdb");
    const std::string tricky = File("a\";Data Source=") + other;
    fs::create_directories(fs::path(tricky).parent_path());
    std::string error;
    ASSERT_TRUE(D6CreateDatabase(tricky, "contact First Name=Ann|Last Name=Lee\n", &error)) << error;
    ASSERT_TRUE(D6CreateDatabase(other, "", &error)) << error;
    const std::string otherBefore = vwtest::ReadFileText(other);

    const std::string book = File("book.wab");
    WriteWab(book, {Contact("Dee", "Book", "dee@example.org")});
    const RunResult result = Run({"transfer", "o2p", "--palm", tricky, "--wab", book});
    ASSERT_EQ(result.status, 0) << result.err;
    std::vector<std::map<std::string, std::string>> rows;
    ASSERT_TRUE(D6Query(tricky, "SELECT [First Name] FROM Main ORDER BY [First Name]", &rows, &error)) << error;
    EXPECT_EQ(rows.size(), 2u) << "Dee went into the file named";
    EXPECT_EQ(vwtest::ReadFileText(other), otherBefore) << "and nowhere else";
}

TEST_F(CliFaultTest, ReadingNeverChangesTheJournalModeAndATransferLeavesItAsItWas)
{
    const std::string mdb = File("address.mdb");
    std::string error;
    ASSERT_TRUE(D6CreateDatabase(mdb, "contact First Name=Ann|Last Name=Lee\n", &error)) << error;
    const std::string book = File("book.wab");
    WriteWab(book, {Contact("Dee", "Book", "dee@example.org")});
    const std::string before = vwtest::ReadFileText(mdb);
    ASSERT_GE(before.size(), 100u);

    EXPECT_EQ(Run({"list", "palm", mdb}).status, 0);
    EXPECT_EQ(Run({"compare", "--palm", mdb, "--wab", book}).status, 0);
    EXPECT_EQ(vwtest::ReadFileText(mdb), before) << "a read changes no byte, header included";

    ASSERT_EQ(Run({"transfer", "o2p", "--palm", mdb, "--wab", book}).status, 0);
    const std::string after = vwtest::ReadFileText(mdb);
    EXPECT_EQ(after.substr(18, 2), before.substr(18, 2)) << "the journal mode is the file's own";
    for (const char* pszSuffix : {"-wal", "-shm", "-journal"})
        EXPECT_FALSE(fs::exists(mdb + pszSuffix)) << pszSuffix;
}

TEST_F(CliFaultTest, AReadOnlyBookInAReadOnlyFolderListsAndLeavesNothingBeside)
{
    const std::string folder = File("ro");
    fs::create_directory(folder);
    const std::string book = folder + "/book.wab";
    WriteWab(book, {Contact("Dee", "Book", "dee@example.org")});
    chmod(book.c_str(), 0444);
    chmod(folder.c_str(), 0555);
    const RunResult result = Run({"list", "wab", book});
    chmod(folder.c_str(), 0755);
    EXPECT_EQ(result.status, 0) << result.err;
    EXPECT_NE(result.out.find("1 address-book contacts listed"), std::string::npos);
    EXPECT_EQ(Snapshot(folder), (std::map<std::string, std::string>{{"book.wab", vwtest::ReadFileText(book)}}));
}

// Runs the program in a child with a file-size limit of nBytes.
RunResult RunWithFileSizeLimit(const std::string& dir, std::vector<std::string> args, rlim_t nBytes)
{
    const std::string program = std::string(VW_BINARY_DIR) + "/varnwick-cli";
    args.insert(args.begin(), program);
    std::vector<char*> argv;
    for (std::string& arg : args)
        argv.push_back(arg.data());
    argv.push_back(nullptr);
    const std::string errPath = dir + "/stderr.txt";
    RunResult result;
    const pid_t pid = fork();
    if (pid == 0) {
        const int fd = open(errPath.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
        dup2(fd, 2);
        const int out = open("/dev/null", O_WRONLY);
        dup2(out, 1);
        if (chdir(dir.c_str()) != 0)
            _exit(127);
        struct rlimit limit = {nBytes, nBytes};
        setrlimit(RLIMIT_FSIZE, &limit);
        execv(program.c_str(), argv.data());
        _exit(127);
    }
    result.status = vwtest::WaitProgram(pid);
    result.err = vwtest::ReadFileText(errPath);
    return result;
}

TEST_F(CliFaultTest, ASaveOverTheFileSizeLimitFailsLikeAFullDiskAndLeavesTheOriginal)
{
    std::vector<std::string> names;
    for (int i = 0; i < 400; ++i)
        names.push_back("Contact" + std::to_string(i));
    const std::string palm = File("address.dat");
    vwtest::WriteFileText(palm, ClassicFile(names));
    const std::string before = vwtest::ReadFileText(palm);
    const std::string book = File("book.wab");
    WriteWab(book, {Contact("Dee", "Book", "dee@example.org")});
    // Left behind by a save that was killed: the next save removes it.
    vwtest::WriteFileText(palm + ".tmp-K1LLED", "half a file");

    const RunResult result =
        RunWithFileSizeLimit(m_dir, {"--ini", m_ini, "transfer", "o2p", "--palm", palm, "--wab", book},
                             static_cast<rlim_t>(before.size() / 2));
    EXPECT_EQ(result.status, 1) << "no death by SIGXFSZ: " << result.err;
    EXPECT_NE(result.err.find("could not be saved: the disk is full (file-size limit reached)"), std::string::npos)
        << result.err;
    EXPECT_EQ(vwtest::ReadFileText(palm), before);
    const auto files = Snapshot(m_dir);
    EXPECT_EQ(files.size(), 2u) << "no temporary file, the stale one gone too";
    EXPECT_EQ(files.count("address.dat.tmp-K1LLED"), 0u);
}

TEST_F(CliFaultTest, AFifoForTheSettingsFileOrTheDesktopProgramReturnsPromptly)
{
    const std::string fifo = File("corvane-fifo.ini");
    ASSERT_EQ(mkfifo(fifo.c_str(), 0644), 0);
    const auto start = std::chrono::steady_clock::now();
    const RunResult result = Run({"--ini", fifo, "users"}, false);
    EXPECT_LT(std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count(), 4.0);
    EXPECT_NE(result.status, 0);
    EXPECT_EQ(Count(result.err, "\n"), 1u) << result.err;
}

// Two transfers of different contacts into one file, as two processes at
// the same time: the second waits for the first, and the file ends with
// every contact of both, each once.
TEST_F(CliFaultTest, TwoConcurrentTransfersIntoOneFileLoseAndDuplicateNothing)
{
    setenv("VARNWICK_LOCK_WAIT_MS", "20000", 1);
    const std::string wabA = File("a.wab");
    const std::string wabB = File("b.wab");
    std::vector<CommAddrRecord> a, b;
    for (int i = 0; i < 150; ++i) {
        a.push_back(Contact("Ann" + std::to_string(i), "Alpha", "ann" + std::to_string(i) + "@example.org"));
        b.push_back(Contact("Bob" + std::to_string(i), "Beta", "bob" + std::to_string(i) + "@example.org"));
    }
    WriteWab(wabA, a);
    WriteWab(wabB, b);
    const std::string palmA = File("a.dat");
    const std::string palmB = File("b.dat");
    {
        std::vector<std::string> namesA, namesB;
        for (int i = 0; i < 150; ++i) {
            namesA.push_back("Cid" + std::to_string(i));
            namesB.push_back("Dee" + std::to_string(i));
        }
        vwtest::WriteFileText(palmA, ClassicFile(namesA));
        vwtest::WriteFileText(palmB, ClassicFile(namesB));
    }
    std::string error;
    const std::string mdb = File("address.mdb");
    ASSERT_TRUE(D6CreateDatabase(mdb, "", &error)) << error;
    const std::string dat = File("address.dat");
    vwtest::WriteFileText(dat, ClassicFile({}));
    const std::string target = File("target.wab");

    auto spawn = [&](std::vector<std::string> args, const std::string& tag) {
        args.insert(args.begin(), {"--ini", m_ini});
        const pid_t pid = vwtest::StartProgram(std::string(VW_BINARY_DIR) + "/varnwick-cli", std::move(args),
                                               File("out-" + tag), File("err-" + tag), m_dir);
        EXPECT_GT(pid, 0);
        return pid;
    };
    auto wait = [](pid_t pid) { return vwtest::WaitProgram(pid); };
    struct Pair {
        const char* what;
        std::vector<std::string> first, second;
    } pairs[] = {
        {"address.dat",
         {"transfer", "o2p", "--palm", dat, "--wab", wabA},
         {"transfer", "o2p", "--palm", dat, "--wab", wabB}},
        {"address.mdb",
         {"transfer", "o2p", "--palm", mdb, "--wab", wabA},
         {"transfer", "o2p", "--palm", mdb, "--wab", wabB}},
        {"target.wab",
         {"transfer", "p2o", "--palm", palmA, "--wab", target},
         {"transfer", "p2o", "--palm", palmB, "--wab", target}},
    };
    for (const Pair& pair : pairs) {
        SCOPED_TRACE(pair.what);
        const pid_t first = spawn(pair.first, "1");
        const pid_t second = spawn(pair.second, "2");
        EXPECT_EQ(wait(first), 0) << vwtest::ReadFileText(File("err-1"));
        EXPECT_EQ(wait(second), 0) << vwtest::ReadFileText(File("err-2"));
    }
    unsetenv("VARNWICK_LOCK_WAIT_MS");

    auto countNames = [](CommAddrMgr* pSet) {
        std::map<std::string, int> names;
        for (CommAddrRecord* p = pSet->GetFirstRecord(); p != nullptr; p = pSet->GetNextRecord())
            ++names[p->szFirstName];
        return names;
    };
    for (const std::string& palm : {dat, mdb}) {
        SCOPED_TRACE(palm);
        PmAddrInfo info(palm == mdb ? 60000 : 40000);
        ASSERT_TRUE(info.LoadContacts(palm.c_str()));
        const auto names = countNames(info.GetContactSet());
        EXPECT_EQ(names.size(), 300u) << "every contact of both transfers";
        for (const auto& [name, n] : names)
            EXPECT_EQ(n, 1) << name;
    }
    CxWab wab(target.c_str());
    ASSERT_TRUE(wab.IsOpen());
    const auto names = countNames(wab.GetNeutralSet());
    EXPECT_EQ(names.size(), 300u);
    for (const auto& [name, n] : names)
        EXPECT_EQ(n, 1) << name;
}

}  // namespace
