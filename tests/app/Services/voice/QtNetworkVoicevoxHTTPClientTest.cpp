#include "app/Services/voice/QtNetworkVoicevoxHTTPClient.hpp"

#include "tests/app/Printers.hpp"
#include "tests/app/Services/EventLoopWaiting.hpp"
#include "tests/app/Services/FakeVoicevoxEngine.hpp"

#include <QElapsedTimer>
#include <QNetworkProxy>
#include <QNetworkProxyFactory>

#include <gtest/gtest.h>

#include <optional>

using namespace brisvane;
using test::FakeHTTPReply;
using test::FakeHTTPRequest;
using test::waitUntil;

namespace brisvane {

inline void PrintTo(const VoicevoxRequestError& error, std::ostream* out)
{
    *out << (std::holds_alternative<VoicevoxHTTPError>(error) ? "http " : "transport ")
         << description(error).toStdString();
}

} // namespace brisvane

namespace {

using Outcome = Result<QByteArray, VoicevoxRequestError>;

class QtNetworkVoicevoxHTTPClientTest : public testing::Test {
protected:
    // Runs one operation to its end; also checks that it did not answer from within the call.
    template <typename Start>
    Outcome run(Start start)
    {
        std::optional<Outcome> outcome;
        start([&outcome](Outcome result) { outcome = std::move(result); });
        EXPECT_FALSE(outcome.has_value()) << "answered from within the call";
        EXPECT_TRUE(waitUntil([&] { return outcome.has_value(); }));
        return outcome.value_or(Outcome(QByteArray("no answer")));
    }
    Outcome fetch(QtNetworkVoicevoxHTTPClient& client, const QString& text, int64_t speaker)
    {
        return run([&](auto done) { client.fetchAudioQuery(text, speaker, std::move(done)); });
    }
    Outcome synthesize(QtNetworkVoicevoxHTTPClient& client, const QByteArray& query, int64_t speaker)
    {
        return run([&](auto done) { client.synthesize(query, speaker, std::move(done)); });
    }

    test::FakeVoicevoxEngine engine;
    QtNetworkVoicevoxHTTPClient client{engine.baseURL(), 5.0};
};

VoicevoxRequestError httpStatus(int64_t code)
{
    return VoicevoxHTTPError::unexpectedStatus(code);
}

} // namespace

TEST(QtNetworkVoicevoxHTTPClientURLTest, ValuesArePercentEncodedAsUTF8OutsideTheUnreservedSet)
{
    struct Case {
        QString text;
        const char* encoded;
    };
    const Case cases[] = {
        {QStringLiteral("a b&c"), "a%20b%26c"},
        {QString(), ""},
        {QStringLiteral("+/=?#%"), "%2B%2F%3D%3F%23%25"},
        {QStringLiteral("AZaz09-._~"), "AZaz09-._~"},
        {QStringLiteral("ずんだ。"), "%E3%81%9A%E3%82%93%E3%81%A0%E3%80%82"},
        {QStringLiteral("é\n\"😀"), "%C3%A9%0A%22%F0%9F%98%80"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.encoded);
        const Result<QUrl, VoicevoxHTTPError> url = QtNetworkVoicevoxHTTPClient::buildURL(
            QtNetworkVoicevoxHTTPClient::defaultBaseURL(), QStringLiteral("audio_query"),
            {{QStringLiteral("text"), c.text}, {QStringLiteral("speaker"), QStringLiteral("3")}});
        ASSERT_TRUE(url.ok());
        EXPECT_EQ(url->toString(QUrl::FullyEncoded),
                  QStringLiteral("http://127.0.0.1:50021/audio_query?text=%1&speaker=3").arg(QLatin1String(c.encoded)));
    }
}

