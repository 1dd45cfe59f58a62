#include "platform/fsutil/FsUtil.h"

#include <gtest/gtest.h>
#include <pwd.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <string>
#include <vector>

#include "platform/fsutil/ScratchFolder.h"
#include "tests/support/TestEnv.h"
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
    EXPECT_EQ(ResolvePathCase(Path("a.TXT")), Path("A.TXT"));  // first in byte order
}

TEST_F(FsUtilTest, AtomicWriteReplacesContentAndKeepsPermissions)
{
    const std::string target = Path("corvane.ini");
    WriteFileText(target, "old content that is longer than the new one");
    ASSERT_EQ(chmod(target.c_str(), 0640), 0);

    ASSERT_TRUE(AtomicWriteFile(target.c_str(), "new", 3));
    EXPECT_EQ(ReadFileText(target), "new");
    struct stat st { };
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
    struct stat st { };
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
        EXPECT_FALSE(file.Write("defg", 4));  // crosses the 5-byte limit
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

TEST_F(FsUtilTest, EachKindOfFailureHasItsReason)
{
    WriteFileText(Path("file"), "x");
    ASSERT_EQ(mkdir(Path("folder").c_str(), 0755), 0);
    ASSERT_EQ(mkfifo(Path("fifo").c_str(), 0644), 0);
    ASSERT_EQ(symlink(Path("nowhere").c_str(), Path("dangling").c_str()), 0);
    const struct {
        std::string path;
        FailKind eKind;
        const char* pszText;
    } cases[] = {
        {Path("file"), FailKind::None, ""},
        {Path("missing"), FailKind::Missing, "the file does not exist"},
        {Path("no/such/file"), FailKind::Missing, "its folder does not exist"},
        {Path("folder"), FailKind::NotRegular, "it is a folder, not a file"},
        {Path("fifo"), FailKind::NotRegular, "it is a named pipe (FIFO), not a file"},
        {Path("dangling"), FailKind::NotRegular, "it is a symbolic link that leads nowhere, not a file"},
        {"/dev/null", FailKind::NotRegular, "it is a device, not a file"},
        {Path(std::string(300, 'p')), FailKind::PathTooLong, "the path is too long"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.path);
        const FailReason reason = CheckInputPath(c.path, 260);
        EXPECT_EQ(reason.eKind, c.eKind);
        EXPECT_EQ(FailReasonText(reason).rfind(c.pszText, 0), 0u) << FailReasonText(reason);
    }
    EXPECT_EQ(FailReasonText(FailReason::Of(FailKind::Damaged, {}, 1234)), "it is damaged at byte 1234");
    EXPECT_EQ(FailReasonText(ReasonFromErrno(EFBIG, true)), "the disk is full (file-size limit reached)");
    EXPECT_EQ(FailReasonText(ReasonFromErrno(ENOSPC, true)), "the disk is full");
    EXPECT_EQ(FailureText("cannot read the file", "/x/J\xC3\xBCrgen.dat", FailReason::Of(FailKind::Locked)),
              "cannot read the file \"/x/J\xC3\xBCrgen.dat\": it is in use by another program");
}

TEST_F(FsUtilTest, ReadingAFifoIsRefusedAtOnce)
{
    ASSERT_EQ(mkfifo(Path("fifo").c_str(), 0644), 0);
    std::string content = "left";
    FailReason reason;
    EXPECT_FALSE(ReadRegularFile(Path("fifo"), &content, &reason));  // returns: no writer is waited for
    EXPECT_EQ(reason.eKind, FailKind::NotRegular);
    EXPECT_TRUE(content.empty());
    FileHold hold;
    EXPECT_FALSE(hold.Acquire(Path("fifo"), &reason));
    EXPECT_EQ(reason.eKind, FailKind::NotRegular);
}

TEST_F(FsUtilTest, AFileWithoutWritePermissionIsNeverReplacedNotEvenByTheSuperuser)
{
    const std::string target = Path("address.dat");
    WriteFileText(target, "original");
    ASSERT_EQ(chmod(target.c_str(), 0444), 0);
    AtomicFile file;
    EXPECT_FALSE(file.Open(target.c_str()));
    EXPECT_EQ(file.GetFailure().eKind, FailKind::ReadOnly);
    EXPECT_EQ(ReadFileText(target), "original");
    EXPECT_EQ(Entries(), std::vector<std::string>{"address.dat"});
}

TEST_F(FsUtilTest, TheNextSaveRemovesTemporaryFilesLeftByAKilledOneButNotThoseOfASaveInProgress)
{
    const std::string target = Path("address.dat");
    WriteFileText(target, "original");
    WriteFileText(target + ".tmp-Dead01", "left by a killed save");
    WriteFileText(Path("other.dat.tmp-Dead02"), "another file's");
    AtomicFile inProgress;
    ASSERT_TRUE(inProgress.Open(target.c_str()));
    ASSERT_TRUE(inProgress.Write("a", 1));
    std::vector<std::string> entries = Entries();
    EXPECT_EQ(std::count(entries.begin(), entries.end(), "address.dat.tmp-Dead01"), 0) << "removed by the save";
    EXPECT_EQ(std::count(entries.begin(), entries.end(), "other.dat.tmp-Dead02"), 1) << "another file's stays";
    ASSERT_EQ(entries.size(), 3u);

    ASSERT_TRUE(AtomicWriteFile(target.c_str(), "new", 3));
    EXPECT_EQ(ReadFileText(target), "new");
    EXPECT_EQ(Entries().size(), 3u) << "the running save's temporary file stays";
    inProgress.Abort();
    EXPECT_EQ(Entries().size(), 2u);
}

TEST_F(FsUtilTest, AHoldWaitsThenFailsAsInUseAndFollowsTheFileItsSaveInstalls)
{
    const std::string target = Path("address.dat");
    WriteFileText(target, "original");
    FileHold::SetWaitMs(200);
    FileLock other;  // another program, as flock sees it
    ASSERT_TRUE(other.Lock(target.c_str()));
    FileHold hold;
    FailReason reason;
    EXPECT_FALSE(hold.Acquire(target, &reason));
    EXPECT_EQ(reason.eKind, FailKind::Locked);
    other.Unlock();

    ASSERT_TRUE(hold.Acquire(target, &reason));
    FileHold sameProgram;  // one program is one holder
    EXPECT_TRUE(sameProgram.Acquire(target, &reason));
    sameProgram.Release();
    EXPECT_FALSE(other.Lock(target.c_str()));

    AtomicFile file;
    ASSERT_TRUE(file.Open(target.c_str()));
    ASSERT_TRUE(file.Write("new", 3));
    ASSERT_TRUE(file.Commit(&hold));
    EXPECT_TRUE(hold.Holds(target));
    EXPECT_FALSE(other.Lock(target.c_str())) << "the new file is held from the moment it is there";
    hold.Release();
    EXPECT_TRUE(other.Lock(target.c_str()));
    FileHold::SetWaitMs(-1);
}

}  // namespace

