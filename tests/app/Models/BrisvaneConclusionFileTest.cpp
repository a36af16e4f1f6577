#include "app/Models/BrisvaneConclusionFile.hpp"

#include "tests/app/Printers.hpp"

#include <gtest/gtest.h>

using namespace brisvane;

namespace {

void PrintTo(const BrisvaneConclusionFile& file, std::ostream* out)
{
    *out << "{pid " << file.pid.value_or(-1) << ", text "
         << file.text.value_or(QStringLiteral("(none)")).toStdString() << ", at " << file.capturedAt.value_or(-1)
         << "}";
}

} // namespace

TEST(BrisvaneConclusionFile, DecodesOptionalKeysAndRejectsWrongTypes)
{
    BrisvaneConclusionFile full;
    full.pid = 4242;
    full.sessionId = QStringLiteral("422f8e9a-0da1-4a54-8388-8912e6a4f6d7");
    full.text = QString::fromUtf8("テストが通りました");
    full.capturedAt = 1796917700.25;
    const QByteArray json = QString::fromUtf8(R"({"pid":4242,"sessionId":"422f8e9a-0da1-4a54-8388-8912e6a4f6d7",)"
                                              R"("text":"テストが通りました","capturedAt":1796917700.25,"extra":[1]})")
                                .toUtf8();
    EXPECT_EQ(BrisvaneConclusionFile::decode(json), full);

    BrisvaneConclusionFile sparse;
    sparse.capturedAt = 1796917700;
    EXPECT_EQ(BrisvaneConclusionFile::decode(R"({"pid":null,"text":null,"capturedAt":1796917700})"), sparse);
    EXPECT_EQ(BrisvaneConclusionFile::decode("{}"), BrisvaneConclusionFile{});

    for (const char* json : {
             R"({"pid":"4242"})",
             R"({"pid":4242.5})",
             R"({"pid":1e30})",
             R"({"text":42})",
             R"({"sessionId":false})",
             R"({"capturedAt":"1796917700"})",
             R"([{"pid":4242}])",
             "not json",
             "",
         }) {
        EXPECT_EQ(BrisvaneConclusionFile::decode(json), std::nullopt) << json;
    }
}
