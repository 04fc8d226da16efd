#pragma once

#include <QMainWindow>
#include <array>

#include "core/PicturePresets.h"

class QAction;
class QLineEdit;
class QMenu;

namespace tessel::ui {

// One command as the menu bar offers it and as the tray menu does; `tray` is null for a command
// the tray menu lacks.
struct ItemPair final {
    QAction* main = nullptr;
    QAction* tray = nullptr;

    void setEnabled(bool enabled) const;
    void setChecked(bool checked) const;
};

// Every command a menu offers.
struct MenuItems final {
    QAction* open = nullptr;  // the tray menu's default item
    ItemPair floater;         // only the menu bar's item is checked
    ItemPair resetCounter;
    ItemPair about;
    ItemPair exit;
    ItemPair servers;
    ItemPair picturePath;
    std::array<ItemPair, core::kPicturePresets.size()> presets;
    ItemPair hostsPath;
    ItemPair keepReplace;
    ItemPair pause;
    ItemPair resume;
    ItemPair lists;
    ItemPair statistics;
    ItemPair startAtLogin;
};

// frmMain's window: the counter frame, the menu bar and the hidden tray menu "SYSTEM TRAY". Every
// menu item is a QAction whose objectName is the item's name (menuPause, menuPause2, ...), so
// automation finds it. Closing or minimising the window only hides it.
class MainWindow final : public QMainWindow {
    Q_OBJECT
public:
    explicit MainWindow(QWidget* parent = nullptr);

    const MenuItems& items() const { return items_; }
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

    MenuItems items_;
    QMenu* trayMenu_ = nullptr;
    QLineEdit* counter_ = nullptr;
    QLineEdit* hidden_ = nullptr;
};

}  // namespace tessel::ui
