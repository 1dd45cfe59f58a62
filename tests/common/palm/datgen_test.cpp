// The address.dat generator, read back section by section with the
// data-file primitives: the two independent writers must agree.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "common/palm/PmDBUtil.h"
#include "tools/datgen/DatGen.h"

namespace {

using namespace datgen;

// Reads one record of typed values, checking each value against the layout
// type code; texts are collected by field number.
void ReadRecord(PmDBUtil& util, const std::vector<uint16_t>& types, std::vector<std::string>& texts,
                std::vector<int32_t>& ints)
{
    texts.assign(types.size(), std::string());
    ints.assign(types.size(), 0);
    for (size_t f = 0; f < types.size(); ++f) {
        const uint16_t t = types[f];
        if (t == kPmTypeText) {
            char buf[4096];
            std::string whole;
            ASSERT_TRUE(util.ReadTextField(buf, sizeof(buf), &whole)) << "field " << f;
            texts[f] = buf;
        } else if (t >= kPmTypeBinary1 && t <= kPmTypeBinary4) {
            PmBinaryItem item;
            ASSERT_TRUE(util.ReadBinaryItem(item)) << "field " << f;
            ints[f] = static_cast<int32_t>(item.nCount);
            texts[f].assign(item.data.begin(), item.data.end());
        } else if (t == kPmTypeQuad) {
            uint64_t q = 0;
            ASSERT_TRUE(util.ReadQuadField(q)) << "field " << f;
            texts[f] = std::to_string(PmDBUtil::QuadToDouble(q));
        } else {
            ASSERT_TRUE(util.ReadIntField(ints[f])) << "field " << f;
        }
    }
}

TEST(DatGen, ClassicDescriptionReadsBackThroughThePrimitives)
{
    const char* text = R"(format classic
filename C:\Palm\Ann\address\address.dat
header line one\nline two\n
nextfreeid 131
category 1 5 1 Business
category 2 9 0 Q/A
shortname Q_A
swapnames yes
record
first Ann
last Lee
phone1 ann@example.com
label1 4
category business
note *300
field 29 int 77
record
status 4
custom4 caf\xE9
)";
    DatDescription desc;
    std::string error;
    ASSERT_TRUE(ParseDescription(text, desc, error)) << error;
    const std::vector<uint8_t> bytes = BuildClassicFile(desc);

    PmDBUtil util;
    ASSERT_TRUE(util.OpenBuffer(bytes.data(), bytes.size()));
    int32_t n = 0;
    std::string s;
    ASSERT_TRUE(util.ReadInt32(n));
    EXPECT_EQ(n, 0x41420100);
    ASSERT_TRUE(util.ReadCString(s));
    EXPECT_EQ(s, "C:\\Palm\\Ann\\address\\address.dat");
    ASSERT_TRUE(util.ReadCString(s));
    EXPECT_EQ(s, "line one\nline two\n");
    ASSERT_TRUE(util.ReadCategories());
    EXPECT_EQ(util.GetCategoryMgr()->GetNextFreeId(), 131);
    EXPECT_EQ(util.GetCategoryMgr()->Count(), 3);
    EXPECT_TRUE(util.GetCategoryMgr()->FindById(5)->IsDirty());
    ASSERT_TRUE(util.ReadSchema());
    const PmSchema& schema = util.GetSchema();
    EXPECT_EQ(schema.nFieldsPerRow, 30);
    EXPECT_EQ(schema.nStatusPos, 1);
    ASSERT_TRUE(util.ReadInt32(n));
    EXPECT_EQ(n, 60);

    const std::vector<uint16_t> types(schema.wTypes, schema.wTypes + schema.wFieldCount);
    EXPECT_EQ(types, DefaultSchema(DatFormat::Classic).types);
    std::vector<std::string> texts;
    std::vector<int32_t> ints;
    ReadRecord(util, types, texts, ints);
    EXPECT_EQ(texts[classic::kLastName], "Ann") << "names swapped in the file";
    EXPECT_EQ(texts[classic::kFirstName], "Lee");
    EXPECT_EQ(texts[classic::Phone(1)], "ann@example.com");
    EXPECT_EQ(ints[classic::PhoneLabel(1)], 4);
    EXPECT_EQ(ints[classic::kCategory], 5);
    EXPECT_EQ(texts[classic::kNote].size(), 300u);
    EXPECT_EQ(ints[classic::kField29], 77);
    ReadRecord(util, types, texts, ints);
    EXPECT_EQ(ints[classic::kStatus], 4);
    EXPECT_EQ(texts[classic::Custom(4)], "caf\xE9");
    EXPECT_EQ(util.GetRemaining(), 0u);
}

