#pragma once

#include <QMainWindow>

class QAction;
class QLineEdit;
class QMenu;

namespace tessel::ui {

// frmMain's window: the counter frame, the menu bar and the hidden tray menu "SYSTEM TRAY". Every
// menu item is a QAction whose objectName is the item's name (menuPause, menuPause2, ...).
// Closing or minimising the window only hides it.
class MainWindow final : public QMainWindow {
    Q_OBJECT
public:
    explicit MainWindow(QWidget* parent = nullptr);

    // Any item of either menu by name; nullptr for an unknown name.
    QAction* action(const QString& name) const;
    // The items of menuSysTray, popped up by the tray icon; "Open Tessel" is its default (bold).
    QMenu* trayMenu() const;
    QLineEdit* counter() const;
    void setCounterText(const QString& text);

protected:
    void closeEvent(QCloseEvent* event) override;
    void changeEvent(QEvent* event) override;

private:
    void buildControls();
    void buildMenuBar();
    void buildTrayMenu();
    void placeWindow();

    QMenu* trayMenu_ = nullptr;
    QLineEdit* counter_ = nullptr;
    QLineEdit* hidden_ = nullptr;
};

}  // namespace tessel::ui
