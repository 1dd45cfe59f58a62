#include "platform/fsutil/FsUtil.h"

#include <dirent.h>
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cstdlib>
#include <cstring>
#include <fstream>
#include <sstream>
#include <string>
#include <vector>

namespace {

class FsUtilTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        char pattern[] = "/tmp/vw-fsutil-XXXXXX";
        ASSERT_NE(mkdtemp(pattern), nullptr);
        dir = pattern;
    }
    void TearDown() override
    {
        AtomicFile::SetFailAfterBytesForTest(-1);
        std::string command = "rm -rf '" + dir + "'";
        ASSERT_EQ(std::system(command.c_str()), 0);
    }
    std::string Path(const std::string& name) const { return dir + "/" + name; }
    static void WriteText(const std::string& path, const std::string& text)
    {
        std::ofstream(path, std::ios::binary) << text;
    }
    static std::string ReadText(const std::string& path)
    {
        std::ifstream in(path, std::ios::binary);
        std::stringstream content;
        content << in.rdbuf();
        return content.str();
    }
    std::vector<std::string> Entries() const
    {
        std::vector<std::string> names;
        DIR* d = opendir(dir.c_str());
        while (const dirent* e = readdir(d)) {
            if (std::strcmp(e->d_name, ".") != 0 && std::strcmp(e->d_name, "..") != 0)
                names.push_back(e->d_name);
        }
        closedir(d);
        return names;
    }
    std::string dir;
};

TEST_F(FsUtilTest, ModuleFileNameIsTheRunningExecutable)
{
    char path[MAX_PATH];
    const DWORD length = GetModuleFileNameA(nullptr, path, sizeof(path));
    ASSERT_GT(length, 0u);
    EXPECT_EQ(std::strlen(path), length);
    EXPECT_EQ(path[0], '/');
    EXPECT_NE(std::string(path).find("test_platform_fsutil"), std::string::npos);

    char small[5];
    EXPECT_EQ(GetModuleFileNameA(nullptr, small, sizeof(small)), sizeof(small));
    EXPECT_EQ(std::string(small), std::string(path, 4));
    EXPECT_EQ(GetModuleFileNameA(nullptr, nullptr, 10), 0u);
}

TEST_F(FsUtilTest, ResolvesEachComponentIgnoringCase)
{
    ASSERT_EQ(mkdir(Path("Palm").c_str(), 0755), 0);
    ASSERT_EQ(mkdir(Path("Palm/Address").c_str(), 0755), 0);
    WriteText(Path("Palm/Address/Address.DAT"), "x");
    WriteText(Path("Palm/Address/address.mdb"), "y");

    const struct {
        std::string asked;
        std::string found;
    } cases[] = {
        {Path("Palm/Address/Address.DAT"), Path("Palm/Address/Address.DAT")},
        {Path("palm/address/address.dat"), Path("Palm/Address/Address.DAT")},
        {Path("PALM/ADDRESS/ADDRESS.MDB"), Path("Palm/Address/address.mdb")},
        {Path("palm/./address/../Address/address.dat"), Path("Palm/./Address/../Address/Address.DAT")},
        {Path("palm/address/missing.dat"), Path("palm/address/missing.dat")},
        {Path("nope/address.dat"), Path("nope/address.dat")},
    };
    for (const auto& c : cases)
        EXPECT_EQ(ResolvePathCase(c.asked), c.found) << c.asked;
}

TEST_F(FsUtilTest, ExactNameWinsOverOtherCaseVariants)
{
    WriteText(Path("a.txt"), "lower");
    WriteText(Path("A.TXT"), "upper");
    EXPECT_EQ(ResolvePathCase(Path("A.TXT")), Path("A.TXT"));
    EXPECT_EQ(ResolvePathCase(Path("a.TXT")), Path("A.TXT"));   // first in byte order
}

TEST_F(FsUtilTest, AtomicWriteReplacesContentAndKeepsPermissions)
{
    const std::string target = Path("corvane.ini");
    WriteText(target, "old content that is longer than the new one");
    ASSERT_EQ(chmod(target.c_str(), 0640), 0);

    ASSERT_TRUE(AtomicWriteFile(target.c_str(), "new", 3));
    EXPECT_EQ(ReadText(target), "new");
    struct stat st {};
    ASSERT_EQ(stat(target.c_str(), &st), 0);
    EXPECT_EQ(st.st_mode & 07777, 0640u);
    EXPECT_EQ(Entries(), std::vector<std::string>{"corvane.ini"});

    ASSERT_TRUE(AtomicWriteFile(Path("fresh.bin").c_str(), "", 0));
    EXPECT_EQ(ReadText(Path("fresh.bin")), "");
}

TEST_F(FsUtilTest, AtomicWriteThroughASymlinkReplacesItsTarget)
{
    WriteText(Path("real.ini"), "old");
    ASSERT_EQ(symlink(Path("real.ini").c_str(), Path("link.ini").c_str()), 0);
    ASSERT_TRUE(AtomicWriteFile(Path("link.ini").c_str(), "new", 3));
    struct stat st {};
    ASSERT_EQ(lstat(Path("link.ini").c_str(), &st), 0);
    EXPECT_TRUE(S_ISLNK(st.st_mode));
    EXPECT_EQ(ReadText(Path("real.ini")), "new");
}

TEST_F(FsUtilTest, FailureHalfWayLeavesTheOriginalAndNoTemporaryFile)
{
    const std::string target = Path("address.dat");
    WriteText(target, "original");
    AtomicFile::SetFailAfterBytesForTest(5);
    {
        AtomicFile file;
        ASSERT_TRUE(file.Open(target.c_str()));
        EXPECT_TRUE(file.Write("abc", 3));
        EXPECT_FALSE(file.Write("defg", 4));   // crosses the 5-byte limit
        EXPECT_FALSE(file.Write("h", 1));
        EXPECT_FALSE(file.Commit());
    }
    EXPECT_EQ(ReadText(target), "original");
    EXPECT_EQ(Entries(), std::vector<std::string>{"address.dat"});

    // Dropped without Commit: the same.
    AtomicFile::SetFailAfterBytesForTest(-1);
    {
        AtomicFile file;
        ASSERT_TRUE(file.Open(target.c_str()));
        ASSERT_TRUE(file.Write("partial", 7));
    }
    EXPECT_EQ(ReadText(target), "original");
    EXPECT_EQ(Entries(), std::vector<std::string>{"address.dat"});

    EXPECT_FALSE(AtomicWriteFile(Path("no/such/folder/x").c_str(), "x", 1));
}

TEST_F(FsUtilTest, LockIsExclusiveAndNeverWaits)
{
    const std::string target = Path("address.dat");
    FileLock missing;
    EXPECT_FALSE(missing.Lock(target.c_str()));

    WriteText(target, "x");
    FileLock first;
    ASSERT_TRUE(first.Lock(target.c_str()));
    {
        FileLock second;
        EXPECT_FALSE(second.Lock(target.c_str()));
        EXPECT_FALSE(second.IsLocked());
    }
    first.Unlock();
    FileLock third;
    EXPECT_TRUE(third.Lock(target.c_str()));
}

} // namespace
