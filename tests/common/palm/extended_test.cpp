// Reading and writing the extended ("PalmSG Database") Palm Desktop
// address.dat (PmAddrExUtil).
//
// Fixtures come from the independent generator (tools/datgen): a file in the
// form this program writes must come back byte for byte from a load and a
// save; a file in another legal form must change only where a save rewrites.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdio>
#include <cstring>
#include <functional>
#include <string>
#include <vector>

#include "common/palm/PmAddrExDataMgr.h"
#include "common/palm/PmAddrExRecord.h"
#include "common/palm/PmAddrExUtil.h"
#include "datfile_helpers.h"
#include "tools/datgen/DatGen.h"

using namespace dattest;
using namespace datgen;

namespace {

// Offsets in the file: banner, signature, then the header block.
constexpr size_t kHeaderAt = 24 + 4;
constexpr size_t kStoredNameAt = kHeaderAt + 24;

class ExtendedFileTest : public DatFileTest {
protected:
    ExtendedFileTest() : DatFileTest(DatFormat::Extended) { }
};

DatBinary Item(int32_t nType, uint32_t nCount, int32_t nA, int32_t nB, uint32_t nSize, std::string bytes)
{
    DatBinary b;
    b.nType = nType;
    b.nCount = nCount;
    b.nA = nA;
    b.nB = nB;
    b.nSize = nSize;
    b.bytes = std::move(bytes);
    return b;
}

// A record with a distinct value in every one of the 73 fields, and binary
// items of every form.
DatRecord EveryField()
{
    const DatSchema schema = DefaultSchema(DatFormat::Extended);
    DatRecord r;
    for (int nField = 0; nField < extended::kFieldsPerRow; ++nField) {
        const uint16_t wType = schema.types[static_cast<size_t>(nField)];
        if (wType == 5)
            r.Text(nField, "f" + std::to_string(nField));
        else if (wType == 1 || wType == 6)
            r.Int(nField, 1000 + nField);
    }
    r.Int(extended::kPrivate, 1, 1).Int(extended::kCategory, 1);
    r.Binary(extended::Binary(1), Item(64, 0, 0, 0, 0, ""));
    r.Binary(extended::Binary(2), Item(65, 5, 0, 0, 0, "abcde"));
    r.Binary(extended::Binary(3), Item(66, 2, 7, -1, 3, "xyz"));
    r.Binary(extended::Binary(4), Item(67, 3, 1, 2, 0, ""));
    r.Double(extended::kBirthday, 129080608.0 + 25000.5);
    return r;
}

void SetText(char* pszMember, const std::string& text)
{
    std::strcpy(pszMember, text.c_str());
}

TEST_F(ExtendedFileTest, FileInProgramFormRoundTripsByteForByte)
{
    struct Case {
        const char* name;
        std::function<void(DatDescription&)> build;
    };
    const Case cases[] = {
        {"no records, no categories", [](DatDescription&) {}},
        {"varied records with binary items, long notes, deleted and archived",
         [](DatDescription& d) { AddRandomRecords(d, 80, 21); }},
        {"300 records", [](DatDescription& d) { AddRandomRecords(d, 300, 22); }},
        {"every field set",
         [](DatDescription& d) {
             d.categories.push_back({1, 1, 0, "Business", "Business"});
             d.records.push_back(EveryField());
         }},
        {"blocks and labels carried",
         [](DatDescription& d) {
             for (size_t i = 0; i < d.headerBlock.size(); ++i)
                 d.headerBlock[i] = static_cast<uint8_t>(0xA0 + i);
             for (size_t i = 0; i < d.nameBlock.size(); ++i)
                 d.nameBlock[i] = static_cast<uint8_t>(i + 1);
             for (size_t i = 0; i < d.labelBlock.size(); ++i)
                 d.labelBlock[i] = static_cast<uint8_t>(0xFF - i);
             d.labels = {"Last name", "First name", Repeat("L", 32), "", "Phone 1", std::string("a\0b", 3), "Custom 1",
                         "",          "Z"};
             AddRandomRecords(d, 3, 23);
         }},
        {"texts longer than their members and texts holding a zero byte",
         [](DatDescription& d) {
             DatRecord r;
             r.Text(extended::kNote, Repeat("note ", 4000))
                 .Text(extended::Custom(9), Repeat("custom ", 300))
                 .Text(extended::kFirstName, Repeat("F", 40))
                 .Text(extended::Street(3), Repeat("street ", 260))
                 .Text(extended::Phone(7), Repeat("e", 70) + "@example.com")
                 .Text(extended::kField64, std::string("a\0b", 3));
             r.Int(extended::kPrivate, 0, 1);
             d.records.push_back(r);
         }},
        {"narrow rows (60 fields)",
         [](DatDescription& d) {
             DatSchema schema = DefaultSchema(DatFormat::Extended);
             schema.nFieldsPerRow = 60;
             schema.types.resize(60);
             d.schema = schema;
             AddRandomRecords(d, 4, 24);
         }},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        DatDescription desc = Normal();
        c.build(desc);
        WriteFile(desc);
        const Bytes original = ReadFileBytes(m_path);

        PmAddrExUtil util;
        ASSERT_TRUE(util.LoadFile(m_path.c_str()));
        EXPECT_EQ(util.m_pDataMgr->Count(), static_cast<int>(desc.records.size()));
        ASSERT_TRUE(util.Save());
        EXPECT_EQ(FirstDifference(ReadFileBytes(m_path), original), -1);
    }
}

TEST_F(ExtendedFileTest, HeaderBytesTwelveAndThirteenCountTheRecords)
{
    struct Case {
        int nRecords;
        uint8_t byLow;
        uint8_t byHigh;
    };
    for (const Case& c : {Case{0, 0x00, 0x10}, Case{300, 0x2C, 0x11}}) {
        SCOPED_TRACE(c.nRecords);
        DatDescription desc = Normal();
        desc.bComputeHeaderCount = false;  // the file says 1 record
        desc.headerBlock[12] = 0x01;
        desc.headerBlock[13] = 0x10;
        AddRandomRecords(desc, c.nRecords, 31);
        WriteFile(desc);
        PmAddrExUtil util;
        ASSERT_TRUE(util.LoadFile(m_path.c_str()));
        ASSERT_TRUE(util.Save());
        const Bytes saved = ReadFileBytes(m_path);
        EXPECT_EQ(saved.at(kHeaderAt + 12), c.byLow);
        EXPECT_EQ(saved.at(kHeaderAt + 13), c.byHigh);
    }
}

TEST_F(ExtendedFileTest, OtherLegalFormsChangeOnlyWhereSaveRewrites)
{
    struct Case {
        const char* name;
        std::function<void(DatDescription&)> bend;      // the file as found
        std::function<void(DatDescription&)> expected;  // the file after load and save
    };
    const auto none = [](DatDescription&) {};
    const Case cases[] = {
        {"banner starting 00 00 00 00 0F",
         [](DatDescription& d) {
             d.bannerPrefix = {0, 0, 0, 0, 0x0F};
         },
         [](DatDescription& d) {
             d.bannerPrefix = {0xBE, 0xBA, 0xFE, 0xCA, 0x0F};
         }},
        {"stale record count in the header block",
         [](DatDescription& d) {
             d.bComputeHeaderCount = false;
             d.headerBlock[12] = 0x77;
             d.headerBlock[13] = 0x00;
         },
         [](DatDescription& d) { d.bComputeHeaderCount = true; }},
        {"stored file name of another path",
         [](DatDescription& d) { d.strStoredFileName = "C:\\Palm\\Someone\\address\\address.dat"; }, none},
        {"label words not zero", [](DatDescription& d) { d.labelWords = {1, 2, 3, 4, 5, 6, 7, 8, -1}; },
         [](DatDescription& d) { d.labelWords = {}; }},
        {"private flag stored with type 6, field 66 with type 1, birthday with type 3",
         [](DatDescription& d) {
             d.bProgramTypes = false;
             for (DatRecord& r : d.records) {
                 r.Int(extended::kField66, 1, 1);
                 DatValue v = r.fields.at(extended::kBirthday);
                 v.nType = 3;
                 r.Value(extended::kBirthday, v);
             }
         },
         [](DatDescription& d) {
             d.bProgramTypes = true;
             for (DatRecord& r : d.records) {
                 const int32_t nPrivate = r.fields.count(extended::kPrivate) ? r.fields.at(extended::kPrivate).nInt : 0;
                 r.Int(extended::kPrivate, nPrivate, 1).Int(extended::kField66, 1, 6);
                 DatValue v = r.fields.at(extended::kBirthday);
                 v.nType = 68;
                 r.Value(extended::kBirthday, v);
             }
         }},
        {"value count not a multiple of the fields per row", [](DatDescription& d) { d.nValueCount = 2 * 73 + 72; },
         none},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        DatDescription found = Normal();
        AddRandomRecords(found, 2, 41);
        DatDescription expected = found;
        c.bend(found);
        c.bend(expected);
        c.expected(expected);
        expected.strStoredFileName = m_path;
        expected.nValueCount.reset();
        WriteFile(found);

        PmAddrExUtil util;
        ASSERT_TRUE(util.LoadFile(m_path.c_str()));
        ASSERT_TRUE(util.Save());
        EXPECT_EQ(FirstDifference(ReadFileBytes(m_path), BuildExtendedFile(expected)), -1);
    }
}

TEST_F(ExtendedFileTest, EveryFieldLandsInItsMemberAndIsWrittenFromIt)
{
    DatDescription desc = Normal();
    desc.categories.push_back({1, 1, 0, "Business", "Business"});
    desc.records.push_back(EveryField());
    WriteFile(desc);
    const Bytes original = ReadFileBytes(m_path);

    PmAddrExUtil util;
    ASSERT_TRUE(util.LoadFile(m_path.c_str()));
    ASSERT_EQ(util.m_pDataMgr->Count(), 1);
    const PmAddrExRecord& loaded = *util.m_pDataMgr->GetAt(0);

    // The record as this program builds it, member by member.
    PmAddrExRecord built;
    built.nId = 1000;
    built.nSequence = 1001;
    built.nStatus = 1002;
    built.nField3 = 1003;
    built.nPlacement = 1004;
    built.nCategoryId = 1;
    built.nPrivate = 1;
    built.items[0].nType = 64;
    built.items[1] = {65, 5, 0, 0, 5, {'a', 'b', 'c', 'd', 'e'}};
    built.items[2] = {66, 2, 7, -1, 3, {'x', 'y', 'z'}};
    built.items[3] = {67, 3, 1, 2, 0, {}};
    SetText(built.szField11, "f11");
    SetText(built.szField12, "f12");
    SetText(built.szFirstName, "f13");
    SetText(built.szLastName, "f14");
    SetText(built.szTitle, "f15");
    SetText(built.szCompany, "f16");
    built.nField17 = 1017;
    SetText(built.szNote, "f18");
    for (int i = 0; i < kPmAddrExPhoneCount; ++i) {
        SetText(built.szPhone[i], "f" + std::to_string(19 + i));
        built.nPhoneLabel[i] = 1026 + i;
    }
    for (int i = 0; i < kPmAddrExCustomCount; ++i)
        SetText(built.szCustom[i], "f" + std::to_string(33 + i));
    for (int a = 0; a < kPmAddrExAddressCount; ++a) {
        PmAddrExAddress& addr = built.addresses[a];
        const int nFirst = 42 + 6 * a;
        addr.nKind = 1000 + nFirst;
        SetText(addr.szStreet, "f" + std::to_string(nFirst + 1));
        SetText(addr.szCity, "f" + std::to_string(nFirst + 2));
        SetText(addr.szState, "f" + std::to_string(nFirst + 3));
        SetText(addr.szZip, "f" + std::to_string(nFirst + 4));
        SetText(addr.szCountry, "f" + std::to_string(nFirst + 5));
    }
    SetText(built.szMessaging1, "f60");
    SetText(built.szMessaging2, "f61");
    built.nField62 = 1062;
    built.nField63 = 1063;
    SetText(built.szField64, "f64");
    built.qBirthday = PmDBUtil::DoubleToQuad(129080608.0 + 25000.5);
    built.nField66 = 1066;
    built.nField67 = 1067;
    built.nField68 = 1068;
    for (int i = 0; i < kPmAddrExTailTextCount; ++i)
        SetText(built.szField69[i], "f" + std::to_string(69 + i));
    SetText(built.szCategoryName, "Business");

    // A few members read back; the write below covers every one of them.
    EXPECT_STREQ(loaded.szFirstName, "f13");
    EXPECT_STREQ(loaded.szLastName, "f14");
    EXPECT_STREQ(loaded.addresses[2].szCountry, "f59");
    EXPECT_EQ(loaded.items[2], built.items[2]);
    EXPECT_EQ(loaded.qBirthday, built.qBirthday);
    EXPECT_STREQ(loaded.szCategoryName, "Business");

    util.m_pDataMgr->Clear();
    ASSERT_TRUE(util.m_pDataMgr->Append(&built));
    ASSERT_TRUE(util.Save());
    EXPECT_EQ(FirstDifference(ReadFileBytes(m_path), original), -1);
}

TEST(PmAddrExDataMgrTest, AppendedRecordsEqualTheirSourcesInFreshAndReusedMemory)
{
    // Every plain byte set, only a few set, and cleared: records of each
    // kind, loaded again after the others (Clear between).
    auto makeRecord = [](int nKind, int n) {
        PmAddrExRecord record;
        if (nKind == 0) {
            std::memset(record.PlainBytes(), 0x41 + n % 50, PmAddrExRecord::PlainSize());
        } else if (nKind == 1) {
            record.nId = n + 1;
            SetText(record.szLastName, "Last" + std::to_string(n));
            SetText(record.szField64, "far end");
            SetText(record.szCategoryName, "Business");
        }
        if (nKind != 2) {
            record.items[n % kPmAddrExBinaryCount] = {65, 3, 1, 2, 3, {'a', static_cast<BYTE>(n), 'c'}};
            record.items[(n + 1) % kPmAddrExBinaryCount].nCount = 7;
        }
        return record;
    };
    constexpr int kCount = 150;  // past the first blocks of slots
    PmAddrExDataMgr dataMgr;
    for (int round = 0; round < 3; ++round) {
        SCOPED_TRACE(round);
        dataMgr.Clear();
        std::vector<PmAddrExRecord> sources;
        for (int n = 0; n < kCount; ++n)
            sources.push_back(makeRecord((n + round) % 3, n));
        for (const PmAddrExRecord& source : sources)
            ASSERT_TRUE(dataMgr.Append(&source));
        ASSERT_EQ(dataMgr.Count(), kCount);
        for (int n = 0; n < kCount; ++n) {
            const PmAddrExRecord* pStored = dataMgr.GetAt(n);
            ASSERT_NE(pStored, &sources[static_cast<size_t>(n)]);
            EXPECT_EQ(std::memcmp(pStored->PlainBytes(), sources[static_cast<size_t>(n)].PlainBytes(),
                                  PmAddrExRecord::PlainSize()),
                      0)
                << "record " << n;
            for (int i = 0; i < kPmAddrExBinaryCount; ++i)
                EXPECT_EQ(pStored->items[i], sources[static_cast<size_t>(n)].items[i]) << "record " << n;
        }
        // The copies own their buffers.
        sources[0].items[0].data.assign(5, 'z');
        sources[1].items[1].data.assign(5, 'z');
        EXPECT_NE(dataMgr.GetAt(0)->items[0], sources[0].items[0]);
        EXPECT_NE(dataMgr.GetAt(1)->items[1], sources[1].items[1]);
    }
}

TEST_F(ExtendedFileTest, SwapNameComesFromSettingsAndExchangesNamesBothWays)
{
    DatDescription desc = Normal();
    DatRecord r;
    r.Text(extended::kFirstName, "Field13").Text(extended::kLastName, "Field14");
    desc.records.push_back(r);
    WriteFile(desc);
    const Bytes original = ReadFileBytes(m_path);

    for (bool bSwap : {false, true}) {
        SCOPED_TRACE(bSwap);
        ASSERT_TRUE(m_settings.WriteIni(bSwap ? "[Hollowfen]\nSwapName=1\n" : "[Hollowfen]\nSwapName=0\n"));
        PmAddrExUtil util;
        EXPECT_EQ(util.SwapName, bSwap);
        ASSERT_TRUE(util.LoadFile(m_path.c_str()));
        const PmAddrExRecord& rec = *util.m_pDataMgr->GetAt(0);
        EXPECT_STREQ(rec.szFirstName, bSwap ? "Field14" : "Field13");
        EXPECT_STREQ(rec.szLastName, bSwap ? "Field13" : "Field14");
        ASSERT_TRUE(util.Save());
        EXPECT_EQ(FirstDifference(ReadFileBytes(m_path), original), -1);
    }
}

TEST_F(ExtendedFileTest, AppendedRecordFollowsUnlistedRecordsCarriedUnchanged)
{
    DatDescription desc = Normal();
    desc.categories.push_back({1, 1, 0, "Business", "Business"});
    for (int32_t nStatus : {0x04, 0x80}) {
        DatRecord r;
        r.Int(extended::kStatus, nStatus).Text(extended::kLastName, "Gone");
        r.Binary(extended::Binary(1), Item(64, 6, 0, 0, 0, "binary"));
        r.Text(extended::kNote, Repeat("n", 2500));
        desc.records.push_back(r);
    }
    WriteFile(desc);

    PmAddrExUtil util;
    ASSERT_TRUE(util.LoadFile(m_path.c_str()));
    ASSERT_EQ(util.m_pDataMgr->Count(), 2);

    // A new contact as the facade adds one to a list of n = 2 records.
    const int n = util.m_pDataMgr->Count();
    PmAddrExRecord added;
    added.nStatus = 0x01;
    added.nSequence = n + 4096;
    added.nField3 = n * 73;
    added.nPlacement = 0x7FFFFFFF;
    SetText(added.szFirstName, "Lena");
    SetText(added.szLastName, "Moreau");
    const std::string email = Repeat("m", 51) + "@example.com";
    ASSERT_EQ(email.size(), 63u);
    added.nPhoneLabel[0] = 4;
    SetText(added.szPhone[0], email);
    for (int a = 0; a < kPmAddrExAddressCount; ++a)
        added.addresses[a].nKind = a;
    added.qBirthday = PmDBUtil::DoubleToQuad(129080608.0);
    ASSERT_TRUE(util.GetCategoryId("Friends", added.nCategoryId, true));
    ASSERT_TRUE(util.m_pDataMgr->Append(&added));
    ASSERT_TRUE(util.Save());

    DatDescription expected = desc;
    expected.categories.push_back({2, 2, 0, "Friends", "Friends"});
    DatRecord r;
    r.Int(extended::kStatus, 0x01).Int(extended::kSequence, 4098).Int(extended::kField3, 146);
    r.Int(extended::kPlacement, 0x7FFFFFFF).Int(extended::kCategory, 2);
    r.Text(extended::kFirstName, "Lena").Text(extended::kLastName, "Moreau");
    r.Int(extended::PhoneLabel(1), 4).Text(extended::Phone(1), email);
    r.Int(extended::AddrKind(1), 0).Int(extended::AddrKind(2), 1).Int(extended::AddrKind(3), 2);
    r.Double(extended::kBirthday, 129080608.0);
    expected.records.push_back(r);
    EXPECT_EQ(FirstDifference(ReadFileBytes(m_path), BuildExtendedFile(expected)), -1);

    PmAddrExUtil again;
    ASSERT_TRUE(again.LoadFile(m_path.c_str()));
    ASSERT_EQ(again.m_pDataMgr->Count(), 3);
    EXPECT_EQ(again.m_pDataMgr->GetAt(2)->szPhone[0], email);
}

TEST_F(ExtendedFileTest, LongTextIsWrittenWholeOnlyWhileItsMemberIsUnchanged)
{
    const std::string note = Repeat("a long note ", 2600);
    const std::string company = Repeat("Company ", 300);
    DatDescription desc = Normal();
    DatRecord r;
    r.Text(extended::kNote, note).Text(extended::kCompany, company);
    desc.records.push_back(r);
    WriteFile(desc);

    PmAddrExUtil util;
    ASSERT_TRUE(util.LoadFile(m_path.c_str()));
    PmAddrExRecord* pRec = util.m_pDataMgr->GetAt(0);
    EXPECT_EQ(std::string(pRec->szNote), note.substr(0, kPmAddrExNoteWidth - 1));

    // A copy put back unchanged (as the facade's update does) keeps the whole
    // note; the changed company is written as it now stands.
    PmAddrExRecord copy = *pRec;
    SetText(copy.szCompany, "Renamed Ltd");
    *pRec = copy;
    ASSERT_TRUE(util.Save());

    DatDescription expected = desc;
    expected.records[0].Text(extended::kCompany, "Renamed Ltd");
    EXPECT_EQ(FirstDifference(ReadFileBytes(m_path), BuildExtendedFile(expected)), -1);
}

TEST_F(ExtendedFileTest, TruncatedFileFailsAtEveryLengthAndIsNeverWritten)
{
    DatDescription desc = Normal();
    DatRecord r = EveryField();
    desc.records.push_back(r);
    const Bytes whole = BuildExtendedFile(desc);
    for (size_t nLength = 0; nLength < whole.size(); ++nLength) {
        const Bytes prefix(whole.begin(), whole.begin() + static_cast<long>(nLength));
        ASSERT_TRUE(WriteBytesToFile(m_path, prefix));
        PmAddrExUtil util;
        ASSERT_FALSE(util.LoadFile(m_path.c_str())) << "length " << nLength;
        ASSERT_FALSE(util.Save()) << "length " << nLength;
        ASSERT_EQ(ReadFileBytes(m_path), prefix);
    }
    const std::string log = m_settings.ReadLog();
    EXPECT_NE(log.find("Loading Palm Desktop Contacts: " + m_path), std::string::npos);
    EXPECT_NE(log.find("Can not load Palm Desktop Contacts: " + m_path), std::string::npos);
}

TEST_F(ExtendedFileTest, MalformedOrLyingFileFailsCleanly)
{
    struct Case {
        const char* name;
        std::function<void(DatDescription&)> describe;
        std::function<void(Bytes&)> patch;
    };
    const auto none = [](Bytes&) {};
    // A binary item of the first record whose count (or size) is then made
    // to promise far more bytes than the file holds.
    const auto marked = [](DatDescription& d) {
        d.records[0].Binary(extended::Binary(2), Item(65, 2, 0x5A5A5A5A, 0x5A5A5A5A, 4, "WXYZ"));
    };
    const auto lie = [](long nFromMark, uint32_t nValue) {
        return [=](Bytes& b) {
            const Bytes mark = {0x5A, 0x5A, 0x5A, 0x5A, 0x5A, 0x5A, 0x5A, 0x5A};
            const auto it = std::search(b.begin(), b.end(), mark.begin(), mark.end());
            ASSERT_NE(it, b.end());
            PatchInt32(b, static_cast<size_t>(it - b.begin() + nFromMark), nValue);
        };
    };
    const Case cases[] = {
        {"banner ending in W", [](DatDescription& d) { d.strBannerText = "PalmSG Database00RW"; }, none},
        {"signature 00 01 42 41", [](DatDescription&) {}, [](Bytes& b) { b[24 + 1] = 0x01; }},
        {"label of 33 characters", [](DatDescription& d) { d.labels[4] = Repeat("x", 33); }, none},
        {"binary item counting far beyond the file", marked, lie(-4, 0x7FFFFFF0u)},
        {"binary item sized far beyond the file", marked, lie(8, 0xFFFFFFF0u)},
        {"value count far beyond the file", [](DatDescription& d) { d.nValueCount = 0x7FFFFFFF; }, none},
        {"negative value count", [](DatDescription& d) { d.nValueCount = -73; }, none},
        {"records without a single value",
         [](DatDescription& d) {
             DatSchema s = DefaultSchema(DatFormat::Extended);
             s.types.clear();
             d.schema = s;
             d.nValueCount = 0x7FFFFFFF;
         },
         none},
        {"field count differing from the fields per row",
         [](DatDescription& d) {
             DatSchema s = DefaultSchema(DatFormat::Extended);
             s.types.resize(60);
             d.schema = s;
         },
         none},
        {"schema with 74 type codes",
         [](DatDescription& d) {
             DatSchema s = DefaultSchema(DatFormat::Extended);
             s.types.push_back(1);
             d.schema = s;
             d.nValuesPerRecord = 73;
         },
         none},
        {"text where an integer is due", [](DatDescription& d) { d.records[0].Text(extended::kField17, "x"); }, none},
        {"stored file name longer than a path", [](DatDescription& d) { d.strStoredFileName = Repeat("p", 261); },
         none},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        DatDescription desc = Normal();
        AddRandomRecords(desc, 2, 43);
        c.describe(desc);
        Bytes bytes = BuildExtendedFile(desc);
        c.patch(bytes);
        ASSERT_TRUE(WriteBytesToFile(m_path, bytes));

        PmAddrExUtil util;
        EXPECT_FALSE(util.LoadFile(m_path.c_str()));
        EXPECT_FALSE(util.SaveFile(m_path.c_str()));
        EXPECT_EQ(ReadFileBytes(m_path), bytes);
    }
}

TEST_F(ExtendedFileTest, SaveFailingHalfWayLeavesTheFileAsItWas)
{
    DatDescription desc = Normal();
    AddRandomRecords(desc, 20, 47);
    WriteFile(desc);
    const Bytes original = ReadFileBytes(m_path);

    PmAddrExUtil util;
    ASSERT_TRUE(util.LoadFile(m_path.c_str()));
    SetText(util.m_pDataMgr->GetAt(5)->szNote, "changed");
    for (long long nFailAt : {0LL, static_cast<long long>(kStoredNameAt), static_cast<long long>(original.size() / 2),
                              static_cast<long long>(original.size() - 20)}) {
        SCOPED_TRACE(nFailAt);
        PmDBUtil::SetFailWritesAfterBytesForTest(nFailAt);
        EXPECT_FALSE(util.Save());
        PmDBUtil::SetFailWritesAfterBytesForTest(-1);
        EXPECT_EQ(ReadFileBytes(m_path), original);
        EXPECT_EQ(m_dir.Entries().size(), 2u);  // address.dat and the log
    }
    ASSERT_TRUE(util.Save());
    EXPECT_NE(ReadFileBytes(m_path), original);
}

}  // namespace
