#include <gtest/gtest.h>

#include <pwd.h>
#include <stdlib.h>
#include <unistd.h>

#include <filesystem>
#include <string>
#include <vector>

#include "platform/registry/Registry.h"
#include "platform/registry/WinePath.h"
#include "tests/support/TestEnv.h"
#include "tests/support/TestFiles.h"

namespace fs = std::filesystem;

namespace {

// A scratch Wine prefix; WINEPREFIX points at it while the test runs.
class WinePrefixTest : public ::testing::Test {
protected:
    void SetUp() override { setenv("WINEPREFIX", m_prefix.c_str(), 1); }
    void TearDown() override { unsetenv("WINEPREFIX"); }

    void Write(const std::string& name, const std::string& text) { vwtest::WriteFileText(m_tmp.File(name), text); }

    // Reads a value of HKCU\<key> as the bytes RegQueryValueExA delivers.
    static bool Query(HKEY root, const char* key, const char* name, std::string* bytes, DWORD* type = nullptr)
    {
        HKEY hKey = nullptr;
        if (RegOpenKeyExA(root, key, 0, KEY_READ, &hKey) != ERROR_SUCCESS)
            return false;
        DWORD size = 0;
        LSTATUS rc = RegQueryValueExA(hKey, name, nullptr, type, nullptr, &size);
        if (rc == ERROR_SUCCESS) {
            std::vector<BYTE> data(size + 1);
            rc = RegQueryValueExA(hKey, name, nullptr, type, data.data(), &size);
            bytes->assign(reinterpret_cast<const char*>(data.data()), size);
        }
        RegCloseKey(hKey);
        return rc == ERROR_SUCCESS;
    }

    vwtest::TempDir m_tmp{"registry"};
    const std::string m_prefix = m_tmp.Path();
};

const char kUserReg[] =
    "WINE REGISTRY Version 2\n"
    ";; All keys relative to \\\\User\\\\S-1-5-21-0-0-0-1000\n"
    "\n"
    "#arch=win32\n"
    "\n"
    "[Software\\\\U.S. Robotics\\\\Pilot Desktop\\\\Core] 1700000000\n"
    "#time=1da0000000000000\n"
    "\"DesktopPath\"=\"C:\\\\Program Files\\\\Palm\\\\\"\n"
    "\"Quoted\"=\"say \\\"hi\\\"\"\n"
    "\"Accent\"=\"Jos\\x00e9 Caf\\xe9s\"\n"
    "\"Expand\"=str(2):\"%ProgramFiles%\\\\Palm\"\n"
    "\"WideHex\"=hex(2):43,00,3a,00,5c,00,\\\n"
    "  50,00,00,00\n"
    "\"PlainHex\"=hex(1):41,00,42,00,00,00\n"
    "\"Count\"=dword:0000002a\n"
    "\"Blob\"=hex:01,02,03\n"
    "@=\"default\"\n"
    "\r\n"
    "[Software\\\\Other] 1700000000\n"
    "\"DesktopPath\"=\"wrong key\"\n";

}  // namespace

TEST_F(WinePrefixTest, ValuesDecodeEveryEscapeAndForm)
{
    Write("user.reg", kUserReg);
    struct Case {
        const char* name;
        DWORD type;
        std::string bytes;
    };
    const Case cases[] = {
        {"DesktopPath", REG_SZ, std::string("C:\\Program Files\\Palm\\\0", 23)},
        {"QUOTED", REG_SZ, std::string("say \"hi\"\0", 9)},
        {"accent", REG_SZ, std::string("Jos\xc3\xa9 Caf\xc3\xa9s\0", 13)},
        {"Expand", REG_EXPAND_SZ, std::string("%ProgramFiles%\\Palm\0", 20)},
        {"WideHex", REG_EXPAND_SZ, std::string("C:\\P\0", 5)},
        {"PlainHex", REG_SZ, std::string("AB\0", 3)},
        {"Count", REG_DWORD, std::string("\x2a\0\0\0", 4)},
        {"Blob", REG_BINARY, std::string("\x01\x02\x03", 3)},
        {"", REG_SZ, std::string("default\0", 8)},
    };
    for (const Case& c : cases) {
        std::string bytes;
        DWORD type = 0;
        ASSERT_TRUE(Query(HKEY_CURRENT_USER, "software\\u.s. robotics\\PILOT DESKTOP\\core", c.name, &bytes, &type))
            << c.name;
        EXPECT_EQ(type, c.type) << c.name;
        EXPECT_EQ(bytes, c.bytes) << c.name;
    }
    std::string bytes;
    EXPECT_FALSE(Query(HKEY_CURRENT_USER, "Software\\U.S. Robotics\\Pilot Desktop\\Core", "Missing", &bytes));
}

