#include <gtest/gtest.h>

#include <cstring>
#include <filesystem>
#include <string>
#include <vector>

#include "platform/userdata/DesktopModule.h"
#include "platform/userdata/HotSyncUsers.h"
#include "platform/userdata/UserData.h"
#include "tests/support/TestFiles.h"
#include "tools/pdgen/PdGen.h"

namespace fs = std::filesystem;

namespace {

class UserFolders : public ::testing::Test {
protected:
    // Users as a Windows copy brings them, plus folders that are no users.
    void MakeMixedFolder(const std::string& root)
    {
        pdgen::Folder folder;
        folder.users = {
            {"alice", "address", "address.dat", {}},
            {"Bob", "Address", "ADDRESS.DAT", {}},
            {"CAROL", "ADDRESS", "Address.mdb", {}},
            {"Dave", "address", "contacts.dat", {}},  // no address file
        };
        ASSERT_TRUE(pdgen::MakePalmDesktopFolder(root, folder));
        fs::create_directories(root + "Temp");
        fs::create_directories(root + "Eve/address/address.dat");  // a folder, not a file
    }

    vwtest::TempDir m_tmp{"userdata"};
    const std::string m_root = m_tmp.Path() + "/";
};

std::vector<std::string> Folders(const std::vector<HotSyncUser>& users)
{
    std::vector<std::string> folders;
    for (const HotSyncUser& user : users)
        folders.push_back(user.folder);
    return folders;
}

}  // namespace

TEST_F(UserFolders, UsersAreFoldersWithAnAddressFileInByteOrder)
{
    MakeMixedFolder(m_root);
    const std::vector<HotSyncUser> users = ScanHotSyncUsers(m_root);
    EXPECT_EQ(Folders(users), (std::vector<std::string>{"Bob", "CAROL", "alice"}));
    for (const HotSyncUser& user : users) {
        EXPECT_NE(user.dwUserID, 0u);
        EXPECT_EQ(user.dwUserID, HotSyncUserIdOf(user.folder));
        EXPECT_EQ(user.name, user.folder);
    }

    // A second copy of the same data, in other letter case, keeps the ids.
    const std::string copy = m_root + "copy/";
    pdgen::Folder folder;
    folder.users = {{"ALICE", "address", "address.dat", {}}, {"bob", "address", "address.dat", {}}};
    ASSERT_TRUE(pdgen::MakePalmDesktopFolder(copy, folder));
    const std::vector<HotSyncUser> copied = ScanHotSyncUsers(copy);
    ASSERT_EQ(copied.size(), 2u);
    EXPECT_EQ(copied[0].dwUserID, users[2].dwUserID);  // ALICE / alice
    EXPECT_EQ(copied[1].dwUserID, users[0].dwUserID);  // bob / Bob

    EXPECT_TRUE(ScanHotSyncUsers(m_root + "missing").empty());
    EXPECT_TRUE(ScanHotSyncUsers("").empty());
}

TEST_F(UserFolders, CollidingIdsStayUnique)
{
    // These two names give the same 32-bit hash.
    ASSERT_EQ(HotSyncUserIdOf("user449599"), HotSyncUserIdOf("user612382"));
    pdgen::Folder folder;
    folder.users = {{"user612382", "address", "address.dat", {}}, {"user449599", "address", "address.dat", {}}};
    ASSERT_TRUE(pdgen::MakePalmDesktopFolder(m_root, folder));
    const std::vector<HotSyncUser> users = ScanHotSyncUsers(m_root);
    ASSERT_EQ(users.size(), 2u);
    EXPECT_EQ(users[0].folder, "user449599");
    EXPECT_EQ(users[0].dwUserID, HotSyncUserIdOf("user449599"));
    EXPECT_EQ(users[1].dwUserID, users[0].dwUserID + 1);
}

TEST_F(UserFolders, NamesComeBackInTheAnsiCodePage)
{
    pdgen::Folder folder;
    folder.users = {{"Jos\xc3\xa9", "address", "address.dat", {}},  // UTF-8 on disk
                    {"Ren\xe9", "address", "address.dat", {}}};     // not UTF-8: kept
    ASSERT_TRUE(pdgen::MakePalmDesktopFolder(m_root, folder));
    const std::vector<HotSyncUser> users = ScanHotSyncUsers(m_root);
    ASSERT_EQ(users.size(), 2u);
    EXPECT_EQ(users[0].folder, "Jos\xc3\xa9");
    EXPECT_EQ(users[0].name, "Jos\xe9");
    EXPECT_EQ(users[1].name, "Ren\xe9");
}

