#pragma once

// Captures the Qt messages of the glyph atlas category while alive.

#include <QByteArray>
#include <QString>
#include <QtGlobal>

#include <string>
#include <utility>
#include <vector>

namespace corvix::testing {

// Qt messages of the atlas category while alive, as (type, text).
class AtlasLog {
public:
    AtlasLog()
    {
        current = this;
        previous = qInstallMessageHandler([](QtMsgType type, const QMessageLogContext& context, const QString& text) {
            if (QByteArray(context.category) == "corvix.gpu.atlas") current->lines.push_back({type, text.toStdString()});
        });
    }
    ~AtlasLog()
    {
        qInstallMessageHandler(previous);
        current = nullptr;
    }
    AtlasLog(const AtlasLog&) = delete;
    AtlasLog& operator=(const AtlasLog&) = delete;

    std::vector<std::pair<QtMsgType, std::string>> lines;

private:
    static inline AtlasLog* current = nullptr;
    QtMessageHandler previous = nullptr;
};

} // namespace corvix::testing
