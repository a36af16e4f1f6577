#include "app/Services/voice/ReadingDictionaryStore.hpp"

#include "tests/app/AnnouncementPrinters.hpp"
#include "tests/app/Services/PreferenceBackends.hpp"

#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>

#include <gtest/gtest.h>

using namespace brisvane;

namespace {

const QUuid kFirst = QUuid::fromString(QStringLiteral("0C1D2E3F-4A5B-4C6D-8E7F-901A2B3C4D5E"));
const QUuid kSecond = QUuid::fromString(QStringLiteral("A1B2C3D4-E5F6-4071-8293-A4B5C6D7E8F9"));

template <typename Backend>
class ReadingDictionaryStoreTest : public testing::Test {
protected:
    Backend backend;
    Preferences& preferences() { return backend.preferences(); }
    void store(const QByteArray& data) { preferences().setValue(ReadingDictionaryStore::kKey, data); }
};

TYPED_TEST_SUITE(ReadingDictionaryStoreTest, test::PreferenceBackendTypes, test::PreferenceBackendNames);

TYPED_TEST(ReadingDictionaryStoreTest, NothingStoredGivesTheBuiltInDictionary)
{
    EXPECT_EQ(ReadingDictionaryStore::load(this->preferences()), ReadingDictionary::builtIn());
}

TYPED_TEST(ReadingDictionaryStoreTest, ASavedDictionaryLoadsAfterARestart)
{
    const ReadingDictionary dictionary{{
        {kFirst, QStringLiteral("my_proj.v2"), QString::fromUtf8("マイプロジェクト")},
        {kSecond, QString::fromUtf8("日本語"), QString::fromUtf8("にほんご")},
    }};
    ReadingDictionaryStore::save(dictionary, this->preferences());
    this->backend.restart();
    EXPECT_EQ(ReadingDictionaryStore::load(this->preferences()), dictionary);
}

TYPED_TEST(ReadingDictionaryStoreTest, AnEmptyDictionaryStaysEmpty)
{
    ReadingDictionaryStore::save(ReadingDictionary{}, this->preferences());
    this->backend.restart();
    EXPECT_EQ(this->preferences().dataValue(ReadingDictionaryStore::kKey), "[]");
    EXPECT_EQ(ReadingDictionaryStore::load(this->preferences()), ReadingDictionary{});
}

TYPED_TEST(ReadingDictionaryStoreTest, AMalformedEntryCostsOnlyItself)
{
    const QStringList entries{
        // A lower-case id is still the id.
        R"({"id":"0c1d2e3f-4a5b-4c6d-8e7f-901a2b3c4d5e","projectName":"app","reading":"アップ"})",
        R"({"id":"not-a-uuid","projectName":"x","reading":"y"})",
        R"({"id":"{A1B2C3D4-E5F6-4071-8293-A4B5C6D7E8F9}","projectName":"x","reading":"y"})",
        R"({"projectName":"no id","reading":"y"})",
        R"({"id":"A1B2C3D4-E5F6-4071-8293-A4B5C6D7E8F9","projectName":"x","reading":7})",
        R"("just text")",
        // Other keys are ignored.
        R"({"id":"A1B2C3D4-E5F6-4071-8293-A4B5C6D7E8F9","projectName":"日本語","reading":"にほんご","note":1})",
    };
    const QByteArray stored = ("[" + entries.join(u',') + "]").toUtf8();
    this->store(stored);
    this->backend.restart();

    const ReadingDictionary expected{{
        {kFirst, QStringLiteral("app"), QString::fromUtf8("アップ")},
        {kSecond, QString::fromUtf8("日本語"), QString::fromUtf8("にほんご")},
    }};
    EXPECT_EQ(ReadingDictionaryStore::load(this->preferences()), expected);
    // Loading writes nothing: the bytes stay for the user's next edit to replace.
    EXPECT_EQ(this->preferences().dataValue(ReadingDictionaryStore::kKey), stored);
}

TYPED_TEST(ReadingDictionaryStoreTest, DataThatIsNotAnArrayGivesTheBuiltInDictionary)
{
    for (const QByteArray& stored : {QByteArray(R"({"id":"x"})"), QByteArray("[{"), QByteArray("")}) {
        SCOPED_TRACE(stored.toStdString());
        this->store(stored);
        this->backend.restart();
        EXPECT_EQ(ReadingDictionaryStore::load(this->preferences()), ReadingDictionary::builtIn());
    }
    // Text under the key is not data.
    this->preferences().setValue(ReadingDictionaryStore::kKey, QStringLiteral("[]"));
    this->backend.restart();
    EXPECT_EQ(ReadingDictionaryStore::load(this->preferences()), ReadingDictionary::builtIn());
}

TEST(ReadingDictionaryStore, EncodesExactlyTheThreeKeysWithUpperCaseIds)
{
    const ReadingDictionary dictionary{{{kFirst, QStringLiteral("a/b"), QString::fromUtf8("エー")}}};
    const QJsonDocument document = QJsonDocument::fromJson(ReadingDictionaryStore::encode(dictionary));
    ASSERT_TRUE(document.isArray());
    EXPECT_EQ(document.array(), (QJsonArray{QJsonObject{
                                    {"id", "0C1D2E3F-4A5B-4C6D-8E7F-901A2B3C4D5E"},
                                    {"projectName", "a/b"},
                                    {"reading", QString::fromUtf8("エー")},
                                }}));
}

} // namespace
