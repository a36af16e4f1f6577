#include "app/Views/NotificationOverlayView.hpp"

#include "app/Views/DashboardStyle.hpp"
#include "app/Views/PlainButton.hpp"
#include "app/Views/SymbolGlyph.hpp"

#include <QEvent>
#include <QGraphicsDropShadowEffect>
#include <QHBoxLayout>
#include <QLabel>
#include <QPainter>
#include <QPainterPath>
#include <QPushButton>
#include <QRegion>
#include <QVBoxLayout>

namespace brisvane {

namespace {

constexpr int kIndent = 12;
// Room around a toast for its shadow, inside the overlay's click mask.
constexpr int kShadowMargin = 12;

QColor severityColor(AppNotificationSeverity severity)
{
    switch (severity) {
    case AppNotificationSeverity::error: return DashboardStyle::red();
    case AppNotificationSeverity::warning: return DashboardStyle::yellow();
    case AppNotificationSeverity::info: return DashboardStyle::grey();
    }
    return DashboardStyle::grey();
}

// The 4-point capsule at a toast's leading edge, as tall as the header row.
class SeverityStrip final : public QWidget {
public:
    explicit SeverityStrip(QWidget* parent) : QWidget(parent)
    {
        setFixedWidth(4);
        setSizePolicy(QSizePolicy::Fixed, QSizePolicy::Expanding);
    }
    QColor color;

protected:
    void paintEvent(QPaintEvent*) override
    {
        QPainter painter(this);
        painter.setRenderHint(QPainter::Antialiasing);
        painter.setPen(Qt::NoPen);
        painter.setBrush(color);
        painter.drawRoundedRect(QRectF(rect()), width() / 2.0, width() / 2.0);
    }
};

// Lines a control up with the title, past the strip.
QHBoxLayout* indented(QWidget* widget)
{
    auto* row = new QHBoxLayout;
    row->setContentsMargins(kIndent, 0, 0, 0);
    row->setSpacing(0);
    row->addWidget(widget);
    row->addStretch(1);
    return row;
}

} // namespace

// ---- Toast ------------------------------------------------------------------------------------

NotificationToastView::NotificationToastView(const AppNotification& notification,
                                             std::shared_ptr<const SystemSettingsOpening> systemSettingsOpener,
                                             QWidget* parent)
    : QFrame(parent), notification_(notification), systemSettingsOpener_(std::move(systemSettingsOpener))
{
    setAttribute(Qt::WA_TranslucentBackground);
    setMaximumWidth(NotificationOverlayView::kMaximumWidth);
    setSizePolicy(QSizePolicy::Preferred, QSizePolicy::Maximum);

    auto* stack = new QVBoxLayout(this);
    stack->setContentsMargins(10, 10, 10, 10);
    stack->setSpacing(6);

    auto* header = new QHBoxLayout;
    header->setSpacing(8);
    auto* strip = new SeverityStrip(this);
    strip_ = strip;
    header->addWidget(strip);
    title_ = new QLabel(this);
    title_->setWordWrap(true);
    title_->setFont(DashboardStyle::font(12, QFont::Medium));
    title_->setStyleSheet(QStringLiteral("color: white;"));
    title_->setSizePolicy(QSizePolicy::Expanding, QSizePolicy::Minimum);
    header->addWidget(title_, 1, Qt::AlignTop);
    close_ = PlainButton::make(SymbolGlyph::text(QStringLiteral("xmark")), 10, QFont::Bold, DashboardStyle::secondaryText(),
                               this);
    SymbolGlyph::tag(*close_, QStringLiteral("xmark"));
    close_->setAccessibleName(tr("閉じる"));
    header->addWidget(close_, 0, Qt::AlignTop);
    stack->addLayout(header);

    detailButton_ = PlainButton::make(QString(), 10, QFont::Normal, DashboardStyle::secondaryText(), this);
    stack->addLayout(indented(detailButton_));
    detail_ = new QLabel(this);
    detail_->setWordWrap(true);
    detail_->setFont(DashboardStyle::font(10));
    detail_->setTextInteractionFlags(Qt::TextSelectableByMouse);
    detail_->setStyleSheet(QStringLiteral("color: %1;").arg(DashboardStyle::secondaryText().name(QColor::HexArgb)));
    stack->addLayout(indented(detail_));
    settings_ = PlainButton::make(tr("システム設定を開く"), 11, QFont::DemiBold, Qt::white, this);
    stack->addLayout(indented(settings_));

    connect(close_, &QPushButton::clicked, this, &NotificationToastView::dismissRequested);
    connect(detailButton_, &QPushButton::clicked, this, [this] { setDetailExpanded(!isDetailExpanded_); });
    connect(settings_, &QPushButton::clicked, this, [this] {
        if (systemSettingsOpener_) systemSettingsOpener_->openPrivacySettings();
    });

    auto* shadow = new QGraphicsDropShadowEffect(this);
    shadow->setColor(QColor(0, 0, 0, 77));
    shadow->setBlurRadius(16);
    shadow->setOffset(0, 2);
    setGraphicsEffect(shadow);

    apply();
}

QString NotificationToastView::titleWithCount(const AppNotification& notification)
{
    if (notification.occurrenceCount < 2) return notification.title;
    return tr("%1（%2回）").arg(notification.title).arg(notification.occurrenceCount);
}

void NotificationToastView::setNotification(const AppNotification& notification)
{
    notification_ = notification;
    apply();
}

void NotificationToastView::setDetailExpanded(bool expanded)
{
    if (expanded == isDetailExpanded_) return;
    isDetailExpanded_ = expanded;
    apply();
}

bool NotificationToastView::hasExpandableDetail() const
{
    return notification_.severity == AppNotificationSeverity::error && notification_.detail &&
           !notification_.detail->isEmpty();
}

void NotificationToastView::apply()
{
    static_cast<SeverityStrip*>(strip_)->color = severityColor(notification_.severity);
    strip_->update();
    title_->setText(titleWithCount(notification_));
    const bool expandable = hasExpandableDetail();
    detailButton_->setVisible(expandable);
    detailButton_->setText(isDetailExpanded_ ? tr("詳細を閉じる") : tr("詳細"));
    detail_->setVisible(expandable && isDetailExpanded_);
    detail_->setText(notification_.detail.value_or(QString()));
    settings_->setVisible(notification_.dedupeKey == QLatin1String(kAccessDeniedKey));
    fitToContent();
}

// As wide as the title on one line (at most the column's width), as tall as the wrapped text
// needs at that width.
void NotificationToastView::fitToContent()
{
    const QMargins margins = layout()->contentsMargins();
    const int chrome = margins.left() + margins.right() + strip_->width() + close_->sizeHint().width() + 2 * 8;
    const int titleWidth = title_->fontMetrics().horizontalAdvance(title_->text()) + 2;
    const int width = std::min(NotificationOverlayView::kMaximumWidth, std::max(titleWidth + chrome, 160));
    setFixedWidth(width);
    layout()->invalidate();
    setFixedHeight(layout()->hasHeightForWidth() ? layout()->totalHeightForWidth(width) : layout()->totalSizeHint().height());
}

void NotificationToastView::paintEvent(QPaintEvent*)
{
    QPainter painter(this);
    painter.setRenderHint(QPainter::Antialiasing);
    const QRectF card = QRectF(rect()).adjusted(0.5, 0.5, -0.5, -0.5);
    painter.setPen(QPen(DashboardStyle::white(0.08), 1));
    painter.setBrush(DashboardStyle::toastBackground());
    painter.drawRoundedRect(card, 8, 8);
}

// ---- Overlay ----------------------------------------------------------------------------------

NotificationOverlayView::NotificationOverlayView(std::shared_ptr<const SystemSettingsOpening> systemSettingsOpener,
                                                 QWidget* parent)
    : QWidget(parent), systemSettingsOpener_(std::move(systemSettingsOpener))
{
    setAttribute(Qt::WA_TranslucentBackground);
    auto* column = new QVBoxLayout(this);
    column->setContentsMargins(0, 12, 0, 0);
    column->setSpacing(8);
    // The toasts keep their own height; what is left stays below them.
    column->addStretch(1);
    updateMask();
}

void NotificationOverlayView::setNotifications(const QList<AppNotification>& notifications)
{
    QList<NotificationToastView*> next;
    for (const AppNotification& notice : notifications) {
        auto found = std::find_if(toasts_.begin(), toasts_.end(),
                                  [&](NotificationToastView* toast) { return toast->notification().id == notice.id; });
        if (found != toasts_.end()) {
            (*found)->setNotification(notice);
            next.push_back(*found);
            toasts_.erase(found);
            continue;
        }
        const QUuid id = notice.id;
        auto* toast = new NotificationToastView(notice, systemSettingsOpener_, this);
        connect(toast, &NotificationToastView::dismissRequested, this, [this, id] { emit dismissRequested(id); });
        toast->installEventFilter(this);
        next.push_back(toast);
    }
    // What is left has gone from the centre. Deleted later: the close button that removed it may
    // still be delivering its click.
    for (NotificationToastView* gone : toasts_) {
        gone->hide();
        layout()->removeWidget(gone);
        gone->deleteLater();
    }
    toasts_ = std::move(next);
    auto* column = static_cast<QVBoxLayout*>(layout());
    for (int i = 0; i < toasts_.size(); ++i) {
        column->removeWidget(toasts_[i]);
        column->insertWidget(i, toasts_[i], 0, Qt::AlignHCenter);
        toasts_[i]->show();
    }
    column->activate();
    updateMask();
}

bool NotificationOverlayView::eventFilter(QObject* watched, QEvent* event)
{
    const QEvent::Type type = event->type();
    if (type == QEvent::Move || type == QEvent::Resize || type == QEvent::Show || type == QEvent::Hide) {
        updateMask();
    }
    return QWidget::eventFilter(watched, event);
}

// Clicks land on the toasts only; elsewhere they fall through to the dashboard beneath.
void NotificationOverlayView::updateMask()
{
    QRegion region;
    for (NotificationToastView* toast : toasts_) {
        if (!toast->isHidden())
            region += toast->geometry().adjusted(-kShadowMargin, -kShadowMargin, kShadowMargin, kShadowMargin);
    }
    // An empty mask would mean "no mask": keep one pixel outside the widget instead.
    if (region.isEmpty()) region = QRegion(-1, -1, 1, 1);
    setMask(region);
}

} // namespace brisvane
