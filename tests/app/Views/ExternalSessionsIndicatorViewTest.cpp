#include "app/Views/DashboardStyle.hpp"
#include "app/Views/ExternalSessionsIndicatorView.hpp"
#include "app/Views/PopoverFrame.hpp"

#include <QLabel>
#include <QTest>

#include <gtest/gtest.h>

using namespace brisvane;

namespace {

SessionTile session(const QString& id, SessionState state, const QString& primary,
                    std::optional<QString> secondary = std::nullopt)
{
    return {id, std::move(state), {primary, std::move(secondary), false}, QStringLiteral("Opus 4.5"), std::nullopt};
}

QString childText(const QWidget* row, const char* name)
{
    const auto* label = row->findChild<QLabel*>(name);
    return label ? label->text() : QStringLiteral("<none>");
}

QColor dotColor(const QWidget* row)
{
    for (const QWidget* child : row->findChildren<QWidget*>())
        if (child->property("dotColor").isValid()) return child->property("dotColor").value<QColor>();
    return {};
}

} // namespace

TEST(ExternalSessionsIndicatorView, NoSessionsTakeNeitherSpaceNorClicks)
{
    QWidget bar;
    auto* indicator = new ExternalSessionsIndicatorView(&bar);
    bar.show();
    indicator->setSessions({});
    EXPECT_FALSE(indicator->isVisible());
    indicator->setSessions({session("1", SessionState::idle(), "alpha")});
    EXPECT_TRUE(indicator->isVisible());
    indicator->setSessions({});
    EXPECT_FALSE(indicator->isVisible());
    EXPECT_EQ(bar.childAt(indicator->geometry().center()), nullptr);
}

TEST(ExternalSessionsIndicatorView, BadgeCountsAndThePopoverListsEverySessionInOrder)
{
    const QList<SessionTile> sessions{
        session("11", SessionState::waiting(QStringLiteral("Bash の許可")), "alpha", QStringLiteral("fix-login")),
        session("12", SessionState::busy(), QString(200, QLatin1Char('b'))),
        session("13", SessionState::terminated(), "gamma"),
    };
    ExternalSessionsIndicatorView indicator;
    indicator.setSessions(sessions);
    indicator.show();
    EXPECT_EQ(indicator.text(), "外部セッション: 3");
    EXPECT_EQ(indicator.accessibleName(), "外部セッション 3件");
    EXPECT_FALSE(indicator.isShowingPopover());

    QTest::mouseClick(&indicator, Qt::LeftButton);
    EXPECT_TRUE(indicator.isShowingPopover());
    PopoverFrame& popover = indicator.popover();
    ASSERT_TRUE(popover.isPresented());
    EXPECT_EQ(popover.findChild<QLabel*>()->text(), "外部セッション");
    const QList<QWidget*> rows = popover.findChildren<QWidget*>("sessionRow");
    ASSERT_EQ(rows.size(), 3);
    EXPECT_EQ(popover.findChildren<QWidget*>("divider").size(), 2);
    for (qsizetype i = 0; i < rows.size(); ++i) {
        // Dividers lie between rows only.
        if (i + 1 < rows.size()) {
            EXPECT_LT(rows[i]->geometry().bottom(), rows[i + 1]->geometry().top());
        }
        EXPECT_EQ(childText(rows[i], "projectName"), sessions[i].projectName.primary);
        EXPECT_EQ(childText(rows[i], "modelName"), "Opus 4.5");
    }

    // Waiting: its label and red, never its reason; the session name is a third line.
    EXPECT_EQ(childText(rows[0], "stateLabel"), "許可待ち");
    EXPECT_EQ(dotColor(rows[0]), DashboardStyle::red());
    EXPECT_EQ(childText(rows[0], "secondaryName"), "fix-login");
    for (const QLabel* label : popover.findChildren<QLabel*>()) EXPECT_FALSE(label->text().contains("Bash"));
    // No secondary name: two lines.
    EXPECT_EQ(rows[1]->findChild<QLabel*>("secondaryName"), nullptr);
    EXPECT_EQ(childText(rows[1], "stateLabel"), "実行中");
    EXPECT_EQ(dotColor(rows[1]), DashboardStyle::green());
    EXPECT_EQ(childText(rows[2], "stateLabel"), "終了");
    EXPECT_EQ(dotColor(rows[2]), DashboardStyle::white());

    // A very long name is cut; its state label keeps its room at the end of the line.
    const QWidget* longName = rows[1]->findChild<QLabel*>("projectName");
    const QWidget* state = rows[1]->findChild<QLabel*>("stateLabel");
    EXPECT_LE(longName->geometry().right() + 4, state->geometry().left());
    EXPECT_LE(state->geometry().right(), rows[1]->width());

    popover.dismiss();
    EXPECT_FALSE(indicator.isShowingPopover());

    // One session: one row, no divider.
    indicator.setSessions({session("21", SessionState::idle(), "solo")});
    QTest::mouseClick(&indicator, Qt::LeftButton);
    EXPECT_EQ(popover.findChildren<QWidget*>("sessionRow").size(), 1);
    EXPECT_EQ(popover.findChildren<QWidget*>("divider").size(), 0);
    EXPECT_EQ(dotColor(popover.findChild<QWidget*>("sessionRow")), DashboardStyle::grey());
}
