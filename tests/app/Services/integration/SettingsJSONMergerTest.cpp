#include "app/Services/integration/SettingsJSONMerger.hpp"

#include "tests/app/HookPrinters.hpp"
#include "tests/app/Printers.hpp"

#include <QJsonDocument>

#include <gtest/gtest.h>

using namespace brisvane;

namespace {

const QString kOurs = QStringLiteral("/data/Brisvane/hooks/brisvane-say.sh");
const QString kLegacy = QStringLiteral("/home/u/.claude/brisvane-say.sh");
const QStringList kOwned{kOurs, kLegacy, u'\'' + kOurs + u'\''};

QJsonObject json(const char* text)
{
    QJsonParseError error;
    const QJsonDocument document = QJsonDocument::fromJson(QByteArray(text), &error);
    EXPECT_EQ(error.error, QJsonParseError::NoError) << text;
    return document.object();
}

std::string compact(const QJsonObject& object)
{
    return QJsonDocument(object).toJson(QJsonDocument::Compact).toStdString();
}

} // namespace

TEST(SettingsJSONMergerTest, ReadsTheStatusLineState)
{
    const QStringList owned{"/data/Brisvane/hooks/brisvane-statusline.sh", "/home/u/.claude/brisvane-statusline.sh"};
    const struct {
        const char* settings;
        QStringList owned;
        HookInstallState expected;
    } cases[] = {
        {"{}", owned, HookInstallState::notInstalled()},
        {R"({"statusLine":{"command":"'/data/Brisvane/hooks/brisvane-statusline.sh'"}})", owned, HookInstallState::installed()},
        {R"({"statusLine":{"command":"bash /data/Brisvane/hooks/brisvane-statusline.sh --compact"}})", owned,
         HookInstallState::installed()},
        {R"({"statusLine":{"command":"/home/u/.claude/brisvane-statusline.sh"}})", owned, HookInstallState::installed()},
        {R"({"statusLine":{"type":"command","command":"~/bin/status.sh"}})", owned, HookInstallState::conflicting("~/bin/status.sh")},
        {R"({"statusLine":"status.sh"})", owned, HookInstallState::conflicting(R"("status.sh")")},
        {R"({"statusLine":5})", owned, HookInstallState::conflicting("5")},
        {R"({"statusLine":null})", owned, HookInstallState::conflicting("null")},
        {R"({"statusLine":{"type":"command"}})", owned, HookInstallState::conflicting(R"({"type":"command"})")},
        {R"({"statusLine":{"command":["a"]}})", owned, HookInstallState::conflicting(R"({"command":["a"]})")},
        // Empty owned strings own nothing, not every command.
        {R"({"statusLine":{"command":"/x/brisvane-statusline.sh"}})", {"", ""}, HookInstallState::conflicting("/x/brisvane-statusline.sh")},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.settings);
        EXPECT_EQ(SettingsJSONMerger::statusLineState(json(c.settings), c.owned), c.expected);
    }
}

TEST(SettingsJSONMergerTest, ListsStopCommandsSkippingWhatIsNotAnObject)
{
    const QJsonObject settings = json(R"({"hooks":{"Stop":[
        {"hooks":[{"command":"a"},{"type":"command"},7,{"command":"b"}]},
        "stray",
        {"matcher":"x"},
        {"hooks":"not an array"},
        {"hooks":[{"command":"c"}]}]}})");
    EXPECT_EQ(SettingsJSONMerger::stopHookCommands(settings), (QStringList{"a", "b", "c"}));
    for (const char* empty : {"{}", R"({"hooks":[]})", R"({"hooks":{"Stop":{}}})", R"({"hooks":{"PreToolUse":[{"hooks":[{"command":"a"}]}]}})"}) {
        EXPECT_TRUE(SettingsJSONMerger::stopHookCommands(json(empty)).isEmpty()) << empty;
    }
}

