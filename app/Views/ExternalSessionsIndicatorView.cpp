#include "app/Views/ExternalSessionsIndicatorView.hpp"

#include "app/Views/ColorDot.hpp"

#include "app/Services/sessions/SessionStateAppearance.hpp"
#include "app/Views/DashboardStyle.hpp"
#include "app/Views/PopoverFrame.hpp"

#include <QCoreApplication>
#include <QHBoxLayout>
#include <QLabel>
#include <QPainter>
#include <QVBoxLayout>

namespace brisvane {

using namespace DashboardStyle;

namespace {

constexpr int kPopoverMaximumWidth = 360;

QString badgeText(qsizetype count)
{
    return QCoreApplication::translate("ExternalSessionsIndicatorView", "外部セッション: %1").arg(count);
}

// One line of text cut with an ellipsis when the row is too narrow for it.
class ElidedLabel final : public QLabel {
public:
    using QLabel::QLabel;
    QSize minimumSizeHint() const override { return QSize(0, QLabel::minimumSizeHint().height()); }

protected:
    void paintEvent(QPaintEvent*) override
    {
        QPainter painter(this);
        painter.setPen(palette().color(QPalette::WindowText));
        painter.drawText(contentsRect(), Qt::AlignLeft | Qt::AlignVCenter,
                         fontMetrics().elidedText(text(), Qt::ElideRight, contentsRect().width()));
    }
};

QWidget* sessionRow(const SessionTile& session, QWidget* parent)
{
    const SessionStateAppearance::Appearance appearance = SessionStateAppearance::resolve(session.state);
    auto* row = new QWidget(parent);
    row->setObjectName(QStringLiteral("sessionRow"));
    auto* lines = new QVBoxLayout(row);
    lines->setContentsMargins(0, 0, 0, 0);
    lines->setSpacing(2);

    auto* first = new QHBoxLayout;
    first->setSpacing(5);
    first->addWidget(new ColorDot(7, toneColor(appearance.tone), row), 0, Qt::AlignVCenter);
    auto* name = new ElidedLabel(session.projectName.primary, row);
    name->setObjectName(QStringLiteral("projectName"));
    name->setFont(DashboardStyle::font(12, QFont::DemiBold));
    QPalette namePalette = name->palette();
    namePalette.setColor(QPalette::WindowText, primaryText());
    name->setPalette(namePalette);
    name->setSizePolicy(QSizePolicy::Preferred, QSizePolicy::Fixed);
    first->addWidget(name, 1, Qt::AlignVCenter);
    first->addSpacing(4);
    QLabel* state = makeLabel(appearance.label, DashboardStyle::font(10), secondaryText(), row);
    state->setObjectName(QStringLiteral("stateLabel"));
    first->addWidget(state, 0, Qt::AlignVCenter);
    lines->addLayout(first);

    if (session.projectName.secondary) {
        QLabel* secondary = makeLabel(*session.projectName.secondary, DashboardStyle::font(9), secondaryText(), row);
        secondary->setObjectName(QStringLiteral("secondaryName"));
        lines->addWidget(secondary);
    }
    QLabel* model = makeLabel(session.modelName, monospacedFont(9), secondaryText(), row);
    model->setObjectName(QStringLiteral("modelName"));
    lines->addWidget(model);
    return row;
}

QWidget* popoverContent(const QList<SessionTile>& sessions, QWidget* parent)
{
    auto* content = new QWidget(parent);
    content->setMinimumWidth(220);
    // Wide enough for any sensible project name; a longer one is cut rather than widening the
    // popover past the screen.
    content->setMaximumWidth(kPopoverMaximumWidth);
    auto* stack = new QVBoxLayout(content);
    stack->setSpacing(0);
    stack->setContentsMargins(12, 12, 12, 12);
    stack->setAlignment(Qt::AlignLeft | Qt::AlignTop);
    stack->addWidget(makeLabel(QCoreApplication::translate("ExternalSessionsIndicatorView", "外部セッション"),
                               DashboardStyle::font(11, QFont::DemiBold), secondaryText(), content));
    stack->addSpacing(6);
    for (qsizetype i = 0; i < sessions.size(); ++i) {
        stack->addWidget(sessionRow(sessions[i], content));
        if (i + 1 == sessions.size()) break;
        stack->addSpacing(4);
        stack->addWidget(makeDivider(content));
        stack->addSpacing(4);
    }
    return content;
}

} // namespace

ExternalSessionsIndicatorView::ExternalSessionsIndicatorView(QWidget* parent)
    : QAbstractButton(parent), popover_(new PopoverFrame(this))
{
    connect(popover_, &PopoverFrame::presentedChanged, this, [this](bool presented) {
        if (!presented) isShowingPopover_ = false;
    });
    setFont(DashboardStyle::font(11));
    setFocusPolicy(Qt::NoFocus);
    setCursor(Qt::ArrowCursor);
    setVisible(false);
    connect(this, &QAbstractButton::clicked, this, &ExternalSessionsIndicatorView::openPopover);
}

void ExternalSessionsIndicatorView::setSessions(QList<SessionTile> sessions)
{
    sessions_ = std::move(sessions);
    setText(badgeText(sessions_.size()));
    setAccessibleName(tr("外部セッション %1件").arg(sessions_.size()));
    setVisible(!sessions_.isEmpty());
    updateGeometry();
    // An open popover follows the list; once the list is empty it stays as the platform left it.
    if (popover_->isPresented() && !sessions_.isEmpty()) refreshPopover();
}

void ExternalSessionsIndicatorView::openPopover()
{
    isShowingPopover_ = true;
    refreshPopover();
    popover_->present(this);
}

void ExternalSessionsIndicatorView::refreshPopover()
{
    popover_->setContent(popoverContent(sessions_, popover_));
}

QSize ExternalSessionsIndicatorView::sizeHint() const
{
    const QFontMetrics metrics(font());
    return QSize(metrics.horizontalAdvance(text()) + 2, metrics.height() + 2);
}

void ExternalSessionsIndicatorView::paintEvent(QPaintEvent*)
{
    QPainter painter(this);
    painter.setPen(secondaryText());
    painter.drawText(rect(), Qt::AlignCenter, text());
}

} // namespace brisvane
