#pragma once

#include <QList>
#include <QUrl>
#include <QWidget>

#include <functional>
#include <optional>

class QMimeData;

namespace brisvane {

// The widget around a tile's terminal view that takes files dropped on the tile: their paths,
// quoted for the shell and separated by spaces, go out as `textDropped` as if typed (no line feed, so
// nothing runs). Only local files count; a drop with a path that holds a control character is
// refused whole. Draws an accent outline while an acceptable drag is over it.
class TerminalFileDropContainerView final : public QWidget {
    Q_OBJECT
public:
    explicit TerminalFileDropContainerView(QWidget* parent = nullptr);

    // False for a closed tile: every drag is refused.
    bool isDropAllowed = true;
    bool isDropTargeting() const { return isDropTargeting_; }

    // The local files the drag carries, in order; nothing when it carries none.
    static std::optional<QList<QUrl>> fileURLs(const QMimeData& data);

protected:
    void dragEnterEvent(QDragEnterEvent* event) override;
    void dragMoveEvent(QDragMoveEvent* event) override;
    void dragLeaveEvent(QDragLeaveEvent* event) override;
    void dropEvent(QDropEvent* event) override;
    void paintEvent(QPaintEvent* event) override;

signals:
    void textDropped(const QString& text);

private:
    bool accepts(const QMimeData* data) const;
    void setDropTargeting(bool targeting);
    // Hands the drop's text on; false when nothing was typed.
    bool performDrop(const QMimeData* data);

    bool isDropTargeting_ = false;
};

} // namespace brisvane
