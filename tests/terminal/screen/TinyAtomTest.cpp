#include "terminal/screen/CharData.hpp"
#include "terminal/screen/TinyAtom.hpp"

#include <gtest/gtest.h>

#include <set>
#include <string>
#include <vector>

using namespace corvix;

namespace {

std::string text(const TinyAtomTable& table, uint16_t code)
{
    const std::string* s = table.target(code);
    return s ? *s : "<none>";
}

} // namespace

TEST(TinyAtomTest, LookupStoresAndReleaseRemoves)
{
    TinyAtomTable table;
    auto a = table.lookup("https://a");
    auto b = table.lookup("https://b");
    auto c = table.lookup("https://c");
    auto keep = table.lookup("https://keep");
    ASSERT_TRUE(a && b && c && keep);
    EXPECT_EQ(a->code, 1);
    EXPECT_EQ(b->code, 2);
    EXPECT_EQ(text(table, b->code), "https://b");
    // A value already stored keeps its code: it is stored once.
    EXPECT_EQ(table.lookup("https://a"), a);
    EXPECT_EQ(table.count(), 4u);
    EXPECT_EQ(table.bytes(), 9u + 9u + 9u + 12u);

    CharData cell;
    cell.setPayload(*a);
    EXPECT_TRUE(cell.hasPayload());
    EXPECT_EQ(text(table, cell.payload.code), "https://a");

    table.release(a->code);
    EXPECT_EQ(table.target(a->code), nullptr);
    table.release(std::set<uint16_t>{b->code, 0, 999});
    EXPECT_EQ(table.target(b->code), nullptr);
    table.release(std::vector<uint16_t>{c->code});
    EXPECT_EQ(table.target(c->code), nullptr);
    EXPECT_EQ(table.bytes(), 12u);

    // Fresh codes are handed out before released ones.
    auto d = table.lookup("https://d");
    ASSERT_TRUE(d);
    EXPECT_EQ(d->code, 5);
    EXPECT_EQ(table.target(0), nullptr);

    // Once every code is back, the table holds nothing and starts its codes again at 1.
    table.release(std::vector<uint16_t>{keep->code, d->code});
    EXPECT_EQ(table.count(), 0u);
    EXPECT_EQ(table.bytes(), 0u);
    EXPECT_EQ(table.lookup("https://e")->code, 1);
}

TEST(TinyAtomTest, GivesNothingWhileAllCodesAreInUseThenReusesReleasedCodes)
{
    TinyAtomTable table;
    uint16_t last = 0;
    for (int i = 0; i < 65534; ++i) {
        auto atom = table.lookup(std::to_string(i));
        ASSERT_TRUE(atom) << i;
        last = atom->code;
    }
    EXPECT_EQ(last, 65534);
    EXPECT_FALSE(table.lookup("one more"));
    EXPECT_EQ(text(table, 65534), "65533");

    // A released code comes back once, with the new value; releasing it twice does not let two
    // owners share it.
    table.release(uint16_t{7});
    table.release(uint16_t{7});
    auto reused = table.lookup("after release");
    ASSERT_TRUE(reused);
    EXPECT_EQ(reused->code, 7);
    EXPECT_EQ(text(table, reused->code), "after release");
    EXPECT_FALSE(table.lookup("still full"));
}

TEST(TinyAtomTest, RefusesValuesPastTheByteBound)
{
    TinyAtomTable table(10);
    EXPECT_TRUE(table.lookup("123456"));
    EXPECT_FALSE(table.lookup("12345"));
    EXPECT_TRUE(table.lookup("1234"));
    EXPECT_EQ(table.bytes(), 10u);
    table.release(uint16_t{1});
    EXPECT_TRUE(table.lookup("12345"));
}

TEST(TinyAtomTest, TablesAreIndependent)
{
    TinyAtomTable first;
    TinyAtomTable second;
    for (int i = 0; i < 65534; ++i) ASSERT_TRUE(first.lookup(std::to_string(i)));
    auto atom = second.lookup("https://second");
    ASSERT_TRUE(atom);
    EXPECT_EQ(atom->code, 1);
    EXPECT_EQ(text(second, 1), "https://second");
    EXPECT_EQ(text(first, 1), "0");
}
