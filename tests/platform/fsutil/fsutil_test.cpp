#include "platform/fsutil/FsUtil.h"

#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cstring>
#include <string>
#include <vector>

#include "tests/support/TestFiles.h"

namespace {

using vwtest::ReadFileText;
using vwtest::WriteFileText;

class FsUtilTest : public ::testing::Test {
protected:
    void TearDown() override { AtomicFile::SetFailAfterBytesForTest(-1); }
    std::string Path(const std::string& name) const { return m_tmp.File(name); }
    std::vector<std::string> Entries() const { return m_tmp.Entries(); }

    vwtest::TempDir m_tmp{"fsutil"};
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
    WriteFileText(Path("Palm/Address/Address.DAT"), "x");
    WriteFileText(Path("Palm/Address/address.mdb"), "y");

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
    WriteFileText(Path("a.txt"), "lower");
    WriteFileText(Path("A.TXT"), "upper");
    EXPECT_EQ(ResolvePathCase(Path("A.TXT")), Path("A.TXT"));
    EXPECT_EQ(ResolvePathCase(Path("a.TXT")), Path("A.TXT"));   // first in byte order
}

TEST_F(FsUtilTest, AtomicWriteReplacesContentAndKeepsPermissions)
{
    const std::string target = Path("corvane.ini");
    WriteFileText(target, "old content that is longer than the new one");
    ASSERT_EQ(chmod(target.c_str(), 0640), 0);

    ASSERT_TRUE(AtomicWriteFile(target.c_str(), "new", 3));
    EXPECT_EQ(ReadFileText(target), "new");
    struct stat st {};
    ASSERT_EQ(stat(target.c_str(), &st), 0);
    EXPECT_EQ(st.st_mode & 07777, 0640u);
    EXPECT_EQ(Entries(), std::vector<std::string>{"corvane.ini"});

    ASSERT_TRUE(AtomicWriteFile(Path("fresh.bin").c_str(), "", 0));
    EXPECT_EQ(ReadFileText(Path("fresh.bin")), "");
}

TEST_F(FsUtilTest, AtomicWriteThroughASymlinkReplacesItsTarget)
{
    WriteFileText(Path("real.ini"), "old");
    ASSERT_EQ(symlink(Path("real.ini").c_str(), Path("link.ini").c_str()), 0);
    ASSERT_TRUE(AtomicWriteFile(Path("link.ini").c_str(), "new", 3));
    struct stat st {};
    ASSERT_EQ(lstat(Path("link.ini").c_str(), &st), 0);
    EXPECT_TRUE(S_ISLNK(st.st_mode));
    EXPECT_EQ(ReadFileText(Path("real.ini")), "new");
}

TEST_F(FsUtilTest, FailureHalfWayLeavesTheOriginalAndNoTemporaryFile)
{
    const std::string target = Path("address.dat");
    WriteFileText(target, "original");
    AtomicFile::SetFailAfterBytesForTest(5);
    {
        AtomicFile file;
        ASSERT_TRUE(file.Open(target.c_str()));
        EXPECT_TRUE(file.Write("abc", 3));
        EXPECT_FALSE(file.Write("defg", 4));   // crosses the 5-byte limit
        EXPECT_FALSE(file.Write("h", 1));
        EXPECT_FALSE(file.Commit());
    }
    EXPECT_EQ(ReadFileText(target), "original");
    EXPECT_EQ(Entries(), std::vector<std::string>{"address.dat"});

    // Dropped without Commit: the same.
    AtomicFile::SetFailAfterBytesForTest(-1);
    {
        AtomicFile file;
        ASSERT_TRUE(file.Open(target.c_str()));
        ASSERT_TRUE(file.Write("partial", 7));
    }
    EXPECT_EQ(ReadFileText(target), "original");
    EXPECT_EQ(Entries(), std::vector<std::string>{"address.dat"});

    EXPECT_FALSE(AtomicWriteFile(Path("no/such/folder/x").c_str(), "x", 1));
}

TEST_F(FsUtilTest, LockIsExclusiveAndNeverWaits)
{
    const std::string target = Path("address.dat");
    FileLock missing;
    EXPECT_FALSE(missing.Lock(target.c_str()));

    WriteFileText(target, "x");
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
