// CommAddrMgr keeps its stored copies in blocks of memory of its own, reused
// after ClearRecords: every copy must still be the caller's record byte for
// byte, whatever the slot held before.
#include "common/misc/CommAddrMgr.h"

#include <gtest/gtest.h>

#include <cstring>
#include <string>
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
    record.nAttachedLen = static_cast<uint32_t>(n + 1);  // kept without a block
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

}  // namespace

// Every text field at its full width - 1 characters (the note at 8191),
// dates, integers and an attached block set.
CommAddrRecord FullWidth(char letter, const char* pszBlock)
{
    CommAddrRecord record;
    ZeroCommRecord(&record);
    for (const CommField& field : g_CommFieldCatalog) {
        if (field.type == CFT_TEXT)
            SetTextField(&record, field.id, std::string(static_cast<size_t>(field.size - 1), letter).c_str());
    }
    record.dtBirthday = 36526.5;
    record.dtAnniversary = -1.25;
    record.dtCreationTime = 40000.0;
    record.nGender = 2;
    record.nSourceType = CST_PALM_EX;
    record.nStatus = RS_MODIFIED;
    record.nPrivate = 1;
    record.pAttached = const_cast<char*>(pszBlock);
    record.nAttachedLen = static_cast<uint32_t>(std::strlen(pszBlock) + 1);
    return record;
}

// Contacts round trip through the set's memory whole, and so does every
// load after the first into the same memory: full-width records after
// sparse ones after full-width ones.
TEST(AddCopyTest, FullWidthAndSparseContactsRoundTripThroughReusedMemory)
{
    constexpr int kCount = 150;
    const char szBlock[] = "the source side's own record";
    CommAddrMgr set;
    for (int round = 0; round < 3; ++round) {
        std::vector<CommAddrRecord> sources;
        for (int n = 0; n < kCount; ++n) {
            CommAddrRecord source =
                round == 1 ? Sparse(n) : FullWidth(static_cast<char>('a' + (n + round) % 26), szBlock);
            if (round == 1 && n % 3 == 0) {
                source.pAttached = const_cast<char*>(szBlock);
                source.nAttachedLen = sizeof szBlock;
            }
            sources.push_back(source);
        }
        for (const CommAddrRecord& source : sources)
            ASSERT_NE(set.AddCopy(&source), nullptr);
        for (int n = 0; n < kCount; ++n) {
            const CommAddrRecord& source = sources[static_cast<size_t>(n)];
            CommAddrRecord copy = *set.GetRecordAt(n);
            EXPECT_EQ(std::strlen(copy.szNote), round == 1 ? 0u : 8191u);
            // The block is the set's own duplicate of the source's.
            if (source.pAttached != nullptr) {
                ASSERT_NE(copy.pAttached, nullptr);
                EXPECT_NE(copy.pAttached, source.pAttached);
                EXPECT_EQ(std::memcmp(copy.pAttached, source.pAttached, source.nAttachedLen), 0);
            } else {
                EXPECT_EQ(copy.pAttached, nullptr);
            }
            copy.pAttached = source.pAttached;
            EXPECT_TRUE(SameBytes(copy, source)) << "round " << round << ", copy " << n;
        }
        set.ClearRecords();
    }
}

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