TEST(QtNetworkVoicevoxHTTPClientURLTest, ALoneSurrogateOrAPeerOtherThanTheLoopbackEngineIsRefused)
{
    struct Case {
        QString base;
        QString text;
        VoicevoxHTTPError error;
    };
    const QString good = QStringLiteral("http://127.0.0.1:50021");
    const Case cases[] = {
        {good, QStringLiteral("a") + QChar(0xD800), {VoicevoxHTTPError::Kind::encodingFailed}},
        {good, QString(QChar(0xDC00)), {VoicevoxHTTPError::Kind::encodingFailed}},
        {QStringLiteral("http://localhost:50021"), QStringLiteral("a"), {VoicevoxHTTPError::Kind::invalidURL}},
        {QStringLiteral("http://192.168.1.2:50021"), QStringLiteral("a"), {VoicevoxHTTPError::Kind::invalidURL}},
        {QStringLiteral("https://127.0.0.1:50021"), QStringLiteral("a"), {VoicevoxHTTPError::Kind::invalidURL}},
        {QStringLiteral("http://127.0.0.1.example.com"), QStringLiteral("a"), {VoicevoxHTTPError::Kind::invalidURL}},
        {QString(), QStringLiteral("a"), {VoicevoxHTTPError::Kind::invalidURL}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.base.toStdString());
        const Result<QUrl, VoicevoxHTTPError> url = QtNetworkVoicevoxHTTPClient::buildURL(
            QUrl(c.base), QStringLiteral("audio_query"), {{QStringLiteral("text"), c.text}});
        ASSERT_FALSE(url.ok());
        EXPECT_EQ(url.error(), c.error);
    }
}

TEST_F(QtNetworkVoicevoxHTTPClientTest, TheAudioQueryIsABodilessPostWithTheTextAndSpeakerInTheURL)
{
    ASSERT_TRUE(engine.isListening());
    const Outcome outcome = fetch(client, QStringLiteral("a b&c"), 3);
    ASSERT_TRUE(outcome.ok()) << description(outcome.error()).toStdString();
    EXPECT_EQ(outcome.value(), QByteArray("{\"text\":\"a b&c\"}"));

    const Outcome japanese = fetch(client, QStringLiteral("ずんだもん"), 107);
    ASSERT_TRUE(japanese.ok());

    ASSERT_EQ(engine.requests().size(), 2);
    const FakeHTTPRequest& first = engine.requests()[0];
    EXPECT_EQ(first.method, "POST");
    EXPECT_EQ(first.target, "/audio_query?text=a%20b%26c&speaker=3");
    EXPECT_TRUE(first.body.isEmpty());
    EXPECT_FALSE(first.headers.contains("content-type"));
    EXPECT_EQ(first.headers.value("content-length", "0"), "0");
    EXPECT_FALSE(first.headers.contains("cookie"));
    EXPECT_EQ(engine.requests()[1].target,
              "/audio_query?text=%E3%81%9A%E3%82%93%E3%81%A0%E3%82%82%E3%82%93&speaker=107");
}

TEST_F(QtNetworkVoicevoxHTTPClientTest, TheSynthesisCarriesTheQueryAndReturnsTheAudioByteForByte)
{
    // Not UTF-8, with NULs and line ends: nothing may be re-encoded on either way.
    const QByteArray query("{\"accent_phrases\":[]}\r\n\x00\xff\xfe tail", 29);
    const QByteArray audio("RIFF\x00\x01\x02\x03\xff\r\n", 11);
    engine.setHandler([&](const FakeHTTPRequest&) { return FakeHTTPReply{200, audio, {}, false}; });

    const Outcome outcome = synthesize(client, query, 3);
    ASSERT_TRUE(outcome.ok()) << description(outcome.error()).toStdString();
    EXPECT_EQ(outcome.value(), audio);

    ASSERT_EQ(engine.requests().size(), 1);
    const FakeHTTPRequest& request = engine.requests()[0];
    EXPECT_EQ(request.method, "POST");
    EXPECT_EQ(request.target, "/synthesis?speaker=3");
    EXPECT_EQ(request.headers.value("content-type"), "application/json");
    EXPECT_EQ(request.body, query);
}

TEST_F(QtNetworkVoicevoxHTTPClientTest, OnlyA2xxStatusSucceedsAndRedirectsAreNotFollowed)
{
    struct Case {
        int status;
        std::optional<VoicevoxRequestError> error;
    };
    const Case cases[] = {
        {200, std::nullopt}, {204, std::nullopt}, {299, std::nullopt}, {302, httpStatus(302)},
        {404, httpStatus(404)}, {422, httpStatus(422)}, {500, httpStatus(500)}, {503, httpStatus(503)},
    };
    int status = 0;
    engine.setHandler([&](const FakeHTTPRequest&) {
        // A redirect to the engine's own version, which must not be asked for.
        return FakeHTTPReply{status, status == 204 ? QByteArray() : QByteArray("body"),
                             {{"Location", engine.baseURL().toEncoded() + "/version"}}, false};
    });
    for (const Case& c : cases) {
        SCOPED_TRACE(c.status);
        status = c.status;
        const qsizetype before = engine.requests().size();
        const Outcome outcome = fetch(client, QStringLiteral("x"), 3);
        EXPECT_EQ(engine.requests().size(), before + 1);
        if (c.error) {
            ASSERT_FALSE(outcome.ok());
            EXPECT_EQ(outcome.error(), *c.error);
        } else {
            ASSERT_TRUE(outcome.ok()) << description(outcome.error()).toStdString();
            EXPECT_EQ(outcome.value(), c.status == 204 ? QByteArray() : QByteArray("body"));
        }
    }
    EXPECT_EQ(description(httpStatus(422)), "unexpectedStatusCode(422)");
}