TEST_F(WinePrefixTest, BufferSizesFollowTheWindowsRules)
{
    Write("user.reg", kUserReg);
    HKEY hKey = nullptr;
    ASSERT_EQ(
        RegOpenKeyExA(HKEY_CURRENT_USER, "\\Software\\\\U.S. Robotics\\Pilot Desktop\\Core\\", 0, KEY_READ, &hKey),
        ERROR_SUCCESS);
    char small[5] = "keep";
    DWORD size = sizeof(small);
    EXPECT_EQ(RegQueryValueExA(hKey, "DesktopPath", nullptr, nullptr, reinterpret_cast<BYTE*>(small), &size),
              ERROR_MORE_DATA);
    EXPECT_EQ(size, 23u);
    EXPECT_STREQ(small, "keep");
    EXPECT_EQ(RegQueryValueExA(hKey, "DesktopPath", nullptr, nullptr, reinterpret_cast<BYTE*>(small), nullptr),
              ERROR_INVALID_PARAMETER);
    EXPECT_EQ(RegCloseKey(hKey), ERROR_SUCCESS);
    EXPECT_EQ(RegCloseKey(HKEY_CURRENT_USER), ERROR_SUCCESS);
    EXPECT_EQ(RegCloseKey(nullptr), ERROR_INVALID_HANDLE);
}

TEST_F(WinePrefixTest, KeysOpenByParentAndRelativePath)
{
    Write("user.reg", kUserReg);
    HKEY hParent = nullptr;
    // "Software\U.S. Robotics" has no section of its own; it exists as a parent.
    ASSERT_EQ(RegOpenKeyExA(HKEY_CURRENT_USER, "Software\\U.S. Robotics", 0, KEY_READ, &hParent), ERROR_SUCCESS);
    HKEY hCore = nullptr;
    ASSERT_EQ(RegOpenKeyExA(hParent, "Pilot Desktop\\Core", 0, KEY_READ, &hCore), ERROR_SUCCESS);
    DWORD size = 0;
    EXPECT_EQ(RegQueryValueExA(hCore, "DesktopPath", nullptr, nullptr, nullptr, &size), ERROR_SUCCESS);
    EXPECT_EQ(size, 23u);
    RegCloseKey(hCore);
    RegCloseKey(hParent);

    HKEY hKey = reinterpret_cast<HKEY>(1);
    for (const char* missing :
         {"Software\\U.S. Robot", "Software\\U.S. Robotics\\Pilot Desktop\\Core\\X", "Software\\Nothing"}) {
        EXPECT_EQ(RegOpenKeyExA(HKEY_CURRENT_USER, missing, 0, KEY_READ, &hKey), ERROR_FILE_NOT_FOUND) << missing;
        EXPECT_EQ(hKey, nullptr);
    }
    // No system.reg at all: the machine keys simply are not there.
    EXPECT_EQ(RegOpenKeyExA(HKEY_LOCAL_MACHINE, "Software", 0, KEY_READ, &hKey), ERROR_FILE_NOT_FOUND);
}

TEST_F(WinePrefixTest, MachineKeysPreferTheThirtyTwoBitView)
{
    Write("system.reg",
          "WINE REGISTRY Version 2\n#arch=win64\n"
          "[Software\\\\PalmSource\\\\Desktop\\\\Core] 1\n\"DesktopPath\"=\"plain\"\n"
          "[Software\\\\Wow6432Node\\\\PalmSource\\\\Desktop\\\\Core] 1\n\"DesktopPath\"=\"wow\"\n"
          "[Software\\\\Only64] 1\n\"Value\"=\"64\"\n");
    std::string bytes;
    ASSERT_TRUE(Query(HKEY_LOCAL_MACHINE, "Software\\PalmSource\\Desktop\\Core", "DesktopPath", &bytes));
    EXPECT_STREQ(bytes.c_str(), "wow");
    ASSERT_TRUE(Query(HKEY_LOCAL_MACHINE, "Software\\Only64", "Value", &bytes));
    EXPECT_STREQ(bytes.c_str(), "64");
}

