// The per-user files of the program (settings, default address book,
// diagnostic log) all start from one home folder, whatever the environment
// says of it.

#include <gtest/gtest.h>
#include <pwd.h>
#include <unistd.h>

#include <string>

#include "common/misc/AppFolder.h"
#include "common/misc/CxDebugUtil.h"
#include "platform/wab/WabStore.h"
#include "tests/support/TestEnv.h"
#include "tests/support/TestFiles.h"

namespace {

TEST(UserPathsTest, SettingsBookAndLogAgreeOnTheHomeFolder)
{
    const passwd* pEntry = getpwuid(getuid());
    ASSERT_TRUE(pEntry != nullptr && pEntry->pw_dir != nullptr);
    const std::string passwordHome = pEntry->pw_dir;
    vwtest::TempDir tmp{"userpaths"};
    const std::string home = tmp.File("home");

    const vwtest::ScopedEnv config("XDG_CONFIG_HOME", nullptr);
    const vwtest::ScopedEnv data("XDG_DATA_HOME", nullptr);
    const vwtest::ScopedEnv state("XDG_STATE_HOME", nullptr);
    const vwtest::ScopedEnv ini("VARNWICK_INI", nullptr);
    const vwtest::ScopedEnv log("VARNWICK_LOG", nullptr);
    const struct {
        const char* pszHome;  // HOME, null: unset
        std::string expected;
    } cases[] = {
        {home.c_str(), home},
        {nullptr, passwordHome},  // a service started without HOME
        {"", passwordHome},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.pszHome != nullptr ? c.pszHome : "(unset)");
        const vwtest::ScopedEnv homeVariable("HOME", c.pszHome);
        char szIni[MAX_PATH];
        ASSERT_TRUE(GetIniFilePathIn("", szIni, false));
        EXPECT_EQ(std::string(szIni), c.expected + "/.config/varnwick/corvane.ini");
        EXPECT_EQ(WabStore::DefaultBookPath(), c.expected + "/.local/share/varnwick/default.wab");
        EXPECT_EQ(CxDebugUtil::DefaultLogPath(), c.expected + "/.local/state/varnwick/appdebug.log");
    }
}

}  // namespace
