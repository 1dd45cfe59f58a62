#include "platform/codepage/CodePage.h"

#include <gtest/gtest.h>

#include <fstream>
#include <string>

#include "tests/support/TestFiles.h"

namespace {

class CodePageTest : public ::testing::Test {
protected:
    void TearDown() override { ASSERT_TRUE(SetAnsiCodePage("CP1252")); }

    static std::string AllBytes()
    {
        std::string bytes;
        for (int b = 0; b < 256; ++b)
            bytes.push_back(static_cast<char>(b));
        return bytes;
    }
};

TEST_F(CodePageTest, Windows1252IsTheDefault)
{
    EXPECT_EQ(GetAnsiCodePage(), "CP1252");
    EXPECT_EQ(AnsiToUtf8("caf\xE9 \x80 \x9F"), "caf\u00E9 \u20AC \u0178");
    EXPECT_EQ(AnsiToWide("\x80\x85"), u"\u20AC\u2026");
    EXPECT_EQ(Utf8ToAnsi("caf\u00E9 \u20AC \u2122"), "caf\xE9 \x80 \x99");
    EXPECT_EQ(WideToAnsi(u"\u0160\u017E"), "\x8A\x9E");
}

TEST_F(CodePageTest, EveryByteSurvivesARoundTrip)
{
    for (const char* page : {"CP1252", "CP1251", "CP1250", "ISO-8859-15"}) {
        SCOPED_TRACE(page);
        ASSERT_TRUE(SetAnsiCodePage(page));
        EXPECT_EQ(Utf8ToAnsi(AnsiToUtf8(AllBytes())), AllBytes());
        EXPECT_EQ(WideToAnsi(AnsiToWide(AllBytes())), AllBytes());
    }
    ASSERT_TRUE(SetAnsiCodePage("CP1252"));
    // The bytes Windows-1252 leaves undefined travel as the C1 controls.
    EXPECT_EQ(AnsiToWide("\x81\x8D\x8F\x90\x9D"), u"\u0081\u008D\u008F\u0090\u009D");
}

TEST_F(CodePageTest, UnconvertibleAndMalformedInputBecomesQuestionMarks)
{
    const struct {
        std::string utf8;
        std::string ansi;
    } cases[] = {
        {"\u4E2D\u6587", "??"},     // not in the code page
        {"a\xC3", "a?"},            // cut sequence at the end
        {"\xE2\x82z", "?z"},        // cut sequence before a letter
        {"\xC0\xAF", "?"},          // overlong '/'
        {"\xED\xA0\x80", "?"},      // encoded surrogate
        {"\xF4\x90\x80\x80", "?"},  // beyond U+10FFFF
        {"\xFF\xFE", "??"},        {"\U0001F600!", "?!"},
    };
    for (const auto& c : cases)
        EXPECT_EQ(Utf8ToAnsi(c.utf8), c.ansi) << c.utf8;
    EXPECT_EQ(WideToAnsi(std::u16string(u"x") + char16_t(0xD800) + u"y" + char16_t(0xDC00)), "x?y?");
    EXPECT_EQ(WideToAnsi(u"\U0001F600"), "?");
}

TEST_F(CodePageTest, CodePageComesFromTheSettingsFile)
{
    const vwtest::TempDir dir("codepage");
    const std::string ini = dir.File("corvane.ini");

    std::ofstream(ini) << "[CodePage]\nAnsi=CP1251\n";
    EXPECT_TRUE(LoadAnsiCodePageSetting(ini.c_str()));
    EXPECT_EQ(GetAnsiCodePage(), "CP1251");
    EXPECT_EQ(AnsiToUtf8("\xC0\xE1"), "\u0410\u0431");

    std::ofstream(ini) << "[CodePage]\nAnsi=NO-SUCH-CHARSET\n";
    EXPECT_FALSE(LoadAnsiCodePageSetting(ini.c_str()));
    EXPECT_EQ(GetAnsiCodePage(), "CP1251");
    EXPECT_FALSE(SetAnsiCodePage(""));
    EXPECT_FALSE(SetAnsiCodePage(nullptr));
}

TEST_F(CodePageTest, MultiByteCodePagesGoThroughIconv)
{
    if (!SetAnsiCodePage("932"))
        GTEST_SKIP() << "iconv has no CP932 on this system";
    EXPECT_EQ(GetAnsiCodePage(), "CP932");
    EXPECT_EQ(AnsiToUtf8("A\x82\xA0"), "A\u3042");
    EXPECT_EQ(Utf8ToAnsi("A\u3042\u20AC"), "A\x82\xA0?");
    EXPECT_EQ(AnsiToUtf8("b\x82"), "b?");  // a lead byte cut at the end
    EXPECT_EQ(WideToAnsi(AnsiToWide("x\x82\xA0y")), "x\x82\xA0y");
}

}  // namespace

TEST_F(CodePageTest, WindowsCodePagesOfferedAreTheSingleByteOnesIconvHas)
{
    const std::vector<CodePageChoice> choices = WindowsCodePages();
    ASSERT_FALSE(choices.empty());
    EXPECT_STREQ(choices.front().pszName, "CP1252");
    // glibc's iconv has every one of them; the scripts users ask for first.
    for (const char* pszWanted : {"CP1250", "CP1251", "CP1253", "CP1254", "CP1257"}) {
        bool bFound = false;
        for (const CodePageChoice& choice : choices)
            bFound |= std::string(choice.pszName) == pszWanted;
        EXPECT_TRUE(bFound) << pszWanted;
    }
    for (const CodePageChoice& choice : choices) {
        SCOPED_TRACE(choice.pszName);
        EXPECT_TRUE(IsKnownCodePage(choice.pszName));
        ASSERT_TRUE(SetAnsiCodePage(choice.pszName));
        // Single-byte: every byte alone survives the way out and back.
        for (int b = 1; b < 256; ++b) {
            const std::string byte(1, static_cast<char>(b));
            EXPECT_EQ(Utf8ToAnsi(AnsiToUtf8(byte)), byte) << b;
        }
    }
    EXPECT_FALSE(IsKnownCodePage("NO-SUCH-PAGE"));
    EXPECT_FALSE(IsKnownCodePage(""));
    EXPECT_FALSE(IsKnownCodePage(nullptr));
    EXPECT_EQ(GetAnsiCodePage(), choices.back().pszName);  // a check changes nothing

    ASSERT_TRUE(SetAnsiCodePage("CP1251"));
    EXPECT_EQ(AnsiToUtf8("\xC8\xE2\xE0\xED"), "\xD0\x98\xD0\xB2\xD0\xB0\xD0\xBD");  // "Иван"
}
