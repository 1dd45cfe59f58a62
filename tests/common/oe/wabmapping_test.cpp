// The field mapping between address-book records and neutral records, and
// the custom field mapping. No book is opened here.

#include <gtest/gtest.h>

#include <cstddef>
#include <cstring>
#include <memory>
#include <set>
#include <string>

#include "common/misc/CommAddrRecord.h"
#include "common/oe/CxWab.h"
#include "platform/oletime/OleTime.h"
#include "platform/wab/MapiTags.h"
#include "tests/support/TestTime.h"

namespace {

constexpr DWORD kNoMapping[CxWab::kCustomCount] = {};
constexpr ULONG kFolderNameTag = 0x0000FFFF;  // the mapping dialog's "Folder Name" row

class WabMappingTest : public ::testing::Test {
protected:
    void SetUp() override { CxWab::SetCustomMapping(kNoMapping, CxWab::kCustomCount); }
    void TearDown() override { CxWab::SetCustomMapping(kNoMapping, CxWab::kCustomCount); }

    static std::unique_ptr<CommAddrRecord> Comm()
    {
        auto p = std::make_unique<CommAddrRecord>();
        ZeroCommRecord(p.get());
        return p;
    }
    static std::unique_ptr<WabRecord> Wab()
    {
        auto p = std::make_unique<WabRecord>();
        std::memset(p.get(), 0, sizeof(WabRecord));
        return p;
    }
    static void Map(int nCustom, ULONG ulTag)
    {
        DWORD tags[CxWab::kCustomCount] = {};
        tags[nCustom - 1] = ulTag;
        CxWab::SetCustomMapping(tags, CxWab::kCustomCount);
    }
    static FILETIME FileTime(WORD year, WORD month, WORD day, WORD hour)
    {
        const SYSTEMTIME st = vwtest::MakeSystemTime(year, month, day, hour);
        FILETIME ft = {};
        EXPECT_TRUE(SystemTimeToFileTime(&st, &ft));
        return ft;
    }
};

TEST_F(WabMappingTest, FieldForTagNamesTheSixtyTextFields)
{
    struct Row {
        ULONG ulTag;
        size_t nOffset;
        size_t nWidth;
    };
#define ROW(name)                                                \
    Row                                                          \
    {                                                            \
        name, offsetof(WabRecord, name), sizeof(WabRecord::name) \
    }
    const Row rows[] = {
        ROW(PR_DISPLAY_NAME),
        ROW(PR_EMAIL_ADDRESS),
        ROW(PR_GIVEN_NAME),
        ROW(PR_MIDDLE_NAME),
        ROW(PR_SURNAME),
        ROW(PR_COMPANY_NAME),
        ROW(PR_TITLE),
        ROW(PR_DEPARTMENT_NAME),
        ROW(PR_COMMENT),
        ROW(PR_CALLBACK_TELEPHONE_NUMBER),
        ROW(PR_BUSINESS_TELEPHONE_NUMBER),
        ROW(PR_HOME_TELEPHONE_NUMBER),
        ROW(PR_PRIMARY_TELEPHONE_NUMBER),
        ROW(PR_RADIO_TELEPHONE_NUMBER),
        ROW(PR_MOBILE_TELEPHONE_NUMBER),
        ROW(PR_CAR_TELEPHONE_NUMBER),
        ROW(PR_OTHER_TELEPHONE_NUMBER),
        ROW(PR_PAGER_TELEPHONE_NUMBER),
        ROW(PR_PRIMARY_FAX_NUMBER),
        ROW(PR_BUSINESS_FAX_NUMBER),
        ROW(PR_HOME_FAX_NUMBER),
        ROW(PR_PERSONAL_HOME_PAGE),
        ROW(PR_BUSINESS_HOME_PAGE),
        ROW(PR_COUNTRY),
        ROW(PR_STATE_OR_PROVINCE),
        ROW(PR_LOCALITY),
        ROW(PR_STREET_ADDRESS),
        ROW(PR_POSTAL_CODE),
        ROW(PR_HOME_ADDRESS_COUNTRY),
        ROW(PR_HOME_ADDRESS_STATE_OR_PROVINCE),
        ROW(PR_HOME_ADDRESS_CITY),
        ROW(PR_HOME_ADDRESS_STREET),
        ROW(PR_HOME_ADDRESS_POSTAL_CODE),
        ROW(PR_OTHER_ADDRESS_COUNTRY),
        ROW(PR_OTHER_ADDRESS_STATE_OR_PROVINCE),
        ROW(PR_OTHER_ADDRESS_CITY),
        ROW(PR_OTHER_ADDRESS_STREET),
        ROW(PR_OTHER_ADDRESS_POSTAL_CODE),
        ROW(PR_ACCOUNT),
        ROW(PR_GENERATION),
        ROW(PR_GOVERNMENT_ID_NUMBER),
        ROW(PR_INITIALS),
        ROW(PR_KEYWORD),
        ROW(PR_LANGUAGE),
        ROW(PR_LOCATION),
        ROW(PR_MHS_COMMON_NAME),
        ROW(PR_ORGANIZATIONAL_ID_NUMBER),
        ROW(PR_BUSINESS2_TELEPHONE_NUMBER),
        ROW(PR_HOME2_TELEPHONE_NUMBER),
        ROW(PR_ISDN_NUMBER),
        ROW(PR_ASSISTANT_TELEPHONE_NUMBER),
        ROW(PR_ASSISTANT),
        ROW(PR_HOBBIES),
        ROW(PR_PROFESSION),
        ROW(PR_CUSTOMER_ID),
        ROW(PR_FTP_SITE),
        ROW(PR_MANAGER_NAME),
        ROW(PR_NICKNAME),
        ROW(PR_SPOUSE_NAME),
        ROW(PR_COMPUTER_NETWORK_NAME),
    };
#undef ROW
    static_assert(sizeof rows / sizeof rows[0] == 60);
    auto record = Wab();
    for (const Row& row : rows) {
        SCOPED_TRACE(row.ulTag);
        int nWidth = -1;
        EXPECT_EQ(CxWab::FieldForTag(record.get(), row.ulTag, &nWidth),
                  reinterpret_cast<char*>(record.get()) + row.nOffset);
        EXPECT_EQ(static_cast<size_t>(nWidth), row.nWidth);
    }
    for (ULONG ulTag : {PR_BIRTHDAY, PR_WEDDING_ANNIVERSARY, PR_GENDER, PR_CHILDRENS_NAMES, kFolderNameTag, ULONG{0},
                        PR_ENTRYID, CHANGE_PROP_TYPE(PR_SURNAME, PT_ERROR)}) {
        SCOPED_TRACE(ulTag);
        int nWidth = -1;
        EXPECT_EQ(CxWab::FieldForTag(record.get(), ulTag, &nWidth), nullptr);
        EXPECT_EQ(nWidth, 0);
    }
    EXPECT_EQ(CxWab::FieldForTag(static_cast<WabRecord*>(nullptr), PR_SURNAME), nullptr);
}

TEST_F(WabMappingTest, NeutralToBookCutsTextsAndBuildsTheDisplayName)
{
    auto comm = Comm();
    SetTextField(comm.get(), CF_FIRST_NAME, "Ann");
    SetTextField(comm.get(), CF_LAST_NAME, "Lee");
    SetTextField(comm.get(), CF_MIDDLE_NAME, "Q");
    SetTextField(comm.get(), CF_COMPANY, std::string(50, 'c').c_str());
    SetTextField(comm.get(), CF_NOTE, std::string(5000, 'n').c_str());
    SetTextField(comm.get(), CF_PREFIX, "Professor Doctor");
    SetTextField(comm.get(), CF_CATEGORY, std::string(40, 'k').c_str());
    SetTextField(comm.get(), CF_CHILDREN_NAMES, "Kim");
    auto wab = Wab();
    ASSERT_TRUE(CxWab::ConvertFromComm(comm.get(), wab.get()));
    EXPECT_STREQ(wab->PR_DISPLAY_NAME, "Ann Lee");
    EXPECT_STREQ(wab->PR_GIVEN_NAME, "Ann");
    EXPECT_STREQ(wab->PR_SURNAME, "Lee");
    EXPECT_STREQ(wab->PR_MIDDLE_NAME, "Q");
    EXPECT_EQ(std::string(wab->PR_COMPANY_NAME), std::string(31, 'c'));
    EXPECT_EQ(std::string(wab->PR_COMMENT), std::string(2047, 'n'));
    EXPECT_STREQ(wab->PR_INITIALS, "Professor Docto");
    EXPECT_EQ(std::string(wab->szFolderName), std::string(31, 'k'));
    EXPECT_STREQ(wab->szChildrenNames, "Kim");

    // A given Display Name wins; with no names at all it is a single blank.
    SetTextField(comm.get(), CF_DISPLAY_NAME, "Dr. Lee");
    ASSERT_TRUE(CxWab::ConvertFromComm(comm.get(), wab.get()));
    EXPECT_STREQ(wab->PR_DISPLAY_NAME, "Dr. Lee");
    auto empty = Comm();
    ASSERT_TRUE(CxWab::ConvertFromComm(empty.get(), wab.get()));
    EXPECT_STREQ(wab->PR_DISPLAY_NAME, " ");
    EXPECT_STREQ(wab->PR_COMPANY_NAME, "");  // every mapped field is written, empty ones too

    EXPECT_FALSE(CxWab::ConvertFromComm(nullptr, wab.get()));
    EXPECT_FALSE(CxWab::ConvertFromComm(comm.get(), nullptr));
}

TEST_F(WabMappingTest, BookToNeutralFallsBackOnTheDisplayName)
{
    auto wab = Wab();
    CopyTextField(wab->PR_DISPLAY_NAME, std::string(40, 'd').c_str());
    CopyTextField(wab->PR_COMPANY_NAME, std::string(31, 'c').c_str());
    CopyTextField(wab->PR_COMMENT, std::string(2047, 'n').c_str());
    CopyTextField(wab->PR_MIDDLE_NAME, "Q");
    auto comm = Comm();
    SetTextField(comm.get(), CF_DISPLAY_NAME, "kept");
    ASSERT_TRUE(CxWab::ConvertToComm(wab.get(), comm.get()));
    EXPECT_EQ(std::string(comm->szFirstName), std::string(31, 'd'));
    EXPECT_EQ(std::string(comm->szCompany), std::string(31, 'c'));
    EXPECT_EQ(std::string(comm->szNote), std::string(2047, 'n'));
    // Fields the mapping does not name stay as the caller left them.
    EXPECT_STREQ(comm->szDisplayName, "kept");
    EXPECT_STREQ(comm->szMiddleName, "");
    EXPECT_STREQ(comm->szCategory, "");

    // With a surname the display name is not used.
    CopyTextField(wab->PR_SURNAME, "Lee");
    auto named = Comm();
    ASSERT_TRUE(CxWab::ConvertToComm(wab.get(), named.get()));
    EXPECT_STREQ(named->szFirstName, "");
    EXPECT_STREQ(named->szLastName, "Lee");

    // A nameless contact is written with a single blank as display name; it
    // must read back nameless, or it would never match its source again.
    auto blank = Wab();
    CopyTextField(blank->PR_DISPLAY_NAME, " ");
    CopyTextField(blank->PR_COMPANY_NAME, "Acme");
    auto nameless = Comm();
    ASSERT_TRUE(CxWab::ConvertToComm(blank.get(), nameless.get()));
    EXPECT_STREQ(nameless->szFirstName, "");
    EXPECT_STREQ(nameless->szCompany, "Acme");

    EXPECT_FALSE(CxWab::ConvertToComm(nullptr, comm.get()));
    EXPECT_FALSE(CxWab::ConvertToComm(wab.get(), nullptr));
}

TEST_F(WabMappingTest, CustomFieldsFollowTheStepOrder)
{
    auto comm = Comm();
    SetTextField(comm.get(), CF_CUSTOM1, "custom one");
    SetTextField(comm.get(), CF_NICK_NAME, "Nick");
    SetTextField(comm.get(), CF_COMPANY, "Acme");

    // Onto a property a later step fills: that step wins.
    Map(1, PR_NICKNAME);
    auto wab = Wab();
    CxWab::ConvertFromComm(comm.get(), wab.get());
    EXPECT_STREQ(wab->PR_NICKNAME, "Nick");
    auto back = Comm();
    CxWab::ConvertToComm(wab.get(), back.get());
    EXPECT_STREQ(back->szCustom[0], "Nick");

    // Onto a property an earlier step fills: the custom value replaces it.
    Map(1, PR_COMPANY_NAME);
    wab = Wab();
    CxWab::ConvertFromComm(comm.get(), wab.get());
    EXPECT_STREQ(wab->PR_COMPANY_NAME, "custom one");

    // Onto a property only the custom mapping fills, both ways; an empty
    // custom value empties the field.
    Map(3, PR_GENERATION);
    SetTextField(comm.get(), CF_CUSTOM1 + 2, "Jr.");
    wab = Wab();
    CxWab::ConvertFromComm(comm.get(), wab.get());
    EXPECT_STREQ(wab->PR_GENERATION, "Jr.");
    back = Comm();
    CxWab::ConvertToComm(wab.get(), back.get());
    EXPECT_STREQ(back->szCustom[2], "Jr.");
    SetTextField(comm.get(), CF_CUSTOM1 + 2, "");
    CxWab::ConvertFromComm(comm.get(), wab.get());
    EXPECT_STREQ(wab->PR_GENERATION, "");
}

TEST_F(WabMappingTest, CustomFieldsOnPropertiesWithoutTextCarryNothing)
{
    auto comm = Comm();
    SetTextField(comm.get(), CF_FIRST_NAME, "Ann");
    auto plain = Wab();
    CxWab::ConvertFromComm(comm.get(), plain.get());
    for (int i = 0; i < CxWab::kCustomCount; ++i)
        SetTextField(comm.get(), CF_CUSTOM1 + i, "X");

    const DWORD tags[CxWab::kCustomCount] = {
        PR_BIRTHDAY, PR_WEDDING_ANNIVERSARY, PR_GENDER, PR_CHILDRENS_NAMES, kFolderNameTag, 0, 12345, PR_ENTRYID, 0};
    ASSERT_TRUE(CxWab::SetCustomMapping(tags, CxWab::kCustomCount));
    auto mapped = Wab();
    CxWab::ConvertFromComm(comm.get(), mapped.get());
    EXPECT_EQ(std::memcmp(mapped.get(), plain.get(), sizeof(WabRecord)), 0);

    auto back = Comm();
    CxWab::ConvertToComm(mapped.get(), back.get());
    for (int i = 0; i < CxWab::kCustomCount; ++i)
        EXPECT_STREQ(back->szCustom[i], "") << "Custom " << i + 1;
}

TEST_F(WabMappingTest, SetCustomMappingRefusesBadCountsAndKeepsTheRest)
{
    const DWORD nine[CxWab::kCustomCount] = {1, 2, 3, 4, 5, 6, 7, 8, 9};
    ASSERT_TRUE(CxWab::SetCustomMapping(nine, CxWab::kCustomCount));
    const DWORD two[2] = {PR_NICKNAME, PR_TITLE};
    EXPECT_FALSE(CxWab::SetCustomMapping(two, 0));
    EXPECT_FALSE(CxWab::SetCustomMapping(nine, 10));
    EXPECT_FALSE(CxWab::SetCustomMapping(nullptr, 2));
    EXPECT_EQ(CxWab::GetCustomMapping()[0], 1u);
    EXPECT_TRUE(CxWab::SetCustomMapping(two, 2));
    const DWORD expected[CxWab::kCustomCount] = {PR_NICKNAME, PR_TITLE, 3, 4, 5, 6, 7, 8, 9};
    EXPECT_EQ(std::memcmp(CxWab::GetCustomMapping(), expected, sizeof expected), 0);

    // Every new connection starts without a mapping.
    CxWab wab(nullptr);
    EXPECT_EQ(std::memcmp(CxWab::GetCustomMapping(), kNoMapping, sizeof kNoMapping), 0);
}

TEST_F(WabMappingTest, UnsetDatesStayUnsetBothWays)
{
    // A birthday of 3 Feb 2001, 12:00 and its OLE Automation date.
    const FILETIME birthday = FileTime(2001, 2, 3, 12);
    SYSTEMTIME st = {};
    ASSERT_TRUE(FileTimeToSystemTime(&birthday, &st));
    double dBirthday = 0.0;
    ASSERT_TRUE(SystemTimeToVariantTime(&st, &dBirthday));

    auto wab = Wab();
    wab->PR_BIRTHDAY = birthday;  // the anniversary stays 0: not set
    auto comm = Comm();
    comm->dtAnniversary = 123.0;
    CxWab::ConvertToComm(wab.get(), comm.get());
    EXPECT_EQ(comm->dtBirthday, dBirthday);
    EXPECT_EQ(comm->dtAnniversary, 123.0);  // untouched, as for a zero-filled record 0.0

    // 0.0 and dates a file time cannot hold give file time 0, which replaces
    // whatever the record held (and is never written to the book).
    const struct {
        double dDate;
        bool bSet;
    } cases[] = {{0.0, false}, {dBirthday, true}, {-200000.0, false}, {1.0e300, false}};
    for (const auto& c : cases) {
        SCOPED_TRACE(c.dDate);
        auto target = Wab();
        target->PR_WEDDING_ANNIVERSARY = FileTime(1990, 1, 1, 0);
        auto source = Comm();
        source->dtAnniversary = c.dDate;
        CxWab::ConvertFromComm(source.get(), target.get());
        const FILETIME& ft = target->PR_WEDDING_ANNIVERSARY;
        if (c.bSet) {
            EXPECT_EQ(ft.dwLowDateTime, birthday.dwLowDateTime);
            EXPECT_EQ(ft.dwHighDateTime, birthday.dwHighDateTime);
        } else {
            EXPECT_EQ(ft.dwLowDateTime | ft.dwHighDateTime, 0u);
        }
    }
}

}  // namespace

