#pragma once

#include <QLayout>
#include <QList>

namespace brisvane {

// Places widgets in rows: `rows` gives the number of cells of each row, top to bottom; the rows
// share the height and a row's cells share its width, `spacing` apart. Widgets are taken in
// order; those beyond the rows' cells get an empty rectangle, cells beyond the widgets stay empty.
// It takes all the room it is given.
class GridRowLayout final : public QLayout {
    Q_OBJECT
public:
    explicit GridRowLayout(QList<int> rows = {}, double spacing = 0, QWidget* parent = nullptr);
    ~GridRowLayout() override;

    const QList<int>& rows() const { return rows_; }
    void setRows(QList<int> rows);
    double cellSpacing() const { return spacing_; }
    void setCellSpacing(double spacing);

    // Removes every item (their widgets stay, unparented from nothing).
    void clear();

    void addItem(QLayoutItem* item) override;
    QLayoutItem* itemAt(int index) const override;
    QLayoutItem* takeAt(int index) override;
    int count() const override;
    QSize sizeHint() const override;
    QSize minimumSize() const override;
    Qt::Orientations expandingDirections() const override;
    void setGeometry(const QRect& rect) override;

private:
    QList<int> rows_;
    double spacing_;
    QList<QLayoutItem*> items_;
};

} // namespace brisvane
