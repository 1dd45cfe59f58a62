#include <gtest/gtest.h>

#include <stdlib.h>

#include <cstring>
#include <filesystem>
#include <string>
#include <vector>

#include "common/misc/AppFolder.h"
#include "common/misc/CxList.h"
#include "common/palm/PalmUser.h"
#include "common/palm/PmDesktop.h"
#include "common/palm/PmLibraries.h"
#include "platform/fsutil/FsUtil.h"
#include "platform/profile/PrivateProfile.h"
#include "tests/support/TestFiles.h"
#include "tools/pdgen/PdGen.h"

namespace fs = std::filesystem;

namespace {

constexpr char kUserKey[] = "Software\\U.S. Robotics\\Pilot Desktop\\Core";
constexpr char kMachineKey[] = "Software\\PalmSource\\Desktop\\Core";

// A scratch folder with its own settings file and Wine prefix.
class PalmInstall : public ::testing::Test {
protected:
    void SetUp() override
    {
        fs::create_directories(m_prefix);
        setenv("WINEPREFIX", m_prefix.c_str(), 1);
        SetIniFilePathOverride(m_ini.c_str());
    }
    void TearDown() override
    {
        UnloadDesktopLibraries(PD_LIB_ALL);
        SetIniFilePathOverride(nullptr);
        unsetenv("WINEPREFIX");
    }

    void SetOverride(const std::string& folder)
    {
        ASSERT_TRUE(WritePrivateProfileStringA("Path", "PDPath", folder.c_str(), m_ini.c_str()));
    }

    vwtest::TempDir m_tmp{"install"};
    const std::string m_dir = m_tmp.Path();
    const std::string m_prefix = m_dir + "/wine";
    const std::string m_ini = m_dir + "/corvane.ini";
};

std::string Replace(std::string text, const std::string& from, const std::string& to)
{
    const size_t at = text.find(from);
    if (at != std::string::npos)
        text.replace(at, from.size(), to);
    return text;
}

}  // namespace

TEST_F(PalmInstall, DesktopFolderComesFromSettingsThenUserThenMachineKey)
{
    fs::create_directories(m_dir + "/d/apps/PALM");
    ASSERT_TRUE(pdgen::LinkDosDevice(m_prefix, 'd', m_dir + "/d"));
    struct Case {
        const char* what;
        const char* override;
        std::vector<pdgen::RegValue> user;
        std::vector<pdgen::RegValue> machine;
        LONG result;
        const char* folder;  // $P stands for the Wine prefix
    };
    const Case cases[] = {
        {"settings win, even for a missing folder",
         "/no/such/Palm",
         {{kUserKey, "DesktopPath", "C:\\User\\Palm"}},
         {},
         PD_FOLDER_OK,
         "/no/such/Palm"},
        {"settings from Windows reach the Wine drive",
         "c:\\Palm\\",
         {{kUserKey, "DesktopPath", "C:\\User\\Palm"}},
         {},
         PD_FOLDER_OK,
         "$P/dosdevices/c:/Palm/"},
        {"user key before machine key",
         "",
         {{kUserKey, "DesktopPath", "C:\\User\\Palm"}},
         {{kMachineKey, "DesktopPath", "C:\\Machine\\Palm"}},
         PD_FOLDER_OK,
         "$P/dosdevices/c:/User/Palm"},
        {"machine key alone",
         "",
         {},
         {{kMachineKey, "DesktopPath", "C:\\Machine\\Palm\\"}},
         PD_FOLDER_OK,
         "$P/dosdevices/c:/Machine/Palm/"},
        {"folder of HotSyncPath, letter case resolved",
         "",
         {{kUserKey, "HotSyncPath", "D:\\Apps\\Palm\\HotSync.exe"}},
         {},
         PD_FOLDER_OK,
         "$P/dosdevices/d:/apps/PALM/"},
        {"DesktopPath before HotSyncPath",
         "",
         {{kUserKey, "HotSyncPath", "D:\\Apps\\Palm\\HotSync.exe"}, {kUserKey, "DesktopPath", "C:\\Palm"}},
         {},
         PD_FOLDER_OK,
         "$P/dosdevices/c:/Palm"},
        {"user key without either value hides the machine key",
         "",
         {{kUserKey, "Other", "x"}},
         {{kMachineKey, "DesktopPath", "C:\\Machine\\Palm"}},
         PD_FOLDER_NOT_FOUND,
         ""},
        {"program path without a folder", "", {{kUserKey, "HotSyncPath", "HotSync.exe"}}, {}, PD_FOLDER_NOT_FOUND, ""},
        {"no key at all", "", {}, {}, PD_FOLDER_NOT_FOUND, ""},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        SetOverride(c.override);
        fs::remove(m_prefix + "/user.reg");
        fs::remove(m_prefix + "/system.reg");
        if (!c.user.empty()) {
            ASSERT_TRUE(pdgen::WriteWineRegistry(m_prefix + "/user.reg", c.user));
        }
        if (!c.machine.empty()) {
            ASSERT_TRUE(pdgen::WriteWineRegistry(m_prefix + "/system.reg", c.machine));
        }
        char folder[MAX_PATH] = "stale";
        EXPECT_EQ(GetDesktopFolder(folder, sizeof(folder)), c.result);
        EXPECT_EQ(std::string(folder), Replace(c.folder, "$P", m_prefix));
    }
}

