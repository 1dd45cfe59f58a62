// The neutral record, its catalog, LookupField and FieldToText.
#include "common/misc/CommAddrRecord.h"

#include <gtest/gtest.h>

#include <cstring>
#include <set>
#include <string>

namespace {

CommAddrRecord ZeroRecord()
{
    CommAddrRecord record;
    ZeroCommRecord(&record);
    return record;
}

// A text of nLen characters, distinct per field id so that overlapping
// fields would show.
std::string Filler(int32_t nId, size_t nLen)
{
    std::string text;
    for (size_t i = 0; i < nLen; ++i)
        text += static_cast<char>('!' + (nId + static_cast<int32_t>(i)) % 90);
    return text;
}

TEST(CommFieldCatalogTest, HoldsEveryIdOnceWithTypeAndWidth)
{
    std::set<int32_t> ids;
    for (const CommField& field : g_CommFieldCatalog) {
        ids.insert(field.id);
        CommField looked{};
        ASSERT_TRUE(LookupField(field.id, &looked));
        EXPECT_STREQ(looked.name, field.name);
        EXPECT_EQ(looked.size, GetFieldWidth(field.id));
    }
    EXPECT_EQ(ids.size(), 90u);
    EXPECT_EQ(*ids.begin(), 1);
    EXPECT_EQ(*ids.rbegin(), 90);

    struct Row {
        int32_t id;
        const char* name;
        int32_t type;
        int32_t size;
    };
    const Row rows[] = {
        {1, "First Name", CFT_TEXT, 32},
        {2, "Middle Name", CFT_TEXT, 32},
        {8, "Gender", CFT_GENDER, 4},
        {12, "(Work) Postal", CFT_TEXT, 16},
        {28, "Primary Phone", CFT_TEXT, 24},
        {37, "Email", CFT_TEXT, 64},
        {40, "Personal Home Page", CFT_TEXT, 256},
        {43, "Note", CFT_TEXT, 8192},
        {52, "Custom 9", CFT_TEXT, 64},
        {54, "Department", CFT_TEXT, 32},
        {62, "Children's Names", CFT_TEXT, 32},
        {66, "Anniversary", CFT_DATETIME, 8},
        {77, "Last Modification Time", CFT_DATETIME, 8},
        {78, "Source Type", CFT_INTEGER, 4},
        {81, "Private", CFT_INTEGER, 4},
        {90, "Custom Label 9", CFT_TEXT, 64},
    };
    for (const Row& row : rows) {
        CommField field{};
        ASSERT_TRUE(LookupField(row.id, &field)) << row.id;
        EXPECT_EQ(field.id, row.id);
        EXPECT_STREQ(field.name, row.name);
        EXPECT_EQ(field.type, row.type) << row.id;
        EXPECT_EQ(field.size, row.size) << row.id;
    }
}

TEST(CommFieldCatalogTest, LookupRefusesUnknownIdsAndNullOut)
{
    CommField field{};
    for (int32_t nId : {0, 91, -1, 1000})
        EXPECT_FALSE(LookupField(nId, &field)) << nId;
    EXPECT_FALSE(LookupField(1, nullptr));
}

TEST(CommFieldCatalogTest, FieldsAddressedByIdAreTheNamedMembers)
{
    CommAddrRecord record = ZeroRecord();
    EXPECT_EQ(GetTextField(&record, CF_LAST_NAME), record.szLastName);
    EXPECT_EQ(GetTextField(&record, CF_OTHER_PHONE), record.szOtherPhone);
    EXPECT_EQ(GetTextField(&record, CF_WORK_HOME_PAGE), record.szWorkHomePage);
    EXPECT_EQ(GetTextField(&record, CF_TITLE), record.szTitle);
    EXPECT_EQ(GetTextField(&record, CF_CUSTOM1 + 4), record.szCustom[4]);
    EXPECT_EQ(GetTextField(&record, CF_CUSTOM_LABEL9), record.szCustomLabel[8]);
    EXPECT_EQ(GetFieldAddress(&record, CF_BIRTHDAY), &record.dtBirthday);
    EXPECT_EQ(GetFieldAddress(&record, CF_SOURCE_TYPE), &record.nSourceType);
    EXPECT_EQ(GetTextField(&record, CF_BIRTHDAY), nullptr);  // not a text field
    EXPECT_EQ(GetFieldAddress(&record, 91), nullptr);
}

// Every text field of the catalog, filled to its limit in one record: each
// reads back whole through FieldToText, refuses a buffer one byte short, and
// stays within its own bytes.
TEST(FieldToTextTest, EveryTextFieldReadsBackWholeAtItsWidth)
{
    CommAddrRecord record = ZeroRecord();
    for (const CommField& field : g_CommFieldCatalog) {
        if (field.type != CFT_TEXT)
            continue;
        // One character too many: the writer cuts it to width - 1.
        ASSERT_TRUE(SetTextField(&record, field.id, Filler(field.id, field.size).c_str()));
    }
    for (const CommField& field : g_CommFieldCatalog) {
        if (field.type != CFT_TEXT)
            continue;
        const std::string expected = Filler(field.id, field.size - 1);
        std::string buf(field.size, '#');
        EXPECT_TRUE(FieldToText(&record, &field, buf.data(), field.size)) << field.name;
        EXPECT_EQ(std::string(buf.c_str()), expected) << field.name;

        // A buffer narrower than the field is refused and left as it was.
        std::string narrow(field.size - 1, '#');
        EXPECT_FALSE(FieldToText(&record, &field, narrow.data(), field.size - 1)) << field.name;
        EXPECT_EQ(narrow, std::string(field.size - 1, '#')) << field.name;
    }
}

TEST(FieldToTextTest, ZeroRecordReadsPerType)
{
    const CommAddrRecord record = ZeroRecord();
    for (const CommField& field : g_CommFieldCatalog) {
        char szBuf[8192];
        std::memset(szBuf, '#', sizeof szBuf);
        const bool bResult = FieldToText(&record, &field, szBuf, sizeof szBuf);
        switch (field.type) {
        case CFT_TEXT:
        case CFT_GENDER:
            EXPECT_TRUE(bResult) << field.name;
            EXPECT_STREQ(szBuf, "") << field.name;
            break;
        case CFT_DATETIME:
            EXPECT_TRUE(bResult) << field.name;
            EXPECT_STREQ(szBuf, "12/30/1899 00:00:00") << field.name;
            break;
        default:  // Source Type 0, Status and Private have no text
            EXPECT_FALSE(bResult) << field.name;
            EXPECT_STREQ(szBuf, "") << field.name;
            break;
        }
    }
}

TEST(FieldToTextTest, SourceTypeReadsItsLabel)
{
    struct Case {
        int32_t nCode;
        bool bResult;
        const char* pszText;
    };
    const Case cases[] = {
        {CST_PALM, true, "Palm"},
        {CST_PALM_EX, true, "Palm(4.1.2 and aboves)"},
        {CST_WAB, true, "Windows Address Book"},
        {CST_OSTRELLE, true, "Ostrelle"},
        {0, false, ""},
        {16, false, ""},
        {-3, false, ""},
    };
    CommAddrRecord record = ZeroRecord();
    CommField field{};
    ASSERT_TRUE(LookupField(CF_SOURCE_TYPE, &field));
    for (const Case& c : cases) {
        record.nSourceType = c.nCode;
        char szBuf[64] = "#";
        EXPECT_EQ(FieldToText(&record, &field, szBuf, sizeof szBuf), c.bResult) << c.nCode;
        EXPECT_STREQ(szBuf, c.pszText) << c.nCode;
    }
    // The label is cut to the buffer like any text.
    record.nSourceType = CST_WAB;
    char szShort[5];
    EXPECT_TRUE(FieldToText(&record, &field, szShort, sizeof szShort));
    EXPECT_STREQ(szShort, "Wind");
}

TEST(FieldToTextTest, DatesAndRefusals)
{
    CommAddrRecord record = ZeroRecord();
    record.dtBirthday = 36526.5;
    record.dtLastModificationTime = -1.25;
    CommField birthday{}, modified{}, note{};
    ASSERT_TRUE(LookupField(CF_BIRTHDAY, &birthday));
    ASSERT_TRUE(LookupField(CF_LAST_MODIFICATION_TIME, &modified));
    ASSERT_TRUE(LookupField(CF_NOTE, &note));

    char szBuf[1024];
    EXPECT_TRUE(FieldToText(&record, &birthday, szBuf, sizeof szBuf));
    EXPECT_STREQ(szBuf, "01/01/2000 12:00:00");
    EXPECT_TRUE(FieldToText(&record, &modified, szBuf, sizeof szBuf));
    EXPECT_STREQ(szBuf, "12/29/1899 06:00:00");
    EXPECT_TRUE(FieldToText(&record, &birthday, szBuf, 8));  // the date's own width
    EXPECT_STREQ(szBuf, "01/01/2");

    // Refused arguments leave the buffer as it was.
    std::strcpy(szBuf, "untouched");
    EXPECT_FALSE(FieldToText(&record, &note, szBuf, sizeof szBuf));  // 1024 < 8192
    EXPECT_FALSE(FieldToText(nullptr, &birthday, szBuf, sizeof szBuf));
    EXPECT_FALSE(FieldToText(&record, nullptr, szBuf, sizeof szBuf));
    EXPECT_FALSE(FieldToText(&record, &birthday, szBuf, 0));
    EXPECT_STREQ(szBuf, "untouched");
    EXPECT_FALSE(FieldToText(&record, &birthday, nullptr, 64));

    // An id outside the catalog gives an empty text and false.
    const CommField unknown{91, "Unknown", CFT_TEXT, 32};
    EXPECT_FALSE(FieldToText(&record, &unknown, szBuf, sizeof szBuf));
    EXPECT_STREQ(szBuf, "");
}

TEST(CopyTextFieldTest, CutsAndTerminates)
{
    char szField[8];
    std::memset(szField, '#', sizeof szField);
    EXPECT_EQ(CopyTextField(szField, "abcdefghij"), 7u);
    EXPECT_STREQ(szField, "abcdefg");
    EXPECT_EQ(CopyTextField(szField, "xy"), 2u);
    EXPECT_STREQ(szField, "xy");
    EXPECT_EQ(CopyTextField(szField, nullptr), 0u);
    EXPECT_STREQ(szField, "");

    CommAddrRecord record = ZeroRecord();
    EXPECT_FALSE(SetTextField(&record, CF_STATUS, "x"));
    EXPECT_FALSE(SetTextField(nullptr, CF_FIRST_NAME, "x"));
    EXPECT_EQ(record.nStatus, 0);
}

}  // namespace
