#include "terminal/graphics/Base64.hpp"

#include <gtest/gtest.h>

#include <string>
#include <string_view>

using namespace corvix;
using namespace std::literals;

namespace {

std::span<const uint8_t> bytes(std::string_view s)
{
    return {reinterpret_cast<const uint8_t*>(s.data()), s.size()};
}

std::optional<std::string> decoded(std::string_view s)
{
    auto out = Base64::decode(bytes(s));
    if (!out) return std::nullopt;
    return std::string(out->begin(), out->end());
}

} // namespace

TEST(Base64, RoundTripsEveryPaddingLength)
{
    const std::pair<std::string_view, std::string_view> cases[] = {
        {"", ""}, {"f", "Zg=="}, {"fo", "Zm8="}, {"foo", "Zm9v"}, {"foob", "Zm9vYg=="},
        {"\xff\xfe\x00\x80"sv, "//4AgA=="},
    };
    for (auto [plain, encoded] : cases) {
        std::string p(plain);
        EXPECT_EQ(Base64::encode(bytes(p)), encoded);
        EXPECT_EQ(decoded(encoded), p) << encoded;
        EXPECT_EQ(Base64::decodedSize(bytes(encoded)), p.size()) << encoded;
    }
}

TEST(Base64, RejectsAnythingButStrictStandardText)
{
    for (std::string_view bad : {"Zg", "Zg=", "Zm9v\n", "Zm 9", "Zm-_", "Z===", "=Zm9", "Zg==Zg==", "Zm9v!"})
        EXPECT_FALSE(decoded(bad)) << bad;
    EXPECT_EQ(Base64::decodedSize(bytes("==")), 0u);
}