TEST(SettingsJSONMergerTest, InstallsTheStopHookOnceBesideTheUsersHooks)
{
    const std::string ours = R"({"hooks":[{"command":"/data/Brisvane/hooks/brisvane-say.sh","timeout":10,"type":"command"}]})";
    const struct {
        const char* name;
        const char* settings;
        std::string expected; // empty: unchanged
    } cases[] = {
        {"empty document", "{}", R"({"hooks":{"Stop":[)" + ours + "]}}"},
        {"already there at the legacy path", R"({"hooks":{"Stop":[{"hooks":[{"command":"/home/u/.claude/brisvane-say.sh"}]}]}})", ""},
        {"already there, wrapped", R"({"hooks":{"Stop":[{"hooks":[{"command":"sh '/data/Brisvane/hooks/brisvane-say.sh' -v"}]}]}})", ""},
        {"other events and groups keep their order",
         R"({"model":"opus","hooks":{"PreToolUse":[{"matcher":"Bash","hooks":[{"command":"guard"}]}],"Stop":[{"hooks":[{"command":"notify"}]}]}})",
         R"({"hooks":{"PreToolUse":[{"hooks":[{"command":"guard"}],"matcher":"Bash"}],"Stop":[{"hooks":[{"command":"notify"}]},)" + ours
             + R"(]},"model":"opus"})"},
        // A stray element stays where it is; the user's group is not lost.
        {"a non-object element in Stop", R"({"hooks":{"Stop":[5,{"hooks":[{"command":"notify"}]}]}})",
         R"({"hooks":{"Stop":[5,{"hooks":[{"command":"notify"}]},)" + ours + "]}}"},
        {"hooks of another type", R"({"hooks":"none"})", R"({"hooks":{"Stop":[)" + ours + "]}}"},
        {"Stop of another type", R"({"hooks":{"Stop":{"command":"x"}}})", R"({"hooks":{"Stop":[)" + ours + "]}}"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        const QJsonObject settings = json(c.settings);
        const QJsonObject installed = SettingsJSONMerger::installingStopHook(settings, kOurs, kOwned);
        EXPECT_EQ(compact(installed), c.expected.empty() ? compact(settings) : c.expected);
        // Installing is idempotent.
        EXPECT_EQ(SettingsJSONMerger::installingStopHook(installed, kOurs, kOwned), installed);
    }
}

TEST(SettingsJSONMergerTest, RemovesOnlyTheApplicationsStopEntries)
{
    const struct {
        const char* name;
        const char* settings;
        const char* expected; // nullptr: unchanged
    } cases[] = {
        {"the only group, beside another event",
         R"({"hooks":{"PreToolUse":[{"hooks":[{"command":"guard"}]}],"Stop":[{"hooks":[{"command":"/data/Brisvane/hooks/brisvane-say.sh"}]}]}})",
         R"({"hooks":{"PreToolUse":[{"hooks":[{"command":"guard"}]}]}})"},
        {"the only event", R"({"model":"opus","hooks":{"Stop":[{"hooks":[{"command":"'/data/Brisvane/hooks/brisvane-say.sh'"}]}]}})",
         R"({"model":"opus"})"},
        {"a shared group keeps the user's entry and its other members",
         R"({"hooks":{"Stop":[{"matcher":"*","hooks":[{"command":"notify"},{"command":"/home/u/.claude/brisvane-say.sh"}]}]}})",
         R"({"hooks":{"Stop":[{"hooks":[{"command":"notify"}],"matcher":"*"}]}})"},
        {"a non-object element stays in place",
         R"({"hooks":{"Stop":[5,{"hooks":[{"command":"/data/Brisvane/hooks/brisvane-say.sh"}]},{"hooks":[{"command":"notify"}]}]}})",
         R"({"hooks":{"Stop":[5,{"hooks":[{"command":"notify"}]}]}})"},
        {"a non-object entry stays in its group",
         R"({"hooks":{"Stop":[{"hooks":["x",{"command":"/data/Brisvane/hooks/brisvane-say.sh"}]}]}})",
         R"({"hooks":{"Stop":[{"hooks":["x"]}]}})"},
        {"an empty Stop goes", R"({"hooks":{"Stop":[],"PreToolUse":[]}})", R"({"hooks":{"PreToolUse":[]}})"},
        {"nothing of ours", R"({"hooks":{"Stop":[{"hooks":[{"command":"notify"}]},{}]}})", nullptr},
        {"Stop of another type", R"({"hooks":{"Stop":{"hooks":[{"command":"/data/Brisvane/hooks/brisvane-say.sh"}]}}})", nullptr},
        {"empty hooks", R"({"hooks":{}})", nullptr},
        {"empty document", "{}", nullptr},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        const QJsonObject settings = json(c.settings);
        EXPECT_EQ(compact(SettingsJSONMerger::removingStopHook(settings, kOwned)),
                  c.expected ? compact(json(c.expected)) : compact(settings));
    }
}
