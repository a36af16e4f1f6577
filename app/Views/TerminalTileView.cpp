#include "app/Views/TerminalTileView.hpp"

#include "app/Views/ColorDot.hpp"

#include "app/Models/GridTile.hpp"
#include "app/Services/sessions/ShellCwdReader.hpp"
#include "app/ViewModels/TerminalProcessController.hpp"
#include "app/Views/BrisvaneTerminalView.hpp"
#include "app/Views/TerminalGpuSwitch.hpp"
#include "app/Views/DashboardStyle.hpp"
#include "app/Views/FilePathClickOverlayView.hpp"
#include "app/Views/PlainButton.hpp"
#include "app/Views/SymbolGlyph.hpp"
#include "app/Views/TerminalHostView.hpp"
#include "terminal/engine/EscapeSequences.hpp"

#include <QApplication>
#include <QDrag>
#include <QEasingCurve>
#include <QGraphicsOpacityEffect>
#include <QHBoxLayout>
#include <QLabel>
#include <QMenu>
#include <QMimeData>
#include <QMouseEvent>
#include <QMoveEvent>
#include <QPainter>
#include <QPainterPath>
#include <QPushButton>
#include <QVBoxLayout>
#include <QVariantAnimation>

#include <qdrawutil.h>

#include <cmath>
#include <vector>

namespace brisvane {

namespace {

constexpr double kCornerRadius = 10;
constexpr double kFocusedStateInset = 5;
constexpr double kFocusedStateRadius = 5;
constexpr int kFocusAnimationMs = 150;
constexpr double kUnfocusedHeaderOpacity = 0.85;
constexpr int kTerminalInset = 10;

QColor tileBackground()
{
    return QColor(30, 30, 30);
}

QPainterPath roundedRect(const QRectF& rect, double radius)
{
    QPainterPath path;
    path.addRoundedRect(rect, radius, radius);
    return path;
}


// A one-line label that gives up the beginning of its text first when too narrow, so the end
// of a long project name (the part that tells projects apart) stays readable.
class HeadElidedLabel final : public QLabel {
public:
    explicit HeadElidedLabel(QWidget* parent)
        : QLabel(parent)
    {
        setTextFormat(Qt::PlainText);
        setSizePolicy(QSizePolicy::Preferred, QSizePolicy::Preferred);
        setMinimumWidth(0);
        setAttribute(Qt::WA_TransparentForMouseEvents);
    }
    void setFullText(const QString& text)
    {
        setProperty("fullText", text);
        elide();
        updateGeometry();
    }
    QSize sizeHint() const override
    {
        return {fontMetrics().horizontalAdvance(property("fullText").toString()) + 2, QLabel::sizeHint().height()};
    }
    QSize minimumSizeHint() const override { return {0, QLabel::minimumSizeHint().height()}; }

protected:
    void resizeEvent(QResizeEvent* event) override
    {
        QLabel::resizeEvent(event);
        elide();
    }

private:
    void elide() { setText(fontMetrics().elidedText(property("fullText").toString(), Qt::ElideLeft, width())); }
};

} // namespace

// The state border and the focus border, drawn over the tile's content. Masked to the tile's
// edge, so the terminal below never has to repaint it.
class TerminalTileView::StateBorder final : public QWidget {
public:
    explicit StateBorder(TerminalTileView& tile)
        : QWidget(&tile)
        , tile_(tile)
    {
        setAttribute(Qt::WA_TransparentForMouseEvents);
        setAttribute(Qt::WA_TranslucentBackground);
    }

