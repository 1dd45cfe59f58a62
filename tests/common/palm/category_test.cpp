// Category lists: slots, id proposal, short names and lookups.
#include <gtest/gtest.h>

#include <cstdint>
#include <cstring>
#include <string>
#include <vector>

#include "common/palm/PmCategory.h"
#include "common/palm/PmCategoryMgr.h"

namespace {

struct Placed {
    int32_t nIndex;
    int32_t nId;
    const char* pszName;
};

// Adds categories with given index and id; every add must succeed.
void Fill(PmCategoryMgr& mgr, const std::vector<Placed>& placed)
{
    for (const Placed& p : placed) {
        PmCategory category;
        category.SetIndex(p.nIndex);
        category.SetId(p.nId);
        category.SetName(p.pszName);
        ASSERT_TRUE(mgr.Add(&category)) << p.pszName;
    }
}

TEST(PmCategoryMgr, NewCategoryTakesFirstFreeSlotAndNextIdAndIsDirty)
{
    PmCategoryMgr mgr;
    Fill(mgr, {{0, 0, "Unfiled"}});
    mgr.SetModified(false);

    PmCategory category;
    category.SetName("Business");
    ASSERT_TRUE(mgr.Add(&category));
    EXPECT_EQ(category.GetIndex(), 1);
    EXPECT_EQ(category.GetId(), 1);
    EXPECT_EQ(mgr.Count(), 2);
    EXPECT_TRUE(mgr.IsModified());

    const PmCategory* pStored = mgr.GetAt(1);
    ASSERT_NE(pStored, nullptr);
    EXPECT_NE(pStored, &category) << "the list stores a copy";
    EXPECT_TRUE(pStored->IsDirty());
    EXPECT_STREQ(pStored->GetName(), "Business");
}

TEST(PmCategoryMgr, IdProposalFollowsTheUnbrokenRunFromSlotZero)
{
    struct Case {
        std::vector<Placed> placed;
        int32_t nProposal;
        bool bAddSucceeds;
    };
    const Case cases[] = {
        {{{0, 0, "Unfiled"}}, 1, true},
        {{{0, 0, "Unfiled"}, {1, 7, "A"}, {2, 3, "B"}}, 8, true},
        // Slot 2 is a gap: the category in slot 3 is not looked at, and the
        // proposal collides with its id.
        {{{0, 0, "Unfiled"}, {1, 2, "A"}, {3, 3, "B"}}, 3, false},
        // A file may carry the largest id there is: nothing comes after it.
        {{{0, 0, "Unfiled"}, {1, INT32_MAX, "A"}}, -1, false},
    };
    for (const Case& c : cases) {
        PmCategoryMgr mgr;
        Fill(mgr, c.placed);
        EXPECT_EQ(mgr.ProposeId(), c.nProposal);
        PmCategory category;
        category.SetName("New");
        EXPECT_EQ(mgr.Add(&category), c.bAddSucceeds);
        EXPECT_EQ(mgr.Count(), static_cast<int>(c.placed.size()) + (c.bAddSucceeds ? 1 : 0));
    }
}

TEST(PmCategoryMgr, FullListRefusesAndProposesNothing)
{
    PmCategoryMgr mgr;
    for (int i = 0; i < PmCategoryMgr::kMaxCategories; ++i) {
        PmCategory category;
        category.SetName(("C" + std::to_string(i)).c_str());
        if (i == 0) {
            category.SetIndex(0);
            category.SetId(0);
        }
        ASSERT_TRUE(mgr.Add(&category));
    }
    EXPECT_EQ(mgr.ProposeId(), -1);
    PmCategory extra;
    extra.SetName("Extra");
    EXPECT_FALSE(mgr.Add(&extra));
    EXPECT_EQ(mgr.Count(), 16);
}

TEST(PmCategoryMgr, RejectedAddsLeaveTheListAsItWas)
{
    PmCategoryMgr mgr;
    Fill(mgr, {{0, 0, "Unfiled"}, {1, 5, "Five"}});
    mgr.SetModified(false);

    PmCategory duplicateId;
    duplicateId.SetId(5);
    duplicateId.SetName("Other");
    EXPECT_FALSE(mgr.Add(&duplicateId));

    PmCategory outOfRange;
    outOfRange.SetIndex(16);
    outOfRange.SetId(9);
    EXPECT_FALSE(mgr.Add(&outOfRange));
    EXPECT_FALSE(mgr.Add(nullptr));

    EXPECT_EQ(mgr.Count(), 2);
    EXPECT_FALSE(mgr.IsModified());
    EXPECT_EQ(mgr.FindByName("Other"), nullptr);
}

TEST(PmCategoryMgr, SecondCategoryForATakenSlotMovesToAFreeOne)
{
    PmCategoryMgr mgr;
    Fill(mgr, {{0, 0, "Unfiled"}, {1, 4, "First"}, {1, 6, "Second"}});
    EXPECT_EQ(mgr.Count(), 3);
    ASSERT_NE(mgr.FindByName("First"), nullptr);
    EXPECT_EQ(mgr.FindByName("First")->GetIndex(), 1);
    const PmCategory* pSecond = mgr.FindByName("Second");
    ASSERT_NE(pSecond, nullptr);
    EXPECT_EQ(pSecond->GetIndex(), 2);
    EXPECT_EQ(pSecond->GetId(), 6);
    EXPECT_EQ(mgr.GetAt(2), pSecond);
}

TEST(PmCategoryMgr, ShortNameReplacesReservedCharacters)
{
    struct Case {
        const char* pszName;
        const char* pszShort;
    };
    const Case cases[] = {
        {"A/B: C?", "A_B_ C_"},
        {"\"*+,./:;<=>", "___________"},
        {"?[\\]^|-_ a", "______-_ a"},
        {"Caf\xE9 \x80!", "Caf\xE9 \x80!"},  // high-bit bytes and '!' stay
    };
    for (const Case& c : cases) {
        PmCategoryMgr mgr;
        Fill(mgr, {{0, 0, "Unfiled"}});
        PmCategory category;
        category.SetName(c.pszName);
        category.SetShortName("kept when the name is empty");
        ASSERT_TRUE(mgr.Add(&category));
        EXPECT_STREQ(category.GetShortName(), c.pszShort) << c.pszName;
    }
    PmCategoryMgr mgr;
    Fill(mgr, {{0, 0, "Unfiled"}});
    PmCategory unnamed;
    unnamed.SetShortName("Short");
    ASSERT_TRUE(mgr.Add(&unnamed));
    EXPECT_STREQ(unnamed.GetShortName(), "Short");
}

TEST(PmCategoryMgr, LookupsAndIteration)
{
    PmCategoryMgr mgr;
    Fill(mgr, {{0, 0, "Unfiled"}, {3, 9, "Business"}, {7, 2, "Personal"}});

    EXPECT_EQ(mgr.FindByName("unfiled"), mgr.GetAt(0));
    EXPECT_EQ(mgr.FindByName("BUSINESS"), mgr.GetAt(3));
    EXPECT_EQ(mgr.FindByName(""), nullptr);
    EXPECT_EQ(mgr.FindByName(nullptr), nullptr);
    EXPECT_EQ(mgr.FindById(2), mgr.GetAt(7));
    EXPECT_EQ(mgr.FindById(5), nullptr);
    EXPECT_EQ(mgr.GetAt(-1), nullptr);
    EXPECT_EQ(mgr.GetAt(16), nullptr);
    EXPECT_EQ(mgr.GetAt(1), nullptr);

    std::vector<int32_t> seen;
    for (PmCategory* p = mgr.First(); p != nullptr; p = mgr.Next())
        seen.push_back(p->GetId());
    EXPECT_EQ(seen, (std::vector<int32_t>{0, 9, 2}));
    EXPECT_EQ(mgr.Next(), nullptr);
}

TEST(PmCategory, TextsAreCutAndCopiedWithinTheirBuffers)
{
    PmCategory category;
    category.SetName("ABCDEFGHIJKLMNOPQRST");
    EXPECT_STREQ(category.GetName(), "ABCDEFGHIJKLMNO");
    category.SetShortName(std::string(300, 's').c_str());
    EXPECT_EQ(std::strlen(category.GetShortName()), 255u);
    category.SetName(nullptr);
    EXPECT_STREQ(category.GetName(), "");

    category.SetName("Work");
    category.SetShortName("Work");
    char buf[8];
    int nSize = 4;  // exactly the name: copied, not terminated
    std::memset(buf, 'x', sizeof(buf));
    EXPECT_TRUE(category.CopyName(buf, nSize));
    EXPECT_EQ(nSize, 4);
    EXPECT_EQ(std::string(buf, 4), "Work");
    nSize = 3;
    EXPECT_FALSE(category.CopyName(buf, nSize));

    nSize = 4;  // no room for the terminator
    EXPECT_FALSE(category.CopyShortName(buf, nSize));
    nSize = 5;
    EXPECT_TRUE(category.CopyShortName(buf, nSize));
    EXPECT_STREQ(buf, "Work");

    PmCategory empty;
    nSize = 8;
    EXPECT_FALSE(empty.CopyName(buf, nSize));

    PmCategory copy(category);
    EXPECT_TRUE(copy.Equals(category));
    copy.SetName("work");
    EXPECT_FALSE(copy.Equals(category)) << "names compare with letter case";

    category.SetFlags(0x11);
    EXPECT_TRUE(category.TestLowFlag());
    category.SetDirty(false);
    EXPECT_EQ(category.GetFlags(), 0x01);
}

}  // namespace
