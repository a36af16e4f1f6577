#include "app/Services/sessions/ProcessTreeProvider.hpp"

#include <QFile>
#include <QList>
#include <QStringView>

#include <climits>
#include <memory>

#include <dirent.h>

namespace brisvane::ProcessTreeProvider {

namespace {

// A decimal 32-bit integer with an optional sign and nothing else (no blanks).
std::optional<int32_t> decimalInt32(QByteArrayView text)
{
    qsizetype i = 0;
    const bool negative = !text.isEmpty() && text[0] == '-';
    if (!text.isEmpty() && (text[0] == '-' || text[0] == '+')) i = 1;
    if (i == text.size()) return std::nullopt;
    int64_t value = 0;
    for (; i < text.size(); ++i) {
        const int digit = static_cast<int>(text[i] - '0');
        if (digit < 0 || digit > 9) return std::nullopt;
        value = value * 10 + digit;
        if (value > int64_t(INT32_MAX) + 1) return std::nullopt;
    }
    if (negative) value = -value;
    if (value > INT32_MAX) return std::nullopt;
    return static_cast<int32_t>(value);
}

} // namespace

ProcessTreeFetchResult currentSnapshotResult()
{
    const std::unique_ptr<DIR, int (*)(DIR*)> proc(opendir("/proc"), closedir);
    if (!proc) return {{}, true};
    ProcessTreeSnapshot snapshot;
    while (const dirent* entry = readdir(proc.get())) {
        const std::optional<int32_t> pid = decimalInt32(QByteArrayView(entry->d_name));
        if (!pid || *pid <= 0) continue;
        QFile stat(QStringLiteral("/proc/%1/stat").arg(*pid));
        if (!stat.open(QIODevice::ReadOnly)) continue;
        if (const std::optional<int32_t> parent = parentPid(stat.readAll())) snapshot.parentByPid.insert(*pid, *parent);
    }
    return {snapshot, false};
}

std::optional<int32_t> parentPid(QByteArrayView statText)
{
    // "1234 (name) S 1 ...": the name ends at the last ')'; then the state, then the parent.
    const qsizetype nameEnd = statText.lastIndexOf(')');
    if (nameEnd < 0) return std::nullopt;
    QByteArrayView rest = statText.sliced(nameEnd + 1);
    QByteArrayView field;
    for (int index = 0; index < 2; ++index) {
        while (!rest.isEmpty() && rest.front() == ' ') rest = rest.sliced(1);
        const qsizetype end = rest.indexOf(' ');
        field = end < 0 ? rest : rest.first(end);
        rest = end < 0 ? QByteArrayView() : rest.sliced(end);
    }
    return decimalInt32(field);
}

ProcessTreeSnapshot parse(const QString& psOutput)
{
    ProcessTreeSnapshot snapshot;
    for (const QStringView line : QStringView(psOutput).split(u'\n', Qt::SkipEmptyParts)) {
        const QList<QStringView> pieces = line.split(u' ', Qt::SkipEmptyParts);
        if (pieces.size() != 2) continue;
        const std::optional<int32_t> pid = decimalInt32(pieces[0].toLatin1());
        const std::optional<int32_t> parent = decimalInt32(pieces[1].toLatin1());
        if (!pid || !parent) continue;
        snapshot.parentByPid.insert(*pid, *parent);
    }
    return snapshot;
}

} // namespace brisvane::ProcessTreeProvider
