#pragma once

#include <QFrame>

namespace brisvane {

// A popover: a popup frame shown under the button that opens it, closed by a click outside, by
// Escape or by its own content. Whether it is shown is all the state its opener keeps.
// A click on the opening button while it is shown only closes it (the click is not replayed),
// so the button toggles.
class PopoverFrame : public QFrame {
    Q_OBJECT
public:
    explicit PopoverFrame(QWidget* parent = nullptr);

    bool isPresented() const { return isVisible(); }
    // Shows the frame under `anchor`, horizontally centred on it and kept on the anchor's screen.
    void present(QWidget* anchor);
    void dismiss();
    // Replaces what the frame shows (the frame takes `content`) and fits the frame to it. An open
    // frame stays open: the new content is shown before the frame is sized, since a frame sized
    // to hidden content would be empty, and an empty window is unmapped by the platform, which
    // takes its input grab and so the whole popover with it.
    void setContent(QWidget* content);
    QWidget* content() const { return content_; }

signals:
    // Emitted on every change of `isPresented`, whatever closed it.
    void presentedChanged(bool isPresented);

protected:
    // Called each time the frame is shown, before it appears.
    virtual void willPresent() {}
    void showEvent(QShowEvent* event) override;
    void hideEvent(QHideEvent* event) override;
    void keyPressEvent(QKeyEvent* event) override;
    void paintEvent(QPaintEvent* event) override;

private:
    QWidget* content_ = nullptr;
};

} // namespace brisvane
