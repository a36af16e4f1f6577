#pragma once

#include "app/Models/SessionTile.hpp"

#include <QAbstractButton>
#include <QList>

namespace brisvane {

class PopoverFrame;

// The top bar's badge counting the agent sessions that no terminal tile has claimed, as
// "外部セッション: N"; a click opens a popover listing them with state, project and model. It
// counts and lists what it is given, in that order. With no sessions it is hidden: it takes no
// space and no clicks.
class ExternalSessionsIndicatorView final : public QAbstractButton {
    Q_OBJECT
public:
    explicit ExternalSessionsIndicatorView(QWidget* parent = nullptr);

    void setSessions(QList<SessionTile> sessions);
    const QList<SessionTile>& sessions() const { return sessions_; }

    bool isShowingPopover() const { return isShowingPopover_; }
    PopoverFrame& popover() const { return *popover_; }

    QSize sizeHint() const override;
    QSize minimumSizeHint() const override { return sizeHint(); }

protected:
    void paintEvent(QPaintEvent* event) override;

private:
    void openPopover();
    void refreshPopover();

    QList<SessionTile> sessions_;
    bool isShowingPopover_ = false;
    PopoverFrame* popover_;
};

} // namespace brisvane
