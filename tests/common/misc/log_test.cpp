#include "common/misc/CxDebugUtil.h"

#include <gtest/gtest.h>
#include <unistd.h>

#include <filesystem>
#include <fstream>
#include <string>

#include "common/misc/CxFile.h"
#include "tests/support/TestEnv.h"
#include "tests/support/TestFiles.h"
#include "tests/support/TestTime.h"

namespace {

TEST(LogFormat, LinesReadAsSpecified)
{
    const SYSTEMTIME t = vwtest::MakeSystemTime(2024, 5, 7, 9, 8, 7);
    const struct {
        int level;
        const char* source;
        int line;
        DWORD thread;
        const char* expected;
    } cases[] = {
        {0, "C:\\work\\common\\PalmAddr", 197, 0x1a4,
         "[2024/05/07 09:08:07][PalmAddr            (197 )][001a4][!!!] - msg"},
        {2, "/work/main/common/palm/PmAddrUtil.cpp", 12345, 0x1234567,
         "[2024/05/07 09:08:07][PmAddrUtil.cpp      (12345)][1234567][   ] - msg"},
        {0, "dir\\sub/LongerThanTwentyChars.cpp", 1, 0,
         "[2024/05/07 09:08:07][LongerThanTwentyChars.cpp(1   )][00000][!!!] - msg"},
        {0, "NoSeparator.cpp", 5, 1, "[2024/05/07 09:08:07][<null>              (5   )][00001][!!!] - msg"},
        {0, nullptr, 5, 1, "[2024/05/07 09:08:07][<null>              (5   )][00001][!!!] - msg"},
    };
    for (const auto& c : cases)
        EXPECT_EQ(CxDebugUtil::FormatEntry(c.level, c.source, c.line, t, c.thread, "msg"), c.expected);
}

class LogFileTest : public ::testing::Test {
protected:
    void SetUp() override { log.SetFolder((m_tmp.Path() + "/").c_str()); }
    std::string ReadLog() const { return vwtest::ReadFileText(path); }

    vwtest::TempDir m_tmp{"log"};
    const std::string path = m_tmp.File("appdebug.log");
    CxDebugUtil log;
};

TEST_F(LogFileTest, OnlyErrorsAreWrittenByDefault)
{
    EXPECT_EQ(log.GetLogPath(), path);
    log.Log(2, __FILE__, __LINE__, "Loading %s", "x");
    EXPECT_EQ(CxFile::GetFileLength(path.c_str()), -1);

    log.Log(0, "/src/PmAddrUtil.cpp", 77, "Can not load Palm Desktop Contacts: %s", "/a/address.dat");
    const std::string text = ReadLog();
    ASSERT_GT(text.size(), 60u) << text;
    EXPECT_EQ(text.substr(20, 30), "][PmAddrUtil.cpp      (77  )][");
    const size_t threadEnd = text.find(']', 50);
    ASSERT_NE(threadEnd, std::string::npos);
    const std::string thread = text.substr(50, threadEnd - 50);
    EXPECT_GE(thread.size(), 5u);
    EXPECT_EQ(std::stoul(thread, nullptr, 16), GetCurrentThreadId());
    EXPECT_EQ(text.substr(threadEnd), "][!!!] - Can not load Palm Desktop Contacts: /a/address.dat\r\n");

    log.SetDetail(true, 2);
    log.Log(2, "/src/x.cpp", 1, "detail");
    log.Log(3, "/src/x.cpp", 2, "too detailed");
    const std::string after = ReadLog();
    EXPECT_NE(after.find("[   ] - detail\r\n"), std::string::npos);
    EXPECT_EQ(after.find("too detailed"), std::string::npos);
}

TEST_F(LogFileTest, TruncatesOnlyPastTenMegabytes)
{
    for (const long size : {10485760L, 10485761L}) {
        SCOPED_TRACE(size);
        std::ofstream(path, std::ios::binary).close();
        ASSERT_EQ(truncate(path.c_str(), size), 0);
        log.Log(0, "/a/b.cpp", 1, "next");
        const int length = CxFile::GetFileLength(path.c_str());
        if (size == CxDebugUtil::kMaxLogSize) {
            EXPECT_GT(length, size);
        } else {
            const std::string text = ReadLog();
            EXPECT_EQ(static_cast<size_t>(length), text.size());
            EXPECT_EQ(text.front(), '[');
            EXPECT_EQ(text.find("\r\n"), text.size() - 2);
        }
    }
}

TEST_F(LogFileTest, OverlongMessagesAreCut)
{
    const std::string huge(10000, 'x');
    log.Log(0, "/a/b.cpp", 1, "%s", huge.c_str());
    const std::string text = ReadLog();
    const size_t start = text.find(" - ") + 3;
    EXPECT_EQ(text.size() - 2 - start, CxDebugUtil::kMessageSize - 1);
}

// Where the log goes when no test points it elsewhere: never the folder the
// program was started from.
TEST(LogPlace, StateFolderOfTheUserOrTheFileVarnwickLogNames)
{
    vwtest::TempDir tmp{"logplace"};
    const std::string home = tmp.Path() + "/home";
    const vwtest::ScopedEnv homeVariable{"HOME", home.c_str()};
    const vwtest::ScopedEnv stateVariable{"XDG_STATE_HOME", nullptr};
    const vwtest::ScopedEnv logVariable{"VARNWICK_LOG", nullptr};
    const std::string startFolder = tmp.Path() + "/started-here";
    std::filesystem::create_directories(startFolder);
    char szOldFolder[4096];
    ASSERT_NE(getcwd(szOldFolder, sizeof szOldFolder), nullptr);
    ASSERT_EQ(chdir(startFolder.c_str()), 0);

    const std::string state = tmp.Path() + "/state";
    const std::string named = tmp.Path() + "/named.log";
    struct Case {
        const char* pszState;  // XDG_STATE_HOME, null: unset
        const char* pszLog;    // VARNWICK_LOG, null: unset
        std::string expected;
    } cases[] = {
        {nullptr, nullptr, home + "/.local/state/varnwick/appdebug.log"},
        {"relative/state", nullptr, home + "/.local/state/varnwick/appdebug.log"},
        {"", "", home + "/.local/state/varnwick/appdebug.log"},
        {state.c_str(), nullptr, state + "/varnwick/appdebug.log"},
        {state.c_str(), named.c_str(), named},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.expected);
        const vwtest::ScopedEnv stateCase{"XDG_STATE_HOME", c.pszState};
        const vwtest::ScopedEnv logCase{"VARNWICK_LOG", c.pszLog};
        CxDebugUtil log;
        EXPECT_EQ(log.GetLogPath(), c.expected);
        log.Log(0, "/a/b.cpp", 1, "placed");
        EXPECT_NE(vwtest::ReadFileText(c.expected).find("] - placed\r\n"), std::string::npos);
        std::filesystem::remove(c.expected);
    }
    EXPECT_TRUE(std::filesystem::is_empty(startFolder));

    // A test's folder wins until it is given back.
    CxDebugUtil log;
    log.SetFolder((tmp.Path() + "/").c_str());
    EXPECT_EQ(log.GetLogPath(), tmp.Path() + "/appdebug.log");
    log.SetFolder(nullptr);
    EXPECT_EQ(log.GetLogPath(), home + "/.local/state/varnwick/appdebug.log");
    ASSERT_EQ(chdir(szOldFolder), 0);
}

}  // namespace
