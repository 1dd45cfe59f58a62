// The CSV reader and writer: RFC 4180 quoting and what real files do.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "common/exchange/CsvReader.h"
#include "common/exchange/CsvWriter.h"

namespace {

struct CsvCase {
    const char* pszName;
    std::string text;
    std::vector<std::vector<std::string>> rows;
};

TEST(CsvReader, ReadsQuotingCases)
{
    const CsvCase cases[] = {
        {"plain", "a,b,c\r\n1,2,3\r\n", {{"a", "b", "c"}, {"1", "2", "3"}}},
        {"comma inside quotes", "\"Doe, John\",x\n", {{"Doe, John", "x"}}},
        {"doubled quotes", "\"say \"\"hi\"\"\",y\n", {{"say \"hi\"", "y"}}},
        {"line breaks inside", "\"line1\r\nline2\nline3\",z\r\n", {{"line1\r\nline2\nline3", "z"}}},
        {"byte order mark",
         "\xEF\xBB\xBF"
         "First Name,Last Name\r\n",
         {{"First Name", "Last Name"}}},
        {"empty fields and no final line end", "a,,\n,,b", {{"a", "", ""}, {"", "", "b"}}},
        {"blank lines left out", "a\r\n\r\n\nb\r\n", {{"a"}, {"b"}}},
        {"empty quoted field", "\"\",x\n", {{"", "x"}}},
    };
    for (const CsvCase& c : cases) {
        std::vector<CsvReader::Row> rows;
        std::string error;
        ASSERT_TRUE(CsvReader::Parse(c.text, &rows, &error)) << c.pszName << ": " << error;
        EXPECT_EQ(rows, c.rows) << c.pszName;
    }
}

TEST(CsvReader, RefusesAQuoteThatIsNeverClosed)
{
    std::vector<CsvReader::Row> rows;
    std::string error;
    EXPECT_FALSE(CsvReader::Parse("a,b\n\"open,\nmore\n", &rows, &error));
    EXPECT_NE(error.find("line 2"), std::string::npos) << error;
}

TEST(CsvWriter, QuotesWhatMustBeQuotedAndReadsBack)
{
    const std::vector<std::string> fields = {"plain", "a,b", "say \"hi\"", "two\r\nlines", " padded", "", "é"};
    CsvWriter writer(true);
    writer.AddRow(fields);
    EXPECT_EQ(writer.Text(), "\xEF\xBB\xBFplain,\"a,b\",\"say \"\"hi\"\"\",\"two\r\nlines\",\" padded\",,é\r\n");
    std::vector<CsvReader::Row> rows;
    ASSERT_TRUE(CsvReader::Parse(writer.Text(), &rows, nullptr));
    ASSERT_EQ(rows.size(), 1u);
    EXPECT_EQ(rows[0], fields);
}

}  // namespace
