#include "app/Services/voice/VoicevoxAutoLaunchStore.hpp"

#include "tests/app/Services/PreferenceBackends.hpp"

#include <gtest/gtest.h>

using namespace brisvane;

namespace {

template <typename Backend>
class VoicevoxAutoLaunchStoreTest : public testing::Test {
protected:
    Backend backend;
};

TYPED_TEST_SUITE(VoicevoxAutoLaunchStoreTest, test::PreferenceBackendTypes, test::PreferenceBackendNames);

} // namespace

TYPED_TEST(VoicevoxAutoLaunchStoreTest, OnUnlessAFalseValueIsStored)
{
    struct Case {
        std::optional<QVariant> stored;
        bool enabled;
    };
    const Case cases[] = {
        {std::nullopt, true},        {false, false}, {true, true}, {0, false}, {1, true},
        {QStringLiteral("NO"), false}, {QStringLiteral("yes"), true},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.stored ? c.stored->toString().toStdString() : "nothing");
        Preferences& preferences = this->backend.preferences();
        if (c.stored) {
            preferences.setValue(VoicevoxAutoLaunchStore::kKey, *c.stored);
        } else {
            preferences.remove(VoicevoxAutoLaunchStore::kKey);
        }
        this->backend.restart();
        EXPECT_EQ(VoicevoxAutoLaunchStore::load(this->backend.preferences()), c.enabled);
    }
    // Removing a stored false turns automatic launching back on.
    this->backend.preferences().setValue(VoicevoxAutoLaunchStore::kKey, false);
    this->backend.preferences().remove(VoicevoxAutoLaunchStore::kKey);
    this->backend.restart();
    EXPECT_TRUE(VoicevoxAutoLaunchStore::load(this->backend.preferences()));
}