TEST_F(PalmInstall, DesktopFolderNeverCutToTheBuffer)
{
    char folder[32] = "stale";
    EXPECT_EQ(GetDesktopFolder(nullptr, 10), PD_FOLDER_NO_BUFFER);
    EXPECT_EQ(GetDesktopFolder(folder, 0), PD_FOLDER_NO_BUFFER);
    EXPECT_STREQ(folder, "stale");

    SetOverride("/opt/Palm");  // 9 characters
    EXPECT_EQ(GetDesktopFolder(folder, 10), PD_FOLDER_OK);
    EXPECT_STREQ(folder, "/opt/Palm");
    EXPECT_EQ(GetDesktopFolder(folder, 9), PD_FOLDER_TOO_LONG);
    EXPECT_STREQ(folder, "");

    SetOverride("");
    ASSERT_TRUE(
        pdgen::WriteWineRegistry(m_prefix + "/user.reg", {{kUserKey, "DesktopPath", "C:\\Program Files\\Palm"}}));
    const std::string mapped = m_prefix + "/dosdevices/c:/Program Files/Palm";
    std::vector<char> exact(mapped.size() + 1);
    EXPECT_EQ(GetDesktopFolder(exact.data(), static_cast<UINT>(exact.size())), PD_FOLDER_OK);
    EXPECT_EQ(std::string(exact.data()), mapped);
    EXPECT_EQ(GetDesktopFolder(exact.data(), static_cast<UINT>(mapped.size())), PD_FOLDER_TOO_LONG);
    EXPECT_STREQ(exact.data(), "");
}

TEST_F(PalmInstall, VersionIsMajorMinorReleaseOfPalmExe)
{
    const std::string palm = m_dir + "/Palm";
    SetOverride(palm);
    EXPECT_EQ(GetDesktopVersion(), PD_VERSION_UNKNOWN);  // no folder on disk yet
    struct Case {
        uint16_t version[4];
        const char* exeName;
        DWORD expected;
    };
    const Case cases[] = {
        {{4, 1, 2, 7}, "Palm.exe", 40102},
        {{6, 0, 0, 108}, "PALM.EXE", 60000},
        {{6, 0, 1, 0}, "palm.exe", 60001},
        {{3, 5, 0, 0}, "Palm.exe", 30500},
    };
    for (const Case& c : cases) {
        fs::remove_all(palm);
        pdgen::Folder folder;
        std::copy(std::begin(c.version), std::end(c.version), folder.version);
        folder.palmExeName = c.exeName;
        ASSERT_TRUE(pdgen::MakePalmDesktopFolder(palm, folder));
        EXPECT_EQ(GetDesktopVersion(), c.expected) << c.exeName << " " << c.expected;
    }

    fs::remove_all(palm);
    pdgen::Folder unversioned;
    unversioned.bVersioned = false;
    ASSERT_TRUE(pdgen::MakePalmDesktopFolder(palm, unversioned));
    EXPECT_EQ(GetDesktopVersion(), PD_VERSION_UNKNOWN);

    SetOverride("");  // no settings, no registry
    EXPECT_EQ(GetDesktopVersion(), PD_VERSION_UNKNOWN);
}

