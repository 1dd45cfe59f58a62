#include "common/misc/AppFolder.h"

#include <gtest/gtest.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdlib>
#include <cstring>
#include <fstream>
#include <string>

#include "tests/support/TestEnv.h"
#include "tests/support/TestFiles.h"

namespace {

TEST(AppFolderTest, IsTheExecutablesFolderWithATrailingSlash)
{
    char folder[MAX_PATH];
    ASSERT_TRUE(GetAppFolder(nullptr, folder));
    char exe[4096];
    const ssize_t length = readlink("/proc/self/exe", exe, sizeof(exe) - 1);
    ASSERT_GT(length, 0);
    const std::string path(exe, static_cast<size_t>(length));
    EXPECT_EQ(std::string(folder), path.substr(0, path.rfind('/') + 1));
    EXPECT_FALSE(GetAppFolder(nullptr, nullptr));
}

// Runs each case with a clean environment and restores it afterwards.
class IniPathTest : public ::testing::Test {
protected:
    void SetUp() override { SetIniFilePathOverride(nullptr); }
    void TearDown() override
    {
        SetIniFilePathOverride(nullptr);
        chmod((dir + "/readonly").c_str(), 0755);
    }
    std::string Resolve(const std::string& appFolder, bool forWriting = false) const
    {
        char path[MAX_PATH];
        EXPECT_TRUE(GetIniFilePathIn(appFolder.c_str(), path, forWriting));
        return path;
    }
    vwtest::TempDir m_tmp{"inipath"};
    const std::string dir = m_tmp.Path();
    const vwtest::ScopedEnv m_iniVariable{"VARNWICK_INI", nullptr};
    const vwtest::ScopedEnv m_configHome{"XDG_CONFIG_HOME", (dir + "/xdg").c_str()};
    const vwtest::ScopedEnv m_home{"HOME", (dir + "/home").c_str()};
};

TEST_F(IniPathTest, WritableProgramFolderHoldsTheFile)
{
    EXPECT_EQ(Resolve(dir + "/"), dir + "/corvane.ini");
}

TEST_F(IniPathTest, UnwritableProgramFolderFallsBackToTheUserConfig)
{
    const std::string missingFolder = dir + "/gone/";
    EXPECT_EQ(Resolve(missingFolder), dir + "/xdg/varnwick/corvane.ini");
    struct stat st { };
    EXPECT_NE(stat((dir + "/xdg/varnwick").c_str(), &st), 0);  // not created for reading
    EXPECT_EQ(Resolve(missingFolder, true), dir + "/xdg/varnwick/corvane.ini");
    EXPECT_EQ(stat((dir + "/xdg/varnwick").c_str(), &st), 0);

    unsetenv("XDG_CONFIG_HOME");
    EXPECT_EQ(Resolve(missingFolder), dir + "/home/.config/varnwick/corvane.ini");
    setenv("XDG_CONFIG_HOME", "relative/is/ignored", 1);
    EXPECT_EQ(Resolve(missingFolder), dir + "/home/.config/varnwick/corvane.ini");
}

TEST_F(IniPathTest, InstalledProgramKeepsItsSettingsWithTheUser)
{
    // <prefix>/bin/ beside <prefix>/share/varnwick/: writable (as root it
    // would be), yet the settings go to the user's config folder...
    ASSERT_EQ(mkdir((dir + "/bin").c_str(), 0755), 0);
    ASSERT_EQ(mkdir((dir + "/share").c_str(), 0755), 0);
    ASSERT_EQ(mkdir((dir + "/share/varnwick").c_str(), 0755), 0);
    EXPECT_EQ(Resolve(dir + "/bin/"), dir + "/xdg/varnwick/corvane.ini");
    // ...unless a settings file was put beside the program on purpose.
    std::ofstream(dir + "/bin/corvane.ini") << "[iSysVal]\n";
    EXPECT_EQ(Resolve(dir + "/bin/"), dir + "/bin/corvane.ini");
}

// Resolves as the current user, or, for root (who may write anywhere), in a
// child process running as an unprivileged user.
std::string ResolveAsUnprivileged(const std::string& appFolder)
{
    char path[MAX_PATH] = "";
    if (geteuid() != 0) {
        GetIniFilePathIn(appFolder.c_str(), path, false);
        return path;
    }
    int fds[2];
    if (pipe(fds) != 0)
        return "pipe failed";
    const pid_t child = fork();
    if (child == 0) {
        close(fds[0]);
        if (setgid(65534) != 0 || setuid(65534) != 0)
            _exit(1);
        GetIniFilePathIn(appFolder.c_str(), path, false);
        const ssize_t wrote = write(fds[1], path, std::strlen(path));
        _exit(wrote < 0 ? 1 : 0);
    }
    close(fds[1]);
    std::string result;
    char buffer[MAX_PATH];
    ssize_t got = 0;
    while ((got = read(fds[0], buffer, sizeof(buffer))) > 0)
        result.append(buffer, static_cast<size_t>(got));
    close(fds[0]);
    int status = 0;
    waitpid(child, &status, 0);
    return WIFEXITED(status) && WEXITSTATUS(status) == 0 ? result : "child failed";
}

TEST_F(IniPathTest, ReadOnlyProgramFolder)
{
    ASSERT_EQ(chmod(dir.c_str(), 0755), 0);
    const std::string folder = dir + "/readonly/";
    ASSERT_EQ(mkdir(folder.c_str(), 0555), 0);
    ASSERT_EQ(chmod(folder.c_str(), 0555), 0);
    EXPECT_EQ(ResolveAsUnprivileged(folder), dir + "/xdg/varnwick/corvane.ini");
    // A file already there is still the one to use.
    ASSERT_EQ(chmod(folder.c_str(), 0755), 0);
    std::ofstream(folder + "corvane.ini") << "[iSysVal]\n";
    ASSERT_EQ(chmod(folder.c_str(), 0555), 0);
    EXPECT_EQ(ResolveAsUnprivileged(folder), folder + "corvane.ini");
}

TEST_F(IniPathTest, OverrideBeatsEnvironmentBeatsFolder)
{
    setenv("VARNWICK_INI", "/env/corvane.ini", 1);
    EXPECT_EQ(Resolve(dir + "/"), "/env/corvane.ini");
    SetIniFilePathOverride("/override/x.ini");
    EXPECT_EQ(Resolve(dir + "/"), "/override/x.ini");
    char path[MAX_PATH];
    EXPECT_TRUE(GetIniFilePath(path));
    EXPECT_STREQ(path, "/override/x.ini");
    SetIniFilePathOverride(nullptr);
    EXPECT_EQ(Resolve(dir + "/"), "/env/corvane.ini");

    setenv("VARNWICK_INI", std::string(300, 'a').c_str(), 1);
    EXPECT_FALSE(GetIniFilePathIn(dir.c_str(), path, false));
    EXPECT_STREQ(path, "");
}

}  // namespace
