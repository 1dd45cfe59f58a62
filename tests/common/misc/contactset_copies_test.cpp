// CommAddrMgr keeps its stored copies in blocks of memory of its own, reused
// after ClearRecords: every copy must still be the caller's record byte for
// byte, whatever the slot held before.
#include "common/misc/CommAddrMgr.h"

#include <gtest/gtest.h>

#include <cstring>
#include <vector>

namespace {

// A record whose every byte is set, texts without terminators included.
CommAddrRecord Busy(unsigned char byte)
{
    CommAddrRecord record;
    std::memset(static_cast<void*>(&record), byte, sizeof record);
    record.pAttached = nullptr;
    record.nAttachedLen = 0;
    return record;
}

// A record with a few scattered bytes set, the last member among them.
CommAddrRecord Sparse(int n)
{
    CommAddrRecord record;
    ZeroCommRecord(&record);
    SetTextField(&record, CF_LAST_NAME, n % 2 == 0 ? "Even" : "Odd");
    record.szNote[sizeof record.szNote - 2] = static_cast<char>('a' + n % 26);
    record.szCustomLabel[8][63] = 'z';
    record.nAttachedLen = static_cast<uint32_t>(n + 1);   // kept without a block
    return record;
}

bool SameBytes(const CommAddrRecord& a, const CommAddrRecord& b)
{
    return std::memcmp(static_cast<const void*>(&a), static_cast<const void*>(&b), sizeof a) == 0;
}

TEST(AddCopyTest, CopiesAreTheRecordByteForByteInNewAndReusedMemory)
{
    // More records than the first block holds, so that later blocks are used.
    constexpr int kCount = 300;
    CommAddrMgr set;
    for (int round = 0; round < 2; ++round) {
        std::vector<CommAddrRecord> sources;
        for (int n = 0; n < kCount; ++n)
            sources.push_back(round == 0 ? Busy(static_cast<unsigned char>(0x41 + n % 50)) : Sparse(n));
        for (const CommAddrRecord& source : sources)
            ASSERT_NE(set.AddCopy(&source), nullptr);
        ASSERT_EQ(set.GetCount(), kCount);
        for (int n = 0; n < kCount; ++n)
            EXPECT_TRUE(SameBytes(*set.GetRecordAt(n), sources[static_cast<size_t>(n)]))
                << "round " << round << ", copy " << n;
        // The second round writes mostly empty records where full ones were.
        set.ClearRecords();
        EXPECT_EQ(set.GetCount(), 0);
    }
}

} // namespace

TEST(AddCopyTest, ASharedBlockStaysTheCallersWhileOwnedBlocksAreDuplicated)
{
    // A block the set must never free: under the sanitizers a free of it
    // would fail the test, and so would a leak of the duplicated ones.
    char szShared[] = "the caller's live record";
    char szOwned[] = "duplicated";
    CommAddrMgr set;
    for (int round = 0; round < 2; ++round) {
        CommAddrRecord record;
        ZeroCommRecord(&record);
        SetTextField(&record, CF_LAST_NAME, "Shared");
        record.pAttached = szShared;
        record.nAttachedLen = sizeof szShared;
        const CommAddrRecord* pShared = set.AddCopySharingBlock(&record);
        ASSERT_NE(pShared, nullptr);
        EXPECT_EQ(pShared->pAttached, szShared);
        EXPECT_EQ(pShared->nAttachedLen, sizeof szShared);
        EXPECT_STREQ(pShared->szLastName, "Shared");

        SetTextField(&record, CF_LAST_NAME, "Owned");
        record.pAttached = szOwned;
        record.nAttachedLen = sizeof szOwned;
        const CommAddrRecord* pOwned = set.AddCopy(&record);
        ASSERT_NE(pOwned, nullptr);
        EXPECT_NE(pOwned->pAttached, szOwned);
        EXPECT_EQ(std::memcmp(pOwned->pAttached, szOwned, sizeof szOwned), 0);

        // Classify treats both alike.
        CommAddrRecord* pMatch = nullptr;
        EXPECT_EQ(set.Classify(&record, &pMatch, nullptr), CLASSIFY_SAME);
        EXPECT_EQ(pMatch, pOwned);
        set.ClearRecords();
    }
    EXPECT_STREQ(szShared, "the caller's live record");
}
