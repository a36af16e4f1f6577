#include "terminal/view/CoreLogSink.hpp"

#include "terminal/screen/Log.hpp"
#include "terminal/view/TerminalView.hpp"

#include <QLoggingCategory>

#include <gtest/gtest.h>

#include <string>
#include <utility>
#include <vector>

using namespace corvix;

namespace {

// Collects what reaches Qt's message handler while it lives, and puts the filter rules back.
class QtMessages {
public:
    QtMessages()
    {
        current_ = this;
        previous_ = qInstallMessageHandler([](QtMsgType type, const QMessageLogContext& context, const QString& text) {
            current_->messages.push_back({QString::fromUtf8(context.category), text});
        });
    }
    ~QtMessages()
    {
        qInstallMessageHandler(previous_);
        QLoggingCategory::setFilterRules(QString());
        current_ = nullptr;
    }

    std::vector<std::pair<QString, QString>> messages;

private:
    static inline QtMessages* current_ = nullptr;
    QtMessageHandler previous_ = nullptr;
};

} // namespace

// One test walks the whole seam: the sink a view installs stays for the process.
TEST(CoreLogSink, AViewRoutesTheCoresLinesToQtCategoriesThatRulesSilence)
{
    TerminalView view(QRect(0, 0, 320, 200));
    QtMessages qt;

    // A diagnostic the engine writes for its child's input arrives in corvix.engine.
    view.getTerminal().silentLog = false;
    view.feed("\x1b[6m");
    log::write(log::Category::process, log::Level::warning, "poll failed");
    ASSERT_EQ(qt.messages.size(), 2u);
    EXPECT_EQ(qt.messages[0], std::make_pair(QString("corvix.engine"), QString("Unknown SGR attribute: 6 [6]")));
    EXPECT_EQ(qt.messages[1], std::make_pair(QString("corvix.process"), QString("poll failed")));

    // The rules govern them; a line of another category after them shows the handler still hears.
    qt.messages.clear();
    QLoggingCategory::setFilterRules("corvix.*=false");
    view.feed("\x1b[6m");
    log::write(log::Category::screen, log::Level::warning, "an inconsistency");
    qWarning("marker");
    ASSERT_EQ(qt.messages.size(), 1u);
    EXPECT_EQ(qt.messages[0].second, "marker");
}

TEST(CoreLogSinkDeathTest, FatalLinesGetThroughEveryRule)
{
    TerminalView view(QRect(0, 0, 320, 200));
    EXPECT_DEATH(
        {
            QLoggingCategory::setFilterRules("corvix.*=false\n*.critical=false");
            log::fatal("the ring lost its slots");
        },
        "the ring lost its slots");
}
