// varnwick-cli export and import, run as a user runs them: the built
// program on scratch files, judged by exit status, output and files.
#include <gtest/gtest.h>

#include <stdlib.h>

#include <fstream>
#include <string>
#include <vector>

#include "common/misc/CommAddrRecord.h"
#include "common/oe/CxWab.h"
#include "common/palm/PmAddrInfo.h"
#include "tests/support/TestFiles.h"
#include "tests/support/TestProcess.h"
#include "tools/datgen/DatGen.h"

namespace {

using vwtest::RunResult;

class CliExchangeTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        setenv("WINEPREFIX", File("wine").c_str(), 1);
        setenv("XDG_DATA_HOME", File("xdg").c_str(), 1);
        std::ofstream(m_ini) << "[iSysVal]\n";
    }

    std::string File(const std::string& name) const { return m_tmp.File(name); }

    RunResult Run(std::vector<std::string> args)
    {
        args.insert(args.begin(), {"--ini", m_ini});
        return vwtest::RunProgram(std::string(VW_BINARY_DIR) + "/varnwick-cli", args, File("stdout.txt"),
                                  File("stderr.txt"));
    }

    // An extended address.dat with one contact per (first, last, e-mail).
    void WritePalm(const std::vector<std::vector<const char*>>& people)
    {
        datgen::DatDescription desc;
        desc.format = datgen::DatFormat::Extended;
        ASSERT_TRUE(datgen::WriteBytesToFile(m_palm, datgen::BuildFile(desc)));
        PmAddrInfo info(40102);
        ASSERT_TRUE(info.LoadContacts(m_palm.c_str()));
        for (const auto& person : people) {
            CommAddrRecord record;
            ZeroCommRecord(&record);
            SetTextField(&record, CF_FIRST_NAME, person[0]);
            SetTextField(&record, CF_LAST_NAME, person[1]);
            SetTextField(&record, CF_EMAIL, person[2]);
            ASSERT_TRUE(info.AddRecord(&record));
        }
        ASSERT_TRUE(info.SaveContacts());
    }

    vwtest::TempDir m_tmp{"cliexchange"};
    const std::string m_ini = m_tmp.File("corvane.ini");
    const std::string m_palm = m_tmp.File("address.dat");
    const std::string m_wab = m_tmp.File("book.wab");
};

TEST_F(CliExchangeTest, ExportsToStandardOutputOrAFile)
{
    WritePalm({{"Ann", "Archer", "ann@example.org"}, {"Bob", "Baker", "bob@example.org"}});
    const RunResult vcard = Run({"export", "palm", "--palm", m_palm});
    ASSERT_EQ(vcard.status, 0) << vcard.err;
    EXPECT_EQ(vcard.out.rfind("BEGIN:VCARD\r\nVERSION:4.0\r\nFN:Ann Archer\r\n", 0), 0u) << vcard.out;

    const RunResult csv =
        Run({"export", "palm", "--palm", m_palm, "--format", "csv-outlook", "-o", File("out.csv"), "--json"});
    ASSERT_EQ(csv.status, 0) << csv.err;
    EXPECT_NE(csv.out.find("\"success\": true"), std::string::npos) << csv.out;
    EXPECT_NE(csv.out.find("\"contacts\": 2"), std::string::npos) << csv.out;
    EXPECT_NE(vwtest::ReadFileText(File("out.csv")).find("Bob,,Baker"), std::string::npos);

    // Usage errors.
    EXPECT_EQ(Run({"export", "palm", "--format", "ldif"}).status, 2);
    EXPECT_EQ(Run({"export", "palm", "--json"}).status, 2);
    EXPECT_EQ(Run({"export"}).status, 2);
    EXPECT_EQ(Run({"export", "palm", "--ticked-state", "changed"}).status, 2);
}

TEST_F(CliExchangeTest, ExportOfTheTickedStatesTakesOnlyThoseRecords)
{
    WritePalm({{"Ann", "Archer", "ann@example.org"}, {"Bob", "Baker", "bob@example.org"}});
    {
        CxWab wab(nullptr);
        ASSERT_TRUE(wab.OpenAddressBook(m_wab.c_str()));
        CommAddrRecord ann;
        ZeroCommRecord(&ann);
        SetTextField(&ann, CF_FIRST_NAME, "Ann");
        SetTextField(&ann, CF_LAST_NAME, "Archer");
        SetTextField(&ann, CF_EMAIL, "ann@example.org");
        ASSERT_TRUE(wab.StoreContact(&ann));
    }
    const RunResult result =
        Run({"export", "palm", "--palm", m_palm, "--wab", m_wab, "--ticked-state", "new,modified"});
    ASSERT_EQ(result.status, 0) << result.err;
    EXPECT_NE(result.out.find("N:Baker;Bob;;;"), std::string::npos) << result.out;
    EXPECT_EQ(result.out.find("Archer"), std::string::npos) << result.out;
}

TEST_F(CliExchangeTest, ImportTwiceAddsOnceAndNamesWhatItCannotTake)
{
    ASSERT_TRUE(vwtest::WriteFileText(File("in.vcf"),
                                      "BEGIN:VCARD\r\nVERSION:3.0\r\nN:Archer;Ann;;;\r\nEMAIL:ann@example.org\r\n"
                                      "END:VCARD\r\nBEGIN:VCARD\r\nVERSION:3.0\r\nN:Baker;Bob;;;\r\nEND:VCARD\r\n"));
    const RunResult first = Run({"import", File("in.vcf"), "--into", "wab", "--wab", m_wab, "--json"});
    ASSERT_EQ(first.status, 0) << first.err;
    EXPECT_NE(first.out.find("\"added\": 2, \"updated\": 0, \"unchanged\": 0"), std::string::npos) << first.out;
    const RunResult second = Run({"import", File("in.vcf"), "--into", "wab", "--wab", m_wab, "--json"});
    ASSERT_EQ(second.status, 0) << second.err;
    EXPECT_NE(second.out.find("\"added\": 0, \"updated\": 0, \"unchanged\": 2"), std::string::npos) << second.out;

    ASSERT_TRUE(vwtest::WriteFileText(File("greek.csv"),
                                      "First Name,Last Name\r\n\xCE\x9D\xCE\xAF\xCE\xBA\xCE\xBF\xCF\x82,Papas\r\n"));
    const RunResult greek = Run({"import", File("greek.csv"), "--into", "wab", "--wab", m_wab, "--json"});
    EXPECT_EQ(greek.status, 1);
    EXPECT_NE(greek.out.find("\"refused\": [{\"name\": \"\xCE\x9D\xCE\xAF\xCE\xBA\xCE\xBF\xCF\x82 Papas\""),
              std::string::npos)
        << greek.out;
    EXPECT_NE(greek.err.find("not imported"), std::string::npos) << greek.err;

    EXPECT_EQ(Run({"import", File("missing.vcf"), "--into", "wab", "--wab", m_wab}).status, 1);
    EXPECT_EQ(Run({"import", File("in.vcf")}).status, 2);
    EXPECT_EQ(Run({"import", File("in.vcf"), "--into", "palm", "--palm", File("none.dat")}).status, 1);
}

}  // namespace
