#include "terminal/graphics/KittyGraphicsControl.hpp"

#include "GraphicsTestSupport.hpp"

#include <gtest/gtest.h>

#include <functional>
#include <limits>
#include <string>

using namespace corvix;
using namespace corvix::test;

TEST(KittyGraphicsControl, ParsesKeysWithTheirFallbacks)
{
    using Change = std::function<void(KittyGraphicsControl&)>;
    const struct {
        std::string keys;
        Change expect;
    } cases[] = {
        {"", [](auto&) {}},
        {"a=T,f=100,i=31,p=7,c=3,r=2,z=-4,C=1,U=1,X=5,Y=6,H=-1,V=2,P=9,Q=8",
         [](auto& c) {
             c.action = 'T';
             c.format = 100;
             c.imageId = 31;
             c.placementId = 7;
             c.columns = 3;
             c.rows = 2;
             c.zIndex = -4;
             c.cursorPolicy = 1;
             c.unicodePlaceholder = 1;
             c.pixelOffsetX = 5;
             c.pixelOffsetY = 6;
             c.offsetH = -1;
             c.offsetV = 2;
             c.parentImageId = 9;
             c.parentPlacementId = 8;
         }},
        {"s=1,v=2,x=3,y=4,w=5,h=6,S=7,O=8,I=9,q=2",
         [](auto& c) {
             c.width = 1;
             c.height = 2;
             c.cropX = 3;
             c.cropY = 4;
             c.cropWidth = 5;
             c.cropHeight = 6;
             c.dataSize = 7;
             c.dataOffset = 8;
             c.imageNumber = 9;
             c.suppressResponses = 2;
         }},
        // Ids: 1 ... 2^32 - 1 with an optional '+'; 0 means "not given".
        {"i=0", [](auto&) {}},
        {"i=4294967296", [](auto&) {}},
        {"i=4294967295", [](auto& c) { c.imageId = 4294967295u; }},
        {"i=+7", [](auto& c) { c.imageId = 7; }},
        {"i=-1", [](auto&) {}},
        {"i=1x", [](auto&) {}},
        // Numbers: optional sign, 64-bit range, nothing else.
        {"s=+5,v=-5",
         [](auto& c) {
             c.width = 5;
             c.height = -5;
         }},
        {"s=-,v=+,x=+-5,y= 5,w=5 ", [](auto&) {}},
        {"s=9223372036854775807,v=-9223372036854775808",
         [](auto& c) {
             c.width = std::numeric_limits<int64_t>::max();
             c.height = std::numeric_limits<int64_t>::min();
         }},
        {"s=9223372036854775808,f=", [](auto&) {}},
        // Letters: the first character; empty gives the default or nothing.
        {"a=,t=,o=,d=", [](auto&) {}},
        {"a=Tx,o=z,d=A",
         [](auto& c) {
             c.action = 'T';
             c.compression = 'z';
             c.deleteMode = 'A';
         }},
        // The later item wins, even when malformed; items without '=', with a longer or
        // non-ASCII key or value are skipped without touching the field.
        {"i=1,i=2", [](auto& c) { c.imageId = 2; }},
        {"i=5,i=x", [](auto&) {}},
        {"i=5,i=\xc3\xa9,\xc3\xa9=1,a,ab=q,=q,,", [](auto& c) { c.imageId = 5; }},
        // Only inline data comes in chunks, whatever the key order.
        {"m=1", [](auto& c) { c.more = 1; }},
        {"m=1,t=f", [](auto& c) { c.transmission = 'f'; }},
        {"t=s,m=1", [](auto& c) { c.transmission = 's'; }},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.keys);
        KittyGraphicsControl expected;
        c.expect(expected);
        const auto [control, payload] = parseKittyGraphicsControl(spanOf(c.keys));
        EXPECT_EQ(control, expected);
        EXPECT_TRUE(payload.empty());
    }
}

TEST(KittyGraphicsControl, PayloadIsEverythingAfterTheFirstSemicolon)
{
    const std::string command = "a=q,i=3;AB;CD=,x";
    const auto [control, payload] = parseKittyGraphicsControl(spanOf(command));
    EXPECT_EQ(control.action, 'q');
    EXPECT_EQ(control.imageId, 3u);
    EXPECT_EQ(std::string(payload.begin(), payload.end()), "AB;CD=,x");
    EXPECT_EQ(payload.data(), spanOf(command).data() + 8); // a slice, not a copy
}
