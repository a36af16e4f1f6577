// libFuzzer target: any bytes as a spoken-summary file.
#include "app/Models/BrisvaneConclusionFile.hpp"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    (void)brisvane::BrisvaneConclusionFile::decode(
        QByteArray::fromRawData(reinterpret_cast<const char*>(data), qsizetype(size)));
    return 0;
}
