#include "app/Services/voice/QtNetworkVoicevoxEngineProbe.hpp"

#include "tests/app/Services/EventLoopWaiting.hpp"
#include "tests/app/Services/FakeVoicevoxEngine.hpp"

#include <QElapsedTimer>

#include <gtest/gtest.h>

#include <optional>

using namespace brisvane;
using test::FakeHTTPReply;
using test::FakeHTTPRequest;
using test::waitUntil;

namespace {

std::optional<bool> probe(VoicevoxEngineProbing& prober)
{
    std::optional<bool> answer;
    prober.isEngineAvailable([&answer](bool available) { answer = available; });
    EXPECT_FALSE(answer.has_value()) << "answered from within the call";
    EXPECT_TRUE(waitUntil([&] { return answer.has_value(); }));
    return answer;
}

} // namespace

TEST(QtNetworkVoicevoxEngineProbeTest, OnlyA2xxAnswerToTheVersionRequestMeansAvailable)
{
    struct Case {
        int status;
        bool available;
    };
    const Case cases[] = {{200, true}, {204, true}, {301, false}, {404, false}, {500, false}};
    test::FakeVoicevoxEngine engine;
    int status = 0;
    engine.setHandler([&](const FakeHTTPRequest&) {
        return FakeHTTPReply{status, status == 204 ? QByteArray() : QByteArray("\"0.14.0\""),
                             {{"Location", engine.baseURL().toEncoded() + "/elsewhere"}}, false};
    });
    QtNetworkVoicevoxEngineProbe prober(engine.baseURL(), 3.0);
    for (const Case& c : cases) {
        SCOPED_TRACE(c.status);
        status = c.status;
        EXPECT_EQ(probe(prober), c.available);
    }
    ASSERT_EQ(engine.requests().size(), std::size(cases));
    for (const FakeHTTPRequest& request : engine.requests()) {
        EXPECT_EQ(request.method, "GET");
        EXPECT_EQ(request.target, "/version");
        EXPECT_TRUE(request.body.isEmpty());
    }
}

TEST(QtNetworkVoicevoxEngineProbeTest, NothingListeningOrNoAnswerInTimeMeansUnavailable)
{
    QtNetworkVoicevoxEngineProbe closed(
        QUrl(QStringLiteral("http://127.0.0.1:%1").arg(test::FakeVoicevoxEngine::closedPort())), 3.0);
    EXPECT_EQ(probe(closed), false);

    test::FakeVoicevoxEngine silent;
    silent.setHandler([](const FakeHTTPRequest&) { return FakeHTTPReply{200, {}, {}, true}; });
    QtNetworkVoicevoxEngineProbe hurried(silent.baseURL(), 0.1);
    QElapsedTimer timer;
    timer.start();
    EXPECT_EQ(probe(hurried), false);
    EXPECT_GE(timer.elapsed(), 90);
    EXPECT_LT(timer.elapsed(), 3000);
}

TEST(QtNetworkVoicevoxEngineProbeTest, APeerOtherThanTheLoopbackEngineIsNeverAsked)
{
    // A live engine on a loopback port, named other ways than plain HTTP to 127.0.0.1: each of
    // them would reach it, and none may. (10.0.0.1 stands for a peer on another machine.)
    test::FakeVoicevoxEngine engine;
    ASSERT_TRUE(engine.isListening());
    const QString port = QString::number(engine.baseURL().port());
    for (const QString& base : {"http://localhost:" + port, "http://[::ffff:127.0.0.1]:" + port,
                                "https://127.0.0.1:" + port, QStringLiteral("http://10.0.0.1:50021")}) {
        SCOPED_TRACE(base.toStdString());
        QtNetworkVoicevoxEngineProbe prober(QUrl(base), 0.5);
        EXPECT_EQ(probe(prober), false);
    }
    // The engine's own address reaches it: once that probe is answered, a connection any of the
    // others opened before it has been accepted too.
    QtNetworkVoicevoxEngineProbe own(engine.baseURL(), 3.0);
    EXPECT_EQ(probe(own), true);
    EXPECT_EQ(engine.connections(), 1);
    ASSERT_EQ(engine.requests().size(), 1);
    EXPECT_EQ(engine.requests().front().target, "/version");
}
