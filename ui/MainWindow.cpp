#include "ui/MainWindow.h"

#include "ui/FocusHandoff.h"

#include <QAction>
#include <QCloseEvent>
#include <QFontMetrics>
#include <QFrame>
#include <QGuiApplication>
#include <QKeySequence>
#include <QLabel>
#include <QLayout>
#include <QLineEdit>
#include <QMenu>
#include <QMenuBar>
#include <QScreen>
#include <array>

#include "core/PicturePresets.h"
#include "ui/CounterWidth.h"
#include "ui/Pictures.h"

namespace tessel::ui {
namespace {

// The client area below the menu bar, and where it sits on the screen (twips).
constexpr int kClientWidth = 2280;
constexpr int kClientHeight = 585;
constexpr int kClientLeft = 2040;
constexpr int kClientTop = 1590;

// Same order as kPicturePresets; both menus show these captions.
constexpr std::array<const char*, core::kPicturePresets.size()> kPictureCaptions{
    "&Black", "&White", "&Gray", "&Tessel", "A&CO"};

// Below this the caption would be harder to read than if it were cut.
constexpr double kSmallestCaptionPoints = 6.0;
constexpr double kCaptionStepPoints = 0.5;

// The caption was laid out for a smaller classic dialog font and its room ends where the counter
// begins. With a wider desktop font it steps down in size rather than run under the counter.
void fitCaption(QLabel* label, int room) {
    QFont font = label->font();
    while (QFontMetrics(font).horizontalAdvance(label->text()) > room &&
           font.pointSizeF() - kCaptionStepPoints >= kSmallestCaptionPoints) {
        font.setPointSizeF(font.pointSizeF() - kCaptionStepPoints);
    }
    label->setFont(font);
}

QAction* addItem(QMenu* menu, const QString& name, const char* caption) {
    QAction* item = menu->addAction(QString::fromLatin1(caption));
    item->setObjectName(name);
    return item;
}

QAction* addItem(QMenu* menu, const char* name, const char* caption) {
    return addItem(menu, QString::fromLatin1(name), caption);
}

void addBreak(QMenu* menu, const char* name) {
    menu->addSeparator()->setObjectName(QString::fromLatin1(name));
}

// The menu and the item that opens it carry the same name, as automation expects.
template <typename Owner>
QMenu* addSubMenu(Owner* owner, const char* name, const char* caption) {
    QMenu* menu = owner->addMenu(QString::fromLatin1(caption));
    menu->setObjectName(QString::fromLatin1(name));
    menu->menuAction()->setObjectName(QString::fromLatin1(name));
    return menu;
}

// The tray copies of the picture items carry the suffix "2".
template <QAction* ItemPair::*side>
void addPictureItems(QMenu* menu, const QString& suffix, MenuItems& items) {
    for (std::size_t row = 0; row < core::kPicturePresets.size(); ++row) {
        const QString name = QString::fromLatin1(core::kPicturePresets[row].item) + suffix;
        QAction* item = addItem(menu, name, kPictureCaptions[row]);
        item->setCheckable(true);
        items.presets[row].*side = item;
    }
}

}  // namespace

MainWindow::MainWindow(QWidget* parent)
    : QMainWindow(parent, Qt::Tool | Qt::CustomizeWindowHint | Qt::WindowTitleHint |
                              Qt::WindowCloseButtonHint) {
    setWindowTitle(QStringLiteral("Tessel"));
    setWindowIcon(trayIcon(platform::TrayPicture::Running));
    buildControls();
    buildMenuBar();
    buildTrayMenu();
    placeWindow();
}

void MainWindow::buildControls() {
    auto* client = new QWidget(this);
    client->setFixedSize(twipsToPixels(kClientWidth), twipsToPixels(kClientHeight));
    setCentralWidget(client);

    // Created before the frame, so the opaque frame covers it: it holds the focus unseen.
    hidden_ = new QLineEdit(client);
    hidden_->setObjectName(QStringLiteral("txtHidden"));
    hidden_->setFocusPolicy(Qt::ClickFocus);
    hidden_->setGeometry(twipsRect(1920, 360, 75, 135));

    auto* frame = new QFrame(client);
    frame->setObjectName(QStringLiteral("Frame1"));
    frame->setFrameStyle(QFrame::Box | QFrame::Sunken);
    frame->setAutoFillBackground(true);
    frame->setGeometry(twipsRect(53, 0, 2175, 550));

    // The label reaches under the counter; the counter is created later so it stays on top.
    auto* label = new QLabel(QStringLiteral("Connections blocked:"), frame);
    label->setObjectName(QStringLiteral("lblBlocked"));
    label->setGeometry(twipsRect(90, 205, 1695, 255));

    counter_ = new QLineEdit(QStringLiteral("0"), frame);
    counter_->setObjectName(QStringLiteral("txtBlocked"));
    counter_->setReadOnly(true);
    counter_->setGeometry(twipsRect(1680, 190, 375, 285));
    new FocusHandoff(counter_, hidden_);
    setTabOrder(hidden_, counter_);
    fitCaption(label, counter_->x() - label->x());
}

void MainWindow::buildMenuBar() {
    QMenu* file = addSubMenu(menuBar(), "menuFile", "&File");
    items_.floater.main = addItem(file, "menuFloater", "Floating &Counter");
    items_.floater.main->setCheckable(true);
    items_.resetCounter.main = addItem(file, "menuResetCounter", "&Reset Counter");
    addBreak(file, "menuBreak1");
    items_.about.main = addItem(file, "menuAbout", "&About Tessel...");
    addBreak(file, "menuBreak2");
    items_.exit.main = addItem(file, "menuExit", "E&xit");

    QMenu* options = addSubMenu(menuBar(), "menuOptions", "&Options");
    items_.servers.main = addItem(options, "menuServers", "&Server List...");
    items_.servers.main->setShortcut(QKeySequence(Qt::CTRL | Qt::Key_S));
    QMenu* picture = addSubMenu(options, "menuPicture", "&Picture");
    items_.picturePath.main = addItem(picture, "menuPath", "Set &Picture...");
    items_.picturePath.main->setShortcut(QKeySequence(Qt::CTRL | Qt::Key_P));
    addBreak(picture, "menuBreak3");
    addPictureItems<&ItemPair::main>(picture, QString(), items_);
    QMenu* advanced = addSubMenu(options, "menuAdvanced", "Ad&vanced");
    items_.hostsPath.main = addItem(advanced, "menuAdvHosts", "Change &HOSTS Path...");
    items_.keepReplace.main = addItem(advanced, "menuKeepReplace", "&Keep/Replace HOSTS File...");
    addBreak(options, "menuBreak4");
    items_.pause.main = addItem(options, "menuPause", "P&ause");
    items_.resume.main = addItem(options, "menuResume", "&Resume");
    items_.resume.main->setEnabled(false);
    items_.lists.main = addItem(options, "menuLists", "&Lists...");
    items_.statistics.main = addItem(options, "menuStatistics", "S&tatistics...");
    items_.startAtLogin.main = addItem(options, "menuStartAtLogin", "Start at Lo&gin");
    items_.startAtLogin.main->setCheckable(true);
}

// Never part of the menu bar: the tray icon pops these items up. A child of the window, so
// automation finds its items by name like those of the menu bar.
void MainWindow::buildTrayMenu() {
    trayMenu_ = new QMenu(QStringLiteral("SYSTEM TRAY"), this);
    trayMenu_->setObjectName(QStringLiteral("menuSysTray"));
    trayMenu_->menuAction()->setObjectName(QStringLiteral("menuSysTray"));

    items_.open = addItem(trayMenu_, "menuOpen", "Open Tessel");
    QFont bold = items_.open->font();
    bold.setBold(true);
    items_.open->setFont(bold);
    trayMenu_->setDefaultAction(items_.open);
    addBreak(trayMenu_, "menuBreak10");
    items_.floater.tray = addItem(trayMenu_, "menuFloater2", "&Floating Counter");
    items_.resetCounter.tray = addItem(trayMenu_, "menuResetCounter2", "&Reset Counter");
    addBreak(trayMenu_, "menuBreak5");
    items_.about.tray = addItem(trayMenu_, "menuAbout2", "&About Tessel...");
    addBreak(trayMenu_, "menuBreak7");
    items_.pause.tray = addItem(trayMenu_, "menuPause2", "&Pause");
    items_.resume.tray = addItem(trayMenu_, "menuResume2", "&Resume");
    items_.resume.tray->setEnabled(false);
    addBreak(trayMenu_, "menuBreak8");
    items_.servers.tray = addItem(trayMenu_, "menuServers2", "&Server List...");
    QMenu* picture = addSubMenu(trayMenu_, "menuPicture2", "&Change Picture");
    items_.picturePath.tray = addItem(picture, "menuPath2", "Set &Path...");
    addBreak(picture, "menuBreak6");
    addPictureItems<&ItemPair::tray>(picture, QStringLiteral("2"), items_);
    QMenu* advanced = addSubMenu(trayMenu_, "menuAdvanced2", "Ad&vanced");
    items_.hostsPath.tray = addItem(advanced, "menuAdvHosts2", "Change &HOSTS path...");
    items_.keepReplace.tray = addItem(advanced, "menuKeepReplace2", "&Keep/Replace HOSTS File...");
    items_.lists.tray = addItem(advanced, "menuLists2", "&Lists...");
    items_.statistics.tray = addItem(advanced, "menuStatistics2", "S&tatistics...");
    items_.startAtLogin.tray = addItem(advanced, "menuStartAtLogin2", "Start at Lo&gin");
    items_.startAtLogin.tray->setCheckable(true);
    addBreak(trayMenu_, "menuBreak9");
    items_.exit.tray = addItem(trayMenu_, "menuExit2", "E&xit");
}

// The window's size follows from the fixed client area plus the menu bar. The client area, not
// the menu bar above it, goes to the fixed place on the screen.
void MainWindow::placeWindow() {
    ensurePolished();
    layout()->setSizeConstraint(QLayout::SetFixedSize);
    layout()->activate();
    const QScreen* screen = QGuiApplication::primaryScreen();
    const QPoint origin = screen != nullptr ? screen->geometry().topLeft() : QPoint();
    const QPoint client = origin + QPoint(twipsToPixels(kClientLeft), twipsToPixels(kClientTop));
    setGeometry(QRect(client - centralWidget()->pos(), size()));
}

void ItemPair::setEnabled(bool enabled) const {
    main->setEnabled(enabled);
    if (tray != nullptr) {
        tray->setEnabled(enabled);
    }
}

void ItemPair::setChecked(bool checked) const {
    main->setChecked(checked);
    if (tray != nullptr) {
        tray->setChecked(checked);
    }
}

QMenu* MainWindow::trayMenu() const {
    return trayMenu_;
}

QLineEdit* MainWindow::counter() const {
    return counter_;
}

// A count too long for the box widens it to the right, and the frame, the client area and the
// window with it; the box never narrows again, as the floating counter's never does.
void MainWindow::setCounterText(const QString& text) {
    counter_->setText(text);
    const int extra = missingWidth(*counter_);
    if (extra == 0) {
        return;
    }
    counter_->resize(counter_->width() + extra, counter_->height());
    QWidget* frame = counter_->parentWidget();
    frame->resize(frame->width() + extra, frame->height());
    centralWidget()->setFixedWidth(centralWidget()->width() + extra);
    layout()->activate();
}

// Closing only hides the window: the program goes on in the notification area.
void MainWindow::closeEvent(QCloseEvent* event) {
    event->ignore();
    hide();
}

// A minimised window would leave nothing to click but the tray icon, so minimising hides it and
// the next Open shows it in its normal state.
void MainWindow::changeEvent(QEvent* event) {
    QMainWindow::changeEvent(event);
    if (event->type() == QEvent::WindowStateChange && isMinimized()) {
        hide();
        setWindowState(windowState() & ~Qt::WindowMinimized);
    }
}

}  // namespace tessel::ui
