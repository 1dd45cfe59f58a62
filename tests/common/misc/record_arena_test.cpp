// RecordArena hands out slots that must hold the caller's record byte for
// byte, in fresh and in reused memory, and keep their addresses until Reset.
#include "common/misc/RecordArena.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <cstring>
#include <iterator>
#include <set>
#include <vector>

namespace {

// A size that is no whole number of pieces, so the last piece is short.
constexpr size_t kRecordSize = 1000;

std::vector<unsigned char> Dense(unsigned char byte)
{
    return std::vector<unsigned char>(kRecordSize, byte);
}

// Zero except a few bytes: at the start, at a piece's last byte, in the short
// last piece and at the very end.
std::vector<unsigned char> Sparse(int n)
{
    std::vector<unsigned char> bytes(kRecordSize, 0);
    bytes[0] = static_cast<unsigned char>(1 + n % 200);
    bytes[2 * RecordArena::kPiece - 1] = 0x80;
    bytes[kRecordSize - 20] = static_cast<unsigned char>(n % 7);  // sometimes 0
    bytes[kRecordSize - 1] = 0xFF;
    return bytes;
}

TEST(CopyNonZeroPiecesTest, TheCopyEqualsTheSourceForEveryLengthAndPattern)
{
    const size_t lengths[] = {0, 1, 7, 63, 64, 65, 128, 200};
    for (size_t n : lengths) {
        // Every single non-zero byte position, and an all-zero source.
        for (size_t nSet = 0; nSet <= n; ++nSet) {
            std::vector<unsigned char> source(n, 0);
            if (nSet < n)
                source[nSet] = 0x5A;
            std::vector<unsigned char> dest(n + 1, 0);
            dest[n] = 0xEE;  // past the end: never written
            CopyNonZeroPieces(dest.data(), source.data(), n);
            EXPECT_TRUE(std::equal(source.begin(), source.end(), dest.begin())) << "n " << n << " at " << nSet;
            EXPECT_EQ(dest[n], 0xEE) << "n " << n;
        }
    }
}

TEST(CopyChangedPiecesTest, TheCopyEqualsTheSourceWhateverTheDestinationHeld)
{
    const size_t lengths[] = {0, 1, 63, 64, 65, 130};
    const unsigned char fills[] = {0x00, 0x5A, 0xFF};
    for (size_t n : lengths) {
        for (unsigned char destFill : fills) {
            for (unsigned char sourceFill : fills) {
                // The source differs from its fill at one byte, at every place.
                for (size_t nSet = 0; nSet <= n; ++nSet) {
                    std::vector<unsigned char> source(n, sourceFill);
                    if (nSet < n)
                        source[nSet] = 0x11;
                    std::vector<unsigned char> dest(n + 1, destFill);
                    dest[n] = 0xEE;  // past the end: never written
                    CopyChangedPieces(dest.data(), source.data(), n);
                    EXPECT_TRUE(std::equal(source.begin(), source.end(), dest.begin()))
                        << "n " << n << " at " << nSet << " dest " << int(destFill) << " source " << int(sourceFill);
                    EXPECT_EQ(dest[n], 0xEE) << "n " << n;
                }
            }
        }
    }
}

TEST(RecordArenaTest, SlotsAreWholePiecesAndAligned)
{
    RecordArena arena(kRecordSize);
    EXPECT_EQ(arena.SlotSize(), 1024u);
    EXPECT_EQ(arena.SlotsInUse(), 0u);
    const std::vector<unsigned char> bytes = Dense(1);
    for (int n = 0; n < 3; ++n) {
        void* pSlot = arena.Take(bytes.data());
        ASSERT_NE(pSlot, nullptr);
        EXPECT_EQ(reinterpret_cast<uintptr_t>(pSlot) % alignof(std::max_align_t), 0u);
    }
    EXPECT_EQ(arena.SlotsInUse(), 3u);
}

TEST(RecordArenaTest, CopiesAreExactInFreshAndReusedSlotsAndKeepTheirAddresses)
{
    // More records than the first two blocks hold, so later blocks are used.
    const int nCount = static_cast<int>(3 * RecordArena::kFirstSlots + 5);
    RecordArena arena(kRecordSize);
    std::vector<void*> firstRound;
    // Dense records first, then sparse ones in the same (reused) slots: a
    // reused slot must lose every byte of what it held.
    for (int round = 0; round < 3; ++round) {
        std::vector<std::vector<unsigned char>> sources;
        std::vector<void*> slots;
        for (int n = 0; n < nCount; ++n)
            sources.push_back(round == 1 ? Dense(static_cast<unsigned char>(0x41 + n % 50)) : Sparse(n + round));
        for (const auto& source : sources) {
            slots.push_back(arena.Take(source.data()));
            ASSERT_NE(slots.back(), nullptr);
        }
        EXPECT_EQ(arena.SlotsInUse(), static_cast<size_t>(nCount));
        // No slot overlaps another; every copy is intact after all the takes.
        std::set<uintptr_t> starts;
        for (void* pSlot : slots)
            starts.insert(reinterpret_cast<uintptr_t>(pSlot));
        ASSERT_EQ(starts.size(), slots.size());
        for (auto it = starts.begin(); std::next(it) != starts.end(); ++it)
            EXPECT_GE(*std::next(it) - *it, arena.SlotSize());
        for (int n = 0; n < nCount; ++n)
            EXPECT_EQ(std::memcmp(slots[n], sources[n].data(), kRecordSize), 0) << "round " << round << " record " << n;
        // Reset keeps the blocks: the next round gets the same slots in order.
        if (round == 0)
            firstRound = slots;
        else
            EXPECT_EQ(slots, firstRound);
        // A caller may write to its records in place: the next round must
        // not see those bytes either (Sparse is zero at byte 500).
        for (void* pSlot : slots)
            static_cast<unsigned char*>(pSlot)[500] = 0x33;
        arena.Reset();
        EXPECT_EQ(arena.SlotsInUse(), 0u);
    }
}

TEST(RecordArenaTest, ZeroedSlotsAreZeroWhenFreshAndWhenReusedAndMixWithCopies)
{
    // Enough slots for several blocks; every other one a copy, and the
    // caller writes into the zeroed ones as a record filled in place would.
    const int nCount = static_cast<int>(2 * RecordArena::kFirstSlots + 3);
    RecordArena arena(kRecordSize);
    const std::vector<unsigned char> zeros(kRecordSize, 0);
    for (int round = 0; round < 2; ++round) {
        std::vector<void*> slots;
        for (int n = 0; n < nCount; ++n) {
            const std::vector<unsigned char> source = Dense(static_cast<unsigned char>(0x30 + n % 40));
            void* pSlot = n % 2 == 0 ? arena.TakeZeroed() : arena.Take(source.data());
            ASSERT_NE(pSlot, nullptr);
            if (n % 2 == 0) {
                EXPECT_EQ(std::memcmp(pSlot, zeros.data(), kRecordSize), 0) << "round " << round << " slot " << n;
                std::memset(pSlot, 0x77, kRecordSize);
            } else {
                EXPECT_EQ(std::memcmp(pSlot, source.data(), kRecordSize), 0) << "round " << round << " slot " << n;
            }
            slots.push_back(pSlot);
        }
        // No slot overlaps another.
        std::set<uintptr_t> starts;
        for (void* pSlot : slots)
            starts.insert(reinterpret_cast<uintptr_t>(pSlot));
        ASSERT_EQ(starts.size(), slots.size());
        for (auto it = starts.begin(); std::next(it) != starts.end(); ++it)
            EXPECT_GE(*std::next(it) - *it, arena.SlotSize());
        // One slot taken first shifts the second round by one: its zeroed
        // slots held dense copies in the first round, and its copies are
        // made over the bytes written into zeroed slots.
        arena.Reset();
        if (round == 0)
            (void)arena.Take(zeros.data());
    }
}

TEST(RecordArenaTest, OnlyTheLastSlotIsGivenBackAndItComesBackCleared)
{
    // The last slot of a block, of the first slot of the next one, and one
    // within a block: each given back after the caller wrote into it.
    const size_t counts[] = {RecordArena::kFirstSlots, RecordArena::kFirstSlots + 1, 5};
    const std::vector<unsigned char> zeros(kRecordSize, 0);
    for (size_t nCount : counts) {
        RecordArena arena(kRecordSize);
        std::vector<void*> slots;
        for (size_t n = 0; n < nCount; ++n) {
            slots.push_back(arena.TakeZeroed());
            ASSERT_NE(slots.back(), nullptr);
            std::memset(slots.back(), 0x6B, kRecordSize);
        }
        // A slot that is not the last one stays in use.
        arena.GiveBack(slots.front());
        arena.GiveBack(nullptr);
        EXPECT_EQ(arena.SlotsInUse(), nCount) << nCount;

        arena.GiveBack(slots.back());
        EXPECT_EQ(arena.SlotsInUse(), nCount - 1) << nCount;
        void* pAgain = arena.TakeZeroed();
        EXPECT_EQ(pAgain, slots.back()) << nCount;
        EXPECT_EQ(std::memcmp(pAgain, zeros.data(), kRecordSize), 0) << nCount;
        // Given back again, a copy lands in it whole.
        arena.GiveBack(pAgain);
        const std::vector<unsigned char> sparse = Sparse(3);
        EXPECT_EQ(arena.Take(sparse.data()), slots.back()) << nCount;
        EXPECT_EQ(std::memcmp(slots.back(), sparse.data(), kRecordSize), 0) << nCount;
        EXPECT_EQ(arena.SlotsInUse(), nCount) << nCount;
        // The slots before it were not touched.
        EXPECT_EQ(static_cast<unsigned char*>(slots.front())[kRecordSize - 1], 0x6B) << nCount;
    }
}

TEST(RecordArenaTest, PageSlotsStartPagesTakeWholePagesAndHoldExactCopies)
{
    // A record a little longer than a page, and one shorter.
    for (size_t nSize : {RecordArena::kPage + 40, size_t{1000}}) {
        SCOPED_TRACE(nSize);
        RecordArena arena(nSize, /*bPageSlots=*/true);
        const size_t nPages = (nSize + RecordArena::kPage - 1) / RecordArena::kPage;
        EXPECT_EQ(arena.SlotSize(), nPages * RecordArena::kPage);
        const int nCount = static_cast<int>(RecordArena::kFirstSlots + 3);
        for (int round = 0; round < 2; ++round) {
            std::vector<std::vector<unsigned char>> sources;
            std::vector<void*> slots;
            for (int n = 0; n < nCount; ++n) {
                sources.emplace_back(nSize, static_cast<unsigned char>(round == 0 ? 0 : 0x20 + n % 90));
                sources.back()[nSize - 1] = 0x7F;
                sources.back()[static_cast<size_t>(n) % nSize] = 0x01;
                slots.push_back(n % 2 == 0 ? arena.Take(sources.back().data()) : arena.TakeZeroed());
                ASSERT_NE(slots.back(), nullptr);
                EXPECT_EQ(reinterpret_cast<uintptr_t>(slots.back()) % RecordArena::kPage, 0u) << n;
                if (n % 2 == 1)
                    std::memcpy(slots.back(), sources.back().data(), nSize);  // filled in place
            }
            for (int n = 0; n < nCount; ++n)
                EXPECT_EQ(std::memcmp(slots[n], sources[n].data(), nSize), 0) << "round " << round << " slot " << n;
            arena.Reset();
        }
    }
}

TEST(RecordArenaTest, ARecordOfOneByteAndOfZeroBytesGetsASlot)
{
    for (size_t nSize : {size_t{0}, size_t{1}}) {
        RecordArena arena(nSize);
        EXPECT_EQ(arena.SlotSize(), RecordArena::kPiece);
        const unsigned char byte = 7;
        auto* pSlot = static_cast<unsigned char*>(arena.Take(&byte));
        ASSERT_NE(pSlot, nullptr);
        EXPECT_EQ(*pSlot, 7);
    }
}

}  // namespace
