// Neutral records to and from vCard and CSV: what each kind of file gives
// in which field, full round trips through every format, and text the ANSI
// code page cannot hold.
#include <gtest/gtest.h>

#include <cstring>
#include <string>
#include <utility>
#include <vector>

#include "common/exchange/ContactExchange.h"
#include "platform/codepage/CodePage.h"
#include "platform/oletime/OleTime.h"

namespace {

double Date(int year, int month, int day)
{
    SYSTEMTIME st = {};
    st.wYear = static_cast<WORD>(year);
    st.wMonth = static_cast<WORD>(month);
    st.wDay = static_cast<WORD>(day);
    double value = 0.0;
    SystemTimeToVariantTime(&st, &value);
    return value;
}

struct Expected {
    int32_t nId;
    const char* pszAnsi;  // the field's text in the ANSI code page (Windows-1252)
};

struct SnippetCase {
    const char* pszName;
    std::string text;
    std::vector<Expected> fields;  // every other text field must be empty
    double dtBirthday;
};

void ExpectFields(const CommAddrRecord& record, const std::vector<Expected>& fields, const char* pszCase)
{
    for (const CommField& field : g_CommFieldCatalog) {
        if (field.type != CFT_TEXT)
            continue;
        std::string expected;
        for (const Expected& e : fields) {
            if (e.nId == field.id)
                expected = e.pszAnsi;
        }
        EXPECT_EQ(GetTextField(&record, field.id), expected) << pszCase << ": " << field.name;
    }
}

TEST(ContactExchange, ReadsVCardSnippetsOfEveryVersion)
{
    const SnippetCase cases[] = {
        {"2.1 quoted-printable, charset, bare types",
         "BEGIN:VCARD\r\nVERSION:2.1\r\nN;CHARSET=ISO-8859-1;ENCODING=QUOTED-PRINTABLE:M=FCller;J=FCrgen\r\n"
         "TEL;WORK;VOICE:+49 30 1\r\nTEL;HOME:+49 30 2\r\nTEL;CELL:+49 170 3\r\nTEL;FAX:+49 30 4\r\n"
         "EMAIL;INTERNET:j@example.org\r\nADR;HOME:;;Hauptstr. 1;Berlin;;10115;Germany\r\n"
         "NOTE;ENCODING=QUOTED-PRINTABLE:Zeile 1=0D=0AZei=\r\nle 2\r\nBDAY:1970-01-31\r\nEND:VCARD\r\n",
         {{CF_LAST_NAME, "M\xFCller"},
          {CF_FIRST_NAME, "J\xFCrgen"},
          {CF_WORK_PHONE, "+49 30 1"},
          {CF_HOME_PHONE, "+49 30 2"},
          {CF_MOBILE_PHONE, "+49 170 3"},
          {CF_WORK_FAX, "+49 30 4"},
          {CF_EMAIL, "j@example.org"},
          {CF_HOME_STREET, "Hauptstr. 1"},
          {CF_HOME_CITY, "Berlin"},
          {CF_HOME_POSTAL, "10115"},
          {CF_HOME_COUNTRY, "Germany"},
          {CF_NOTE, "Zeile 1\r\nZeile 2"}},
         Date(1970, 1, 31)},
        {"3.0 grouped, folded, several TEL and EMAIL, escapes",
         "BEGIN:VCARD\r\nVERSION:3.0\r\nFN:Dr. Anne Smith\r\nN:Smith;Anne;;Dr.;\r\nORG:Acme\\, Inc.;Sales\r\n"
         "TITLE:Head of Sales\r\nitem1.TEL;type=WORK;type=VOICE;type=pref:111\r\nitem1.X-ABLabel:work\r\n"
         "TEL;TYPE=WORK,VOICE:222\r\nTEL;TYPE=HOME,FAX:333\r\nTEL;TYPE=PAGER:444\r\n"
         "EMAIL;TYPE=INTERNET;TYPE=WORK:anne@acme.example\r\nEMAIL;TYPE=INTERNET,HOME:anne@home.example\r\n"
         "ADR;TYPE=WORK:;;1 Main St\\nSuite 5;Springfield;IL;62701;USA\r\nURL;TYPE=WORK:https://acme.example\r\n"
         "NOTE:Likes tea\\; hates coffee\\, mostly.\\nCall after 10\r\n  am.\r\nCATEGORIES:Clients,VIP\r\n"
         "NICKNAME:Annie\r\nBDAY:1980-02-29\r\nEND:VCARD\r\n",
         {{CF_LAST_NAME, "Smith"},
          {CF_FIRST_NAME, "Anne"},
          {CF_PREFIX, "Dr."},
          {CF_COMPANY, "Acme, Inc."},
          {CF_DEPARTMENT, "Sales"},
          {CF_TITLE, "Head of Sales"},
          {CF_WORK_PHONE, "111"},
          {CF_WORK_PHONE2, "222"},
          {CF_HOME_FAX, "333"},
          {CF_PAGER, "444"},
          {CF_EMAIL, "anne@acme.example"},
          {CF_EMAIL2, "anne@home.example"},
          {CF_WORK_STREET, "1 Main St\nSuite 5"},
          {CF_WORK_CITY, "Springfield"},
          {CF_WORK_STATE, "IL"},
          {CF_WORK_POSTAL, "62701"},
          {CF_WORK_COUNTRY, "USA"},
          {CF_WORK_HOME_PAGE, "https://acme.example"},
          {CF_NOTE, "Likes tea; hates coffee, mostly.\nCall after 10 am."},
          {CF_CATEGORY, "Clients,VIP"},
          {CF_NICK_NAME, "Annie"}},
         Date(1980, 2, 29)},
        {"4.0 UTF-8, value types, PREF, display name of its own",
         "BEGIN:VCARD\nVERSION:4.0\nFN:Renée at the café\nN:Dubois;Renée;;;\n"
         "TEL;VALUE=uri;TYPE=\"voice,home\":tel:+33-1-555\nTEL;VALUE=text;PREF=1;TYPE=voice:+33 2\n"
         "TEL;TYPE=cell:+33 6\nEMAIL;PREF=1:renee@example.fr\nIMPP:xmpp:renee@example.fr\n"
         "ADR;TYPE=home:;;12 rue de l'Église;Paris;;75001;France\nADR:;;Other way 3;Lyon;;;\n"
         "BDAY:19750704\nEND:VCARD\n",
         {{CF_LAST_NAME, "Dubois"},
          {CF_FIRST_NAME,
           "Ren\xE9"
           "e"},
          {CF_DISPLAY_NAME,
           "Ren\xE9"
           "e at the caf\xE9"},
          {CF_HOME_PHONE, "+33-1-555"},
          {CF_PRIMARY_PHONE, "+33 2"},
          {CF_MOBILE_PHONE, "+33 6"},
          {CF_EMAIL, "renee@example.fr"},
          {CF_IM1, "xmpp:renee@example.fr"},
          {CF_HOME_STREET, "12 rue de l'\xC9glise"},
          {CF_HOME_CITY, "Paris"},
          {CF_HOME_POSTAL, "75001"},
          {CF_HOME_COUNTRY, "France"},
          {CF_OTHER_STREET, "Other way 3"},
          {CF_OTHER_CITY, "Lyon"}},
         Date(1975, 7, 4)},
        {"a card with FN only",
         "BEGIN:VCARD\r\nVERSION:3.0\r\nFN:Plumber Joe\r\nTEL:999\r\nEND:VCARD\r\n",
         {{CF_FIRST_NAME, "Plumber Joe"}, {CF_OTHER_PHONE, "999"}},
         0.0},
    };
    for (const SnippetCase& c : cases) {
        ContactImport result;
        ASSERT_TRUE(ReadContacts(c.text, EXF_VCARD4, &result)) << c.pszName << ": " << result.strError;
        ASSERT_EQ(result.records.size(), 1u) << c.pszName;
        const CommAddrRecord& record = *result.records[0];
        ExpectFields(record, c.fields, c.pszName);
        EXPECT_EQ(record.dtBirthday, c.dtBirthday) << c.pszName;
        EXPECT_EQ(record.nSourceType, CST_VCARD) << c.pszName;
        EXPECT_TRUE(result.refused.empty() && result.shortened.empty()) << c.pszName;
    }
}

// A record with every field that has a home in the files set to a value of
// its own (accented letters included), dates with and without a year's
// start, gender and private flag.
CommAddrRecord FullRecord()
{
    CommAddrRecord record;
    ZeroCommRecord(&record);
    for (const CommField& field : g_CommFieldCatalog) {
        if (field.type != CFT_TEXT || field.id == CF_ID)
            continue;
        std::string value = std::string("v") + std::to_string(field.id) + " \xE9";
        if (field.id == CF_NOTE)
            value = "Line one, with; separators \\ and \"quotes\"\nLine two\n\xE9t\xE9";
        if (field.id == CF_WORK_STREET)
            value = "1 Main St\nSuite 5";
        SetTextField(&record, field.id, value.c_str());
    }
    record.dtBirthday = Date(1970, 1, 31);
    record.dtAnniversary = Date(1999, 12, 31) + 0.5;  // noon
    record.nGender = 2;
    record.nPrivate = 1;
    return record;
}

TEST(ContactExchange, EveryMappedFieldSurvivesARoundTripThroughEveryFormat)
{
    const CommAddrRecord original = FullRecord();
    for (ExchangeFormat eFormat : {EXF_VCARD4, EXF_VCARD3, EXF_CSV_GOOGLE, EXF_CSV_OUTLOOK}) {
        const std::string text = WriteContacts({&original, &original}, eFormat);
        ContactImport result;
        ASSERT_TRUE(ReadContacts(text, eFormat, &result)) << ExchangeFormatName(eFormat) << ": " << result.strError;
        ASSERT_EQ(result.records.size(), 2u) << ExchangeFormatName(eFormat);
        const CommAddrRecord& back = *result.records[1];
        for (const CommField& field : g_CommFieldCatalog) {
            if (field.type != CFT_TEXT || field.id == CF_ID)
                continue;
            EXPECT_STREQ(GetTextField(&back, field.id), GetTextField(&original, field.id))
                << ExchangeFormatName(eFormat) << ": " << field.name;
        }
        EXPECT_EQ(back.dtBirthday, original.dtBirthday) << ExchangeFormatName(eFormat);
        // Outlook's CSV has dates without a time of day.
        EXPECT_EQ(back.dtAnniversary, eFormat == EXF_CSV_OUTLOOK ? Date(1999, 12, 31) : original.dtAnniversary)
            << ExchangeFormatName(eFormat);
        EXPECT_EQ(back.nGender, 2) << ExchangeFormatName(eFormat);
        EXPECT_EQ(back.nPrivate, 1) << ExchangeFormatName(eFormat);
        ExchangeFormat eDetected;
        ASSERT_TRUE(DetectExchangeFormat(text, &eDetected));
        EXPECT_EQ(IsCsvFormat(eDetected), IsCsvFormat(eFormat));
        if (IsCsvFormat(eFormat)) {
            EXPECT_EQ(eDetected, eFormat);
        }
    }
}

TEST(ContactExchange, ASecondFieldOfAKindComesBackToItsOwnPlaceWhenTheFirstIsEmpty)
{
    CommAddrRecord original;
    ZeroCommRecord(&original);
    SetTextField(&original, CF_LAST_NAME, "Gap");
    SetTextField(&original, CF_EMAIL2, "second@example.org");
    SetTextField(&original, CF_EMAIL3, "third@example.org");
    SetTextField(&original, CF_HOME_PHONE2, "555-2");
    SetTextField(&original, CF_WORK_PHONE2, "555-4");
    SetTextField(&original, CF_IM2, "im-two");
    for (ExchangeFormat eFormat : {EXF_VCARD4, EXF_VCARD3, EXF_CSV_GOOGLE, EXF_CSV_OUTLOOK}) {
        ContactImport result;
        ASSERT_TRUE(ReadContacts(WriteContacts({&original}, eFormat), eFormat, &result));
        ASSERT_EQ(result.records.size(), 1u);
        ExpectFields(*result.records[0],
                     {{CF_LAST_NAME, "Gap"},
                      {CF_EMAIL2, "second@example.org"},
                      {CF_EMAIL3, "third@example.org"},
                      {CF_HOME_PHONE2, "555-2"},
                      {CF_WORK_PHONE2, "555-4"},
                      {CF_IM2, "im-two"}},
                     ExchangeFormatName(eFormat));
    }
}

TEST(ContactExchange, WritesTheFormatsAsTheirReadersExpect)
{
    CommAddrRecord record;
    ZeroCommRecord(&record);
    SetTextField(&record, CF_FIRST_NAME, "Zo\xEB");
    SetTextField(&record, CF_LAST_NAME,
                 "\xC5"
                 "berg");
    SetTextField(&record, CF_MOBILE_PHONE, "+46 70");
    const std::string v4 = WriteContacts({&record}, EXF_VCARD4);
    EXPECT_EQ(v4,
              "BEGIN:VCARD\r\nVERSION:4.0\r\nFN:Zo\xC3\xAB \xC3\x85"
              "berg\r\nN:\xC3\x85"
              "berg;Zo\xC3\xAB;;;\r\n"
              "TEL;VALUE=text;TYPE=cell:+46 70\r\nEND:VCARD\r\n");
    const std::string v3 = WriteContacts({&record}, EXF_VCARD3);
    EXPECT_NE(v3.find("VERSION:3.0\r\n"), std::string::npos);
    EXPECT_NE(v3.find("TEL;TYPE=cell:+46 70\r\n"), std::string::npos);
    const std::string google = WriteContacts({&record}, EXF_CSV_GOOGLE);
    EXPECT_EQ(google.rfind("Name,Given Name,Additional Name,Family Name,", 0), 0u);
    EXPECT_NE(google.find(",Mobile,+46 70,"), std::string::npos);
    const std::string outlook = WriteContacts({&record}, EXF_CSV_OUTLOOK);
    EXPECT_EQ(outlook.rfind("\xEF\xBB\xBFTitle,First Name,Middle Name,Last Name,", 0), 0u);
}

TEST(ContactExchange, ReadsGoogleAndOutlookFilesAsThoseProgramsWriteThem)
{
    const std::string google =
        "Name,Given Name,Family Name,Group Membership,E-mail 1 - Type,E-mail 1 - Value,Phone 1 - Type,"
        "Phone 1 - Value,Phone 2 - Type,Phone 2 - Value,Address 1 - Type,Address 1 - Formatted,Address 1 - City\r\n"
        "Bob Stone,Bob,Stone,* myContacts ::: Friends,* Home,bob@example.com ::: bob@work.example,* Mobile,"
        "+1 555 1,Work Fax,+1 555 2,Home,\"1 Elm St\nApt 2\",Portland\r\n";
    ContactImport fromGoogle;
    ASSERT_TRUE(ReadContacts(google, EXF_CSV_GOOGLE, &fromGoogle)) << fromGoogle.strError;
    ASSERT_EQ(fromGoogle.records.size(), 1u);
    ExpectFields(*fromGoogle.records[0],
                 {{CF_FIRST_NAME, "Bob"},
                  {CF_LAST_NAME, "Stone"},
                  {CF_CATEGORY, "Friends"},
                  {CF_EMAIL, "bob@example.com"},
                  {CF_EMAIL2, "bob@work.example"},
                  {CF_MOBILE_PHONE, "+1 555 1"},
                  {CF_WORK_FAX, "+1 555 2"},
                  {CF_HOME_STREET, "1 Elm St\nApt 2"},
                  {CF_HOME_CITY, "Portland"}},
                 "google");

    // Outlook without the byte order mark, in its Windows code page.
    const std::string outlook =
        "First Name,Last Name,Business Street,Business Street 2,E-mail Address,Birthday,Private,Unknown Column\r\n"
        "Ren\xE9"
        "e,Dubois,1 Rue,B\xE2timent B,r@example.fr,7/4/1975,True,ignored\r\n";
    ContactImport fromOutlook;
    ASSERT_TRUE(ReadContacts(outlook, EXF_CSV_OUTLOOK, &fromOutlook)) << fromOutlook.strError;
    ASSERT_EQ(fromOutlook.records.size(), 1u);
    ExpectFields(*fromOutlook.records[0],
                 {{CF_FIRST_NAME,
                   "Ren\xE9"
                   "e"},
                  {CF_LAST_NAME, "Dubois"},
                  {CF_WORK_STREET, "1 Rue\nB\xE2timent B"},
                  {CF_EMAIL, "r@example.fr"}},
                 "outlook");
    EXPECT_EQ(fromOutlook.records[0]->dtBirthday, Date(1975, 7, 4));
    EXPECT_EQ(fromOutlook.records[0]->nPrivate, 1);
}

TEST(ContactExchange, RefusesContactsTheCodePageCannotHoldAndNamesShortenedOnes)
{
    const std::string text =
        "BEGIN:VCARD\r\nVERSION:4.0\r\nFN:\xD0\x98\xD0\xB2\xD0\xB0\xD0\xBD\r\nN:;\xD0\x98\xD0\xB2\xD0\xB0\xD0\xBD;;;"
        "\r\n"
        "END:VCARD\r\nBEGIN:VCARD\r\nVERSION:4.0\r\nN:Long;Tim;;;\r\n"
        "TITLE:Senior Vice President of Engineering\r\nEND:VCARD\r\n"
        "BEGIN:VCARD\r\nVERSION:4.0\r\nN:Fine;Ann;;;\r\nNOTE:\xE2\x82\xAC 5\r\nEND:VCARD\r\n"
        "BEGIN:VCARD\r\nVERSION:4.0\r\nEND:VCARD\r\n";
    ContactImport result;
    ASSERT_TRUE(ReadContacts(text, EXF_VCARD4, &result));
    ASSERT_EQ(result.refused.size(), 1u);
    EXPECT_EQ(result.refused[0].strName, "\xD0\x98\xD0\xB2\xD0\xB0\xD0\xBD");
    EXPECT_NE(result.refused[0].strReason.find("First Name"), std::string::npos) << result.refused[0].strReason;
    ASSERT_EQ(result.shortened.size(), 1u);
    EXPECT_EQ(result.shortened[0].strName, "Tim Long");
    EXPECT_EQ(result.nEmpty, 1);
    ASSERT_EQ(result.records.size(), 2u);
    EXPECT_STREQ(result.records[0]->szTitle, "Senior Vice President of Engine");  // 31 characters
    EXPECT_STREQ(result.records[1]->szNote, "\x80 5");                            // the euro sign is in Windows-1252

    // With a code page that holds Cyrillic, the same contact comes in.
    ASSERT_TRUE(SetAnsiCodePage("CP1251"));
    ContactImport cyrillic;
    ASSERT_TRUE(ReadContacts(text, EXF_VCARD4, &cyrillic));
    SetAnsiCodePage("CP1252");
    EXPECT_TRUE(cyrillic.refused.empty());
    ASSERT_EQ(cyrillic.records.size(), 3u);
    EXPECT_STREQ(cyrillic.records[0]->szFirstName, "\xC8\xE2\xE0\xED");
}

TEST(ContactExchange, RecognisesFormatsAndRefusesOtherText)
{
    ExchangeFormat eFormat = EXF_VCARD3;
    EXPECT_TRUE(DetectExchangeFormat("\r\nbegin:vcard\r\n", &eFormat));
    EXPECT_EQ(eFormat, EXF_VCARD4);
    EXPECT_TRUE(
        DetectExchangeFormat("\xEF\xBB\xBF"
                             "Given Name,Family Name\r\n",
                             &eFormat));
    EXPECT_EQ(eFormat, EXF_CSV_GOOGLE);
    EXPECT_TRUE(DetectExchangeFormat("First Name,Last Name,E-mail Address\n", &eFormat));
    EXPECT_EQ(eFormat, EXF_CSV_OUTLOOK);
    EXPECT_FALSE(DetectExchangeFormat("id,price\n1,2\n", &eFormat));
    ContactImport result;
    EXPECT_FALSE(ReadContacts("id,price\n1,2\n", EXF_CSV_OUTLOOK, &result));
    EXPECT_FALSE(result.strError.empty());
    EXPECT_FALSE(ReadContacts("no card here", EXF_VCARD4, &result));
    EXPECT_TRUE(ParseExchangeFormat("csv-outlook", &eFormat));
    EXPECT_FALSE(ParseExchangeFormat("vcard2", &eFormat));
}

}  // namespace
