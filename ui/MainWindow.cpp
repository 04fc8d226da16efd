#include "ui/MainWindow.h"
#include <QAction>
#include <QCloseEvent>
#include <QLineEdit>
#include <QMenu>
// placeholder
namespace tessel::ui {
MainWindow::MainWindow(QWidget* parent) : QMainWindow(parent) {
    trayMenu_ = new QMenu(this);
    counter_ = new QLineEdit(this);
}
QAction* MainWindow::action(const QString& name) const { return findChild<QAction*>(name); }
QMenu* MainWindow::trayMenu() const { return trayMenu_; }
QLineEdit* MainWindow::counter() const { return counter_; }
void MainWindow::setCounterText(const QString& text) { counter_->setText(text); }
void MainWindow::closeEvent(QCloseEvent* event) { event->ignore(); hide(); }
void MainWindow::changeEvent(QEvent* event) { QMainWindow::changeEvent(event); }
bool MainWindow::eventFilter(QObject* w, QEvent* e) { return QMainWindow::eventFilter(w, e); }
}  // namespace tessel::ui