TEST_F(QtNetworkVoicevoxHTTPClientTest, WithNothingListeningBothFailWithTheConnectionError)
{
    QtNetworkVoicevoxHTTPClient closed(
        QUrl(QStringLiteral("http://127.0.0.1:%1").arg(test::FakeVoicevoxEngine::closedPort())));
    for (const Outcome& outcome : {fetch(closed, QStringLiteral("x"), 3), synthesize(closed, "{}", 3)}) {
        ASSERT_FALSE(outcome.ok());
        ASSERT_TRUE(std::holds_alternative<VoicevoxTransportError>(outcome.error()));
        const auto& error = std::get<VoicevoxTransportError>(outcome.error());
        EXPECT_EQ(error.kind, VoicevoxTransportError::Kind::failed);
        EXPECT_FALSE(error.message.isEmpty());
    }
}

TEST_F(QtNetworkVoicevoxHTTPClientTest, AnEngineThatDoesNotAnswerFailsAtTheDeadline)
{
    engine.setHandler([](const FakeHTTPRequest&) { return FakeHTTPReply{200, "late", {}, true}; });
    QtNetworkVoicevoxHTTPClient hurried(engine.baseURL(), 0.1);
    QElapsedTimer timer;
    timer.start();
    const Outcome outcome = fetch(hurried, QStringLiteral("x"), 3);
    EXPECT_GE(timer.elapsed(), 90);
    EXPECT_LT(timer.elapsed(), 3000);
    ASSERT_FALSE(outcome.ok());
    ASSERT_TRUE(std::holds_alternative<VoicevoxTransportError>(outcome.error()));
    EXPECT_EQ(std::get<VoicevoxTransportError>(outcome.error()).kind, VoicevoxTransportError::Kind::timedOut);
}

TEST_F(QtNetworkVoicevoxHTTPClientTest, ARefusedURLSendsNothing)
{
    const Outcome outcome = fetch(client, QString(QChar(0xD800)), 3);
    ASSERT_FALSE(outcome.ok());
    EXPECT_EQ(outcome.error(), VoicevoxRequestError(VoicevoxHTTPError{VoicevoxHTTPError::Kind::encodingFailed}));
    EXPECT_EQ(description(outcome.error()), "encodingFailed");
    EXPECT_TRUE(engine.requests().isEmpty());
}

TEST_F(QtNetworkVoicevoxHTTPClientTest, NoProxyIsUsedWhateverTheApplicationOrTheEnvironmentSays)
{
    // Anything reaching this "proxy" would have left the loopback engine.
    test::FakeVoicevoxEngine proxy;
    const QByteArray savedVariable = qgetenv("http_proxy");
    qputenv("http_proxy", proxy.baseURL().toEncoded());
    QNetworkProxyFactory::setUseSystemConfiguration(true);
    const Outcome fromEnvironment = fetch(client, QStringLiteral("secret-project"), 3);
    QNetworkProxyFactory::setUseSystemConfiguration(false);
    if (savedVariable.isNull()) {
        qunsetenv("http_proxy");
    } else {
        qputenv("http_proxy", savedVariable);
    }

    QNetworkProxy::setApplicationProxy(
        QNetworkProxy(QNetworkProxy::HttpProxy, QStringLiteral("127.0.0.1"), proxy.baseURL().port()));
    const Outcome fromApplication = fetch(client, QStringLiteral("secret-project"), 3);
    QNetworkProxy::setApplicationProxy(QNetworkProxy::NoProxy);

    EXPECT_TRUE(fromEnvironment.ok());
    EXPECT_TRUE(fromApplication.ok());
    EXPECT_TRUE(proxy.requests().isEmpty());
    EXPECT_EQ(engine.requests().size(), 2);
}