namespace {

// The home folder the password database gives the user running the tests.
std::string PasswordHome()
{
    const passwd* pEntry = getpwuid(getuid());
    return pEntry != nullptr && pEntry->pw_dir != nullptr ? pEntry->pw_dir : "";
}

}  // namespace

TEST_F(FsUtilTest, HomeIsTheVariableElseThePasswordDatabaseAndXdgFoldersFollowIt)
{
    const std::string passwordHome = PasswordHome();
    ASSERT_FALSE(passwordHome.empty());
    const std::string home = Path("home");
    const std::string data = Path("data");
    const struct {
        const char* pszHome;  // HOME, null: unset
        const char* pszData;  // XDG_DATA_HOME, null: unset
        std::string expectedHome;
        std::string expectedData;
    } cases[] = {
        {home.c_str(), nullptr, home, home + "/.local/share"},
        {nullptr, nullptr, passwordHome, passwordHome + "/.local/share"},
        {"", nullptr, passwordHome, passwordHome + "/.local/share"},
        {home.c_str(), data.c_str(), home, data},
        {nullptr, data.c_str(), passwordHome, data},
        {home.c_str(), "relative/data", home, home + "/.local/share"},
        {home.c_str(), "", home, home + "/.local/share"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(std::string(c.pszHome != nullptr ? c.pszHome : "(unset)") + ", " +
                     (c.pszData != nullptr ? c.pszData : "(unset)"));
        const vwtest::ScopedEnv homeVariable("HOME", c.pszHome);
        const vwtest::ScopedEnv dataVariable("XDG_DATA_HOME", c.pszData);
        EXPECT_EQ(HomeFolder(), c.expectedHome);
        EXPECT_EQ(XdgFolder("XDG_DATA_HOME", ".local/share"), c.expectedData);
    }
}

TEST_F(FsUtilTest, WhatStandsAtAPath)
{
    ASSERT_TRUE(WriteFileText(Path("file"), "x"));
    ASSERT_TRUE(MakeFolders(Path("folder")));
    ASSERT_EQ(symlink(Path("file").c_str(), Path("to-file").c_str()), 0);
    ASSERT_EQ(symlink(Path("folder").c_str(), Path("to-folder").c_str()), 0);
    ASSERT_EQ(symlink(Path("nowhere").c_str(), Path("dangling").c_str()), 0);
    ASSERT_EQ(mkfifo(Path("fifo").c_str(), 0600), 0);
    const struct {
        const char* name;
        bool bRegular;
        bool bFolder;
        bool bExists;
    } cases[] = {
        {"file", true, false, true},      {"folder", false, true, true},    {"to-file", true, false, true},
        {"to-folder", false, true, true}, {"dangling", false, false, true}, {"fifo", false, false, true},
        {"missing", false, false, false},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        EXPECT_EQ(IsRegularFile(Path(c.name)), c.bRegular);
        EXPECT_EQ(IsFolder(Path(c.name)), c.bFolder);
        EXPECT_EQ(PathExists(Path(c.name)), c.bExists);
    }
    EXPECT_TRUE(IsWritable(Path("folder")));
    EXPECT_FALSE(IsWritable(Path("missing")));
}

TEST_F(FsUtilTest, MakeFoldersMakesEveryMissingLevelAndFailsOnAFileInTheWay)
{
    const std::string deep = Path("a/b/c");
    EXPECT_TRUE(MakeFolders(deep, 0700));
    EXPECT_TRUE(IsFolder(deep));
    struct stat st { };
    ASSERT_EQ(stat(deep.c_str(), &st), 0);
    EXPECT_EQ(st.st_mode & 0777, 0700u);
    EXPECT_TRUE(MakeFolders(deep)) << "an existing folder is fine";

    ASSERT_TRUE(WriteFileText(Path("plain"), "x"));
    EXPECT_FALSE(MakeFolders(Path("plain")));
    EXPECT_FALSE(MakeFolders(Path("plain/below")));
    EXPECT_FALSE(MakeFolders(""));
}

TEST_F(FsUtilTest, NamesCompareIgnoringTheCaseOfAsciiLettersOnly)
{
    EXPECT_TRUE(EqualsIgnoringCase("Address.DAT", "address.dat"));
    EXPECT_TRUE(EqualsIgnoringCase("", ""));
    EXPECT_FALSE(EqualsIgnoringCase("address.da", "address.dat"));
    EXPECT_FALSE(EqualsIgnoringCase("\xC4", "\xE4")) << "bytes above ASCII match exactly";
    EXPECT_FALSE(EqualsIgnoringCase("[", "{"));
}

TEST(ScratchFolderTest, IsFreshPerHolderAndGoesWithEverythingInIt)
{
    std::string kept;
    {
        ScratchFolder first("vw-scratchtest");
        ScratchFolder second("vw-scratchtest");
        ASSERT_TRUE(first.IsValid());
        ASSERT_TRUE(second.IsValid());
        EXPECT_NE(first.Path(), second.Path());
        EXPECT_EQ(first.Path().rfind("/tmp/vw-scratchtest-", 0), 0u);
        EXPECT_EQ(first.File("x"), first.Path() + "/x");
        ASSERT_TRUE(MakeFolders(first.File("deep/er")));
        ASSERT_TRUE(WriteFileText(first.File("deep/er/file"), "x"));
        kept = first.Path();

        std::string error;
        EXPECT_TRUE(second.Remove(&error)) << error;
        EXPECT_FALSE(second.IsValid());
    }
    EXPECT_FALSE(PathExists(kept));

    std::string released;
    {
        ScratchFolder memory("vw-scratchtest", ScratchFolder::Place::Memory);
        ASSERT_TRUE(memory.IsValid());
        released = memory.Release();
        EXPECT_FALSE(memory.IsValid());
    }
    EXPECT_TRUE(IsFolder(released)) << "a released folder is the caller's";
    rmdir(released.c_str());
}
