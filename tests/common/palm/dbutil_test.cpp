// Encodings, shared blocks, file handling and the step framework of the
// Palm data-file base class.
#include <gtest/gtest.h>

#include <sys/stat.h>

#include <cstring>
#include <string>
#include <vector>

#include "common/misc/CxDebugUtil.h"
#include "common/palm/PmDBUtil.h"
#include "platform/fsutil/FsUtil.h"
#include "tests/support/TestFiles.h"

namespace {

using Bytes = std::vector<BYTE>;
using vwtest::ReadFileBytes;
using vwtest::TempDir;
using vwtest::WriteFileBytes;

// Little-endian byte builder for expected streams, written independently of
// the class under test.
struct B {
    Bytes b;
    B& u8(unsigned v)
    {
        b.push_back(static_cast<BYTE>(v));
        return *this;
    }
    B& u16(unsigned v) { return u8(v & 0xFF).u8((v >> 8) & 0xFF); }
    B& i32(int64_t v)
    {
        for (int i = 0; i < 4; ++i)
            u8(static_cast<unsigned>((static_cast<uint64_t>(v) >> (8 * i)) & 0xFF));
        return *this;
    }
    B& raw(const std::string& s)
    {
        b.insert(b.end(), s.begin(), s.end());
        return *this;
    }
    B& text(const std::string& s)  // counted text, short or long form
    {
        if (s.size() < 255)
            u8(static_cast<unsigned>(s.size()));
        else
            u8(0xFF).u16(static_cast<unsigned>(s.size()));
        return raw(s);
    }
    B& textField(const std::string& s) { return i32(5).i32(1).text(s); }
};

// Runs fn on a util writing to memory and answers the bytes written.
template <class Fn>
Bytes Written(Fn fn)
{
    PmDBUtil util;
    EXPECT_TRUE(util.OpenMemory());
    EXPECT_TRUE(fn(util));
    EXPECT_TRUE(util.Commit());
    return util.GetWrittenBytes();
}

void OpenOver(PmDBUtil& util, const Bytes& bytes)
{
    ASSERT_TRUE(util.OpenBuffer(bytes.data(), bytes.size()));
}

// ---- Counted text ----------------------------------------------------------

TEST(PmDBUtilText, CountedTextUsesTheShortFormBelow255AndTheLongFormFrom255)
{
    struct Case {
        size_t nLength;
        Bytes prefix;
    };
    const Case cases[] = {
        {0, {0x00}},
        {1, {0x01}},
        {254, {0xFE}},
        {255, {0xFF, 0xFF, 0x00}},
        {300, {0xFF, 0x2C, 0x01}},
        {65535, {0xFF, 0xFF, 0xFF}},
    };
    for (const Case& c : cases) {
        std::string text;
        for (size_t i = 0; i < c.nLength; ++i)
            text += static_cast<char>('a' + i % 26);
        Bytes expected = c.prefix;
        expected.insert(expected.end(), text.begin(), text.end());

        const Bytes written = Written([&](PmDBUtil& u) { return u.WriteCString(text.c_str()); });
        EXPECT_EQ(written, expected) << "length " << c.nLength;

        PmDBUtil reader;
        OpenOver(reader, expected);
        std::string whole;
        EXPECT_TRUE(reader.ReadCString(whole));
        EXPECT_EQ(whole, text);
        EXPECT_EQ(reader.GetRemaining(), 0u);

        OpenOver(reader, expected);
        std::vector<char> buf(c.nLength + 1, 'x');
        int nCapacity = static_cast<int>(c.nLength == 0 ? 1 : c.nLength);
        EXPECT_TRUE(reader.ReadCString(buf.data(), nCapacity));
        EXPECT_EQ(std::string(buf.data()), text);
    }

    EXPECT_TRUE(Written([](PmDBUtil& u) { return u.WriteCString(nullptr); }) == Bytes{0x00});
    PmDBUtil util;
    ASSERT_TRUE(util.OpenMemory());
    EXPECT_FALSE(util.WriteCString(std::string(65536, 'a').c_str()));
    EXPECT_TRUE(util.GetWrittenBytes().empty()) << "a text too long for the format writes nothing";
}

TEST(PmDBUtilText, LongFormWithAShortLengthIsRead)
{
    PmDBUtil util;
    OpenOver(util, B().u8(0xFF).u16(5).raw("Hello").b);
    std::string text;
    EXPECT_TRUE(util.ReadCString(text));
    EXPECT_EQ(text, "Hello");
}

TEST(PmDBUtilText, ReadCStringReportsTheNeededCapacity)
{
    PmDBUtil util;
    const Bytes stored33 = B().text(std::string(33, 'q')).i32(77).b;
    OpenOver(util, stored33);
    char buf[33];
    int nCapacity = 32;
    EXPECT_FALSE(util.ReadCString(buf, nCapacity));
    EXPECT_EQ(nCapacity, 33);
    EXPECT_EQ(util.GetRemaining(), 33u + 4u) << "the stream stands after the length";

    OpenOver(util, B().text(std::string(32, 'q')).b);
    nCapacity = 32;
    EXPECT_TRUE(util.ReadCString(buf, nCapacity));
    EXPECT_EQ(std::string(buf), std::string(32, 'q'));

    nCapacity = 0;
    EXPECT_FALSE(util.ReadCString(buf, nCapacity));
    nCapacity = 4;
    EXPECT_FALSE(util.ReadCString(nullptr, nCapacity));
}

// ---- Typed values ----------------------------------------------------------

TEST(PmDBUtilFields, IntFieldAcceptsIntegerDateAndBooleanCodesOnly)
{
    struct Case {
        int32_t nType;
        bool bAccepted;
    };
    const Case cases[] = {{1, true}, {3, true}, {6, true}, {5, false}, {0, false}, {68, false}, {64, false}};
    for (const Case& c : cases) {
        PmDBUtil util;
        OpenOver(util, B().i32(c.nType).i32(-123456).b);
        int32_t nValue = 0;
        EXPECT_EQ(util.ReadIntField(nValue), c.bAccepted) << "type " << c.nType;
        if (c.bAccepted) {
            EXPECT_EQ(nValue, -123456);
        }
    }
}

TEST(PmDBUtilFields, WrittenFieldsCarryTheirTypeCodes)
{
    const Bytes written = Written([](PmDBUtil& u) {
        return u.WriteIntField(0x01020304) && u.WriteBoolField(1) && u.WriteTextField("Ann") &&
               u.WriteTextField(nullptr) && u.WriteQuadField(0x1122334455667788ULL);
    });
    const Bytes expected = B().i32(1)
                               .i32(0x01020304)
                               .i32(6)
                               .i32(1)
                               .i32(5)
                               .i32(1)
                               .text("Ann")
                               .i32(5)
                               .i32(1)
                               .u8(0)
                               .i32(68)
                               .raw("\x88\x77\x66\x55\x44\x33\x22\x11")
                               .b;
    EXPECT_EQ(written, expected);

    PmDBUtil util;
    OpenOver(util, written);
    int32_t nValue = 0;
    char szText[8];
    uint64_t qValue = 0;
    EXPECT_TRUE(util.ReadIntField(nValue));
    EXPECT_TRUE(util.ReadIntField(nValue));
    EXPECT_EQ(nValue, 1);
    EXPECT_TRUE(util.ReadTextField(szText, sizeof(szText)));
    EXPECT_STREQ(szText, "Ann");
    EXPECT_TRUE(util.ReadTextField(szText, sizeof(szText)));
    EXPECT_STREQ(szText, "");
    EXPECT_TRUE(util.ReadQuadField(qValue));
    EXPECT_EQ(qValue, 0x1122334455667788ULL);

    const double dBirthday = 25569.75;
    EXPECT_EQ(PmDBUtil::QuadToDouble(PmDBUtil::DoubleToQuad(dBirthday)), dBirthday);
}

TEST(PmDBUtilFields, TextFieldKeepsWidthMinusOneAndConsumesTheRest)
{
    const std::string forty = "0123456789012345678901234567890123456789";
    PmDBUtil util;
    OpenOver(util, B().textField(forty).i32(1).i32(42).b);
    char buf[32];
    std::string whole;
    ASSERT_TRUE(util.ReadTextField(buf, sizeof(buf), &whole));
    EXPECT_EQ(std::string(buf), forty.substr(0, 31));
    EXPECT_EQ(whole, forty) << "the whole text is handed back for keeping";
    int32_t nNext = 0;
    EXPECT_TRUE(util.ReadIntField(nNext));
    EXPECT_EQ(nNext, 42);

    OpenOver(util, B().textField("short").b);
    whole = "stale";
    ASSERT_TRUE(util.ReadTextField(buf, sizeof(buf), &whole));
    EXPECT_STREQ(buf, "short");
    EXPECT_TRUE(whole.empty());

    OpenOver(util, B().i32(1).i32(1).u8(0).b);
    EXPECT_FALSE(util.ReadTextField(buf, sizeof(buf))) << "an integer where a text is due";
}

TEST(PmDBUtilFields, BinaryItemsRoundTripByteForByte)
{
    const Bytes streams[] = {
        B().i32(64).i32(0).b,
        B().i32(65).i32(5).raw("ABCDE").b,
        B().i32(66).i32(2).i32(-7).i32(9).i32(3).raw("xyz").b,
        B().i32(67).i32(1).i32(1).i32(2).i32(0).b,
    };
    for (const Bytes& stream : streams) {
        PmDBUtil reader;
        OpenOver(reader, stream);
        PmBinaryItem item;
        ASSERT_TRUE(reader.ReadBinaryItem(item));
        EXPECT_EQ(reader.GetRemaining(), 0u);
        PmBinaryItem copy = item;  // deep copy: the copy writes the same bytes
        item.Clear();
        EXPECT_EQ(Written([&](PmDBUtil& u) { return u.WriteBinaryItem(copy); }), stream);
    }
}

TEST(PmDBUtilFields, InconsistentBinaryItemIsNotWritten)
{
    PmBinaryItem missingBytes;
    missingBytes.nType = 64;
    missingBytes.nCount = 6;  // promises six bytes, holds none
    PmBinaryItem shortSize;
    shortSize.nType = 65;
    shortSize.nCount = 1;
    shortSize.nSize = 4;
    shortSize.data = {1, 2};
    for (const PmBinaryItem& item : {missingBytes, shortSize}) {
        PmDBUtil util;
        ASSERT_TRUE(util.OpenMemory());
        EXPECT_FALSE(util.WriteBinaryItem(item));
        EXPECT_TRUE(util.GetWrittenBytes().empty());
    }
}

// ---- Truncated and lying input ----------------------------------------------

// One value of every kind, read in order; false at the first failure.
bool ReadEveryKind(PmDBUtil& util)
{
    int32_t nValue = 0;
    char szText[64];
    uint64_t qValue = 0;
    PmBinaryItem item;
    std::string text;
    return util.ReadIntField(nValue) && util.ReadTextField(szText, sizeof(szText)) && util.ReadBinaryItem(item) &&
           util.ReadBinaryItem(item) && util.ReadQuadField(qValue) && util.ReadCString(text) &&
           util.ReadTextField(szText, sizeof(szText));
}

TEST(PmDBUtilInput, EveryTruncationFailsCleanly)
{
    const Bytes full = B().i32(1)
                           .i32(5)
                           .textField("Name")
                           .i32(64)
                           .i32(4)
                           .raw("WXYZ")
                           .i32(65)
                           .i32(3)
                           .i32(1)
                           .i32(2)
                           .i32(2)
                           .raw("ab")
                           .i32(68)
                           .raw("12345678")
                           .text(std::string(300, 'n'))
                           .textField(std::string(100, 't'))
                           .b;
    PmDBUtil util;
    OpenOver(util, full);
    ASSERT_TRUE(ReadEveryKind(util));
    EXPECT_EQ(util.GetRemaining(), 0u);
    for (size_t nCut = 0; nCut < full.size(); ++nCut) {
        // A separate heap copy of exactly nCut bytes, so a read past its end
        // is caught by the address sanitizer.
        const Bytes prefix(full.begin(), full.begin() + static_cast<std::ptrdiff_t>(nCut));
        ASSERT_TRUE(util.OpenBuffer(prefix.data(), prefix.size()));
        EXPECT_FALSE(ReadEveryKind(util)) << "cut at " << nCut;
    }
}

TEST(PmDBUtilInput, LyingCountsFailWithoutAllocating)
{
    const Bytes lies[] = {
        B().i32(64).i32(-1).raw("abc").b,                     // count 4294967295
        B().i32(65).i32(0x7FFFFFF0).b,                        // count beyond the data
        B().i32(66).i32(2).i32(0).i32(0).i32(-2).raw("z").b,  // size beyond the data
    };
    for (const Bytes& stream : lies) {
        PmDBUtil util;
        OpenOver(util, stream);
        PmBinaryItem item;
        item.data = {9};
        EXPECT_FALSE(util.ReadBinaryItem(item));
        EXPECT_EQ(item.data, Bytes{9}) << "a failed read leaves the item as it was";
    }

    PmDBUtil util;
    OpenOver(util, B().u8(0xFF).u16(60000).raw("short").b);
    std::string text;
    EXPECT_FALSE(util.ReadCString(text));
    char buf[16];
    OpenOver(util, B().i32(5).i32(1).u8(0xFF).u16(60000).raw("short").b);
    EXPECT_FALSE(util.ReadTextField(buf, sizeof(buf)));

    OpenOver(util, B().i32(1).b);
    EXPECT_TRUE(util.CanHold(1, 4));
    EXPECT_FALSE(util.CanHold(2, 4));
    EXPECT_FALSE(util.CanHold(UINT64_MAX, 8));
}

// ---- Category block ----------------------------------------------------------

TEST(PmDBUtilBlocks, ListWithOnlyUnfiledWritesNextFreeIdAndZero)
{
    PmDBUtil util;
    OpenOver(util, B().i32(131).i32(0).b);
    ASSERT_TRUE(util.ReadCategories());
    ASSERT_NE(util.GetCategoryMgr(), nullptr);
    EXPECT_EQ(util.GetCategoryMgr()->Count(), 1);
    EXPECT_STREQ(util.GetCategoryMgr()->GetAt(0)->GetName(), "Unfiled");

    EXPECT_EQ(Written([&](PmDBUtil& u) {
                  u.m_pCatMgr = std::move(util.m_pCatMgr);
                  return u.WriteCategories();
              }),
              B().i32(131).i32(0).b);
    EXPECT_EQ(Written([](PmDBUtil& u) { return u.WriteCategories(); }), B().i32(128).i32(0).b) << "no list at all";
}

TEST(PmDBUtilBlocks, CategoryBlockRoundTripsWithDirtyWrittenAsZero)
{
    const Bytes stored = B().i32(140)
                             .i32(2)
                             .i32(1)
                             .i32(5)
                             .i32(1)
                             .text("Business")
                             .text("Business")
                             .i32(2)
                             .i32(9)
                             .i32(0)
                             .text("Q&A/Misc")
                             .text("ignored")
                             .b;
    PmDBUtil util;
    OpenOver(util, stored);
    ASSERT_TRUE(util.ReadCategories());
    PmCategoryMgr* pMgr = util.GetCategoryMgr();
    EXPECT_EQ(pMgr->Count(), 3);
    EXPECT_FALSE(pMgr->IsModified());
    EXPECT_TRUE(pMgr->FindById(5)->IsDirty());
    EXPECT_FALSE(pMgr->FindById(9)->IsDirty());

    char szName[16] = "untouched";
    EXPECT_TRUE(util.GetCategoryName(9, szName));
    EXPECT_STREQ(szName, "Q&A/Misc");
    std::strcpy(szName, "untouched");
    EXPECT_FALSE(util.GetCategoryName(4, szName));
    EXPECT_STREQ(szName, "untouched");

    const Bytes expected = B().i32(140)
                               .i32(2)
                               .i32(1)
                               .i32(5)
                               .i32(0)
                               .text("Business")
                               .text("Business")
                               .i32(2)
                               .i32(9)
                               .i32(0)
                               .text("Q&A/Misc")
                               .text("Q&A_Misc")
                               .b;
    EXPECT_EQ(Written([&](PmDBUtil& u) {
                  u.m_pCatMgr = std::move(util.m_pCatMgr);
                  return u.WriteCategories();
              }),
              expected);
}

TEST(PmDBUtilBlocks, BadCategoryBlocksFail)
{
    const Bytes blocks[] = {
        B().i32(128).i32(0x7FFFFFFF).i32(1).b,  // lying count
        B().i32(128).i32(-1).b,                 // negative count
        B().i32(128).i32(2).i32(1).i32(5).i32(0).text("A").text("A").i32(2).i32(5).i32(0).text("B").text("B").b,
        B().i32(128).i32(1).i32(1).i32(5).i32(0).text(std::string(257, 'x')).text("").b,
        B().i32(128).i32(1).i32(1).i32(5).b,  // ends inside an entry
    };
    for (const Bytes& block : blocks) {
        PmDBUtil util;
        OpenOver(util, block);
        EXPECT_FALSE(util.ReadCategories());
    }
}

TEST(PmDBUtilBlocks, SchemaRoundTripsAndRejectsWhatItCannotHold)
{
    B schema;
    schema.i32(74).i32(30).i32(0).i32(1).i32(2).u16(30);
    for (int i = 0; i < 30; ++i)
        schema.u16(i % 2 ? 5 : 1);
    PmDBUtil util;
    OpenOver(util, schema.b);
    ASSERT_TRUE(util.ReadSchema());
    EXPECT_EQ(util.GetSchema().nFieldsPerRow, 30);
    EXPECT_EQ(util.GetSchema().wTypes[29], 5);
    ASSERT_TRUE(util.OpenMemory());
    ASSERT_TRUE(util.WriteSchema());
    EXPECT_EQ(util.GetWrittenBytes(), schema.b);

    const Bytes bad[] = {
        B().i32(74).i32(73).i32(0).i32(2).i32(4).u16(74).b,  // more types than room
        B().i32(74).i32(0).i32(0).i32(1).i32(2).u16(0).b,    // no fields per row
        B().i32(74).i32(30).i32(0).i32(1).i32(2).u16(3).u16(1).b,
    };
    for (const Bytes& block : bad) {
        PmDBUtil reader;
        OpenOver(reader, block);
        EXPECT_FALSE(reader.ReadSchema());
        EXPECT_EQ(reader.GetSchema().wFieldCount, 0) << "a failed read keeps the schema held";
    }
}

// ---- Category ids for names ------------------------------------------------

TEST(PmDBUtilCategories, GetCategoryIdFindsIgnoringCaseAndCreatesOnce)
{
    PmDBUtil util;
    OpenOver(util, B().i32(128).i32(1).i32(1).i32(4).i32(0).text("Business").text("Business").b);
    ASSERT_TRUE(util.ReadCategories());

    int32_t nId = 99;
    EXPECT_TRUE(util.GetCategoryId("bUSINESS", nId, false));
    EXPECT_EQ(nId, 4);
    EXPECT_TRUE(util.GetCategoryId("", nId, false));
    EXPECT_EQ(nId, 0);
    EXPECT_FALSE(util.GetCategoryId("Family", nId, false));
    EXPECT_EQ(nId, 0);
    EXPECT_EQ(util.GetCategoryMgr()->Count(), 2);

    const char* pszLong = "ABCDEFGHIJKLMNOPQRST";
    ASSERT_TRUE(util.GetCategoryId(pszLong, nId, true));
    EXPECT_EQ(nId, 5);
    EXPECT_STREQ(util.GetCategoryMgr()->FindById(5)->GetName(), "ABCDEFGHIJKLMNO");
    EXPECT_TRUE(util.GetCategoryMgr()->FindById(5)->IsDirty());
    int32_t nAgain = 0;
    ASSERT_TRUE(util.GetCategoryId(pszLong, nAgain, true));
    EXPECT_EQ(nAgain, 5);
    EXPECT_EQ(util.GetCategoryMgr()->Count(), 3);
    EXPECT_TRUE(util.GetCategoryMgr()->IsModified());

    for (int i = 3; i < 16; ++i)
        ASSERT_TRUE(util.GetCategoryId(("Cat" + std::to_string(i)).c_str(), nId, true));
    EXPECT_FALSE(util.GetCategoryId("OneTooMany", nId, true));
    EXPECT_EQ(nId, -1);
}

// ---- Files and the step framework ------------------------------------------

// A small generation for exercising the framework: a magic number, the
// category block, the schema block and a list of integer fields.
class TestGen : public PmDBUtil {
public:
    static constexpr int32_t kMagic = 0x54455354;
    std::vector<int32_t> values;
    int nStepsRun = 0;