    void fit()
    {
        setGeometry(tile_.rect());
        const int ring = int(kFocusedStateInset + 4);
        setMask(QRegion(rect()).subtracted(QRegion(rect().adjusted(ring, ring, -ring, -ring))));
        raise();
    }

protected:
    void paintEvent(QPaintEvent*) override
    {
        QPainter painter(this);
        painter.setRenderHint(QPainter::Antialiasing);
        const double progress = tile_.focusProgress_;
        const QColor stateColor = DashboardStyle::toneColor(TerminalTileView::appearance(tile_.tile_).tone);

        // Unfocused: along the tile's edge; focused: 5 points in, with tighter corners.
        const double stateWidth = 2 + 0.5 * progress;
        const double inset = kFocusedStateInset * progress + stateWidth / 2;
        const double radius = kCornerRadius + (kFocusedStateRadius - kCornerRadius) * progress;
        painter.setPen(QPen(stateColor, stateWidth));
        painter.setBrush(Qt::NoBrush);
        painter.drawPath(roundedRect(QRectF(rect()).adjusted(inset, inset, -inset, -inset), radius));

        const double focusWidth = 3 * progress;
        if (focusWidth > 0) {
            painter.setPen(QPen(DashboardStyle::accent(), focusWidth));
            const double half = focusWidth / 2;
            painter.drawPath(roundedRect(QRectF(rect()).adjusted(half, half, -half, -half), kCornerRadius));
        }
    }

private:
    TerminalTileView& tile_;
};

TerminalTileView::TerminalTileView(const TerminalTile& tile, TerminalProcessController* controller, QWidget* parent)
    : QWidget(parent)
    , tile_(tile)
{
    auto* stack = new QVBoxLayout(this);
    stack->setContentsMargins(0, 0, 0, 0);
    stack->setSpacing(0);

    buildHeader();
    stack->addWidget(header_);
    stack->addWidget(DashboardStyle::makeDivider(this));
    body_ = new QWidget(this);
    auto* bodyLayout = new QVBoxLayout(body_);
    bodyLayout->setContentsMargins(0, 0, 0, 0);
    bodyLayout->setSpacing(0);
    stack->addWidget(body_, 1);

    border_ = new StateBorder(*this);
    focusAnimation_ = new QVariantAnimation(this);
    focusAnimation_->setDuration(kFocusAnimationMs);
    focusAnimation_->setEasingCurve(QEasingCurve::InOutQuad);
    connect(focusAnimation_, &QVariantAnimation::valueChanged, this,
            [this](const QVariant& value) { setFocusProgress(value.toDouble()); });

    if (controller) makeTerminalView(*controller);
    rebuildBody();
    refreshHeader();
    setFocusProgress(0);
}

TerminalTileView::~TerminalTileView()
{
    // The host hands the terminal widget back, and the widget goes while this tile is whole.
    delete hostView_;
    hostView_ = nullptr;
    terminalView_.reset();
}

// ---- Inputs -------------------------------------------------------------------------------------

void TerminalTileView::setTile(const TerminalTile& tile)
{
    if (tile == tile_) return;
    tile_ = tile;
    if (hostView_) hostView_->setLifecycle(tile_.lifecycle);
    refreshHeader();
    border_->update();
}

void TerminalTileView::setController(TerminalProcessController* controller)
{
    const corvix::LocalProcessSession* session = controller ? &controller->session() : nullptr;
    const corvix::LocalProcessSession* shown = terminalView_ ? &terminalView_->session() : nullptr;
    if (session == shown && (hostView_ != nullptr) == (session != nullptr)) return;
    // The old host hands its widget back before the widget goes.
    delete hostView_;
    hostView_ = nullptr;
    terminalView_.reset();
    if (controller) makeTerminalView(*controller);
    rebuildBody();
}

void TerminalTileView::makeTerminalView(TerminalProcessController& controller)
{
    // Made at 640 x 400 at the origin in its font; the terminal takes the tile's size when the
    // host shows it there.
    std::optional<QFont> font;
    if (terminalFontSize_) font = BrisvaneTerminalView::terminalFont(*terminalFontSize_);
    terminalView_ = std::make_unique<BrisvaneTerminalView>(controller.sharedSession(), QRect(0, 0, 640, 400), font);
    terminalView_->homeDirectory = linkServices_.homeDirectory;
    terminalView_->existenceChecker = linkServices_.existenceChecker;
    terminalView_->fileOpener = linkServices_.fileOpener;
    terminalView_->now = linkServices_.now;
}

void TerminalTileView::setTerminalFontSize(double pointSize)
{
    terminalFontSize_ = pointSize;
    if (terminalView_) terminalView_->applyFontSize(pointSize);
}

void TerminalTileView::redrawTerminal()
{
    if (!terminalView_) return;
    terminalView_->updateGeometry();
    terminalView_->update();
}

void TerminalTileView::setFocused(bool focused)
{
    if (focused == isFocused_) return;
    isFocused_ = focused;
    focusAnimation_->stop();
    focusAnimation_->setStartValue(focusProgress_);
    focusAnimation_->setEndValue(focused ? 1.0 : 0.0);
    focusAnimation_->start();
}

void TerminalTileView::setConclusionReadingEnabled(bool enabled)
{
    if (enabled == isConclusionReadingEnabled_) return;
    isConclusionReadingEnabled_ = enabled;
    refreshReadingToggle();
}

void TerminalTileView::setCurrentCwd(const std::optional<QString>& cwd)
{
    currentCwd_ = cwd;
    pinProjectAction_->setEnabled(currentCwd_.has_value());
}

// ---- Appearance ---------------------------------------------------------------------------------

TerminalTileView::Appearance TerminalTileView::appearance(const TerminalTile& tile)
{
    using Tone = SessionStateAppearance::Tone;
    switch (tile.lifecycle.kind) {
    case TerminalTileLifecycle::Case::attached: {
        const SessionStateAppearance::Appearance session = SessionStateAppearance::resolve(tile.sessionState);
        return {session.tone, session.label, session.detail};
    }
    case TerminalTileLifecycle::Case::shellOnly:
        return {Tone::idle, tr("シェル"), std::nullopt};
    case TerminalTileLifecycle::Case::closed:
        break;
    }
    return {Tone::terminated, tr("終了"), std::nullopt};
}

QMimeData* TerminalTileView::makeHeaderDragData() const
{
    auto* data = new QMimeData;
    data->setText(GridTile::of(tile_).id());
    return data;
}

// ---- Header -------------------------------------------------------------------------------------

void TerminalTileView::buildHeader()
{
    header_ = new QWidget(this);
    header_->setCursor(Qt::OpenHandCursor);
    header_->installEventFilter(this);
    headerOpacity_ = new QGraphicsOpacityEffect(header_);
    header_->setGraphicsEffect(headerOpacity_);

    auto* row = new QHBoxLayout(header_);
    row->setContentsMargins(8, 5, 8, 5);
    row->setSpacing(6);

    stateDot_ = new ColorDot(9, QColor(), header_);
    stateDot_->setAttribute(Qt::WA_TransparentForMouseEvents);
    row->addWidget(stateDot_, 0, Qt::AlignVCenter);

    primaryName_ = new HeadElidedLabel(header_);
    primaryName_->setFont(DashboardStyle::font(14, QFont::Bold));
    QPalette palette = primaryName_->palette();
    palette.setColor(QPalette::WindowText, DashboardStyle::primaryText());
    primaryName_->setPalette(palette);
    row->addWidget(primaryName_, 0, Qt::AlignVCenter);

    secondaryName_ = DashboardStyle::makeLabel({}, DashboardStyle::font(9), DashboardStyle::secondaryText(), header_);
    row->addWidget(secondaryName_, 0, Qt::AlignVCenter);
    row->addSpacerItem(new QSpacerItem(4, 0, QSizePolicy::Expanding, QSizePolicy::Minimum));

    stateLabel_ = DashboardStyle::makeLabel({}, DashboardStyle::font(10), DashboardStyle::secondaryText(), header_);
    row->addWidget(stateLabel_, 0, Qt::AlignVCenter);
    detailLabel_ = DashboardStyle::makeLabel({}, DashboardStyle::font(9), DashboardStyle::secondaryText(), header_);
    row->addWidget(detailLabel_, 0, Qt::AlignVCenter);
    modelName_ =
        DashboardStyle::makeLabel({}, DashboardStyle::monospacedFont(10), DashboardStyle::secondaryText(), header_);
    row->addWidget(modelName_, 0, Qt::AlignVCenter);

    readingToggle_ = PlainButton::make({}, 13, QFont::Normal, DashboardStyle::secondaryText(), header_);
    connect(readingToggle_, &QPushButton::clicked, this, &TerminalTileView::conclusionReadingToggleRequested);
    row->addWidget(readingToggle_, 0, Qt::AlignVCenter);

    menuButton_ = PlainButton::make(SymbolGlyph::text(QStringLiteral("ellipsis.circle")), 13, QFont::Normal,
                                    DashboardStyle::secondaryText(), header_);
    SymbolGlyph::tag(*menuButton_, QStringLiteral("ellipsis.circle"));
    menuButton_->setAccessibleName(tr("タイルメニュー"));
    // The menu's own arrow would double the symbol.
    menuButton_->setStyleSheet(menuButton_->styleSheet() +
                               QStringLiteral(" QPushButton::menu-indicator { image: none; width: 0px; }"));
    auto* menu = new QMenu(menuButton_);
    pinProjectAction_ = menu->addAction(tr("このプロジェクトをピン留め"));
    pinProjectAction_->setEnabled(false);
    connect(pinProjectAction_, &QAction::triggered, this, [this] {
        if (currentCwd_) emit pinProjectRequested(*currentCwd_);
    });
    menuButton_->setMenu(menu);
    row->addWidget(menuButton_, 0, Qt::AlignVCenter);

    closeButton_ = PlainButton::make(SymbolGlyph::text(QStringLiteral("xmark.circle")), 13, QFont::Normal,
                                     DashboardStyle::secondaryText(), header_);
    SymbolGlyph::tag(*closeButton_, QStringLiteral("xmark.circle"));
    closeButton_->setAccessibleName(tr("ターミナルタイルを閉じる"));
    connect(closeButton_, &QPushButton::clicked, this, &TerminalTileView::closeRequested);
    row->addWidget(closeButton_, 0, Qt::AlignVCenter);

    refreshReadingToggle();
}

void TerminalTileView::refreshHeader()
{
    const Appearance state = appearance(tile_);
    stateDot_->setColor(DashboardStyle::toneColor(state.tone));
    static_cast<HeadElidedLabel*>(primaryName_)->setFullText(tile_.projectName.primary);
    secondaryName_->setText(tile_.projectName.secondary.value_or(QString()));
    stateLabel_->setText(state.label);
    detailLabel_->setText(state.detail.value_or(QString()));
    const bool attached = tile_.lifecycle.kind == TerminalTileLifecycle::Case::attached;
    modelName_->setText(attached ? tile_.modelName : QString());
    fitHeader();
}

// A narrow tile gives up the header's texts one by one, detail first, then the secondary name,
// the model and the state label, before the project name loses a single character: it tells the
// tiles apart. The dot and the three controls always stay. Once nothing else is left the name
// gives up its head.
void TerminalTileView::fitHeader()
{
    const Appearance state = appearance(tile_);
    const bool attached = tile_.lifecycle.kind == TerminalTileLifecycle::Case::attached;
    struct Optional {
        QWidget* widget;
        bool wanted;
    };
    const Optional optional[] = {
        {detailLabel_, state.detail.has_value()},
        {secondaryName_, tile_.projectName.secondary.has_value()},
        {modelName_, attached},
        {stateLabel_, true},
    };
    const auto* row = static_cast<QHBoxLayout*>(header_->layout());
    const int spacing = row->spacing();
    constexpr int kSpacerMinimum = 4;
    const QMargins margins = row->contentsMargins();
    int needed = margins.left() + margins.right() + stateDot_->sizeHint().width() + spacing +
                 primaryName_->sizeHint().width() + spacing + kSpacerMinimum;
    for (const QWidget* control : {static_cast<QWidget*>(readingToggle_), static_cast<QWidget*>(menuButton_),
                                   static_cast<QWidget*>(closeButton_)})
        needed += spacing + control->sizeHint().width();
    int optionalWidth = 0;
    for (const Optional& item : optional) {
        if (item.wanted) optionalWidth += spacing + item.widget->sizeHint().width();
    }
    // Drop from the front of the list until the rest fits.
    const int available = header_->width();
    bool fits = false;
    for (const Optional& item : optional) {
        fits = fits || needed + optionalWidth <= available;
        item.widget->setVisible(item.wanted && fits);
        if (item.wanted && !fits) optionalWidth -= spacing + item.widget->sizeHint().width();
    }
}

void TerminalTileView::refreshReadingToggle()
{
    const bool on = isConclusionReadingEnabled_;
    const QString symbol = on ? QStringLiteral("text.bubble.fill") : QStringLiteral("text.bubble");
    readingToggle_->setText(SymbolGlyph::text(symbol));
    SymbolGlyph::tag(*readingToggle_, symbol);
    PlainButton::setColor(*readingToggle_, on ? DashboardStyle::accent() : DashboardStyle::secondaryText());
    readingToggle_->setToolTip(on ? tr("結論の読み上げ: ON（長い作業のときだけ結論を読みます）") : tr("結論の読み上げ: OFF"));
    // Says what a press does.
    readingToggle_->setAccessibleName(on ? tr("結論の読み上げをOFFにする") : tr("結論の読み上げをONにする"));
}

bool TerminalTileView::eventFilter(QObject* watched, QEvent* event)
{
    // The whole header is a handle: dragging it anywhere moves the tile in the grid.
    if (watched == header_) {
        switch (event->type()) {
        case QEvent::Resize:
            fitHeader();
            break;
        case QEvent::MouseButtonPress: {
            const auto* mouse = static_cast<QMouseEvent*>(event);
            if (mouse->button() == Qt::LeftButton) headerPressPosition_ = mouse->position().toPoint();
            break;
        }
        case QEvent::MouseMove: {
            const auto* mouse = static_cast<QMouseEvent*>(event);
            if (headerPressPosition_ && mouse->buttons().testFlag(Qt::LeftButton) &&
                (mouse->position().toPoint() - *headerPressPosition_).manhattanLength() >=
                    QApplication::startDragDistance()) {
                headerPressPosition_.reset();
                startHeaderDrag();
                return true;
            }
            break;
        }
        case QEvent::MouseButtonRelease:
            headerPressPosition_.reset();
            break;
        default:
            break;
        }
    }
    return QWidget::eventFilter(watched, event);
}

void TerminalTileView::startHeaderDrag()
{
    auto* drag = new QDrag(this);
    drag->setMimeData(makeHeaderDragData());
    drag->setPixmap(header_->grab());
    drag->exec(Qt::MoveAction);
}

// ---- Body ---------------------------------------------------------------------------------------

void TerminalTileView::rebuildBody()
{
    // The old host hands the terminal view back as it goes; the new one takes it over.
    delete hostView_;
    hostView_ = nullptr;
    delete placeholder_;
    placeholder_ = nullptr;

    if (terminalView_) {
        hostView_ = new TerminalHostView(terminalView_.get(), body_);
        hostView_->setInsets(kTerminalInset, kTerminalInset);
        QPointer<BrisvaneTerminalView> view = terminalView_.get();
        hostView_->setCwdProvider([view]() -> std::optional<QString> {
            if (!view || !view->process().running()) return std::nullopt;
            return ShellCwdReader::currentWorkingDirectory(view->process().shellPid());
        });
        hostView_->setLifecycle(tile_.lifecycle);
        // Paths under Ctrl open as the terminal's own links do.
        FilePathClickOverlayView& overlay = *hostView_->overlay();
        overlay.homeDirectory = terminalView_->homeDirectory;
        overlay.existenceChecker = terminalView_->existenceChecker;
        overlay.fileOpener = terminalView_->fileOpener;
        // The host goes before the terminal view: the connection dies with either.
        connect(hostView_, &TerminalHostView::textDropped, terminalView_.get(), [view](const QString& text) {
            // As typed, unless the program asked for pastes to be marked: then as a paste, so an
            // editor does not run the text as commands. The text holds no control character.
            const QByteArray typed = text.toUtf8();
            std::vector<uint8_t> bytes;
            const bool bracketed = view->getTerminal().bracketedPasteMode;
            if (bracketed) bytes = corvix::EscapeSequences::bracketedPasteStart();
            bytes.insert(bytes.end(), typed.begin(), typed.end());
            if (bracketed) {
                const std::vector<uint8_t> end = corvix::EscapeSequences::bracketedPasteEnd();
                bytes.insert(bytes.end(), end.begin(), end.end());
            }
            view->process().send(bytes);
        });
        body_->layout()->addWidget(hostView_);
        // Asked for once the widget is in the tile's window, so its GL view is made for that window.
        if (gpuSwitch_) gpuSwitch_->apply(*terminalView_);
    } else {
        placeholder_ = new QWidget(body_);
        placeholder_->setAutoFillBackground(true);
        QPalette palette = placeholder_->palette();
        palette.setColor(QPalette::Window, Qt::black);
        placeholder_->setPalette(palette);
        placeholder_->setAccessibleName(tr("ターミナルを表示できません"));
        auto* column = new QVBoxLayout(placeholder_);
        column->setSpacing(6);
        column->addStretch(1);
        const QString symbol = QStringLiteral("exclamationmark.triangle");
        QLabel* icon =
            DashboardStyle::makeLabel(SymbolGlyph::text(symbol), DashboardStyle::font(18), QColor(255, 159, 10));
        SymbolGlyph::tag(*icon, symbol);
        column->addWidget(icon, 0, Qt::AlignHCenter);
        column->addWidget(DashboardStyle::makeLabel(tr("ターミナルを表示できません"), DashboardStyle::font(12),
                                                    DashboardStyle::secondaryText()),
                          0, Qt::AlignHCenter);
        column->addWidget(DashboardStyle::makeLabel(tr("このタイルを閉じて作り直してください"), DashboardStyle::font(10),
                                                    DashboardStyle::secondaryText()),
                          0, Qt::AlignHCenter);
        column->addStretch(1);
        body_->layout()->addWidget(placeholder_);
    }
    border_->fit();
}

// ---- Drawing ------------------------------------------------------------------------------------

namespace {

constexpr double kShadowOpacity = 0.65;
constexpr double kShadowRadius = 8;

// The shadow of a rounded tile, once per colour and pixel ratio: a square holding the four
// corners and, between them, one pixel of each edge, which `qDrawBorderPixmap` stretches along
// the frame. A blurred edge: the share of a Gaussian (sigma = radius / 2) that lies beyond the
// distance from the rounded rectangle.
QPixmap focusShadowStrips(const QColor& color, qreal ratio)
{
    static QColor cachedColor;
    static qreal cachedRatio = 0;
    static QPixmap cached;
    if (!cached.isNull() && cachedColor == color && cachedRatio == ratio) return cached;
    const int margin = TerminalTileView::kShadowExtent + int(std::ceil(kCornerRadius));
    const int side = 2 * margin + 1;
    const int pixels = int(std::ceil(side * ratio));
    QImage image(pixels, pixels, QImage::Format_ARGB32_Premultiplied);
    const double sigma = kShadowRadius / 2;
    const double inner = TerminalTileView::kShadowExtent; // where the tile starts
    for (int y = 0; y < pixels; ++y) {
        for (int x = 0; x < pixels; ++x) {
            // Distance from the rounded rectangle [inner, side - inner], in layout pixels.
            const double px = (x + 0.5) / ratio;
            const double py = (y + 0.5) / ratio;
            const double half = (side - 2 * inner) / 2;
            const double qx = std::abs(px - side / 2.0) - (half - kCornerRadius);
            const double qy = std::abs(py - side / 2.0) - (half - kCornerRadius);
            const double outside = std::hypot(std::max(qx, 0.0), std::max(qy, 0.0)) +
                                   std::min(std::max(qx, qy), 0.0) - kCornerRadius;
            // Nothing inside the tile's rectangle, not even in its cut corners: the page repaints
            // the shadow only around the rectangle, never where the tile or its children are.
            const bool inRectangle = px > inner && px < side - inner && py > inner && py < side - inner;
            const double share =
                outside <= 0 || inRectangle ? 0 : 0.5 * std::erfc(outside / (sigma * std::sqrt(2.0)));
            const double alpha = color.alphaF() * kShadowOpacity * share;
            image.setPixel(x, y, qRgba(int(color.red() * alpha), int(color.green() * alpha),
                                       int(color.blue() * alpha), int(255 * alpha)));
        }
    }
    cached = QPixmap::fromImage(image);
    cached.setDevicePixelRatio(ratio);
    cachedColor = color;
    cachedRatio = ratio;
    return cached;
}

} // namespace

void TerminalTileView::paintFocusShadow(QPainter& painter) const
{
    if (focusProgress_ <= 0) return;
    const int margin = kShadowExtent + int(std::ceil(kCornerRadius));
    const QPixmap strips = focusShadowStrips(DashboardStyle::accent(), painter.device()->devicePixelRatioF());
    const QRect target = geometry().adjusted(-kShadowExtent, -kShadowExtent, kShadowExtent, kShadowExtent);
    painter.save();
    painter.setOpacity(focusProgress_);
    qDrawBorderPixmap(&painter, target, QMargins(margin, margin, margin, margin), strips);
    painter.restore();
}

QRegion TerminalTileView::focusShadowRegion() const
{
    const QRect around = geometry().adjusted(-kShadowExtent, -kShadowExtent, kShadowExtent, kShadowExtent);
    return QRegion(around) - QRegion(geometry());
}

void TerminalTileView::updateFocusShadow(const QRect& geometry) const
{
    QWidget* page = parentWidget();
    if (!page) return;
    const QRect around = geometry.adjusted(-kShadowExtent, -kShadowExtent, kShadowExtent, kShadowExtent);
    page->update(QRegion(around) - QRegion(geometry));
}

void TerminalTileView::moveEvent(QMoveEvent* event)
{
    QWidget::moveEvent(event);
    if (focusProgress_ > 0) {
        updateFocusShadow(QRect(event->oldPos(), size()));
        updateFocusShadow(geometry());
    }
}

void TerminalTileView::setFocusProgress(double progress)
{
    focusProgress_ = progress;
    updateFocusShadow(geometry());
    headerOpacity_->setOpacity(kUnfocusedHeaderOpacity + (1 - kUnfocusedHeaderOpacity) * progress);
    border_->update();
}

void TerminalTileView::paintEvent(QPaintEvent*)
{
    QPainter painter(this);
    painter.setRenderHint(QPainter::Antialiasing);
    painter.fillPath(roundedRect(QRectF(rect()), kCornerRadius), tileBackground());
}

void TerminalTileView::resizeEvent(QResizeEvent* event)
{
    QWidget::resizeEvent(event);
    // Children are clipped to the rounded tile too (the placeholder's black reaches the corners).
    setMask(QRegion(roundedRect(QRectF(rect()), kCornerRadius).toFillPolygon().toPolygon()));
    border_->fit();
    if (focusProgress_ > 0) {
        updateFocusShadow(QRect(pos(), event->oldSize()));
        updateFocusShadow(geometry());
    }
}

} // namespace brisvane
