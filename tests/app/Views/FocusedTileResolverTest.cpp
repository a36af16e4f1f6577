#include "app/Views/FocusedTileResolver.hpp"

#include <QLineEdit>
#include <QWidget>

#include <gtest/gtest.h>

using namespace brisvane;

TEST(FocusedTileResolver, FindsTheTileHoldingTheFocusWidget)
{
    QWidget window;
    auto* first = new QWidget(&window);
    auto* second = new QWidget(&window);
    auto* inside = new QLineEdit(second);
    auto* elsewhere = new QLineEdit(&window);
    const QUuid a = QUuid::createUuid();
    const QUuid b = QUuid::createUuid();
    const QMap<QUuid, QWidget*> views{{a, first}, {b, second}};

    EXPECT_EQ(FocusedTileResolver::resolve(first, views), a);
    EXPECT_EQ(FocusedTileResolver::resolve(inside, views), b);
    EXPECT_EQ(FocusedTileResolver::resolve(elsewhere, views), std::nullopt);
    EXPECT_EQ(FocusedTileResolver::resolve(&window, views), std::nullopt);
    EXPECT_EQ(FocusedTileResolver::resolve(nullptr, views), std::nullopt);
}
