// Replays, through the fuzzer's own driver, inputs the fuzzer found worth keeping (tests/data/fuzz)
// and the fuzzer's seed corpus: each must run without breaking an invariant.
#include "fuzz/FuzzDriver.hpp"

#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <vector>

using namespace corvix;

namespace {

std::vector<std::filesystem::path> filesIn(const std::filesystem::path& dir)
{
    std::vector<std::filesystem::path> files;
    for (const auto& entry : std::filesystem::directory_iterator(dir))
        if (entry.is_regular_file() && !entry.path().filename().string().starts_with(".")) files.push_back(entry.path());
    std::sort(files.begin(), files.end());
    return files;
}

void replayAll(const std::filesystem::path& dir)
{
    const auto files = filesIn(dir);
    ASSERT_FALSE(files.empty()) << dir;
    for (const auto& file : files) {
        SCOPED_TRACE(file.filename().string());
        std::ifstream in(file, std::ios::binary);
        const std::vector<uint8_t> input{std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
        EXPECT_EQ(fuzz::runInput(input), std::nullopt);
    }
}

} // namespace

TEST(FuzzRegression, KeptInputsRun)
{
    replayAll(std::filesystem::path(BRISVANE_TEST_DATA) / "fuzz");
}

TEST(FuzzRegression, SeedCorpusRuns)
{
    replayAll(std::filesystem::path(BRISVANE_TEST_DATA) / ".." / ".." / "fuzz" / "corpus");
}
