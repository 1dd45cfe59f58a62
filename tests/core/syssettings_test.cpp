#include "src/core/SysSettings.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstddef>
#include <cstring>
#include <fstream>
#include <sstream>
#include <string>
#include <vector>

#include "common/misc/AppFolder.h"
#include "common/misc/CxDebugUtil.h"
#include "platform/fsutil/FsUtil.h"
#include "tests/support/TestFiles.h"

namespace {

class SysSettingsTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        SetIniFilePathOverride(ini.c_str());
        g_DebugUtil.SetFolder((dir + "/").c_str());
    }
    void TearDown() override
    {
        AtomicFile::SetFailAfterBytesForTest(-1);
        SetIniFilePathOverride(nullptr);
        g_DebugUtil.SetFolder("./");
    }
    // The non-blank lines of the settings file.
    std::vector<std::string> Lines() const
    {
        std::istringstream in(vwtest::ReadFileText(ini));
        std::vector<std::string> lines;
        std::string line;
        while (std::getline(in, line)) {
            if (!line.empty())
                lines.push_back(line);
        }
        return lines;
    }
    vwtest::TempDir m_tmp{"settings"};
    const std::string dir = m_tmp.Path();
    const std::string ini = m_tmp.File("corvane.ini");
};

TEST_F(SysSettingsTest, FirstRunGivesDefaultsAndWritesAllKeysInOrder)
{
    SysSettings settings;
    std::memset(&settings, 0x5A, sizeof(settings));
    ASSERT_TRUE(settings.LoadSettings());
    EXPECT_STREQ(settings.WabFile, "");
    EXPECT_STREQ(settings.DatFile, "");
    EXPECT_EQ(settings.SyncMode, 0);
    EXPECT_EQ(settings.Custom[8], 0);
    EXPECT_FALSE(settings.DisableColor);

    ASSERT_TRUE(settings.SaveSettings());
    const std::vector<std::string> expected = {
        "[iSysVal]",         "WabFile=",          "DatFile=",           "SyncMode=0",       "UserID=0",
        "SwapName=0",        "SyncCustom=0",      "Custom1=0",          "Custom2=0",        "Custom3=0",
        "Custom4=0",         "Custom5=0",         "Custom6=0",          "Custom7=0",        "Custom8=0",
        "Custom9=0",         "ShowDisplayName=1", "ShowFirstName=0",    "ShowLastName=0",   "ShowCompany=1",
        "ShowTitle=1",       "ShowEmail=1",       "ShowHomePhone=1",    "ShowBusiPhone=1",  "ShowMobilePhone=1",
        "ShowFax=0",         "ShowMainPhone=0",   "ShowHomeCountry=0",  "ShowHomeState=0",  "ShowHomeCity=0",
        "ShowHomeStreet=0",  "ShowHomePostal=0",  "ShowBusiCountry=0",  "ShowBusiState=0",  "ShowBusiCity=0",
        "ShowBusiStreet=0",  "ShowBusiPostal=0",  "ShowOtherCountry=0", "ShowOtherState=0", "ShowOtherCity=0",
        "ShowOtherStreet=0", "ShowOtherPostal=0", "EmailOnly=0",        "SameColor=0",      "ModifiedColor=8388608",
        "NewColor=32768",    "DisableColor=0",
    };
    ASSERT_EQ(expected.size(), 1u + SysSettings::kKeyCount);
    EXPECT_EQ(Lines(), expected);
}

TEST_F(SysSettingsTest, ValuesTravelAsStoredAndOtherSectionsStay)
{
    const std::string longPath = "/" + std::string(300, 'p');
    std::ofstream(ini) << "[Path]\nPDPath=/opt/palm\n[iSysVal]\nSyncMode=7\nDisableColor=5\n"
                          "EmailOnly=3\nCustom4=973471774\nUserID=12abc\nShowFax=abc\n"
                          "SameColor=255\nDatFile="
                       << longPath << "\n[Hollowfen]\nSwapName=1\n";
    SysSettings settings;
    ASSERT_TRUE(settings.LoadSettings());
    EXPECT_EQ(settings.SyncMode, 7);
    EXPECT_TRUE(settings.DisableColor);
    EXPECT_EQ(settings.EmailOnly, 3);
    EXPECT_EQ(settings.Custom[3], 973471774);
    EXPECT_EQ(settings.UserID, 12);
    EXPECT_EQ(settings.ShowFax, 0);
    EXPECT_EQ(settings.ShowCompany, 1);
    EXPECT_EQ(settings.SameColor, 255);
    // A path that does not fit is refused, never cut: a cut one names another file.
    EXPECT_STREQ(settings.DatFile, "");
    EXPECT_EQ(settings.nDatFileTooLong, static_cast<int>(longPath.size()));

    ASSERT_TRUE(settings.SaveSettings());
    const std::vector<std::string> lines = Lines();
    auto has = [&lines](const std::string& line) { return std::find(lines.begin(), lines.end(), line) != lines.end(); };
    EXPECT_TRUE(has("SyncMode=7"));
    EXPECT_TRUE(has("DisableColor=1"));
    EXPECT_TRUE(has("EmailOnly=1"));
    EXPECT_TRUE(has("Custom4=973471774"));
    EXPECT_TRUE(has("DatFile=" + longPath)) << "the file keeps the path it had";
    EXPECT_EQ(lines.front(), "[Path]");
    EXPECT_TRUE(has("PDPath=/opt/palm"));
    EXPECT_EQ(lines[lines.size() - 2], "[Hollowfen]");
    EXPECT_EQ(lines.back(), "SwapName=1");
    EXPECT_EQ(lines.size(), 2u + 1u + SysSettings::kKeyCount + 2u);

    SysSettings again;
    ASSERT_TRUE(again.LoadSettings());
    // EmailOnly was stored as "1"; every other field reads back as it was.
    EXPECT_EQ(again.EmailOnly, 1);
    settings.EmailOnly = 1;
    // Every field up to the last, padding left out.
    EXPECT_EQ(std::memcmp(&again, &settings, offsetof(SysSettings, DisableColor) + sizeof(bool)), 0);
}

TEST_F(SysSettingsTest, FailedSaveLeavesTheFileAndLogsAnError)
{
    std::ofstream(ini) << "[iSysVal]\nSyncMode=2\n";
    SysSettings settings;
    ASSERT_TRUE(settings.LoadSettings());
    settings.SyncMode = 1;
    AtomicFile::SetFailAfterBytesForTest(100);
    EXPECT_FALSE(settings.SaveSettings());
    EXPECT_EQ(vwtest::ReadFileText(ini), "[iSysVal]\nSyncMode=2\n");

    const std::string unwritable = dir + "/missing/folder/corvane.ini";
    SetIniFilePathOverride(unwritable.c_str());
    EXPECT_FALSE(settings.SaveSettings());

    const std::string log = vwtest::ReadFileText(dir + "/appdebug.log");
    EXPECT_NE(log.find("[!!!] - Can not save settings: " + ini + "\r\n"), std::string::npos) << log;
    EXPECT_NE(log.find("[!!!] - Can not save settings: " + unwritable + "\r\n"), std::string::npos);
}

}  // namespace
