#include "ui/ServersWindow.h"
#include <QPlainTextEdit>
// placeholder
namespace tessel::ui {
ServersWindow::ServersWindow(const QIcon& icon, QWidget* parent) : QWidget(parent) {
    setAttribute(Qt::WA_DeleteOnClose);
    setWindowIcon(icon);
    hosts_ = new QPlainTextEdit(this);
}
ServersWindow::~ServersWindow() { emit unloaded(); }
void ServersWindow::setListText(const std::string& text) { hosts_->setPlainText(QString::fromStdString(text)); }
std::string ServersWindow::listText() const { return hosts_->toPlainText().toStdString(); }
QPlainTextEdit* ServersWindow::textBox() const { return hosts_; }
void ServersWindow::resizeEvent(QResizeEvent*) {}
void ServersWindow::applyLayout() {}
}  // namespace tessel::ui
