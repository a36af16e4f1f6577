#pragma once

#include <QUuid>
#include <QWidget>

#include <map>

class QLineEdit;
class QStackedLayout;
class QToolButton;
class QVBoxLayout;

namespace brisvane {

class DashboardViewModel;

// The settings window's reading-dictionary tab: one row per entry with the folder name, its
// reading, a preview and a delete button; an add button; the empty state when there is no entry.
// It keeps no copy of the entries: each keystroke goes to the model, which saves the whole
// dictionary. Rows are kept by entry id across model changes, so the field being typed in keeps
// its focus and caret.
class ReadingDictionarySettingsTab final : public QWidget {
    Q_OBJECT
public:
    explicit ReadingDictionarySettingsTab(DashboardViewModel& model, QWidget* parent = nullptr);

private:
    struct Row {
        QWidget* widget = nullptr;
        QLineEdit* projectName = nullptr;
        QLineEdit* reading = nullptr;
        QToolButton* preview = nullptr;
        QToolButton* remove = nullptr;
    };

    void showEntries();
    Row makeRow(const QUuid& id);

    DashboardViewModel& model_;
    QStackedLayout* listOrEmpty_ = nullptr;
    QWidget* emptyState_ = nullptr;
    QWidget* list_ = nullptr;
    QVBoxLayout* rowsLayout_ = nullptr;
    std::map<QUuid, Row> rows_;
};

} // namespace brisvane
