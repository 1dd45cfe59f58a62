#include <gtest/gtest.h>

#include <stdlib.h>

#include <filesystem>
#include <functional>
#include <string>

#include "common/misc/AppFolder.h"
#include "common/misc/CxList.h"
#include "common/palm/PalmUser.h"
#include "common/palm/PmLibraries.h"
#include "platform/profile/PrivateProfile.h"
#include "tests/support/TestFiles.h"
#include "tools/pdgen/PdGen.h"

namespace fs = std::filesystem;

namespace {

// A Palm Desktop folder named by the settings file, with an empty Wine prefix.
class DesktopLibraries : public ::testing::Test {
protected:
    void SetUp() override
    {
        setenv("WINEPREFIX", m_tmp.File("wine").c_str(), 1);
        SetIniFilePathOverride(m_ini.c_str());
    }
    void TearDown() override
    {
        UnloadDesktopLibraries(PD_LIB_ALL);
        SetMissingDesktopLibraries(0);
        SetIniFilePathOverride(nullptr);
        unsetenv("WINEPREFIX");
    }

    void MakePalm(unsigned libraryMask, int userCount)
    {
        pdgen::Folder folder;
        folder.libraryMask = libraryMask;
        for (int i = 0; i < userCount; ++i)
            folder.users.push_back({"User" + std::to_string(i), "address", "address.dat", {}});
        ASSERT_TRUE(pdgen::MakePalmDesktopFolder(m_palm, folder));
        ASSERT_TRUE(WritePrivateProfileStringA("Path", "PDPath", m_palm.c_str(), m_ini.c_str()));
    }

    static void ExpectAllLoaded(bool condmgr, bool userdata, bool hsapi, bool instaide)
    {
        EXPECT_EQ(IsDesktopLibraryLoaded(PD_LIB_CONDMGR), condmgr);
        EXPECT_EQ(IsDesktopLibraryLoaded(PD_LIB_USERDATA), userdata);
        EXPECT_EQ(IsDesktopLibraryLoaded(PD_LIB_HSAPI), hsapi);
        EXPECT_EQ(IsDesktopLibraryLoaded(PD_LIB_INSTAIDE), instaide);
    }

    // Every guarded call must answer PD_NOT_BOUND and touch nothing.
    static void ExpectNothingBound()
    {
        DWORD id = 77;
        char text[16] = "keep";
        int16_t size = sizeof(text);
        const std::pair<const char*, std::function<LONG()>> calls[] = {
            {"UmGetUserCount", [] { return LONG{UmGetUserCount()}; }},
            {"UmGetUserID", [&] { return UmGetUserID(0, &id); }},
            {"UmGetUserName", [&] { return UmGetUserName(1, text, &size); }},
            {"UmGetUserDirectory", [&] { return UmGetUserDirectory(1, text, &size); }},
            {"UmGetRootDirectory", [&] { return UmGetRootDirectory(text, &size); }},
        };
        for (const auto& [name, call] : calls)
            EXPECT_EQ(call(), PD_NOT_BOUND) << name;
        EXPECT_EQ(id, 77u);
        EXPECT_STREQ(text, "keep");
        EXPECT_EQ(size, 16);
    }

    vwtest::TempDir m_tmp{"libraries"};
    const std::string m_palm = m_tmp.File("Palm");
    const std::string m_ini = m_tmp.File("corvane.ini");
};

}  // namespace

TEST_F(DesktopLibraries, NoDesktopFolderLoadsNothing)
{
    EXPECT_FALSE(LoadDesktopLibraries(PD_LIB_ALL));
    ExpectAllLoaded(false, false, false, false);
    ExpectNothingBound();
    CxList users;
    EXPECT_EQ(LoadPalmUsers(&users), 0);
    EXPECT_EQ(users.GetCount(), 0u);
}

TEST_F(DesktopLibraries, FolderWithOnlyUserFoldersListsItsUsers)
{
    // As copied from "Documents\Palm OS Desktop": user folders, no library file.
    MakePalm(0, 2);
    ASSERT_FALSE(fs::exists(m_palm + "/UserData.dll"));
    EXPECT_TRUE(LoadDesktopLibraries(PD_LIB_ALL));
    ExpectAllLoaded(true, true, true, true);
    EXPECT_EQ(UmGetUserCount(), 2);
    CxList users;
    EXPECT_EQ(LoadPalmUsers(&users), 2);
    EXPECT_STREQ(static_cast<PalmUser*>(users.GetByIndex(0))->szName, "User0");
    ClearPalmUsers(&users);
}

TEST_F(DesktopLibraries, LoadingStopsAtTheFirstMissingLibrary)
{
    MakePalm(PD_LIB_ALL, 2);
    SetMissingDesktopLibraries(PD_LIB_USERDATA);
    EXPECT_FALSE(LoadDesktopLibraries(PD_LIB_ALL));
    ExpectAllLoaded(true, false, false, false);
    ExpectNothingBound();

    SetMissingDesktopLibraries(PD_LIB_CONDMGR);
    EXPECT_FALSE(LoadDesktopLibraries(PD_LIB_ALL));
    ExpectAllLoaded(false, false, false, false);  // the old copy was freed first

    SetMissingDesktopLibraries(0);
    EXPECT_TRUE(LoadDesktopLibraries(PD_LIB_ALL));
    EXPECT_EQ(UmGetUserCount(), 2);
}

TEST_F(DesktopLibraries, MaskChoosesLibrariesAndFilesMatchInAnyCase)
{
    MakePalm(PD_LIB_USERDATA, 2);
    fs::rename(m_palm + "/UserData.dll", m_palm + "/USERDATA.DLL");
    EXPECT_TRUE(LoadDesktopLibraries(PD_LIB_USERDATA));
    ExpectAllLoaded(false, true, false, false);
    EXPECT_EQ(UmGetUserCount(), 2);

    UnloadDesktopLibraries(PD_LIB_ALL & ~PD_LIB_USERDATA);
    EXPECT_EQ(UmGetUserCount(), 2);
    UnloadDesktopLibraries(PD_LIB_USERDATA);
    ExpectAllLoaded(false, false, false, false);
    ExpectNothingBound();
}

TEST_F(DesktopLibraries, ReloadingSeesTheUsersOnDiskNow)
{
    MakePalm(PD_LIB_ALL, 1);
    ASSERT_TRUE(LoadDesktopLibraries(PD_LIB_ALL));
    EXPECT_EQ(UmGetUserCount(), 1);
    fs::create_directories(m_palm + "/Later/address");
    fs::copy_file(m_palm + "/User0/address/address.dat", m_palm + "/Later/address/address.dat");
    EXPECT_EQ(UmGetUserCount(), 1);  // the loaded library keeps its list
    ASSERT_TRUE(LoadDesktopLibraries(PD_LIB_ALL));
    EXPECT_EQ(UmGetUserCount(), 2);
}