// Every prefix of a sound file, and a set of damaged ones, must read without
// a fault, and any value that is read must be the value the file meant.
TEST_F(WinePrefixTest, DamagedFilesReadAsFarAsTheyAreSound)
{
    const std::string full = kUserReg;
    const char* key = "Software\\U.S. Robotics\\Pilot Desktop\\Core";
    std::vector<std::pair<std::string, std::string>> expected;
    Write("user.reg", full);
    for (const char* name : {"DesktopPath", "Quoted", "Accent", "Expand", "WideHex", "PlainHex", "Count", "Blob", ""}) {
        std::string bytes;
        ASSERT_TRUE(Query(HKEY_CURRENT_USER, key, name, &bytes));
        expected.emplace_back(name, bytes);
    }
    for (size_t cut = 0; cut < full.size(); ++cut) {
        Write("user.reg", full.substr(0, cut));
        for (const auto& [name, want] : expected) {
            std::string bytes;
            if (Query(HKEY_CURRENT_USER, key, name.c_str(), &bytes)) {
                EXPECT_EQ(bytes, want) << "cut at " << cut << " value " << name;
            }
        }
    }

    using namespace std::string_literals;
    struct Damaged {
        std::string text;
        bool bKeyOpens;
        const char* value;  // expected "Good" value, null when it must be missing
    };
    const std::string head = "WINE REGISTRY Version 2\n[Software\\\\K] 1\n";
    const Damaged damaged[] = {
        {"", false, nullptr},
        {"REGEDIT4\n[Software\\\\K] 1\n\"Good\"=\"x\"\n", false, nullptr},
        {head + "\"Bad\"=\"no end\n\"Good\"=\"x\"\n", true, "x"},
        {head + "\"Bad\"=hex:01,\\\n\"Good\"=\"x\"\n", true, "x"},
        {head + "\"Bad\"=dword:12\n\"Good\"=\"x\"\n", true, "x"},
        {head + "\"Bad\"=weird:1\n\"Good\"=\"x\"\n", true, "x"},
        {head + "\"Good\"=\"x\"\n[Software\\\\K\\\\Sub\n\"Good\"=\"stray\"\n", true, "x"},
        {head + "\"Good\"=\"x\\\"\n", true, nullptr},
        {head + "\"Good\"=\"\\xd800\\x\\777\xff\xc3\"\n", true, "\xef\xbf\xbdx\xc7\xbf\xc3\xbf\xc3\x83"},
        {"WINE REGISTRY Version 2\n\0\0\0\n[Software\\\\K] 1\n\"Good\"=\"x\""s, true, "x"},
    };
    for (const Damaged& d : damaged) {
        SCOPED_TRACE(d.text);
        Write("user.reg", d.text);
        HKEY hKey = nullptr;
        const bool opened = RegOpenKeyExA(HKEY_CURRENT_USER, "Software\\K", 0, KEY_READ, &hKey) == ERROR_SUCCESS;
        EXPECT_EQ(opened, d.bKeyOpens);
        if (!opened)
            continue;
        char value[64] = "";
        DWORD size = sizeof(value);
        const LSTATUS rc = RegQueryValueExA(hKey, "Good", nullptr, nullptr, reinterpret_cast<BYTE*>(value), &size);
        if (d.value == nullptr) {
            EXPECT_EQ(rc, ERROR_FILE_NOT_FOUND);
        } else {
            EXPECT_STREQ(value, d.value);
        }
        RegCloseKey(hKey);
    }
}

TEST_F(WinePrefixTest, WindowsPathsMapThroughDosDevices)
{
    fs::create_directories(m_prefix + "/drive_c/Program Files/PALM");
    fs::create_directories(m_prefix + "/dosdevices");
    fs::create_directory_symlink("../drive_c", m_prefix + "/dosdevices/c:");
    const std::string c = m_prefix + "/dosdevices/c:";
    struct Case {
        const char* windows;
        std::string linux;
    };
    const Case cases[] = {
        {"C:\\Program Files\\Palm", c + "/Program Files/PALM"},
        {"c:\\program files\\palm\\", c + "/Program Files/PALM/"},
        {"\\\\?\\C:\\Program Files\\.\\Temp\\..\\Palm", c + "/Program Files/PALM"},
        {"C:/Program Files//Palm/", c + "/Program Files/PALM/"},
        {"C:\\", c + "/"},
        {"D:\\Apps\\Palm\\", m_prefix + "/dosdevices/d:/Apps/Palm/"},
        {"/home/user/Palm", "/home/user/Palm"},
        {"\\\\server\\share\\Palm", ""},
        {"Palm\\Users", ""},
        {"C:Palm", ""},
        {"", ""},
    };
    for (const Case& cs : cases)
        EXPECT_EQ(MapWindowsPath(cs.windows), cs.linux) << cs.windows;
}

TEST(WinePrefix, FallsBackToHomeDotWine)
{
    // Without HOME, Wine itself takes the home folder from the password
    // database.
    const passwd* pEntry = getpwuid(getuid());
    ASSERT_TRUE(pEntry != nullptr && pEntry->pw_dir != nullptr);
    std::string passwordHome = pEntry->pw_dir;
    while (passwordHome.size() > 1 && passwordHome.back() == '/')
        passwordHome.pop_back();
    const struct {
        const char* pszPrefix;  // WINEPREFIX, null: unset
        const char* pszHome;    // HOME, null: unset
        std::string expected;
    } cases[] = {
        {nullptr, "/home/someone/", "/home/someone/.wine"},
        {"/opt/prefix/", "/home/someone/", "/opt/prefix"},
        {"", "/home/someone", "/home/someone/.wine"},
        {nullptr, nullptr, passwordHome + "/.wine"},
        {nullptr, "", passwordHome + "/.wine"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.expected);
        const vwtest::ScopedEnv prefix("WINEPREFIX", c.pszPrefix);
        const vwtest::ScopedEnv home("HOME", c.pszHome);
        EXPECT_EQ(GetWinePrefix(), c.expected);
    }
}