// A set that only matches an entry converts the fields it matches by alone:
// each field comes out as the whole conversion gives it, whichever it is,
// custom fields and the display name standing in for the first name
// included.
TEST_F(WabMappingTest, ConvertingSomeFieldsGivesThemAsTheWholeConversionDoes)
{
    DWORD tags[CxWab::kCustomCount] = {PR_NICKNAME, PR_HOBBIES, 0, PR_PROFESSION};
    CxWab::SetCustomMapping(tags, CxWab::kCustomCount);
    auto filled = Comm();
    for (int32_t nId = 1; nId <= COMM_FIELD_COUNT; ++nId)
        SetTextField(filled.get(), nId, ("f" + std::to_string(nId)).c_str());
    filled->dtBirthday = 30000.5;
    auto displayOnly = Wab();
    std::strcpy(displayOnly->PR_DISPLAY_NAME, "Only A Display Name");
    std::strcpy(displayOnly->PR_BUSINESS_TELEPHONE_NUMBER, "555-0101");
    auto full = Wab();
    CxWab::ConvertFromComm(filled.get(), full.get());

    for (const WabRecord* pEntry : {full.get(), displayOnly.get()}) {
        auto whole = Comm();
        ASSERT_TRUE(CxWab::ConvertToComm(pEntry, whole.get()));
        for (int32_t nId = 1; nId <= COMM_FIELD_COUNT; ++nId) {
            SCOPED_TRACE(nId);
            CommFieldMask fields;
            fields.set(static_cast<size_t>(nId));
            auto some = Comm();
            ASSERT_TRUE(CxWab::ConvertFieldsToComm(pEntry, some.get(), &fields));
            EXPECT_EQ(std::memcmp(GetFieldAddress(some.get(), nId), GetFieldAddress(whole.get(), nId),
                                  static_cast<size_t>(GetFieldWidth(nId))),
                      0);
        }
        auto none = Comm();
        const CommFieldMask noFields;
        ASSERT_TRUE(CxWab::ConvertFieldsToComm(pEntry, none.get(), &noFields));
        EXPECT_STREQ(none->szFirstName, whole->szFirstName);
        EXPECT_EQ(none->dtBirthday, whole->dtBirthday);
    }
}
