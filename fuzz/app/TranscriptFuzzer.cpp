// libFuzzer target: any bytes as one transcript file, summed as the usage summary does when the
// statistics cache is stale. Small chunks would be slower than the real reader, so the file is fed
// whole and in pieces alike through the reader's default chunking.
#include "app/Services/usage/UsageSelfAggregator.hpp"
#include "tests/app/Services/FakeFileSystemReader.hpp"

#include <QTimeZone>

using namespace brisvane;

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    const QDateTime modified = QDateTime::fromSecsSinceEpoch(1'800'000'000, QTimeZone::utc());
    test::FakeFileSystemReader fileSystem;
    fileSystem.setListing("/p", {"project"});
    fileSystem.setListing("/p/project", {"t.jsonl"});
    fileSystem.setFile("/p/project/t.jsonl", QByteArray(reinterpret_cast<const char*>(data), qsizetype(size)), modified);
    (void)UsageSelfAggregator::aggregateTokensByModel("/p", fileSystem, QDateTime::fromSecsSinceEpoch(0, QTimeZone::utc()),
                                                      modified.addDays(1));
    return 0;
}
