#include "app/Views/GridControlsView.hpp"

#include "app/Services/sessions/ProjectResumeInfoProvider.hpp"
#include "app/ViewModels/DashboardViewModel.hpp"
#include "app/Views/AnnouncementSettingsPopoverView.hpp"
#include "app/Views/DashboardStyle.hpp"
#include "app/Views/GridLayoutIconView.hpp"
#include "app/Views/LayoutPickerPopoverView.hpp"
#include "app/Views/PlainButton.hpp"
#include "app/Views/SymbolGlyph.hpp"

#include <QHBoxLayout>
#include <QKeyEvent>
#include <QLabel>
#include <QLocale>
#include <QMenu>
#include <QMouseEvent>
#include <QPainter>
#include <QPushButton>

#include <algorithm>
#include <cmath>

namespace brisvane {

namespace {

const QMargins kSymbolPadding(2, 1, 2, 1);

} // namespace

// ---- Page controls ----------------------------------------------------------------------------

// One 6 x 6 circle per page, 4 apart; the current one opaque. Clicks pass to the controls.
class GridPageControls::PageDots final : public QWidget {
public:
    explicit PageDots(QWidget* parent) : QWidget(parent)
    {
        setAttribute(Qt::WA_TransparentForMouseEvents);
        setSizePolicy(QSizePolicy::Fixed, QSizePolicy::Fixed);
    }
    void set(int count, int current)
    {
        count_ = std::max(count, 1);
        current_ = current;
        setFixedSize(count_ * 6 + (count_ - 1) * 4, 6);
        update();
    }

protected:
    void paintEvent(QPaintEvent*) override
    {
        QPainter painter(this);
        painter.setRenderHint(QPainter::Antialiasing);
        painter.setPen(Qt::NoPen);
        for (int i = 0; i < count_; ++i) {
            painter.setBrush(i == current_ ? QColor(Qt::white) : DashboardStyle::white(0.3));
            painter.drawEllipse(QRectF(i * 10, 0, 6, 6));
        }
    }

private:
    int count_ = 1;
    int current_ = 0;
};

GridPageControls::GridPageControls(DashboardViewModel& viewModel, QWidget* parent)
    : QWidget(parent), viewModel_(viewModel)
{
    setFocusPolicy(Qt::StrongFocus);
    auto* row = new QHBoxLayout(this);
    row->setContentsMargins(4, 0, 4, 0);
    row->setSpacing(6);
    previous_ = PlainButton::make(SymbolGlyph::text(QStringLiteral("chevron.left")), 14, QFont::Normal,
                                  DashboardStyle::secondaryText(), this, kSymbolPadding);
    SymbolGlyph::tag(*previous_, QStringLiteral("chevron.left"));
    previous_->setAccessibleName(tr("前のページ"));
    previous_->setFocusPolicy(Qt::NoFocus);
    dots_ = new PageDots(this);
    next_ = PlainButton::make(SymbolGlyph::text(QStringLiteral("chevron.right")), 14, QFont::Normal,
                              DashboardStyle::secondaryText(), this, kSymbolPadding);
    SymbolGlyph::tag(*next_, QStringLiteral("chevron.right"));
    next_->setAccessibleName(tr("次のページ"));
    next_->setFocusPolicy(Qt::NoFocus);
    counter_ = DashboardStyle::makeLabel(QString(), DashboardStyle::monospacedFont(10), DashboardStyle::secondaryText(),
                                         this);
    row->addWidget(previous_, 0, Qt::AlignVCenter);
    row->addWidget(dots_, 0, Qt::AlignVCenter);
    row->addWidget(next_, 0, Qt::AlignVCenter);
    row->addWidget(counter_, 0, Qt::AlignVCenter);
    connect(previous_, &QPushButton::clicked, &viewModel_, &DashboardViewModel::previousPage);
    connect(next_, &QPushButton::clicked, &viewModel_, &DashboardViewModel::nextPage);
    refresh();
}

int GridPageControls::pageCount() const
{
    return std::max(int(viewModel_.pages().size()), 1);
}

int GridPageControls::currentIndex() const
{
    return viewModel_.pages().isEmpty() ? 0 : viewModel_.currentPageIndex();
}

void GridPageControls::refresh()
{
    const int count = pageCount();
    const int current = currentIndex();
    dots_->set(count, current);
    counter_->setText(tr("%1 / %2").arg(current + 1).arg(count));
}

void GridPageControls::keyPressEvent(QKeyEvent* event)
{
    if (event->key() == Qt::Key_Left) {
        viewModel_.previousPage();
        event->accept();
    } else if (event->key() == Qt::Key_Right) {
        viewModel_.nextPage();
        event->accept();
    } else {
        QWidget::keyPressEvent(event);
    }
}

void GridPageControls::mousePressEvent(QMouseEvent* event)
{
    setFocus(Qt::MouseFocusReason);
    dragStart_ = event->position();
    event->accept();
}

// Only the horizontal part decides, once the drag has gone the minimum distance in any direction.
void GridPageControls::mouseReleaseEvent(QMouseEvent* event)
{
    if (!dragStart_) return;
    const QPointF translation = event->position() - *dragStart_;
    dragStart_.reset();
    event->accept();
    if (std::hypot(translation.x(), translation.y()) < kSwipeMinimumDistance) return;
    if (translation.x() < 0) viewModel_.nextPage();
    else if (translation.x() > 0) viewModel_.previousPage();
}

// ---- Pinned project chip ----------------------------------------------------------------------

PinnedProjectChip::PinnedProjectChip(DashboardViewModel& viewModel, const PinnedProject& project, QWidget* parent)
    : QToolButton(parent), viewModel_(viewModel), project_(project)
{
    setText(project.displayName);
    setFont(DashboardStyle::font(11));
    setAccessibleName(tr("ピン: %1").arg(project.displayName));
    setToolButtonStyle(Qt::ToolButtonTextOnly);
    setPopupMode(QToolButton::InstantPopup);
    setCursor(Qt::PointingHandCursor);
    // Its ideal size always: a long name is shown whole, on one line.
    setSizePolicy(QSizePolicy::Fixed, QSizePolicy::Fixed);
    setStyleSheet(QStringLiteral("QToolButton { background: %1; border: none; border-radius: 5px; padding: 3px 6px;"
                                 " color: %2; }"
                                 " QToolButton::menu-indicator { image: none; width: 0px; }")
                      .arg(DashboardStyle::white(0.08).name(QColor::HexArgb),
                           DashboardStyle::primaryText().name(QColor::HexArgb)));
    menu_ = new QMenu(this);
    setMenu(menu_);
    connect(menu_, &QMenu::aboutToShow, this, &PinnedProjectChip::rebuildMenu);

    contextMenu_ = new QMenu(this);
    QAction* unpin = contextMenu_->addAction(tr("ピンを外す"));
    unpin->setProperty("destructive", true);
    const QUuid id = project.id;
    connect(unpin, &QAction::triggered, &viewModel_, [this, id] { viewModel_.removePinnedProject(id); });
    setContextMenuPolicy(Qt::CustomContextMenu);
    connect(this, &QWidget::customContextMenuRequested, this,
            [this](const QPoint& at) { contextMenu_->popup(mapToGlobal(at)); });
    rebuildMenu();
}

QMenu* PinnedProjectChip::rebuildMenu()
{
    menu_->clear();
    const PinnedProject project = project_;
    connect(menu_->addAction(tr("新規セッション")), &QAction::triggered, &viewModel_,
            [this, project] { viewModel_.launchPinnedProject(project, false); });
    const DashboardViewModel::Parameters& parameters = viewModel_.parameters();
    if (parameters.fileSystem) {
        const std::optional<QDateTime> date = ProjectResumeInfoProvider::lastConversationDate(
            project.path, parameters.projectsDirectory, *parameters.fileSystem);
        if (date) {
            connect(menu_->addAction(tr("続きから（%1）").arg(GridControlsView::resumeDateLabel(*date))),
                    &QAction::triggered, &viewModel_, [this, project] { viewModel_.launchPinnedProject(project, true); });
        }
    }
    return menu_;
}

// ---- Bar --------------------------------------------------------------------------------------

GridControlsView::GridControlsView(DashboardViewModel& viewModel, std::function<void()> openSettings, QWidget* parent)
    : QWidget(parent), viewModel_(viewModel), openSettings_(std::move(openSettings))
{

    auto* row = new QHBoxLayout(this);
    row->setContentsMargins(16, 6, 16, 6);
    row->setSpacing(16);

    // Layout picker button: the current layout's miniature and label on a faint card.
    layoutButton_ = new QPushButton(this);
    layoutButton_->setFlat(true);
    layoutButton_->setCursor(Qt::PointingHandCursor);
    // The style sheet reaches the label inside too and replaces its palette: its colour is named here.
    layoutButton_->setStyleSheet(QStringLiteral("QPushButton { background: %1; border: none; border-radius: 5px; }"
                                                "QLabel { color: %2; }")
                                     .arg(DashboardStyle::white(0.08).name(QColor::HexArgb),
                                          DashboardStyle::primaryText().name(QColor::HexArgb)));
    auto* layoutLabelRow = new QHBoxLayout(layoutButton_);
    layoutLabelRow->setContentsMargins(6, 3, 6, 3);
    layoutLabelRow->setSpacing(5);
    layoutIcon_ = new GridLayoutIconView(viewModel_.layoutPreset().rows, 18, 13, 1.5, 1.5, DashboardStyle::primaryText(),
                                         layoutButton_);
    layoutLabel_ = DashboardStyle::makeLabel(QString(), DashboardStyle::font(11), DashboardStyle::primaryText(),
                                             layoutButton_);
    layoutLabelRow->addWidget(layoutIcon_, 0, Qt::AlignVCenter);
    layoutLabelRow->addWidget(layoutLabel_, 0, Qt::AlignVCenter);
    layoutButton_->setSizePolicy(QSizePolicy::Fixed, QSizePolicy::Fixed);
    connect(layoutButton_, &QPushButton::clicked, this, &GridControlsView::toggleLayoutPopover);
    row->addWidget(layoutButton_, 0, Qt::AlignVCenter);

    settingsButton_ = PlainButton::make(SymbolGlyph::text(QStringLiteral("gearshape")), 14, QFont::Normal,
                                        DashboardStyle::secondaryText(), this, kSymbolPadding);
    SymbolGlyph::tag(*settingsButton_, QStringLiteral("gearshape"));
    settingsButton_->setToolTip(tr("設定を開く（Ctrl+Shift+,）"));
    settingsButton_->setAccessibleName(tr("設定を開く"));
    connect(settingsButton_, &QPushButton::clicked, this, [this] { openSettings_(); });
    row->addWidget(settingsButton_, 0, Qt::AlignVCenter);

    auto* fontGroup = new QHBoxLayout;
    fontGroup->setSpacing(4);
    smallerFont_ = PlainButton::make(tr("A-"), 13, QFont::Medium, DashboardStyle::secondaryText(), this, kSymbolPadding);
    smallerFont_->setAccessibleName(tr("ターミナルの文字を縮小"));
    largerFont_ = PlainButton::make(tr("A+"), 13, QFont::Medium, DashboardStyle::secondaryText(), this, kSymbolPadding);
    largerFont_->setAccessibleName(tr("ターミナルの文字を拡大"));
    connect(smallerFont_, &QPushButton::clicked, this, [this] { viewModel_.decreaseTerminalFontSize(); });
    connect(largerFont_, &QPushButton::clicked, this, [this] { viewModel_.increaseTerminalFontSize(); });
    fontGroup->addWidget(smallerFont_, 0, Qt::AlignVCenter);
    fontGroup->addWidget(largerFont_, 0, Qt::AlignVCenter);
    row->addLayout(fontGroup);

    announcementButton_ = PlainButton::make(QString(), 14, QFont::Normal, DashboardStyle::secondaryText(), this,
                                            kSymbolPadding);
    announcementButton_->setAccessibleName(tr("音声通知の設定"));
    connect(announcementButton_, &QPushButton::clicked, this, &GridControlsView::toggleAnnouncementPopover);
    row->addWidget(announcementButton_, 0, Qt::AlignVCenter);

    pinChips_ = new QWidget(this);
    auto* chipRow = new QHBoxLayout(pinChips_);
    chipRow->setContentsMargins(0, 0, 0, 0);
    chipRow->setSpacing(6);
    row->addWidget(pinChips_, 0, Qt::AlignVCenter);

    row->addSpacerItem(new QSpacerItem(8, 0, QSizePolicy::Expanding, QSizePolicy::Minimum));

    pageControls_ = new GridPageControls(viewModel_, this);
    row->addWidget(pageControls_, 0, Qt::AlignVCenter);

    connect(&viewModel_, &DashboardViewModel::layoutPresetChanged, this, [this] {
        refreshLayoutButton();
        refreshPageControls();
    });
    connect(&viewModel_, &DashboardViewModel::isAnnouncementsEnabledChanged, this,
            &GridControlsView::refreshAnnouncementButton);
    connect(&viewModel_, &DashboardViewModel::pinnedProjectsChanged, this, &GridControlsView::rebuildPinChips);
    for (auto changed : {&DashboardViewModel::pageIndexChanged, &DashboardViewModel::terminalTilesChanged,
                         &DashboardViewModel::gridOrderingChanged})
        connect(&viewModel_, changed, this, &GridControlsView::refreshPageControls);

    refreshLayoutButton();
    refreshAnnouncementButton();
    rebuildPinChips();
    refreshPageControls();
}

QString GridControlsView::resumeDateLabel(const QDateTime& date)
{
    return QLocale::c().toString(date.toLocalTime(), QStringLiteral("M/d H:mm"));
}

bool GridControlsView::isLayoutPopoverPresented() const
{
    return layoutPopover_ && layoutPopover_->isPresented();
}

bool GridControlsView::isAnnouncementPopoverPresented() const
{
    return announcementPopover_ && announcementPopover_->isPresented();
}

void GridControlsView::toggleLayoutPopover()
{
    if (isLayoutPopoverPresented()) {
        layoutPopover_->dismiss();
        return;
    }
    if (!layoutPopover_) layoutPopover_ = new LayoutPickerPopoverView(viewModel_, this);
    layoutPopover_->present(layoutButton_);
}

void GridControlsView::toggleAnnouncementPopover()
{
    if (isAnnouncementPopoverPresented()) {
        announcementPopover_->dismiss();
        return;
    }
    if (!announcementPopover_)
        announcementPopover_ = new AnnouncementSettingsPopoverView(viewModel_, openSettings_, this);
    announcementPopover_->present(announcementButton_);
}

LayoutPickerPopoverView* GridControlsView::layoutPopover() const
{
    return layoutPopover_;
}

AnnouncementSettingsPopoverView* GridControlsView::announcementPopover() const
{
    return announcementPopover_;
}

QList<PinnedProjectChip*> GridControlsView::chips() const
{
    return pinChips_->findChildren<PinnedProjectChip*>(Qt::FindDirectChildrenOnly);
}

void GridControlsView::refreshLayoutButton()
{
    const GridLayoutPreset& preset = viewModel_.layoutPreset();
    const QString label = preset.displayLabel(viewModel_.parameters().isJapaneseLocale);
    layoutIcon_->setRows(preset.rows);
    layoutLabel_->setText(label);
    layoutButton_->setAccessibleName(tr("レイアウト選択（現在: %1）").arg(label));
    layoutButton_->setFixedSize(layoutButton_->layout()->sizeHint());
}

void GridControlsView::refreshAnnouncementButton()
{
    const bool enabled = viewModel_.isAnnouncementsEnabled();
    const QString symbol = enabled ? QStringLiteral("speaker.wave.2.fill") : QStringLiteral("speaker.slash.fill");
    announcementButton_->setText(SymbolGlyph::text(symbol));
    SymbolGlyph::tag(*announcementButton_, symbol);
    const QColor secondary = DashboardStyle::secondaryText();
    PlainButton::setColor(*announcementButton_, enabled ? secondary : DashboardStyle::withOpacity(secondary, 0.4));
}

void GridControlsView::rebuildPinChips()
{
    for (PinnedProjectChip* chip : chips()) {
        chip->hide();
        chip->deleteLater();
        chip->setParent(nullptr);
    }
    auto* chipRow = static_cast<QHBoxLayout*>(pinChips_->layout());
    for (const PinnedProject& project : viewModel_.pinnedProjects())
        chipRow->addWidget(new PinnedProjectChip(viewModel_, project, pinChips_));
    pinChips_->setVisible(!viewModel_.pinnedProjects().isEmpty());
}

void GridControlsView::refreshPageControls()
{
    pageControls_->refresh();
    pageControls_->setVisible(viewModel_.pages().size() >= 2);
}

void GridControlsView::paintEvent(QPaintEvent*)
{
    QPainter(this).fillRect(rect(), DashboardStyle::stripBackground());
}

} // namespace brisvane
