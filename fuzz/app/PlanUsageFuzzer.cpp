// libFuzzer target: any bytes as the plan-usage file, decoded and summarised.
#include "app/Models/BrisvaneUsageFile.hpp"
#include "app/Services/usage/PlanUsageParser.hpp"

using namespace brisvane;

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    const auto file = BrisvaneUsageFile::decode(QByteArray::fromRawData(reinterpret_cast<const char*>(data), qsizetype(size)));
    if (file) (void)PlanUsageParser::summary(*file);
    return 0;
}
