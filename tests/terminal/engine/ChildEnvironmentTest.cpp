#include "terminal/engine/ChildEnvironment.hpp"

#include <gtest/gtest.h>

using namespace corvix;
using Strings = std::vector<std::string>;

TEST(ChildEnvironment, BuildsTerminalEntriesAndCarriesOnlyTheIdentityVariables)
{
    struct Case {
        const char* name;
        std::optional<std::string> termName;
        bool trueColor;
        std::vector<const char*> host;
        Strings expected;
    };
    const Case cases[] = {
        {"defaults with USER and HOME", std::nullopt, true, {"USER=ann", "PATH=/bin", "HOME=/home/ann"},
         {"TERM=xterm-256color", "COLORTERM=truecolor", "LANG=en_US.UTF-8", "USER=ann", "HOME=/home/ann"}},
        {"vt100 without true colour", "vt100", false, {},
         {"TERM=vt100", "LANG=en_US.UTF-8"}},
        {"fixed order, values with '=', host TERM/SHELL/LC_CTYPE/LANG ignored", std::nullopt, true,
         {"HOME=/h", "LC_TYPE=a=b", "DISPLAY=:0", "USER=u", "LOGNAME=l", "TERM=dumb", "SHELL=/bin/zsh",
          "LC_CTYPE=C", "LANG=C", "USERX=no", "USE=no"},
         {"TERM=xterm-256color", "COLORTERM=truecolor", "LANG=en_US.UTF-8", "LOGNAME=l", "USER=u", "DISPLAY=:0",
          "LC_TYPE=a=b", "HOME=/h"}},
        {"first definition wins, empty value kept", std::nullopt, true, {"USER=", "USER=second"},
         {"TERM=xterm-256color", "COLORTERM=truecolor", "LANG=en_US.UTF-8", "USER="}},
    };
    for (const Case& c : cases) {
        std::vector<const char*> host = c.host;
        host.push_back(nullptr);
        EXPECT_EQ(childEnvironmentVariables(c.termName, c.trueColor, host.data()), c.expected) << c.name;
    }
}

TEST(ChildEnvironment, ReadsTheProcessEnvironment)
{
    setenv("HOME", "/home/from-test", 1);
    unsetenv("DISPLAY");
    Strings env = childEnvironmentVariables();
    ASSERT_GE(env.size(), 4u);
    EXPECT_EQ(env[0], "TERM=xterm-256color");
    EXPECT_EQ(env.back(), "HOME=/home/from-test");
    for (const std::string& e : env) EXPECT_NE(e.rfind("DISPLAY=", 0), 0u) << e;
}
