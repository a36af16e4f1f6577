#pragma once

// Qt messages of one logging category, caught while a CategoryLog is alive.

#include <QByteArray>
#include <QString>
#include <QtGlobal>

#include <string>
#include <utility>
#include <vector>

namespace corvix::testing {

class CategoryLog {
public:
    explicit CategoryLog(const char* category) : category(category)
    {
        current = this;
        previous = qInstallMessageHandler([](QtMsgType type, const QMessageLogContext& context, const QString& text) {
            if (current->category == context.category) current->lines.push_back({type, text.toStdString()});
        });
    }
    ~CategoryLog()
    {
        qInstallMessageHandler(previous);
        current = nullptr;
    }
    CategoryLog(const CategoryLog&) = delete;
    CategoryLog& operator=(const CategoryLog&) = delete;

    // (type, text) in the order logged.
    std::vector<std::pair<QtMsgType, std::string>> lines;

private:
    static inline CategoryLog* current = nullptr;
    QByteArray category;
    QtMessageHandler previous = nullptr;
};

} // namespace corvix::testing
