#include "platform/profile/PrivateProfile.h"

#include <gtest/gtest.h>
#include <sys/stat.h>

#include <sstream>
#include <string>

#include "platform/fsutil/FsUtil.h"
#include "tests/support/TestFiles.h"

namespace {

class ProfileTest : public ::testing::Test {
protected:
    void TearDown() override { AtomicFile::SetFailAfterBytesForTest(-1); }
    void WriteText(const std::string& text) const { vwtest::WriteFileText(file, text); }
    std::string ReadText() const { return vwtest::ReadFileText(file); }
    // The file's lines without blank ones: layout between sections is free.
    std::string ReadLines() const
    {
        std::istringstream in(ReadText());
        std::string line;
        std::string lines;
        while (std::getline(in, line)) {
            if (!line.empty())
                lines += line + "|";
        }
        return lines;
    }
    std::string GetString(const char* section, const char* key, const char* def = "dflt", DWORD size = 260) const
    {
        char buffer[260];
        const DWORD length = GetPrivateProfileStringA(section, key, def, buffer, size, file.c_str());
        EXPECT_EQ(length, std::string(buffer).size());
        return buffer;
    }
    vwtest::TempDir m_tmp{"profile"};
    const std::string dir = m_tmp.Path();
    const std::string file = m_tmp.File("corvane.ini");
};

TEST_F(ProfileTest, ReadsIntegersAsWindowsDoes)
{
    WriteText("[iSysVal]\r\nA=12abc\r\nB=abc\r\nC=-42\r\nD=+7\r\nE=\r\nF=  5\r\nG=4294967295\r\n");
    const struct {
        const char* key;
        int expected;
    } cases[] = {{"A", 12}, {"B", 0}, {"C", -42}, {"D", 7}, {"E", 0}, {"F", 5}, {"G", -1}, {"Missing", 99}};
    for (const auto& c : cases)
        EXPECT_EQ(static_cast<int>(GetPrivateProfileIntA("iSysVal", c.key, 99, file.c_str())), c.expected) << c.key;
    EXPECT_EQ(GetPrivateProfileIntA("NoSection", "A", 3, file.c_str()), 3u);
    EXPECT_EQ(GetPrivateProfileIntA("iSysVal", "A", 3, (dir + "/missing.ini").c_str()), 3u);
}

TEST_F(ProfileTest, ReadsStringsIgnoringCaseAndCutsToTheBuffer)
{
    WriteText("; comment\n[Path]\nPDPath = C:\\Palm \n[Quoted]\nQ=\"two words\"\nH=\xE9t\xE9\n");
    EXPECT_EQ(GetString("path", "pdpath"), "C:\\Palm");
    EXPECT_EQ(GetString("PATH", "PDPATH", "", 4), "C:\\");
    EXPECT_EQ(GetString("Quoted", "Q"), "two words");
    EXPECT_EQ(GetString("Quoted", "H"), "\xE9t\xE9");
    EXPECT_EQ(GetString("Path", "Other"), "dflt");
    EXPECT_EQ(GetString("Path", "Other", nullptr), "");
    EXPECT_EQ(GetString("Path", "Other", "default text", 5), "defa");
}

TEST_F(ProfileTest, WritingKeepsEverythingElseInPlace)
{
    WriteText("[Hollowfen]\nSwapName=1\n[iSysVal]\nWabFile=a.wab\nSyncMode=2\n[Path]\nPDPath=/palm\n");
    ASSERT_TRUE(WritePrivateProfileStringA("ISYSVAL", "syncmode", "0", file.c_str()));
    ASSERT_TRUE(WritePrivateProfileStringA("iSysVal", "UserID", "7", file.c_str()));
    ASSERT_TRUE(WritePrivateProfileStringA("iSysVal", "DatFile", "b.dat", file.c_str()));
    ASSERT_TRUE(WritePrivateProfileStringA("New", "K", "v", file.c_str()));
    EXPECT_EQ(ReadLines(),
              "[Hollowfen]|SwapName=1|[iSysVal]|WabFile=a.wab|SyncMode=0|UserID=7|DatFile=b.dat|"
              "[Path]|PDPath=/palm|[New]|K=v|");
}

TEST_F(ProfileTest, DeletesKeysAndSections)
{
    WriteText("[A]\nx=1\ny=2\n[B]\nz=3\n");
    ASSERT_TRUE(WritePrivateProfileStringA("A", "x", nullptr, file.c_str()));
    ASSERT_TRUE(WritePrivateProfileStringA("B", nullptr, nullptr, file.c_str()));
    EXPECT_EQ(ReadLines(), "[A]|y=2|");
}

TEST_F(ProfileTest, FailedWritesReturnFalseAndChangeNothing)
{
    WriteText("[A]\nx=1\n");
    AtomicFile::SetFailAfterBytesForTest(3);
    EXPECT_FALSE(WritePrivateProfileStringA("A", "x", "2", file.c_str()));
    AtomicFile::SetFailAfterBytesForTest(-1);
    EXPECT_EQ(ReadText(), "[A]\nx=1\n");

    EXPECT_FALSE(WritePrivateProfileStringA("A", "x", "2", (dir + "/no/such/dir.ini").c_str()));
    EXPECT_FALSE(WritePrivateProfileStringA("", "x", "2", file.c_str()));
    EXPECT_FALSE(WritePrivateProfileStringA("A", "x", "2", nullptr));
    // A folder where the file should be cannot be read, so it is never written.
    EXPECT_FALSE(WritePrivateProfileStringA("A", "x", "2", dir.c_str()));
}

TEST_F(ProfileTest, WriterSavesManyKeysOnce)
{
    WriteText("[Other]\nk=v\n");
    PrivateProfileWriter writer(file.c_str());
    ASSERT_TRUE(writer.IsLoaded());
    for (int i = 0; i < 5; ++i) {
        const std::string key = "Key" + std::to_string(i);
        ASSERT_TRUE(writer.SetInt("S", key.c_str(), i * 10));
    }
    ASSERT_TRUE(writer.SetString("S", "Key0", "first"));
    EXPECT_EQ(ReadText(), "[Other]\nk=v\n");  // nothing written before Save
    ASSERT_TRUE(writer.Save());
    EXPECT_EQ(ReadLines(), "[Other]|k=v|[S]|Key0=first|Key1=10|Key2=20|Key3=30|Key4=40|");
}

TEST_F(ProfileTest, AFileChangedOnDiskIsReadAgainAndAFifoIsNotWaitedFor)
{
    // The file is parsed once for many reads, but never read stale.
    std::ofstream(file) << "[iSysVal]\nKey=one\n";
    EXPECT_EQ(GetString("iSysVal", "Key"), "one");
    EXPECT_EQ(GetString("iSysVal", "Key"), "one");
    std::ofstream(file) << "[iSysVal]\nKey=two\n";  // same size, other bytes
    EXPECT_EQ(GetString("iSysVal", "Key"), "two");
    ASSERT_TRUE(WritePrivateProfileStringA("iSysVal", "Key", "three", file.c_str()));
    EXPECT_EQ(GetString("iSysVal", "Key"), "three");

    const std::string fifo = m_tmp.File("fifo.ini");
    ASSERT_EQ(mkfifo(fifo.c_str(), 0644), 0);
    char buffer[16];
    EXPECT_EQ(GetPrivateProfileStringA("iSysVal", "Key", "dflt", buffer, sizeof(buffer), fifo.c_str()), 4u);
    EXPECT_STREQ(buffer, "dflt");
    EXPECT_FALSE(WritePrivateProfileStringA("iSysVal", "Key", "x", fifo.c_str()));
}

}  // namespace
