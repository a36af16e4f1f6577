// The application's first start on a machine where the agent has never run: its folders are not
// there yet. That is no error; the sessions folder is watched once the agent makes it.
#include "app/App/ViewCompositionRoot.hpp"
#include "app/Services/platform/AppNotificationCenter.hpp"
#include "app/ViewModels/DashboardViewModel.hpp"
#include "tests/app/AgentHome.hpp"

#include <QDir>
#include <QTemporaryDir>
#include <QTest>

#include <gtest/gtest.h>

using namespace brisvane;

namespace {

QStringList notificationKeys(DashboardViewModel& model)
{
    QStringList keys;
    for (const AppNotification& notification : model.appNotificationCenter().activeNotifications())
        keys.append(notification.dedupeKey);
    return keys;
}

} // namespace

TEST(FirstStart, MissingAgentFoldersAreNoErrorAndTheSessionsFolderIsWatchedOnceMade)
{
    for (const bool withAgentHome : {true, false}) {
        SCOPED_TRACE(withAgentHome ? "no sessions folder" : "no agent home");
        QTemporaryDir home;
        ASSERT_TRUE(home.isValid());
        if (withAgentHome) ASSERT_TRUE(QDir(home.path()).mkdir(".claude"));
        std::unique_ptr<DashboardViewModel> model = makeViewModel(home.path());
        model->start();
        // The window coming to the front checks the folder at once, as the application does.
        model->handleDidBecomeActive();
        // Two whole refreshes: the first pass, and the one the watcher's first check asks for.
        ASSERT_TRUE(QTest::qWaitFor([&] { return model->refreshCount() >= 2 && model->refreshesInFlight() == 0; },
                                    20'000));
        EXPECT_EQ(notificationKeys(*model), QStringList()) << "a new user's first screen shows no error";

        // The agent runs for the first time: the folder comes with a session in it, found by the
        // watcher's own poll.
        const QString sessions = home.path() + "/.claude/sessions";
        test::writeFile(sessions + "/900001.json",
                        R"({"pid":900001,"sessionId":"00000000-0000-4000-8000-000000900001","cwd":"/work/alpha",)"
                        R"("startedAt":1796917384503,"version":"2.1.197","kind":"interactive","entrypoint":"cli",)"
                        R"("name":"alpha","nameSource":"derived","status":"busy","updatedAt":1796917424904})");
        ASSERT_TRUE(QTest::qWaitFor([&] { return model->tiles().size() == 1; }, 30'000));
        EXPECT_EQ(notificationKeys(*model), QStringList());
        model->stop();
    }
}
