// CxList: dense indices, the one cursor, and ownership of elements.
#include "common/misc/CxList.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <vector>

namespace {

TEST(CxListTest, EmptyListHasNoElements)
{
    CxList list;
    int nElement = 0;
    EXPECT_EQ(list.GetCount(), 0u);
    EXPECT_EQ(list.GetFirst(), nullptr);
    EXPECT_EQ(list.GetNext(), nullptr);
    EXPECT_EQ(list.GetByIndex(0), nullptr);

    EXPECT_FALSE(list.AddTail(nullptr));
    EXPECT_EQ(list.GetCount(), 0u);
    EXPECT_TRUE(list.AddTail(&nElement));
    EXPECT_EQ(list.GetCount(), 1u);
}

TEST(CxListTest, WalkStopsAtTheEndAndIndexWalksBack)
{
    char a = 'A', b = 'B', c = 'C';
    CxList list;
    ASSERT_TRUE(list.AddTail(&a));
    ASSERT_TRUE(list.AddTail(&b));
    ASSERT_TRUE(list.AddTail(&c));

    EXPECT_EQ(list.GetFirst(), &a);
    EXPECT_EQ(list.GetNext(), &b);
    EXPECT_EQ(list.GetNext(), &c);
    EXPECT_EQ(list.GetNext(), nullptr);
    EXPECT_EQ(list.GetNext(), nullptr);  // still on C
    EXPECT_EQ(list.GetByIndex(1), &b);   // backward from C
    EXPECT_EQ(list.GetNext(), &c);       // the cursor moved to B

    // An index past the end returns null and leaves the cursor alone.
    EXPECT_EQ(list.GetByIndex(0), &a);
    EXPECT_EQ(list.GetByIndex(3), nullptr);
    EXPECT_EQ(list.GetNext(), &b);
}

TEST(CxListTest, GetByIndexFindsEveryElementFromAnyCursorPosition)
{
    std::vector<int> values(10);
    CxList list;
    for (int& nValue : values)
        ASSERT_TRUE(list.AddTail(&nValue));

    // Jumps in both directions, to the same place, and to both ends.
    const uint32_t nVisits[] = {7, 2, 2, 9, 0, 5, 4, 9, 8, 0, 1};
    for (uint32_t nIndex : nVisits) {
        EXPECT_EQ(list.GetByIndex(nIndex), &values[nIndex]) << "index " << nIndex;
        void* pExpectedNext = nIndex + 1 < values.size() ? &values[nIndex + 1] : nullptr;
        EXPECT_EQ(list.GetNext(), pExpectedNext) << "after index " << nIndex;
        list.GetByIndex(nIndex);  // put the cursor back for the next jump
    }
}

TEST(CxListTest, AddTailMovesTheCursorToTheNewElement)
{
    char a = 'A', b = 'B', c = 'C';
    CxList list;
    list.AddTail(&a);
    list.AddTail(&b);
    EXPECT_EQ(list.GetFirst(), &a);
    list.AddTail(&c);
    EXPECT_EQ(list.GetNext(), nullptr);  // the cursor is already on C
    EXPECT_EQ(list.GetByIndex(2), &c);
}

TEST(CxListTest, RemoveAllWithoutFreeingKeepsElementsAndRestartsIndices)
{
    // Elements on the stack: freeing them would be caught by the sanitizer.
    char a = 'A', b = 'B', c = 'C';
    CxList list;
    list.AddTail(&a);
    list.AddTail(&b);
    list.RemoveAll(false);

    EXPECT_EQ(list.GetCount(), 0u);
    EXPECT_EQ(list.GetFirst(), nullptr);
    EXPECT_EQ(list.GetNext(), nullptr);
    EXPECT_EQ(list.GetByIndex(0), nullptr);
    EXPECT_EQ(a, 'A');

    ASSERT_TRUE(list.AddTail(&c));
    EXPECT_EQ(list.GetCount(), 1u);
    EXPECT_EQ(list.GetByIndex(0), &c);
    EXPECT_EQ(list.GetFirst(), &c);
    // The destructor leaves the stack elements alone as well.
}

TEST(CxListTest, LongListsKeepEveryElementInOrderAndCanBeFilledAgain)
{
    // Lengths around the sizes in which the list takes its nodes, filled,
    // emptied and filled again.
    std::vector<int> values(10000);
    for (uint32_t nLength : {1u, 8u, 9u, 24u, 25u, 4103u, 10000u}) {
        CxList list;
        for (int round = 0; round < 2; ++round) {
            for (uint32_t i = 0; i < nLength; ++i)
                ASSERT_TRUE(list.AddTail(&values[(i + static_cast<uint32_t>(round)) % values.size()]));
            ASSERT_EQ(list.GetCount(), nLength);
            uint32_t nSeen = 0;
            for (void* p = list.GetFirst(); p != nullptr; p = list.GetNext(), ++nSeen)
                ASSERT_EQ(p, &values[(nSeen + static_cast<uint32_t>(round)) % values.size()])
                    << nLength << " at " << nSeen;
            EXPECT_EQ(nSeen, nLength);
            // Backwards from the tail, by index.
            for (uint32_t i = nLength; i-- > 0;)
                ASSERT_EQ(list.GetByIndex(i), &values[(i + static_cast<uint32_t>(round)) % values.size()]) << nLength;
            list.RemoveAll(false);
            EXPECT_EQ(list.GetCount(), 0u);
            EXPECT_EQ(list.GetFirst(), nullptr);
        }
    }
}

TEST(CxListTest, RemoveAllWithFreeingReleasesMallocElements)
{
    // The leak checker fails this program if an element is not released.
    CxList list;
    for (int i = 0; i < 3; ++i)
        ASSERT_TRUE(list.AddTail(std::malloc(16)));
    list.RemoveAll(true);
    EXPECT_EQ(list.GetCount(), 0u);
    EXPECT_EQ(list.GetFirst(), nullptr);
}

}  // namespace
