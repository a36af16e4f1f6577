#include "app/Services/tiles/GridOrdering.hpp"

#include <gtest/gtest.h>

using namespace brisvane;

namespace {

GridTile terminal(const char* uuid)
{
    TerminalTile tile;
    tile.id = QUuid(uuid);
    return GridTile::of(tile);
}

QStringList ids(const QList<GridTile>& tiles)
{
    QStringList out;
    for (const GridTile& t : tiles) out << t.id();
    return out;
}

const GridTile A = terminal("{00000000-0000-0000-0000-00000000000a}");
const GridTile B = terminal("{00000000-0000-0000-0000-00000000000b}");
const GridTile C = terminal("{00000000-0000-0000-0000-00000000000c}");
const GridTile N = GridTile::newSession();

} // namespace

TEST(GridOrdering, IdsAndDisplayOrder)
{
    EXPECT_EQ(A.id(), "terminal-00000000-0000-0000-0000-00000000000A");
    EXPECT_EQ(N.id(), "new-session");
    struct Case {
        QStringList ordered;
        QList<GridTile> items;
        QList<GridTile> expected;
    };
    const Case cases[] = {
        {{}, {A, B, N}, {A, B, N}},
        {{B.id(), "new-session", A.id()}, {A, B, N}, {B, A, N}},
        {{B.id(), B.id(), "gone"}, {A, B, N}, {B, A, N}},
        {{"new-session", C.id()}, {N, A, C}, {C, A, N}},
    };
    for (const Case& c : cases) EXPECT_EQ(ids(GridOrdering{c.ordered}.sorted(c.items)), ids(c.expected));
}

TEST(GridOrdering, RegisteringAndMoving)
{
    const GridOrdering known{{A.id(), B.id()}};
    EXPECT_EQ(known.registeringUnknownIds({A, B, N}), known);
    EXPECT_EQ(known.registeringUnknownIds({C, A, B, N}).orderedIds, (QStringList{A.id(), B.id(), C.id()}));

    const QStringList abc{"a", "b", "c"};
    EXPECT_EQ(GridOrdering::moving("a", "c", abc).orderedIds, (QStringList{"b", "a", "c"}));
    EXPECT_EQ(GridOrdering::moving("a", "zz", abc).orderedIds, (QStringList{"b", "c", "a"}));
    EXPECT_EQ(GridOrdering::moving("a", "a", abc).orderedIds, abc);
    EXPECT_EQ(GridOrdering::moving("x", "b", abc).orderedIds, (QStringList{"a", "x", "b", "c"}));
}

TEST(GridPaginator, CutsIntoPagesOfTheCapacity)
{
    EXPECT_TRUE(GridPaginator::paginate({}, 4).isEmpty());
    const auto pages = GridPaginator::paginate({A, B, C, A, B, N}, 4);
    ASSERT_EQ(pages.size(), 2);
    EXPECT_EQ(pages[0].size(), 4);
    EXPECT_EQ(ids(pages[1]), (QStringList{B.id(), "new-session"}));
    EXPECT_EQ(GridPaginator::paginate({A, B}, 0).size(), 2);
}
