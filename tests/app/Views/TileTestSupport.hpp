#pragma once

// Helpers shared by the tile widget tests: a file opener that records, the text a terminal shows,
// and drops built by hand (drag and drop cannot run offscreen).

#include "app/Services/tiles/FileOpening.hpp"
#include "terminal/engine/Terminal.hpp"
#include "tests/app/TerminalScreenText.hpp"
#include "terminal/view/TerminalView.hpp"

#include <QApplication>
#include <QDropEvent>
#include <QList>
#include <QMimeData>
#include <QUrl>
#include <QWidget>

#include <string>

namespace brisvane::testing_support {

class RecordingOpener final : public FileOpening {
public:
    void open(const QUrl& url) const override { opened.append(url); }
    mutable QList<QUrl> opened;
};

inline std::string screenText(corvix::TerminalView& view)
{
    return screenText(view.getTerminal());
}

inline QMimeData* fileMimeData(const QStringList& paths)
{
    auto* data = new QMimeData;
    QList<QUrl> urls;
    for (const QString& path : paths) urls.append(QUrl::fromLocalFile(path));
    data->setUrls(urls);
    return data;
}

struct DropOutcome {
    bool enterAccepted = false;
    bool targetingWhileOver = false;
    bool dropAccepted = false;
};

// Enters, moves over and drops on `target` the way Qt's drag machinery would deliver them.
template <typename Container>
DropOutcome deliverDrop(Container& target, const QMimeData& data)
{
    DropOutcome outcome;
    const QPoint at = target.rect().center();
    QDragEnterEvent enter(at, Qt::CopyAction, &data, Qt::LeftButton, Qt::NoModifier);
    QApplication::sendEvent(&target, &enter);
    outcome.enterAccepted = enter.isAccepted();
    outcome.targetingWhileOver = target.isDropTargeting();
    QDropEvent drop(QPointF(at), Qt::CopyAction, &data, Qt::LeftButton, Qt::NoModifier);
    QApplication::sendEvent(&target, &drop);
    outcome.dropAccepted = drop.isAccepted();
    return outcome;
}

} // namespace brisvane::testing_support