    TestGen()
    {
        m_Schema.nFieldsPerRow = 1;
        m_Schema.nCapacity = 4;
    }
    bool Load(const char* pszPath)
    {
        nStepsRun = 0;
        return RunLoad<TestGen>(
            pszPath, {&TestGen::ReadMagic, &TestGen::ReadCategories, &TestGen::ReadSchema, &TestGen::ReadValues});
    }
    bool Save(const char* pszPath)
    {
        return RunSave<TestGen>(
            pszPath, {&TestGen::WriteMagic, &TestGen::WriteCategories, &TestGen::WriteSchema, &TestGen::WriteValues});
    }
    bool ReadMagic()
    {
        ++nStepsRun;
        int32_t n = 0;
        return ReadInt32(n) && n == kMagic;
    }
    bool ReadCategories() override
    {
        ++nStepsRun;
        return PmDBUtil::ReadCategories();
    }
    bool ReadValues()
    {
        ++nStepsRun;
        values.clear();
        int32_t nCount = 0;
        if (!ReadInt32(nCount) || nCount < 0 || !CanHold(static_cast<uint64_t>(nCount), 8))
            return false;
        for (int32_t i = 0; i < nCount; ++i) {
            int32_t v = 0;
            if (!ReadIntField(v))
                return false;
            values.push_back(v);
        }
        return true;
    }
    bool WriteMagic() { return WriteInt32(kMagic); }
    bool WriteValues()
    {
        if (!WriteInt32(static_cast<int32_t>(values.size())))
            return false;
        for (int32_t v : values) {
            if (!WriteIntField(v))
                return false;
        }
        return true;
    }
};

Bytes TestGenFile(const std::vector<int32_t>& values)
{
    B b;
    b.i32(TestGen::kMagic).i32(128).i32(0).i32(74).i32(1).i32(0).i32(1).i32(2).u16(1).u16(1);
    b.i32(static_cast<int64_t>(values.size()));
    for (int32_t v : values)
        b.i32(1).i32(v);
    return b.b;
}

class PmDBUtilFiles : public ::testing::Test {
protected:
    void SetUp() override
    {
        g_DebugUtil.SetFolder((dir.Path() + "/").c_str());
        m_path = dir.File("address.dat");
    }
    void TearDown() override
    {
        PmDBUtil::SetFailWritesAfterBytesForTest(-1);
        AtomicFile::SetFailAfterBytesForTest(-1);
        g_DebugUtil.SetFolder("");
    }
    TempDir dir{"dbutil"};
    std::string m_path;
};

TEST_F(PmDBUtilFiles, OpenChecksPathModeAndExistence)
{
    PmDBUtil util;
    for (int nMode : {0, 1, 2})
        EXPECT_FALSE(util.Open(m_path.c_str(), nMode)) << "missing file, mode " << nMode;
    EXPECT_FALSE(util.Open(nullptr, 0));
    EXPECT_FALSE(util.Open("", 0));

    WriteFileBytes(m_path, {1, 2, 3});
    EXPECT_FALSE(util.Open(m_path.c_str(), 4));
    EXPECT_FALSE(util.Open(("/tmp/" + std::string(251, 'p')).c_str(), 0)) << "path cannot be kept whole";

    // Files copied from Windows come in any letter case.
    ASSERT_TRUE(util.Open(dir.File("ADDRESS.DAT").c_str(), 0));
    EXPECT_STREQ(util.m_szFileName, m_path.c_str());
    BYTE b[3];
    EXPECT_TRUE(util.ReadBytes(b, 3));
    EXPECT_FALSE(util.ReadBytes(b, 1));
    util.Close();
    EXPECT_STREQ(util.m_szFileName, m_path.c_str()) << "the path outlives the open file";
}

TEST_F(PmDBUtilFiles, LockedFileFailsAsInUseAndALoadHoldsTheFileUntilTheReaderGoes)
{
    WriteFileBytes(m_path, TestGenFile({1}));
    FileHold::SetWaitMs(100);
    FileLock other;
    ASSERT_TRUE(other.Lock(m_path.c_str()));
    {
        TestGen gen;
        EXPECT_FALSE(gen.Load(m_path.c_str()));
        EXPECT_EQ(gen.GetLastFailure().eKind, FailKind::Locked);
        EXPECT_EQ(FailReasonText(gen.GetLastFailure()), "it is in use by another program");
        other.Unlock();

        ASSERT_TRUE(gen.Load(m_path.c_str()));
        EXPECT_FALSE(other.Lock(m_path.c_str())) << "the file is held from its load to its save";
        gen.values = {2};
        ASSERT_TRUE(gen.Save(m_path.c_str()));
        EXPECT_FALSE(other.Lock(m_path.c_str())) << "the saved file is held too";
    }
    EXPECT_TRUE(other.Lock(m_path.c_str())) << "a reader that goes lets go of the file";
    FileHold::SetWaitMs(-1);
}

TEST_F(PmDBUtilFiles, LoadRunsStepsInOrderAndSaveReplacesTheWholeFile)
{
    WriteFileBytes(m_path, TestGenFile({7, -8, 9}));
    TestGen gen;
    ASSERT_TRUE(gen.Load(m_path.c_str()));
    EXPECT_TRUE(gen.IsLoaded());
    EXPECT_EQ(gen.values, (std::vector<int32_t>{7, -8, 9}));

    gen.values = {42};  // shorter content: the file must end where it ends
    ASSERT_TRUE(gen.Save(m_path.c_str()));
    EXPECT_EQ(ReadFileBytes(m_path), TestGenFile({42}));
    EXPECT_EQ(dir.Entries(), std::vector<std::string>{"address.dat"});
}

TEST_F(PmDBUtilFiles, FailedLoadStopsAtTheFailingStepLogsAndNeverSaves)
{
    Bytes bad = TestGenFile({1, 2});
    bad[0] ^= 0xFF;  // wrong magic
    WriteFileBytes(m_path, bad);
    g_DebugUtil.SetDetail(false, 0);
    TestGen gen;
    EXPECT_FALSE(gen.Load(m_path.c_str()));
    EXPECT_EQ(gen.nStepsRun, 1);
    EXPECT_TRUE(gen.HasLoadFailed());
    EXPECT_FALSE(gen.IsLoaded());

    const Bytes log = ReadFileBytes(g_DebugUtil.GetLogPath());
    const std::string logText(log.begin(), log.end());
    EXPECT_NE(logText.find("Can not load Palm Desktop Contacts: " + m_path), std::string::npos);
    EXPECT_NE(logText.find("!!!"), std::string::npos);

    gen.values = {5};
    EXPECT_FALSE(gen.Save(m_path.c_str()));
    EXPECT_EQ(ReadFileBytes(m_path), bad);

    WriteFileBytes(m_path, TestGenFile({3}));
    ASSERT_TRUE(gen.Load(m_path.c_str()));
    EXPECT_FALSE(gen.HasLoadFailed());
    EXPECT_TRUE(gen.Save(m_path.c_str())) << "a later good load allows saving again";
}

TEST_F(PmDBUtilFiles, TruncatedFileFailsTheLoadAtEveryCut)
{
    const Bytes full = TestGenFile({1, 2, 3});
    for (size_t nCut = 0; nCut < full.size(); ++nCut) {
        WriteFileBytes(m_path, Bytes(full.begin(), full.begin() + static_cast<std::ptrdiff_t>(nCut)));
        TestGen gen;
        EXPECT_FALSE(gen.Load(m_path.c_str())) << "cut at " << nCut;
    }
}

TEST_F(PmDBUtilFiles, SaveFailingHalfWayLeavesTheOriginalAndNoTemporaryFile)
{
    const Bytes original = TestGenFile({1, 2, 3, 4, 5, 6});
    WriteFileBytes(m_path, original);
    chmod(m_path.c_str(), 0640);
    TestGen gen;
    ASSERT_TRUE(gen.Load(m_path.c_str()));
    gen.values.assign(50, 77);

    // A write step failing, and the replace itself failing.
    PmDBUtil::SetFailWritesAfterBytesForTest(40);
    EXPECT_FALSE(gen.Save(m_path.c_str()));
    PmDBUtil::SetFailWritesAfterBytesForTest(-1);
    EXPECT_EQ(ReadFileBytes(m_path), original);
    EXPECT_EQ(dir.Entries(), (std::vector<std::string>{"address.dat", "appdebug.log"}));
    EXPECT_EQ(gen.GetLastFailure().eKind, FailKind::DiskFull);

    AtomicFile::SetFailAfterBytesForTest(40);
    EXPECT_FALSE(gen.Save(m_path.c_str()));
    AtomicFile::SetFailAfterBytesForTest(-1);
    EXPECT_EQ(ReadFileBytes(m_path), original);
    std::vector<std::string> entries = dir.Entries();
    EXPECT_EQ(entries, (std::vector<std::string>{"address.dat", "appdebug.log"}));
    EXPECT_EQ(gen.GetLastFailure().eKind, FailKind::DiskFull);

    ASSERT_TRUE(gen.Save(m_path.c_str()));
    struct stat st { };
    ASSERT_EQ(stat(m_path.c_str(), &st), 0);
    EXPECT_EQ(st.st_mode & 0777, 0640u) << "permissions kept";
}

TEST_F(PmDBUtilFiles, WritesWithoutCommitLeaveTheFileUntouched)
{
    WriteFileBytes(m_path, {9, 9, 9});
    PmDBUtil util;
    ASSERT_TRUE(util.Open(m_path.c_str(), PmDBUtil::kModeReadWrite));
    EXPECT_TRUE(util.WriteInt32(1));
    util.Close();
    EXPECT_EQ(ReadFileBytes(m_path), (Bytes{9, 9, 9}));
    EXPECT_EQ(dir.Entries(), std::vector<std::string>{"address.dat"});

    const std::string created = dir.File("new.dat");
    ASSERT_TRUE(util.Open(created.c_str(), PmDBUtil::kModeCreate));
    EXPECT_TRUE(util.WriteInt16(0x4241));
    EXPECT_TRUE(util.Commit());
    util.Close();
    EXPECT_EQ(ReadFileBytes(created), (Bytes{0x41, 0x42}));
}

}  // namespace