// A Palm Desktop folder copied from a Windows disk, named by PDPath and
// nothing else, lists its users and leads to each one's address file.
TEST_F(PalmInstall, CopiedFolderListsUsersAndTheirAddressFiles)
{
    const std::string palm = m_dir + "/Palm Desktop";
    pdgen::Folder folder;
    folder.users = {
        {"JohnS", "Address", "Address.dat", {1, 2, 3}},
        {"mary", "ADDRESS", "ADDRESS.DAT", {4}},
        {"Pat", "address", "Address.MDB", {5}},
    };
    ASSERT_TRUE(pdgen::MakePalmDesktopFolder(palm, folder));
    fs::create_directories(palm + "/Backup/Memo");  // a folder that is no user
    SetOverride(palm);

    ASSERT_TRUE(LoadDesktopLibraries(PD_LIB_ALL));
    CxList users;
    ASSERT_EQ(LoadPalmUsers(&users), 3);
    const char* const expectedNames[] = {"JohnS", "Pat", "mary"};
    const char* const expectedFiles[] = {"Address/Address.dat", "address/Address.MDB", "ADDRESS/ADDRESS.DAT"};
    const char* const wantedFiles[] = {"address/address.dat", "address/address.mdb", "address/address.dat"};
    std::vector<DWORD> ids;
    for (uint32_t i = 0; i < 3; ++i) {
        const auto* user = static_cast<const PalmUser*>(users.GetByIndex(i));
        ASSERT_NE(user, nullptr);
        EXPECT_STREQ(user->szName, expectedNames[i]);
        EXPECT_STREQ(user->szDirectory, expectedNames[i]);
        EXPECT_NE(user->dwUserID, 0u);
        ids.push_back(user->dwUserID);

        char userFolder[MAX_PATH] = "";
        ASSERT_TRUE(GetUserFolder(user->dwUserID, userFolder, sizeof(userFolder)));
        EXPECT_EQ(std::string(userFolder), palm + "/" + expectedNames[i] + "/");
        EXPECT_EQ(ResolvePathCase(std::string(userFolder) + wantedFiles[i]),
                  palm + "/" + expectedNames[i] + "/" + expectedFiles[i]);
    }
    EXPECT_NE(ids[0], ids[1]);
    EXPECT_NE(ids[1], ids[2]);
    EXPECT_NE(ids[0], ids[2]);
    ClearPalmUsers(&users);
    EXPECT_EQ(users.GetCount(), 0u);

    // The same users come back with the same ids after a reload.
    UnloadDesktopLibraries(PD_LIB_ALL);
    ASSERT_TRUE(LoadDesktopLibraries(PD_LIB_ALL));
    ASSERT_EQ(LoadPalmUsers(&users), 3);
    for (uint32_t i = 0; i < 3; ++i)
        EXPECT_EQ(static_cast<const PalmUser*>(users.GetByIndex(i))->dwUserID, ids[i]);
    ClearPalmUsers(&users);
}

TEST_F(PalmInstall, UserFolderFailsWithoutTouchingTheBuffer)
{
    const std::string palm = m_dir + "/Palm";
    pdgen::Folder folder;
    folder.users = {{"Someone", "address", "address.dat", {}}};
    ASSERT_TRUE(pdgen::MakePalmDesktopFolder(palm, folder));
    SetOverride(palm);

    char buffer[MAX_PATH] = "untouched";
    EXPECT_FALSE(GetUserFolder(1, buffer, sizeof(buffer)));  // library not loaded
    ASSERT_TRUE(LoadDesktopLibraries(PD_LIB_ALL));
    DWORD id = 0;
    ASSERT_EQ(UmGetUserID(0, &id), 0);

    const std::string expected = palm + "/Someone/";
    EXPECT_FALSE(GetUserFolder(id + 1, buffer, sizeof(buffer)));  // no such user
    EXPECT_FALSE(GetUserFolder(id, buffer, static_cast<int16_t>(expected.size())));
    EXPECT_FALSE(GetUserFolder(id, buffer, 0));
    EXPECT_FALSE(GetUserFolder(id, nullptr, sizeof(buffer)));
    EXPECT_STREQ(buffer, "untouched");
    EXPECT_TRUE(GetUserFolder(id, buffer, static_cast<int16_t>(expected.size() + 1)));
    EXPECT_EQ(std::string(buffer), expected);
}

// Palm Desktop installed under Wine: the registry alone leads to it.
TEST_F(PalmInstall, WineRegistryAloneLeadsToTheUsers)
{
    const std::string palm = m_dir + "/drive/Palm";
    pdgen::Folder folder;
    folder.users = {{"Kim", "Address", "address.DAT", {9}}};
    ASSERT_TRUE(pdgen::MakePalmDesktopFolder(palm, folder));
    ASSERT_TRUE(pdgen::MakeWinePrefix(m_prefix, palm));

    EXPECT_EQ(GetDesktopVersion(), 40102u);
    ASSERT_TRUE(LoadDesktopLibraries(PD_LIB_ALL));
    ASSERT_EQ(UmGetUserCount(), 1);
    DWORD id = 0;
    ASSERT_EQ(UmGetUserID(0, &id), 0);
    char userFolder[MAX_PATH] = "";
    ASSERT_TRUE(GetUserFolder(id, userFolder, sizeof(userFolder)));
    EXPECT_TRUE(fs::is_regular_file(ResolvePathCase(std::string(userFolder) + "address/address.dat"))) << userFolder;
}
