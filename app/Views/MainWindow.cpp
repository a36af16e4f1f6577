#include "app/Views/MainWindow.hpp"

#include "app/ViewModels/DashboardViewModel.hpp"

#include <QMenuBar>

namespace brisvane {

MainWindow::MainWindow(DashboardViewModel& model, QWidget* parent) : QMainWindow(parent), model_(model)
{
    setWindowTitle(QStringLiteral("Brisvane"));
    setMinimumSize(kMinimumWidth, kMinimumHeight);
    resize(kMinimumWidth, kMinimumHeight);
    setCentralWidget(new QWidget(this));

    // Ctrl+Shift+key: Ctrl+key alone belongs to the shells in the tiles.
    QMenu* menu = menuBar()->addMenu(tr("ターミナル"));
    menu->addAction(tr("文字を拡大"), QKeySequence(Qt::CTRL | Qt::SHIFT | Qt::Key_Equal), &model_,
                    &DashboardViewModel::increaseTerminalFontSize);
    menu->addAction(tr("文字を縮小"), QKeySequence(Qt::CTRL | Qt::SHIFT | Qt::Key_Minus), &model_,
                    &DashboardViewModel::decreaseTerminalFontSize);
    menu->addAction(tr("文字サイズをリセット"), QKeySequence(Qt::CTRL | Qt::SHIFT | Qt::Key_0), &model_,
                    &DashboardViewModel::resetTerminalFontSize);
}

void MainWindow::showEvent(QShowEvent* event)
{
    QMainWindow::showEvent(event);
    if (started_) return;
    started_ = true;
    model_.start();
}

void MainWindow::closeEvent(QCloseEvent* event)
{
    model_.stop();
    QMainWindow::closeEvent(event);
}

} // namespace brisvane
