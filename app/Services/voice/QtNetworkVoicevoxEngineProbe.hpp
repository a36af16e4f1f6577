#pragma once

#include "app/Services/voice/VoicevoxEngineProbing.hpp"

#include <QNetworkAccessManager>
#include <QUrl>

namespace brisvane {

// `VoicevoxEngineProbing` through Qt Network: GET <base>/version, bounded by a short deadline so
// that the dashboard's poll never waits long. The body is not read.
class QtNetworkVoicevoxEngineProbe final : public VoicevoxEngineProbing {
public:
    static constexpr double kDefaultTimeout = 3.0;

    // `baseURL` as the client's (plain HTTP to 127.0.0.1, else every probe answers false);
    // `timeout` in seconds.
    explicit QtNetworkVoicevoxEngineProbe(QUrl baseURL, double timeout = kDefaultTimeout);
    // On the engine's own address.
    QtNetworkVoicevoxEngineProbe();

    void isEngineAvailable(std::function<void(bool)> answer) override;

private:
    QUrl versionURL_;
    double timeout_;
    QNetworkAccessManager manager_;
};

} // namespace brisvane
