// The vCard reader and writer on their own: unfolding, parameters in the
// ways the three versions write them, quoted-printable and character sets,
// escapes, and the writer's folding and line ends.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "common/exchange/VCardReader.h"
#include "common/exchange/VCardWriter.h"

namespace {

std::vector<VCard> Read(const std::string& text)
{
    std::vector<VCard> cards;
    VCardReader::Parse(text, &cards);
    return cards;
}

TEST(VCardReader, UnfoldsContinuationLinesAndKeepsGroups)
{
    const auto cards = Read(
        "BEGIN:VCARD\r\nVERSION:3.0\r\nNOTE:first part\r\n  and the rest\r\nitem1.TEL;type=WORK;type=VOICE:1\r\n"
        "item1.X-ABLABEL:Desk\r\nEND:VCARD\r\n");
    ASSERT_EQ(cards.size(), 1u);
    ASSERT_EQ(cards[0].properties.size(), 3u);
    EXPECT_EQ(cards[0].properties[0].strValue, "first part and the rest");
    const VCardProperty& tel = cards[0].properties[1];
    EXPECT_EQ(tel.strGroup, "item1");
    EXPECT_EQ(tel.strName, "TEL");
    EXPECT_TRUE(tel.HasType("work"));
    EXPECT_TRUE(tel.HasType("voice"));
    EXPECT_FALSE(tel.HasType("home"));
}

TEST(VCardReader, ReadsQuotedPrintableWithSoftBreaksAndCharset)
{
    // 2.1: bare parameters, a soft line break, and Latin-1 bytes.
    const auto cards = Read(
        "BEGIN:VCARD\nVERSION:2.1\nN;CHARSET=ISO-8859-1;ENCODING=QUOTED-PRINTABLE:M=FCller;J=FC=\nrgen\n"
        "TEL;WORK;FAX:555\nNOTE;QUOTED-PRINTABLE:a=0D=0Ab\nEND:VCARD\n");
    ASSERT_EQ(cards.size(), 1u);
    ASSERT_EQ(cards[0].properties.size(), 3u);
    EXPECT_EQ(cards[0].properties[0].strValue, "M\xC3\xBCller;J\xC3\xBCrgen");
    EXPECT_TRUE(cards[0].properties[1].HasType("FAX"));
    EXPECT_EQ(cards[0].properties[2].strValue, "a\r\nb");
}

TEST(VCardReader, SplitsStructuredValuesAtUnescapedSeparatorsOnly)
{
    const std::vector<std::string> parts = VCardReader::SplitValue("Doe\\;Jr;John\\, Paul;;Dr.\\\\", ';');
    ASSERT_EQ(parts.size(), 4u);
    EXPECT_EQ(parts[0], "Doe;Jr");
    EXPECT_EQ(parts[1], "John, Paul");
    EXPECT_EQ(parts[2], "");
    EXPECT_EQ(parts[3], "Dr.\\");
    EXPECT_EQ(VCardReader::UnescapeValue("line1\\nline2\\Nline3"), "line1\nline2\nline3");
    // A backslash at the very end stays and ends the last component.
    EXPECT_EQ(VCardReader::SplitValue("a;b\\", ';').back(), "b\\");
}

TEST(VCardReader, SkipsNestedCardsAndKeepsACardCutOffAtTheEnd)
{
    const auto cards = Read(
        "junk before\r\nBEGIN:VCARD\r\nVERSION:2.1\r\nAGENT:\r\nBEGIN:VCARD\r\nFN:Agent\r\nEND:VCARD\r\n"
        "FN:Boss\r\nEND:VCARD\r\nBEGIN:VCARD\r\nFN:Cut\r\n");
    ASSERT_EQ(cards.size(), 2u);
    ASSERT_NE(cards[0].Find("FN"), nullptr);
    EXPECT_EQ(cards[0].Find("FN")->strValue, "Boss");
    EXPECT_EQ(cards[1].Find("FN")->strValue, "Cut");
}

TEST(VCardWriter, FoldsAt75OctetsWithoutCuttingACharacter)
{
    VCardWriter writer(4);
    std::string note;
    for (int i = 0; i < 60; ++i)
        note += "\xC3\xA9";  // é, two octets each
    writer.AddText("NOTE", "", note);
    const std::string text = writer.Text();
    size_t start = 0;
    std::string unfolded;
    while (start < text.size()) {
        const size_t end = text.find("\r\n", start);
        ASSERT_NE(end, std::string::npos) << "every line ends in CRLF";
        const std::string line = text.substr(start, end - start);
        EXPECT_LE(line.size(), 75u);
        if (start > 0) {
            ASSERT_EQ(line[0], ' ');
            EXPECT_NE(static_cast<unsigned char>(line[1]) & 0xC0, 0x80u) << "a line starts inside a character";
            unfolded += line.substr(1);
        } else {
            unfolded += line;
        }
        start = end + 2;
    }
    EXPECT_EQ(unfolded, "NOTE:" + note);
}

TEST(VCardWriter, EscapesTextValues)
{
    EXPECT_EQ(VCardWriter::EscapeText("a,b;c\\d\r\ne\nf"), "a\\,b\\;c\\\\d\\ne\\nf");
    EXPECT_EQ(VCardWriter::JoinStructured({"Doe;Jr", "", "x,y"}), "Doe\\;Jr;;x\\,y");
}

}  // namespace
