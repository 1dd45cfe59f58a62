// The record stream both address.dat generations end with (PmRecordStream),
// through the classic (PmAddrUtil) and extended (PmAddrExUtil) readers:
// where a damaged stream stops a load, and the rule of row lengths that sets
// the two generations apart.
#include <gtest/gtest.h>

#include <functional>
#include <string>

#include "common/palm/PmAddrExUtil.h"
#include "common/palm/PmAddrUtil.h"
#include "datfile_helpers.h"
#include "platform/fsutil/FailReason.h"
#include "tools/datgen/DatGen.h"

using namespace dattest;
using namespace datgen;

namespace {

class RecordStreamTest : public ::testing::Test {
protected:
    // A file of this program's form with two records.
    DatDescription Described(DatFormat format) const
    {
        DatDescription desc;
        desc.format = format;
        desc.strStoredFileName = m_path;
        desc.bProgramTypes = format == DatFormat::Extended;
        AddRandomRecords(desc, 2, 5);
        return desc;
    }

    // Loads m_path with the reader of format; answers whether it loaded and
    // the reason of a failure.
    bool Load(DatFormat format, FailReason& reason) const
    {
        if (format == DatFormat::Classic) {
            PmAddrUtil util;
            const bool bOk = util.LoadFile(m_path.c_str());
            reason = util.GetLastFailure();
            return bOk;
        }
        PmAddrExUtil util;
        const bool bOk = util.LoadFile(m_path.c_str());
        reason = util.GetLastFailure();
        return bOk;
    }

    TempDir m_dir{"recstream"};
    ScratchSettings m_settings{m_dir};
    std::string m_path = m_dir.File("address.dat");
};

// The offset of the value count: the length of the same file with its
// records and value count taken out, less the count itself.
size_t ValueCountAt(const DatDescription& desc)
{
    DatDescription empty = desc;
    empty.records.clear();
    empty.nValueCount = 0;
    return BuildFile(empty).size() - 4;
}

TEST_F(RecordStreamTest, DamagedStreamFailsAtTheByteWhereReadingStopped)
{
    struct Case {
        const char* name;
        std::function<void(DatDescription&)> describe;
        std::function<void(Bytes&, size_t nCountAt)> patch;
        size_t nStopAfterCount;  // bytes past the value count's offset
    };
    const auto none = [](Bytes&, size_t) {};
    const auto asIs = [](DatDescription&) {};
    const Case cases[] = {
        // Stops once the count is read.
        {"negative value count", [](DatDescription& d) { d.nValueCount = -1; }, none, 4},
        {"value count far beyond the file", [](DatDescription& d) { d.nValueCount = 0x7FFFFFFF; }, none, 4},
        // Stops after the type code that is not an integer's.
        {"text where the record id is due",
         [](DatDescription& d) {
             DatValue v;
             v.kind = DatValue::Kind::Text;
             v.nInt = 1;
             v.text = "x";
             d.records[0].Value(0, v);
         },
         none, 4 + 4},
        // The count promises more records than the rest of the file holds:
        // nothing of them is read.
        {"file ending inside the first value", asIs, [](Bytes& b, size_t nCountAt) { b.resize(nCountAt + 4 + 4 + 2); },
         4},
    };
    for (DatFormat format : {DatFormat::Classic, DatFormat::Extended}) {
        for (const Case& c : cases) {
            SCOPED_TRACE(std::string(format == DatFormat::Classic ? "classic: " : "extended: ") + c.name);
            DatDescription desc = Described(format);
            c.describe(desc);
            const size_t nCountAt = ValueCountAt(desc);
            Bytes bytes = BuildFile(desc);
            c.patch(bytes, nCountAt);
            ASSERT_TRUE(WriteBytesToFile(m_path, bytes));

            FailReason reason;
            EXPECT_FALSE(Load(format, reason));
            EXPECT_EQ(reason.eKind, FailKind::Damaged);
            EXPECT_EQ(reason.nOffset, static_cast<int64_t>(nCountAt + c.nStopAfterCount));
            EXPECT_EQ(FailReasonText(reason), "it is damaged at byte " + std::to_string(nCountAt + c.nStopAfterCount));
        }
    }
}

// Rows are read with the fields per row in the classic file and with the
// field count in the extended one, and written with the fields per row in
// both: a classic file may list fewer type codes than its rows hold, an
// extended one may not.
TEST_F(RecordStreamTest, OnlyTheExtendedFileNeedsItsFieldCountToMatchItsRows)
{
    for (DatFormat format : {DatFormat::Classic, DatFormat::Extended}) {
        const bool bClassic = format == DatFormat::Classic;
        SCOPED_TRACE(bClassic ? "classic" : "extended");
        DatDescription desc = Described(format);
        DatSchema schema = DefaultSchema(format);
        schema.types.resize(25);
        desc.schema = schema;
        desc.nValuesPerRecord = schema.nFieldsPerRow;
        const Bytes original = BuildFile(desc);
        ASSERT_TRUE(WriteBytesToFile(m_path, original));

        FailReason reason;
        if (bClassic) {
            PmAddrUtil util;
            ASSERT_TRUE(util.LoadFile(m_path.c_str()));
            EXPECT_EQ(util.m_pDataMgr->Count(), 2);
            ASSERT_TRUE(util.SaveFile(m_path.c_str()));
            EXPECT_EQ(FirstDifference(ReadFileBytes(m_path), original), -1);
        } else {
            EXPECT_FALSE(Load(format, reason));
            EXPECT_EQ(reason.eKind, FailKind::Damaged);
            EXPECT_EQ(reason.nOffset, static_cast<int64_t>(ValueCountAt(desc) + 4));
        }
    }
}

}  // namespace
