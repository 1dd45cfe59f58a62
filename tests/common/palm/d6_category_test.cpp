// Categories and information of a Desktop 6 database.
#include <gtest/gtest.h>
#include <sqlite3.h>

#include <map>
#include <string>
#include <vector>

#include "common/misc/CxDebugUtil.h"
#include "common/palm/PmAddrEx2Util.h"
#include "common/palm/PmCategoryEx2.h"
#include "common/palm/PmCategoryEx2Mgr.h"
#include "common/palm/PmInfoEx2.h"
#include "common/palm/PmMDBAccessor.h"
#include "common/palm/TdmMain.h"
#include "tools/d6gen/D6Gen.h"
#include "tools/d6gen/D6TempFolder.h"

namespace {

using Rows = std::vector<std::map<std::string, std::string>>;

class D6CategoryTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        ASSERT_TRUE(m_folder.IsValid());
        g_DebugUtil.SetFolder((m_folder.Path() + "/").c_str());
    }
    void TearDown() override
    {
        g_DebugUtil.SetFolder("./");
        TdmMain::Instance()->connAddr.Close();
    }
    // A new database file from a description; its path.
    std::string MakeDb(const std::string& description, const char* name = "address.mdb")
    {
        std::string error;
        const std::string path = m_folder.File(name);
        EXPECT_TRUE(D6CreateDatabase(path, description, &error)) << error;
        return path;
    }
    Rows Query(const std::string& path, const std::string& sql)
    {
        Rows rows;
        std::string error;
        EXPECT_TRUE(D6Query(path, sql, &rows, &error)) << error;
        return rows;
    }
    D6TempFolder m_folder;
};

TEST_F(D6CategoryTest, NewCategoryTakesCountPlusOneUnlessThatIdIsTaken)
{
    struct Case {
        const char* description;
        int32_t expectedId;
    } cases[] = {
        {"category 2|A\ncategory 3|B\ncategory 5|C\ncategory 9|D\ncategory 10|E\n", 6},
        {"category 1|A\ncategory 2|B\ncategory 3|C\ncategory 4|D\ncategory 6|E\n", 7},
        {"", 1},
    };
    int n = 0;
    for (const Case& c : cases) {
        const std::string path = MakeDb(c.description, ("db" + std::to_string(n++) + ".mdb").c_str());
        PmDBEx2Util db;
        ASSERT_TRUE(db.Open(kAccessorAddress, path.c_str()));
        std::vector<std::string> statements;
        TdmMain::Instance()->connAddr.SetTrace(
            SQLITE_TRACE_STMT,
            [](unsigned, void* ctx, void*, void* x) {
                static_cast<std::vector<std::string>*>(ctx)->push_back(static_cast<const char*>(x));
                return 0;
            },
            &statements);
        // The trace must end before the vector does, whichever way the case ends.
        struct TraceOff {
            ~TraceOff() { TdmMain::Instance()->connAddr.SetTrace(0, nullptr, nullptr); }
        } traceOff;

        PmCategoryEx2 family;
        family.SetName("Family");
        family.m_nStatus = 9;
        ASSERT_TRUE(db.GetCategoryMgr()->AddCategory(&family)) << c.description;
        EXPECT_EQ(family.m_nId, c.expectedId) << c.description;
        const std::string insert = "INSERT INTO Category ([ID], [Name], [Status], [Color]) VALUES (" +
                                   std::to_string(c.expectedId) + ", 'Family', 1, 0)";
        EXPECT_EQ(statements, std::vector<std::string>{insert});
        const Rows rows = Query(path, "SELECT ID, Status, Color FROM Category WHERE Name = 'Family'");
        ASSERT_EQ(rows.size(), 1u) << c.description;
        EXPECT_EQ(rows[0].at("ID"), std::to_string(c.expectedId));
        EXPECT_EQ(rows[0].at("Status"), "1");
        EXPECT_EQ(rows[0].at("Color"), "0");
        const PmCategoryEx2* pStored = db.GetCategoryMgr()->FindByName("Family");
        ASSERT_NE(pStored, nullptr);
        EXPECT_EQ(pStored->m_nId, c.expectedId);
    }
}