TEST_F(UserFolders, TheLoadedUserLibraryAnswersTheFiveCalls)
{
    MakeMixedFolder(m_root);
    EXPECT_EQ(LoadDesktopModule((m_root + "gone/UserData.dll").c_str()), nullptr);  // no folder
    EXPECT_EQ(LoadDesktopModule((m_root + "Temp").c_str()), nullptr);               // a folder
    HMODULE hNoFile = LoadDesktopModule((m_root + "nothing.dll").c_str());          // no file needed
    ASSERT_NE(hNoFile, nullptr);
    EXPECT_EQ(GetDesktopProcAddress(hNoFile, "UmGetUserCount"), nullptr);
    EXPECT_TRUE(FreeDesktopModule(hNoFile));
    EXPECT_EQ(LoadDesktopModule(nullptr), nullptr);

    HMODULE hCondMgr = LoadDesktopModule((m_root + "CONDMGR.dll").c_str());
    ASSERT_NE(hCondMgr, nullptr);
    EXPECT_EQ(GetDesktopProcAddress(hCondMgr, "UmGetUserCount"), nullptr);
    HMODULE hUserData = LoadDesktopModule((m_root + "userdata.DLL").c_str());
    ASSERT_NE(hUserData, nullptr);
    EXPECT_EQ(GetDesktopProcAddress(hUserData, "umgetusercount"), nullptr);
    EXPECT_EQ(GetDesktopProcAddress(hUserData, "UmGetUserCount"),
              reinterpret_cast<DesktopProc>(&userdata::UmGetUserCount));
    for (const char* name : {"UmGetUserID", "UmGetUserName", "UmGetUserDirectory", "UmGetRootDirectory"})
        EXPECT_NE(GetDesktopProcAddress(hUserData, name), nullptr) << name;

    ASSERT_EQ(userdata::UmGetUserCount(), 3);
    DWORD ids[3] = {};
    for (int16_t i = 0; i < 3; ++i)
        EXPECT_EQ(userdata::UmGetUserID(i, &ids[i]), 0);
    DWORD untouched = 7;
    EXPECT_EQ(userdata::UmGetUserID(3, &untouched), UM_ERR_NO_USER);
    EXPECT_EQ(userdata::UmGetUserID(-1, &untouched), UM_ERR_NO_USER);
    EXPECT_EQ(untouched, 7u);

    char text[64];
    int16_t size = sizeof(text);
    EXPECT_EQ(userdata::UmGetUserName(ids[1], text, &size), 0);
    EXPECT_STREQ(text, "CAROL");
    EXPECT_EQ(size, 6);
    size = 3;  // cut to the buffer, whole size reported
    EXPECT_EQ(userdata::UmGetUserDirectory(ids[2], text, &size), 0);
    EXPECT_STREQ(text, "al");
    EXPECT_EQ(size, 6);
    size = sizeof(text);
    EXPECT_EQ(userdata::UmGetUserDirectory(12345, text, &size), UM_ERR_NO_USER);
    EXPECT_STREQ(text, "");
    size = 0;
    EXPECT_EQ(userdata::UmGetUserName(ids[0], text, &size), UM_ERR_ARGUMENT);

    char root[260];
    size = sizeof(root);
    EXPECT_EQ(userdata::UmGetRootDirectory(root, &size), 1);
    EXPECT_EQ(std::string(root), m_root);
    size = 4;  // a cut root would be another folder: refused
    EXPECT_EQ(userdata::UmGetRootDirectory(root, &size), 0);
    EXPECT_EQ(size, static_cast<int16_t>(m_root.size() + 1));

    EXPECT_EQ(FreeDesktopModule(hUserData), TRUE);
    EXPECT_EQ(userdata::UmGetUserCount(), 0);
    size = sizeof(root);
    EXPECT_EQ(userdata::UmGetRootDirectory(root, &size), 0);
    EXPECT_EQ(FreeDesktopModule(hCondMgr), TRUE);
    EXPECT_EQ(FreeDesktopModule(nullptr), FALSE);
}
