#include "app/Views/ReadingDictionarySettingsTab.hpp"

#include "app/ViewModels/DashboardViewModel.hpp"
#include "app/Views/SettingsForm.hpp"

#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QScrollArea>
#include <QStackedLayout>
#include <QStyle>
#include <QToolButton>
#include <QVBoxLayout>

#include <algorithm>

namespace brisvane {

namespace {

// The width of a row's two icon buttons, which the column titles leave free.
constexpr int kButtonsWidth = 56;

void setTextIfChanged(QLineEdit& field, const QString& text)
{
    // Setting the same text again would move the caret of the field being typed in.
    if (field.text() != text) field.setText(text);
}

} // namespace

ReadingDictionarySettingsTab::ReadingDictionarySettingsTab(DashboardViewModel& model, QWidget* parent)
    : QWidget(parent), model_(model)
{
    auto* stack = new QVBoxLayout(this);
    stack->setContentsMargins(16, 16, 16, 16);
    stack->setSpacing(10);

    stack->addWidget(SettingsForm::makeCaption(tr(
        "プロジェクトのフォルダ名と、その読み方を登録します。読み上げのときだけ使われ、画面に出るプロジェクト名は変わりません。")));

    auto* titles = new QHBoxLayout;
    titles->setSpacing(8);
    for (const QString& title : {tr("フォルダ名"), tr("読み（カタカナ）")}) {
        QLabel* label = SettingsForm::makeCaption(title);
        QFont font = label->font();
        font.setWeight(QFont::DemiBold);
        label->setFont(font);
        label->setWordWrap(false);
        titles->addWidget(label, 1);
    }
    titles->addSpacing(kButtonsWidth);
    stack->addLayout(titles);

    listOrEmpty_ = new QStackedLayout;
    emptyState_ = new QWidget;
    emptyState_->setObjectName(QStringLiteral("readingDictionaryEmptyState"));
    auto* emptyLayout = new QVBoxLayout(emptyState_);
    emptyLayout->setSpacing(6);
    emptyLayout->addStretch(1);
    for (const auto& [text, size] : {std::pair{tr("読み辞書は空です"), 12},
                                     std::pair{tr("「追加」で、読み間違えるプロジェクト名を登録できます。"), 11}}) {
        QLabel* label = SettingsForm::makeCaption(text, size);
        label->setAlignment(Qt::AlignCenter);
        emptyLayout->addWidget(label);
    }
    emptyLayout->addStretch(1);

    auto* scroll = new QScrollArea;
    scroll->setObjectName(QStringLiteral("readingDictionaryList"));
    scroll->setWidgetResizable(true);
    scroll->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    list_ = scroll;
    auto* rowsHolder = new QWidget;
    QPalette listPalette = rowsHolder->palette();
    listPalette.setColor(QPalette::Window, listPalette.color(QPalette::Base));
    rowsHolder->setPalette(listPalette);
    rowsHolder->setAutoFillBackground(true);
    rowsLayout_ = new QVBoxLayout(rowsHolder);
    rowsLayout_->setContentsMargins(0, 0, 0, 0);
    rowsLayout_->setSpacing(0);
    rowsLayout_->addStretch(1);
    scroll->setWidget(rowsHolder);

    listOrEmpty_->addWidget(emptyState_);
    listOrEmpty_->addWidget(list_);
    stack->addLayout(listOrEmpty_, 1);

    auto* footer = new QHBoxLayout;
    auto* addButton = new QPushButton(tr("追加"));
    addButton->setObjectName(QStringLiteral("addReadingEntryButton"));
    addButton->setIcon(QIcon::fromTheme(QStringLiteral("list-add")));
    connect(addButton, &QPushButton::clicked, &model_, [this] { model_.addReadingEntry(); });
    footer->addWidget(addButton);
    footer->addStretch(1);
    QLabel* hint = SettingsForm::makeCaption(tr("読みが分からない語は登録しなくて構いません（そのまま読み上げます）。"), 10);
    hint->setWordWrap(false);
    footer->addWidget(hint);
    stack->addLayout(footer);

    connect(&model_, &DashboardViewModel::readingDictionaryChanged, this, &ReadingDictionarySettingsTab::showEntries);
    showEntries();
}

ReadingDictionarySettingsTab::Row ReadingDictionarySettingsTab::makeRow(const QUuid& id)
{
    Row row;
    row.widget = new QWidget;
    row.widget->setObjectName(QStringLiteral("readingEntryRow"));
    row.widget->setProperty("entryId", id);
    row.widget->setAutoFillBackground(true);
    auto* layout = new QHBoxLayout(row.widget);
    layout->setContentsMargins(4, 2, 4, 2);
    layout->setSpacing(8);

    row.projectName = new QLineEdit;
    row.projectName->setObjectName(QStringLiteral("projectNameField"));
    row.projectName->setPlaceholderText(tr("フォルダ名"));
    row.reading = new QLineEdit;
    row.reading->setObjectName(QStringLiteral("readingField"));
    row.reading->setPlaceholderText(tr("読み（カタカナ）"));
    layout->addWidget(row.projectName, 1);
    layout->addWidget(row.reading, 1);

    row.preview = new QToolButton;
    row.preview->setObjectName(QStringLiteral("previewButton"));
    row.preview->setAutoRaise(true);
    row.preview->setIcon(style()->standardIcon(QStyle::SP_MediaPlay));
    row.preview->setToolTip(tr("この読みを試聴する"));
    row.remove = new QToolButton;
    row.remove->setObjectName(QStringLiteral("removeButton"));
    row.remove->setAutoRaise(true);
    row.remove->setIcon(style()->standardIcon(QStyle::SP_TrashIcon));
    row.remove->setToolTip(tr("この行を削除する"));
    layout->addWidget(row.preview);
    layout->addWidget(row.remove);

    // `textEdited` comes from the user only, so showing the model's text never writes it back.
    connect(row.projectName, &QLineEdit::textEdited, this,
            [this, id](const QString& text) { model_.updateReadingEntry(id, text, std::nullopt); });
    connect(row.reading, &QLineEdit::textEdited, this,
            [this, id](const QString& text) { model_.updateReadingEntry(id, std::nullopt, text); });
    // The preview speaks the row as the model holds it now.
    connect(row.preview, &QToolButton::clicked, this, [this, id] {
        for (const ReadingEntry& entry : model_.readingDictionary().entries) {
            if (entry.id == id) {
                model_.speakReadingPreview(entry);
                return;
            }
        }
    });
    connect(row.remove, &QToolButton::clicked, this, [this, id] { model_.removeReadingEntry(id); });
    return row;
}

void ReadingDictionarySettingsTab::showEntries()
{
    const QList<ReadingEntry>& entries = model_.readingDictionary().entries;

    // Rows whose entry is gone go; a row that keeps its entry keeps its widgets (and focus).
    for (auto it = rows_.begin(); it != rows_.end();) {
        const bool kept = std::any_of(entries.begin(), entries.end(),
                                      [&](const ReadingEntry& entry) { return entry.id == it->first; });
        if (kept) {
            ++it;
            continue;
        }
        // Its own delete button may be what is running: the row leaves the list now and is
        // deleted once that is over.
        QWidget* gone = it->second.widget;
        rowsLayout_->removeWidget(gone);
        gone->hide();
        gone->setParent(nullptr);
        gone->deleteLater();
        it = rows_.erase(it);
    }

    const QPalette palette = this->palette();
    for (qsizetype index = 0; index < entries.size(); index++) {
        const ReadingEntry& entry = entries[index];
        auto found = rows_.find(entry.id);
        if (found == rows_.end()) found = rows_.emplace(entry.id, makeRow(entry.id)).first;
        Row& row = found->second;
        // Stored order; moving a widget within the layout keeps its focus.
        if (rowsLayout_->indexOf(row.widget) != index) {
            rowsLayout_->removeWidget(row.widget);
            rowsLayout_->insertWidget(int(index), row.widget);
        }
        setTextIfChanged(*row.projectName, entry.projectName);
        setTextIfChanged(*row.reading, entry.reading);
        row.preview->setAccessibleName(tr("%1の読みを試聴").arg(entry.projectName));
        row.remove->setAccessibleName(tr("%1の行を削除").arg(entry.projectName));
        QPalette rowPalette = palette;
        rowPalette.setColor(QPalette::Window,
                            palette.color(index % 2 == 0 ? QPalette::Base : QPalette::AlternateBase));
        row.widget->setPalette(rowPalette);
    }

    listOrEmpty_->setCurrentWidget(entries.isEmpty() ? emptyState_ : list_);
}

} // namespace brisvane
