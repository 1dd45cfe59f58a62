// The cut-text rule that matching and merging share.
#include "common/misc/CutText.h"

#include <gtest/gtest.h>

#include <string>

namespace {

TEST(CutTextTest, ACutCopyIsTheStartOfALongerTextAtACutLength)
{
    struct Case {
        const char* pszWhat;
        std::string cut;
        std::string whole;
        CutCompare eCompare;
        bool bCutCopy;
    };
    const std::string company = "Northern Lights Imports & Export Trading";  // 40
    const std::string note = std::string(2047, 'a') + "b";
    const Case cases[] = {
        {"cut at 31 (a 32-byte field)", company.substr(0, 31), company, CutCompare::Exact, true},
        {"cut at 15, the shortest", company.substr(0, 15), company, CutCompare::Exact, true},
        {"cut at 2047 (a note)", note.substr(0, 2047), note, CutCompare::Exact, true},
        {"30 is no field's width minus one", company.substr(0, 30), company, CutCompare::Exact, false},
        {"32 is no field's width minus one", company.substr(0, 32), company, CutCompare::Exact, false},
        {"the same length is no cut", company.substr(0, 31), company.substr(0, 31), CutCompare::Exact, false},
        {"a longer text is no cut of a shorter one", company, company.substr(0, 31), CutCompare::Exact, false},
        {"not the start of the whole text", "X" + company.substr(1, 30), company, CutCompare::Exact, false},
        {"letter case differs: exact says no", "NORTHERN LIGHTS", company, CutCompare::Exact, false},
        {"letter case differs: folded says yes", "NORTHERN LIGHTS", company, CutCompare::FoldAZ, true},
        {"only a-z fold", "\xC9mile Zola & Fi", "\xE9mile Zola & Fils", CutCompare::FoldAZ, false},
        {"folded, other bytes equal", "\xE9MILE ZOLA & FI", "\xE9mile Zola & Fils", CutCompare::FoldAZ, true},
    };
    for (const Case& c : cases)
        EXPECT_EQ(IsCutCopy(c.cut.data(), c.cut.size(), c.whole.data(), c.whole.size(), c.eCompare), c.bCutCopy)
            << c.pszWhat;
}

// Fields need not hold a terminator within their width: only the cut
// length is read of either text.
TEST(CutTextTest, ReadsNoFurtherThanTheCutLength)
{
    char szCut[15];
    char szWhole[15];
    for (size_t i = 0; i < sizeof szCut; ++i) {
        szCut[i] = static_cast<char>('a' + i);
        szWhole[i] = static_cast<char>('A' + i);
    }
    EXPECT_TRUE(IsCutCopy(szCut, sizeof szCut, szWhole, 20, CutCompare::FoldAZ));
    EXPECT_FALSE(IsCutCopy(szCut, sizeof szCut, szWhole, 20, CutCompare::Exact));
}

}  // namespace
