// libFuzzer target: any bytes as an agent session file.
#include "app/Models/SessionRecord.hpp"
#include "app/Services/sessions/SessionStateMapper.hpp"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    (void)brisvane::SessionRecord::decode(QByteArray::fromRawData(reinterpret_cast<const char*>(data), qsizetype(size)));
    return 0;
}
