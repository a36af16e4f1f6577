#include "app/Services/usage/ModelNameResolver.hpp"

#include "tests/app/Printers.hpp"

#include <gtest/gtest.h>

using namespace brisvane;

namespace {

QByteArray assistant(const char* model, const char* text = "ok")
{
    return QByteArray(R"({"type":"assistant","message":{"model":")") + model + R"(","content":[{"type":"text","text":")"
        + QByteArray(text) + "\"}]}}\n";
}

} // namespace

TEST(ModelNameResolver, FindsTheLatestRealModel)
{
    const QByteArray user = QByteArray(R"({"type":"user","message":{"content":")") + "日本語の質問" + "\"}}\n";
    const QByteArray japanese = assistant("claude-opus-4-8", "日本語の答え");
    const std::optional<QString> none;
    const struct {
        const char* label;
        FileTail tail;
        std::optional<QString> expected;
    } cases[] = {
        {"last assistant line wins", {assistant("older") + user + assistant("newer") + user, false}, "newer"},
        {"placeholder passed over", {assistant("real") + assistant("<synthetic>"), false}, "real"},
        {"only placeholders", {assistant("<synthetic>"), false}, none},
        {"no assistant line", {user + R"({"type":"system","message":{"model":"x"}})" "\n", false}, none},
        {"assistant without message object", {R"({"type":"assistant","message":"m"})" "\n", false}, none},
        {"model not text", {R"({"type":"assistant","message":{"model":4}})" "\n", false}, none},
        {"garbage lines skipped", {assistant("m") + "not json\n\n{\n", false}, "m"},
        {"empty", {{}, false}, none},
        // A cut inside a line costs that line only, even when the line looks whole from the cut.
        {"cut inside a line", {assistant("cut").mid(20) + assistant("kept"), true}, "kept"},
        {"cut that leaves an assistant-looking line", {assistant("first") + user, true}, none},
        // Japanese transcripts: most cuts land inside a character.
        {"cut inside a character", {japanese.mid(japanese.indexOf("答") + 1) + japanese, true}, "claude-opus-4-8"},
        {"cut without any line feed", {japanese.mid(japanese.indexOf("答") + 1).chopped(1), true}, none},
        {"broken text beyond the first line", {user + japanese + "\xff\n" + japanese, false}, none},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.label);
        EXPECT_EQ(ModelNameResolver::latestAssistantModel(c.tail), c.expected);
    }
}
