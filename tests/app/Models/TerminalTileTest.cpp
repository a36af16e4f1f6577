#include "app/Models/TerminalTile.hpp"

#include "tests/app/TerminalTilePrinters.hpp"

#include <gtest/gtest.h>

using namespace brisvane;

TEST(TerminalTile, EqualOnlyWhenEveryFieldIs)
{
    EXPECT_EQ(TerminalTileLifecycle::attached(5), TerminalTileLifecycle::attached(5));
    EXPECT_NE(TerminalTileLifecycle::attached(5), TerminalTileLifecycle::attached(6));
    EXPECT_NE(TerminalTileLifecycle::attached(0), TerminalTileLifecycle::shellOnly());
    // A pid left in another case means nothing.
    EXPECT_EQ((TerminalTileLifecycle{TerminalTileLifecycle::Case::closed, 9}), TerminalTileLifecycle::closed());

    const QUuid id = QUuid::createUuid();
    const TerminalTile tile{id, TerminalTileLifecycle::attached(7), {"p", std::nullopt, false}, SessionState::idle(), "opus"};
    TerminalTile other = tile;
    EXPECT_EQ(other, tile);
    other.modelName = "sonnet";
    EXPECT_NE(other, tile);
    other = tile;
    other.projectName.isFallback = true;
    EXPECT_NE(other, tile);
}