TEST(DatGen, ExtendedFileHasItsBlocksItemsAndRecordCount)
{
    DatDescription desc;
    desc.format = DatFormat::Extended;
    desc.labels[0] = "Work";
    desc.nameBlock[3] = 0x5A;
    DatBinary small;
    small.nType = 66;
    small.nCount = 2;
    small.nA = -7;
    small.nB = 9;
    small.nSize = 3;
    small.bytes = "xyz";
    DatRecord rec;
    rec.Text(extended::kFirstName, "Ann").Binary(extended::Binary(3), small).Double(extended::kBirthday, 25569.5);
    desc.records.assign(300, rec);
    const std::vector<uint8_t> bytes = BuildExtendedFile(desc);

    PmDBUtil util;
    ASSERT_TRUE(util.OpenBuffer(bytes.data(), bytes.size()));
    BYTE banner[24];
    ASSERT_TRUE(util.ReadBytes(banner, sizeof(banner)));
    EXPECT_EQ(std::string(reinterpret_cast<char*>(banner), 5), "\xBE\xBA\xFE\xCA\x0F");
    EXPECT_EQ(std::string(reinterpret_cast<char*>(banner) + 5, 19), "PalmSG Database00RV");
    int32_t n = 0;
    ASSERT_TRUE(util.ReadInt32(n));
    EXPECT_EQ(n, 0x41420200);
    BYTE header[24];
    ASSERT_TRUE(util.ReadBytes(header, sizeof(header)));
    EXPECT_EQ(header[12], 0x2C);
    EXPECT_EQ(header[13], 0x11);
    std::string s;
    ASSERT_TRUE(util.ReadCString(s));
    BYTE nameBlock[11];
    ASSERT_TRUE(util.ReadBytes(nameBlock, sizeof(nameBlock)));
    EXPECT_EQ(nameBlock[3], 0x5A);
    for (int i = 0; i < 9; ++i) {
        ASSERT_TRUE(util.ReadCString(s));
        EXPECT_EQ(s, i == 0 ? "Work" : "");
        ASSERT_TRUE(util.ReadInt32(n));
    }
    ASSERT_TRUE(util.SkipBytes(42));
    ASSERT_TRUE(util.ReadCategories());
    ASSERT_TRUE(util.ReadSchema());
    EXPECT_EQ(util.GetSchema().wFieldCount, 73);
    ASSERT_TRUE(util.ReadInt32(n));
    EXPECT_EQ(n, 300 * 73);

    const PmSchema& schema = util.GetSchema();
    const std::vector<uint16_t> types(schema.wTypes, schema.wTypes + schema.wFieldCount);
    std::vector<std::string> texts;
    std::vector<int32_t> ints;
    for (int r = 0; r < 300; ++r) {
        ReadRecord(util, types, texts, ints);
        ASSERT_FALSE(HasFatalFailure());
    }
    EXPECT_EQ(texts[extended::kFirstName], "Ann");
    EXPECT_EQ(ints[extended::Binary(3)], 2);
    EXPECT_EQ(texts[extended::Binary(3)], "xyz");
    EXPECT_EQ(texts[extended::kBirthday], std::to_string(25569.5));
    EXPECT_EQ(util.GetRemaining(), 0u);
}

TEST(DatGen, RandomRecordsAreRepeatableAndDescriptionErrorsNameTheLine)
{
    DatDescription a;
    DatDescription b;
    a.format = b.format = DatFormat::Extended;
    AddRandomRecords(a, 50, 7);
    AddRandomRecords(b, 50, 7);
    EXPECT_EQ(BuildFile(a), BuildFile(b));

    DatDescription bad;
    std::string error;
    EXPECT_FALSE(ParseDescription("format classic\nrecord\nphone7 123\n", bad, error));
    EXPECT_EQ(error.rfind("line 3:", 0), 0u) << error;
}

}  // namespace
