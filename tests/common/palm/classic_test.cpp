// Reading and writing the classic Palm Desktop address.dat (PmAddrUtil).
//
// Fixtures come from the independent generator (tools/datgen): a file in the
// form this program writes must come back byte for byte from a load and a
// save; a file in another legal form must change only where a save rewrites.
#include <gtest/gtest.h>

#include <cstdio>
#include <cstring>
#include <functional>
#include <string>
#include <vector>

#include "common/palm/PmAddrUtil.h"
#include "datfile_helpers.h"
#include "tools/datgen/DatGen.h"

using namespace dattest;
using namespace datgen;

namespace {

class ClassicFileTest : public DatFileTest {
protected:
    ClassicFileTest() : DatFileTest(DatFormat::Classic) { }
};

// A record with a distinct value in every one of the 30 fields.
DatRecord EveryField()
{
    DatRecord r;
    for (int nField = 0; nField < classic::kFieldsPerRow; ++nField) {
        const uint16_t wType = DefaultSchema(DatFormat::Classic).types[static_cast<size_t>(nField)];
        if (wType == 5)
            r.Text(nField, "f" + std::to_string(nField));
        else
            r.Int(nField, 1000 + nField);
    }
    r.Int(classic::kPrivate, 1).Int(classic::kCategory, 1);
    return r;
}

TEST_F(ClassicFileTest, FileInProgramFormRoundTripsByteForByte)
{
    struct Case {
        const char* name;
        std::function<void(DatDescription&)> build;
    };
    const Case cases[] = {
        {"no records, no categories", [](DatDescription&) {}},
        {"varied records with categories, long notes, deleted and archived",
         [](DatDescription& d) { AddRandomRecords(d, 80, 7); }},
        {"header text of four lines", [](DatDescription& d) { d.strHeaderText = "a\nb\r\nc\nd\n"; }},
        {"header text of 511 characters", [](DatDescription& d) { d.strHeaderText = Repeat("xyz", 511); }},
        {"every field set",
         [](DatDescription& d) {
             d.categories.push_back({1, 1, 0, "Business", "Business"});
             d.records.push_back(EveryField());
         }},
        {"texts longer than their members and texts holding a zero byte",
         [](DatDescription& d) {
             DatRecord r;
             r.Text(classic::kNote, Repeat("note ", 3000))
                 .Text(classic::kCompany, Repeat("Company ", 400))
                 .Text(classic::kLastName, Repeat("L", 40))
                 .Text(classic::Custom(2), Repeat("c", 100))
                 .Text(classic::Phone(1), Repeat("e", 70) + "@example.com")
                 .Text(classic::kCity, std::string("Ly\0on", 5));
             d.records.push_back(r);
         }},
        {"narrow rows (25 fields per row)",
         [](DatDescription& d) {
             DatSchema schema = DefaultSchema(DatFormat::Classic);
             schema.nFieldsPerRow = 25;
             d.schema = schema;
             AddRandomRecords(d, 5, 3);
         }},
        {"wide rows (31 fields per row, 30 stored)",
         [](DatDescription& d) {
             DatSchema schema = DefaultSchema(DatFormat::Classic);
             schema.nFieldsPerRow = 31;
             d.schema = schema;
             d.nValuesPerRecord = 30;
             AddRandomRecords(d, 5, 4);
         }},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        DatDescription desc = Normal();
        c.build(desc);
        WriteFile(desc);
        const Bytes original = ReadFileBytes(m_path);

        PmAddrUtil util;
        ASSERT_TRUE(util.LoadFile(m_path.c_str()));
        EXPECT_EQ(util.m_pDataMgr->Count(), static_cast<int>(desc.records.size()));
        ASSERT_TRUE(util.SaveFile(util.m_szFileName));
        const Bytes saved = ReadFileBytes(m_path);
        EXPECT_EQ(FirstDifference(saved, original), -1);
    }
}

TEST_F(ClassicFileTest, OtherLegalFormsChangeOnlyWhereSaveRewrites)
{
    struct Case {
        const char* name;
        std::function<void(DatDescription&)> bend;      // the file as found
        std::function<void(DatDescription&)> expected;  // the file after load and save
    };
    const auto none = [](DatDescription&) {};
    const Case cases[] = {
        {"stored file name of another path",
         [](DatDescription& d) { d.strStoredFileName = "C:\\Palm\\Someone\\address\\address.dat"; }, none},
        {"header text of five lines keeps four", [](DatDescription& d) { d.strHeaderText = "1\n2\n3\n4\n5\n"; },
         [](DatDescription& d) { d.strHeaderText = "1\n2\n3\n4\n"; }},
        {"header text of 600 characters keeps 511", [](DatDescription& d) { d.strHeaderText = Repeat("h", 600); },
         [](DatDescription& d) { d.strHeaderText = Repeat("h", 511); }},
        {"categories dirty, out of slot order, with stale short names",
         [](DatDescription& d) {
             d.categories = {{3, 9, 1, "Family", "zz"}, {1, 2, 0, "A/B: C?", "A/B: C?"}};
         },
         [](DatDescription& d) {
             d.categories = {{1, 2, 0, "A/B: C?", "A_B_ C_"}, {3, 9, 0, "Family", "Family"}};
         }},
        {"integers stored with other type codes",
         [](DatDescription& d) {
             d.records[0].Int(classic::kPrivate, 1, 1).Int(classic::kStatus, 0x02, 3).Int(classic::kField29, 5, 6);
         },
         [](DatDescription& d) {
             d.records[0].Int(classic::kPrivate, 1).Int(classic::kStatus, 0x02).Int(classic::kField29, 5);
         }},
        {"text with another word before it",
         [](DatDescription& d) {
             DatValue v;
             v.kind = DatValue::Kind::Text;
             v.nInt = 7;
             v.text = "Tanaka";
             d.records[0].Value(classic::kLastName, v);
         },
         [](DatDescription& d) { d.records[0].Text(classic::kLastName, "Tanaka"); }},
        {"value count not a multiple of the fields per row", [](DatDescription& d) { d.nValueCount = 2 * 30 + 1; },
         none},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        DatDescription found = Normal();
        AddRandomRecords(found, 2, 11);
        DatDescription expected = found;
        c.bend(found);
        c.bend(expected);
        c.expected(expected);
        expected.strStoredFileName = m_path;
        expected.nValueCount.reset();
        WriteFile(found);

        PmAddrUtil util;
        ASSERT_TRUE(util.LoadFile(m_path.c_str()));
        ASSERT_TRUE(util.SaveFile(m_path.c_str()));
        EXPECT_EQ(FirstDifference(ReadFileBytes(m_path), BuildClassicFile(expected)), -1);
    }
}

TEST_F(ClassicFileTest, EveryFieldLandsInItsMemberAndIsWrittenFromIt)
{
    DatDescription desc = Normal();
    desc.categories.push_back({1, 1, 0, "Business", "Business"});
    desc.records.push_back(EveryField());
    WriteFile(desc);
    const Bytes original = ReadFileBytes(m_path);

    PmAddrUtil util;
    ASSERT_TRUE(util.LoadFile(m_path.c_str()));
    ASSERT_EQ(util.m_pDataMgr->Count(), 1);
    const PmAddrRecord& rec = *util.m_pDataMgr->GetAt(0);

    // The record as this program builds it, member by member.
    PmAddrRecord built;
    built.Clear();
    built.nId = 1000;
    built.nStatus = 1001;
    built.nPosition = 1002;
    std::strcpy(built.szLastName, "f3");
    std::strcpy(built.szFirstName, "f4");
    std::strcpy(built.szTitle, "f5");
    std::strcpy(built.szCompany, "f6");
    for (int i = 0; i < kPmAddrPhoneCount; ++i) {
        built.nPhoneLabel[i] = 1007 + 2 * i;
        std::strcpy(built.szPhone[i], ("f" + std::to_string(8 + 2 * i)).c_str());
    }
    std::strcpy(built.szAddress, "f17");
    std::strcpy(built.szCity, "f18");
    std::strcpy(built.szState, "f19");
    std::strcpy(built.szZip, "f20");
    std::strcpy(built.szCountry, "f21");
    std::strcpy(built.szNote, "f22");
    built.nPrivate = 1;
    built.nCategoryId = 1;
    for (int i = 0; i < kPmAddrCustomCount; ++i)
        std::strcpy(built.szCustom[i], ("f" + std::to_string(25 + i)).c_str());
    built.nField29 = 1029;
    std::strcpy(built.szCategoryName, "Business");

    EXPECT_EQ(std::memcmp(&rec, &built, sizeof(built)), 0);

    // Written from a record made in memory, the file is the same.
    util.m_pDataMgr->Clear();
    ASSERT_TRUE(util.m_pDataMgr->Append(&built));
    ASSERT_TRUE(util.SaveFile(m_path.c_str()));
    EXPECT_EQ(FirstDifference(ReadFileBytes(m_path), original), -1);
}

TEST_F(ClassicFileTest, SwapNameComesFromSettingsAndExchangesNamesBothWays)
{
    struct Case {
        const char* ini;  // null: no settings file
        bool bSwap;
    };
    const Case cases[] = {
        {nullptr, false},
        {"[Hollowfen]\nSwapName=1\n", true},
        {"[hollowfen]\nswapname=1\n", true},
        {"[Hollowfen]\nSwapName=0\n", false},
        {"[Hollowfen]\nSwapName=2\n", false},
        {"[Other]\nSwapName=1\n", false},
    };
    DatDescription desc = Normal();
    DatRecord r;
    r.Text(classic::kLastName, "Field3").Text(classic::kFirstName, "Field4");
    desc.records.push_back(r);
    WriteFile(desc);
    const Bytes original = ReadFileBytes(m_path);

    for (const Case& c : cases) {
        SCOPED_TRACE(c.ini != nullptr ? c.ini : "(no file)");
        std::remove(m_settings.IniPath().c_str());
        if (c.ini != nullptr) {
            ASSERT_TRUE(m_settings.WriteIni(c.ini));
        }
        PmAddrUtil util;
        EXPECT_EQ(util.SwapName, c.bSwap);
        ASSERT_TRUE(util.LoadFile(m_path.c_str()));
        const PmAddrRecord& rec = *util.m_pDataMgr->GetAt(0);
        EXPECT_STREQ(rec.szLastName, c.bSwap ? "Field4" : "Field3");
        EXPECT_STREQ(rec.szFirstName, c.bSwap ? "Field3" : "Field4");
        ASSERT_TRUE(util.SaveFile(m_path.c_str()));
        EXPECT_EQ(FirstDifference(ReadFileBytes(m_path), original), -1);
    }
}

TEST_F(ClassicFileTest, AppendedRecordFollowsUnlistedRecordsCarriedUnchanged)
{
    DatDescription desc = Normal();
    desc.categories.push_back({1, 1, 0, "Business", "Business"});
    for (int32_t nStatus : {0x04, 0x80, 0x84}) {
        DatRecord r;
        r.Int(classic::kStatus, nStatus).Text(classic::kLastName, "Gone").Text(classic::kNote, Repeat("n", 2500));
        desc.records.push_back(r);
    }
    WriteFile(desc);

    PmAddrUtil util;
    ASSERT_TRUE(util.LoadFile(m_path.c_str()));
    ASSERT_EQ(util.m_pDataMgr->Count(), 3);
    EXPECT_EQ(util.m_pDataMgr->GetAt(1)->nStatus, 0x80);

    // A new contact as the facade adds one: a new category, status 0x01,
    // position 0x7FFFFFFF and a 63-character e-mail address.
    PmAddrRecord added;
    added.Clear();
    added.nStatus = 0x01;
    added.nPosition = 0x7FFFFFFF;
    std::strcpy(added.szLastName, "Moreau");
    std::strcpy(added.szFirstName, "Lena");
    added.nPhoneLabel[0] = 4;
    const std::string email = Repeat("m", 51) + "@example.com";
    ASSERT_EQ(email.size(), 63u);
    std::strcpy(added.szPhone[0], email.c_str());
    ASSERT_TRUE(util.GetCategoryId("Friends", added.nCategoryId, true));
    ASSERT_TRUE(util.m_pDataMgr->Append(&added));
    ASSERT_TRUE(util.SaveFile(m_path.c_str()));

    DatDescription expected = desc;
    expected.categories.push_back({2, 2, 0, "Friends", "Friends"});
    DatRecord r;
    r.Int(classic::kStatus, 0x01).Int(classic::kPosition, 0x7FFFFFFF);
    r.Text(classic::kLastName, "Moreau").Text(classic::kFirstName, "Lena");
    r.Int(classic::PhoneLabel(1), 4).Text(classic::Phone(1), email).Int(classic::kCategory, 2);
    expected.records.push_back(r);
    EXPECT_EQ(FirstDifference(ReadFileBytes(m_path), BuildClassicFile(expected)), -1);

    PmAddrUtil again;
    ASSERT_TRUE(again.LoadFile(m_path.c_str()));
    ASSERT_EQ(again.m_pDataMgr->Count(), 4);
    EXPECT_EQ(again.m_pDataMgr->GetAt(3)->szPhone[0], email);
    EXPECT_STREQ(again.m_pDataMgr->GetAt(3)->szCategoryName, "Friends");
}

TEST_F(ClassicFileTest, LongTextIsWrittenWholeOnlyWhileItsMemberIsUnchanged)
{
    const std::string note = Repeat("a long note ", 3000);
    const std::string custom = Repeat("custom ", 90);
    DatDescription desc = Normal();
    DatRecord r;
    r.Text(classic::kNote, note).Text(classic::Custom(1), custom).Text(classic::kCompany, "Short Ltd");
    desc.records.push_back(r);
    WriteFile(desc);

    PmAddrUtil util;
    ASSERT_TRUE(util.LoadFile(m_path.c_str()));
    PmAddrRecord* pRec = util.m_pDataMgr->GetAt(0);
    EXPECT_EQ(std::string(pRec->szNote), note.substr(0, kPmAddrNoteWidth - 1));
    EXPECT_EQ(std::string(pRec->szCustom[0]), custom.substr(0, kPmAddrCustomWidth - 1));

    // A copy put back unchanged (as the facade's update does) keeps the whole
    // note; the changed custom field is written as it now stands.
    PmAddrRecord copy = *pRec;
    std::strcpy(copy.szCustom[0], "replaced");
    *pRec = copy;
    ASSERT_TRUE(util.SaveFile(m_path.c_str()));

    DatDescription expected = desc;
    expected.records[0].Text(classic::Custom(1), "replaced");
    EXPECT_EQ(FirstDifference(ReadFileBytes(m_path), BuildClassicFile(expected)), -1);
}

TEST_F(ClassicFileTest, TruncatedFileFailsAtEveryLengthAndIsNeverWritten)
{
    DatDescription desc = Normal();
    desc.strHeaderText = "Palm\n";
    AddRandomRecords(desc, 2, 5);
    const Bytes whole = BuildClassicFile(desc);
    for (size_t nLength = 0; nLength < whole.size(); ++nLength) {
        const Bytes prefix(whole.begin(), whole.begin() + static_cast<long>(nLength));
        ASSERT_TRUE(WriteBytesToFile(m_path, prefix));
        PmAddrUtil util;
        ASSERT_FALSE(util.LoadFile(m_path.c_str())) << "length " << nLength;
        ASSERT_FALSE(util.SaveFile(m_path.c_str())) << "length " << nLength;
        ASSERT_EQ(ReadFileBytes(m_path), prefix);
    }
    EXPECT_NE(m_settings.ReadLog().find("Can not load Palm Desktop Contacts: " + m_path), std::string::npos);
}

TEST_F(ClassicFileTest, MalformedOrLyingFileFailsCleanly)
{
    // Offset of the category count in a file with an empty header text.
    const auto categoryCountAt = [this]() { return 4 + 1 + m_path.size() + 1 + 4; };
    struct Case {
        const char* name;
        std::function<void(DatDescription&)> describe;
        std::function<void(Bytes&)> patch;
    };
    const auto none = [](Bytes&) {};
    const Case cases[] = {
        {"signature 00 02 42 41", [](DatDescription&) {}, [](Bytes& b) { b[1] = 0x02; }},
        {"value count far beyond the file", [](DatDescription& d) { d.nValueCount = 0x7FFFFFFF; }, none},
        {"negative value count", [](DatDescription& d) { d.nValueCount = -30; }, none},
        {"category count far beyond the file", [](DatDescription&) {},
         [&](Bytes& b) { PatchInt32(b, categoryCountAt(), 0x7FFFFFFF); }},
        {"text where an integer is due",
         [](DatDescription& d) {
             DatValue v;
             v.kind = DatValue::Kind::Text;
             v.nInt = 1;
             v.text = "x";
             d.records[0].Value(classic::kId, v);
         },
         none},
        {"integer where a text is due", [](DatDescription& d) { d.records[0].Int(classic::kNote, 1, 1); }, none},
        {"schema with 32 type codes",
         [](DatDescription& d) {
             DatSchema s = DefaultSchema(DatFormat::Classic);
             s.types.resize(32, 1);
             d.schema = s;
         },
         none},
        {"zero fields per row",
         [](DatDescription& d) {
             DatSchema s = DefaultSchema(DatFormat::Classic);
             s.nFieldsPerRow = 0;
             d.schema = s;
         },
         none},
        {"text length beyond the file", [](DatDescription& d) { d.records.back().Text(classic::Custom(4), ""); },
         [](Bytes& b) {
             // The last text of the record is custom 4 (field 28): make its
             // length the long form promising 60000 bytes.
             const size_t nAt = b.size() - 8 - 1;
             b[nAt] = 0xFF;
             b.insert(b.begin() + static_cast<long>(nAt) + 1, {0x60, 0xEA});
         }},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        DatDescription desc = Normal();
        AddRandomRecords(desc, 2, 9);
        c.describe(desc);
        Bytes bytes = BuildClassicFile(desc);
        c.patch(bytes);
        ASSERT_TRUE(WriteBytesToFile(m_path, bytes));

        PmAddrUtil util;
        EXPECT_FALSE(util.LoadFile(m_path.c_str()));
        EXPECT_FALSE(util.SaveFile(m_path.c_str()));
        EXPECT_EQ(ReadFileBytes(m_path), bytes);
    }
}

TEST_F(ClassicFileTest, SaveFailingHalfWayLeavesTheFileAsItWas)
{
    DatDescription desc = Normal();
    AddRandomRecords(desc, 20, 13);
    WriteFile(desc);
    const Bytes original = ReadFileBytes(m_path);

    PmAddrUtil util;
    ASSERT_TRUE(util.LoadFile(m_path.c_str()));
    std::strcpy(util.m_pDataMgr->GetAt(3)->szNote, "changed");
    for (long long nFailAt :
         {0LL, 1LL, 100LL, static_cast<long long>(original.size() / 2), static_cast<long long>(original.size() - 20)}) {
        SCOPED_TRACE(nFailAt);
        PmDBUtil::SetFailWritesAfterBytesForTest(nFailAt);
        EXPECT_FALSE(util.SaveFile(m_path.c_str()));
        PmDBUtil::SetFailWritesAfterBytesForTest(-1);
        EXPECT_EQ(ReadFileBytes(m_path), original);
        EXPECT_EQ(m_dir.Entries().size(), 2u);  // address.dat and the log
    }
    ASSERT_TRUE(util.SaveFile(m_path.c_str()));
    EXPECT_NE(ReadFileBytes(m_path), original);
}

TEST_F(ClassicFileTest, FileIsFoundWhateverTheLetterCaseAndLoadsAreLogged)
{
    std::filesystem::create_directory(m_dir.File("Address"));
    const std::string realPath = m_dir.File("Address/ADDRESS.DAT");
    DatDescription desc = Normal();
    desc.strStoredFileName = realPath;
    AddRandomRecords(desc, 3, 17);
    ASSERT_TRUE(WriteBytesToFile(realPath, BuildClassicFile(desc)));
    const Bytes original = ReadFileBytes(realPath);

    const std::string askedPath = m_dir.File("address/address.dat");
    PmAddrUtil util;
    ASSERT_TRUE(util.LoadFile(askedPath.c_str()));
    EXPECT_STREQ(util.m_szFileName, realPath.c_str());
    ASSERT_TRUE(util.SaveFile(util.m_szFileName));
    EXPECT_EQ(FirstDifference(ReadFileBytes(realPath), original), -1);
    EXPECT_NE(m_settings.ReadLog().find("Loading Palm Desktop Address Book:" + askedPath), std::string::npos);
}

}  // namespace
