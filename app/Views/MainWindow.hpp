#pragma once

#include <QMainWindow>

namespace brisvane {

class DashboardViewModel;

// The application's window: it starts the model when first shown and stops it when closed,
// and carries the "ターミナル" menu.
class MainWindow final : public QMainWindow {
    Q_OBJECT
public:
    static constexpr int kMinimumWidth = 780;
    static constexpr int kMinimumHeight = 480;

    explicit MainWindow(DashboardViewModel& model, QWidget* parent = nullptr);

protected:
    void showEvent(QShowEvent* event) override;
    void closeEvent(QCloseEvent* event) override;

private:
    DashboardViewModel& model_;
    bool started_ = false;
};

} // namespace brisvane