TEST_F(D6CategoryTest, CategoriesLoadInTableOrderAndAreFoundExactly)
{
    const std::string path = MakeDb("category 4|Business|0|3\ncategory 2|O'Hara's\ncategory 7|Caf\xC3\xA9\n");
    PmDBEx2Util db;
    EXPECT_FALSE(db.Open(kAccessorAddress, m_folder.File("none.mdb").c_str()));
    ASSERT_TRUE(db.Open(kAccessorAddress, path.c_str()));
    PmCategoryEx2Mgr* pMgr = db.GetCategoryMgr();
    ASSERT_EQ(pMgr->Count(), 3);
    EXPECT_STREQ(pMgr->GetAt(0)->m_szName, "Business");
    EXPECT_EQ(pMgr->GetAt(0)->m_nColor, 3);
    EXPECT_STREQ(pMgr->GetAt(2)->m_szName, "Caf\xE9") << "text arrives in the ANSI code page";
    EXPECT_EQ(pMgr->FindByName("O'Hara's"), pMgr->GetAt(1));
    EXPECT_EQ(pMgr->FindByName("business"), nullptr);
    EXPECT_EQ(pMgr->FindByName(""), nullptr);
    EXPECT_EQ(pMgr->FindById(7), pMgr->GetAt(2));
    EXPECT_EQ(pMgr->FindById(1), nullptr);

    PmCategoryEx2 category;
    category.SetName(std::string(300, 'x').c_str());
    EXPECT_EQ(std::string(category.m_szName), std::string(254, 'x'));
}

TEST_F(D6CategoryTest, InformationKeysSetTheirFields)
{
    const std::string path =
        MakeDb("info FreeRecID=1200\ninfo Version=6\ninfo TableString=Main;Category\ninfo freerecid=5\ninfo Other=9\n");
    PmDBEx2Util db;
    ASSERT_TRUE(db.Open(kAccessorAddress, path.c_str()));
    ASSERT_TRUE(db.LoadInformation());
    const PmInfoEx2* pInfo = db.GetInfo();
    EXPECT_EQ(pInfo->FreeRecID, 1200);
    EXPECT_EQ(pInfo->Version, 6);
    EXPECT_EQ(pInfo->CodePage, 1252);
    EXPECT_EQ(pInfo->License, 0);
    EXPECT_STREQ(pInfo->TableString, "Main;Category");
}

TEST_F(D6CategoryTest, CategoryIdsForNames)
{
    const std::string path = MakeDb("category 1|Business\ncategory 2|Personal\ncategory 3|QuickList\n");
    PmAddrEx2Util util;
    ASSERT_TRUE(util.LoadFile(path.c_str()));
    const std::string longName(300, 'L');
    struct Case {
        const char* name;
        bool create;
        bool ok;
        int32_t id;
    } cases[] = {
        {"", true, true, 0},
        {"Business", false, true, 1},
        {"business", false, false, 0},
        {"Family", true, true, 4},
        {"Family", true, true, 4},
        {longName.c_str(), true, true, 5},
        {longName.c_str(), true, true, 5},
    };
    for (const Case& c : cases) {
        int32_t id = 99;
        EXPECT_EQ(util.GetCategoryId(c.name, &id, c.create), c.ok) << c.name;
        EXPECT_EQ(id, c.id) << c.name;
    }
    const Rows rows = Query(path, "SELECT ID, length(Name) AS Len FROM Category ORDER BY ID");
    ASSERT_EQ(rows.size(), 5u) << "each new name is inserted once";
    EXPECT_EQ(rows[4].at("Len"), "254");
}

}  // namespace
