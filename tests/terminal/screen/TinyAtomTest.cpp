#include "terminal/screen/CharData.hpp"
#include "terminal/screen/TinyAtom.hpp"

#include <gtest/gtest.h>

#include <set>
#include <string>
#include <vector>

using namespace corvix;

namespace {

class TinyAtomTest : public ::testing::Test {
protected:
    void SetUp() override { TinyAtom::resetForTesting(); }
    void TearDown() override { TinyAtom::resetForTesting(); }
};

std::string text(const std::any& value)
{
    const auto* s = std::any_cast<std::string>(&value);
    return s ? *s : "<none>";
}

} // namespace

TEST_F(TinyAtomTest, LookupStoresAndReleaseRemoves)
{
    auto a = TinyAtom::lookup(std::string("https://a"));
    auto b = TinyAtom::lookup(std::string("https://b"));
    auto c = TinyAtom::lookup(std::string("https://c"));
    ASSERT_TRUE(a && b && c);
    EXPECT_EQ(a->code, 1);
    EXPECT_EQ(b->code, 2);
    EXPECT_EQ(text(b->target()), "https://b");

    CharData cell;
    cell.setPayload(*a);
    EXPECT_TRUE(cell.hasPayload());
    EXPECT_EQ(text(cell.getPayload()), "https://a");

    a->release();
    EXPECT_FALSE(a->target().has_value());
    EXPECT_FALSE(cell.getPayload().has_value());
    TinyAtom::release(std::set<uint16_t>{b->code, 0, 999});
    EXPECT_FALSE(b->target().has_value());
    TinyAtom::release(std::vector<uint16_t>{c->code});
    EXPECT_FALSE(c->target().has_value());

    // Fresh codes are handed out before released ones.
    auto d = TinyAtom::lookup(std::string("https://d"));
    ASSERT_TRUE(d);
    EXPECT_EQ(d->code, 4);
    EXPECT_FALSE(TinyAtom{}.target().has_value());
}

TEST_F(TinyAtomTest, GivesNothingWhileAllCodesAreInUseThenReusesReleasedCodes)
{
    uint16_t last = 0;
    for (int i = 0; i < 65534; ++i) {
        auto atom = TinyAtom::lookup(i);
        ASSERT_TRUE(atom) << i;
        last = atom->code;
    }
    EXPECT_EQ(last, 65534);
    EXPECT_FALSE(TinyAtom::lookup(std::string("one more")));
    EXPECT_EQ(std::any_cast<int>(TinyAtom{65534}.target()), 65533);

    // A released code comes back once, with the new value; releasing it twice does not let two
    // owners share it.
    TinyAtom::release(uint16_t{7});
    TinyAtom::release(uint16_t{7});
    auto reused = TinyAtom::lookup(std::string("after release"));
    ASSERT_TRUE(reused);
    EXPECT_EQ(reused->code, 7);
    EXPECT_EQ(text(reused->target()), "after release");
    EXPECT_FALSE(TinyAtom::lookup(std::string("still full")));
}
