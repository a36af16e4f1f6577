#include "app/Services/tiles/LoginShell.hpp"
#include "app/Services/tiles/TerminalEnvironmentSanitizer.hpp"

#include <gtest/gtest.h>

using namespace brisvane;

TEST(TerminalEnvironmentSanitizer, DropsTheAgentsVariablesAndSetsTerm)
{
    const QMap<QString, QString> environment{
        {"CLAUDECODE", "1"},       {"CLAUDE_CONFIG_DIR", "/c"}, {"CLAUDE_CODE_ENTRYPOINT", "cli"}, {"AI_AGENT", "x"},
        {"CLAUDEX", "kept"},       {"claude_x", "kept"},        {"MY_CLAUDE_", "kept"},           {"TERM", "dumb"},
        {"PATH", "/usr/bin:/bin"}, {"EMPTY", ""},               {"EQUALS", "a=b"},
    };
    EXPECT_EQ(TerminalEnvironmentSanitizer::sanitize(environment),
              (QMap<QString, QString>{{"CLAUDEX", "kept"}, {"claude_x", "kept"}, {"MY_CLAUDE_", "kept"}, {"TERM", "dumb"},
                                      {"PATH", "/usr/bin:/bin"}, {"EMPTY", ""}, {"EQUALS", "a=b"}}));

    QStringList strings = TerminalEnvironmentSanitizer::buildEnvironmentArray(environment);
    strings.sort();
    EXPECT_EQ(strings, (QStringList{"CLAUDEX=kept", "EMPTY=", "EQUALS=a=b", "MY_CLAUDE_=kept", "PATH=/usr/bin:/bin",
                                    "TERM=xterm-256color", "claude_x=kept"}));
    EXPECT_EQ(TerminalEnvironmentSanitizer::buildEnvironmentArray({}), QStringList{"TERM=xterm-256color"});
}

TEST(LoginShell, PrefersThePasswordDatabaseThenTheEnvironment)
{
    EXPECT_EQ(LoginShell::choose("/bin/zsh", "/bin/bash"), "/bin/zsh");
    EXPECT_EQ(LoginShell::choose(std::nullopt, "/bin/bash"), "/bin/bash");
    EXPECT_EQ(LoginShell::choose("", " "), "/bin/sh");
    EXPECT_EQ(LoginShell::choose(std::nullopt, std::nullopt), "/bin/sh");
    EXPECT_TRUE(LoginShell::path().startsWith(u'/'));
}
