// ContactHashIndex keeps, for every hash, the chain of positions that have
// it, in ascending order, through appends, moves and the table's growth.
#include "common/misc/ContactHashIndex.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <random>
#include <set>
#include <vector>

namespace {

constexpr int32_t kNone = ContactHashIndex::kNoPosition;

// The chain of nHash walked forwards, checked against the walk backwards.
std::vector<int32_t> Chain(const ContactHashIndex& index, uint64_t nHash)
{
    std::vector<int32_t> forwards;
    for (int32_t nPos = index.First(nHash); nPos != kNone; nPos = index.Next(nPos))
        forwards.push_back(nPos);
    std::vector<int32_t> backwards;
    for (int32_t nPos = index.Last(nHash); nPos != kNone; nPos = index.Prev(nPos))
        backwards.insert(backwards.begin(), nPos);
    EXPECT_EQ(forwards, backwards) << "hash " << nHash;
    return forwards;
}

// What the chains must be: the positions of each hash, ascending.
void ExpectChainsOf(const ContactHashIndex& index, const std::vector<uint64_t>& hashes, const std::set<uint64_t>& asked)
{
    ASSERT_EQ(index.Count(), static_cast<int32_t>(hashes.size()));
    for (uint64_t nHash : asked) {
        std::vector<int32_t> expected;
        for (size_t n = 0; n < hashes.size(); ++n) {
            if (hashes[n] == nHash)
                expected.push_back(static_cast<int32_t>(n));
        }
        EXPECT_EQ(Chain(index, nHash), expected) << "hash " << nHash;
    }
    for (size_t n = 0; n < hashes.size(); ++n)
        EXPECT_EQ(index.HashOf(static_cast<int32_t>(n)), hashes[n]);
}

TEST(ContactHashIndexTest, AnEmptyIndexHasNoChains)
{
    ContactHashIndex index;
    EXPECT_EQ(index.Count(), 0);
    EXPECT_EQ(index.First(0), kNone);
    EXPECT_EQ(index.Last(42), kNone);
}

TEST(ContactHashIndexTest, AppendedPositionsChainByHashInOrder)
{
    ContactHashIndex index;
    const std::vector<uint64_t> hashes = {7, 3, 7, 0, 7, 3, 1ull << 63};
    for (uint64_t nHash : hashes)
        index.Append(nHash);
    ExpectChainsOf(index, hashes, {7, 3, 0, 1ull << 63, 5});
    EXPECT_EQ(Chain(index, 7), (std::vector<int32_t>{0, 2, 4}));
}

TEST(ContactHashIndexTest, AMovedPositionTakesItsPlaceInTheNewChain)
{
    // Cases: into the middle, the front, the end of a chain, to a new hash,
    // away from a chain it was the only member of, and onto its own hash.
    struct Move {
        int32_t nPos;
        uint64_t nHash;
    };
    const Move moves[] = {{3, 1}, {0, 2}, {5, 2}, {2, 9}, {2, 1}, {4, 4}, {4, 8}};
    ContactHashIndex index;
    std::vector<uint64_t> hashes = {1, 1, 2, 2, 1, 3};
    for (uint64_t nHash : hashes)
        index.Append(nHash);
    for (const Move& move : moves) {
        index.Move(move.nPos, move.nHash);
        hashes[static_cast<size_t>(move.nPos)] = move.nHash;
        ExpectChainsOf(index, hashes, {1, 2, 3, 4, 8, 9});
    }
    // A chain that every position left is empty.
    EXPECT_EQ(index.First(3), kNone);
    EXPECT_EQ(index.Last(9), kNone);
}

TEST(ContactHashIndexTest, ChainsSurviveGrowthAndManyMoves)
{
    // Few distinct hashes and many positions: long chains, and a table that
    // is rehashed while chains left empty by moves are dropped.
    std::mt19937_64 random(15);
    ContactHashIndex index;
    std::vector<uint64_t> hashes;
    std::set<uint64_t> used;
    for (int nStep = 0; nStep < 4000; ++nStep) {
        const uint64_t nHash = random() % (nStep < 2000 ? 50 : 5000);
        used.insert(nHash);
        if (hashes.empty() || random() % 3 != 0) {
            index.Reserve(hashes.size() + 1);
            index.Append(nHash);
            hashes.push_back(nHash);
        } else {
            const auto nPos = static_cast<int32_t>(random() % hashes.size());
            index.Move(nPos, nHash);
            hashes[static_cast<size_t>(nPos)] = nHash;
        }
    }
    ExpectChainsOf(index, hashes, used);
}

}  // namespace
