#include "ui/FloaterWindow.h"
#include <QLineEdit>
// placeholder
namespace tessel::ui {
FloaterWindow::FloaterWindow(QWidget* parent) : QWidget(parent) {
    setAttribute(Qt::WA_DeleteOnClose);
    counter_ = new QLineEdit(this);
}
FloaterWindow::~FloaterWindow() { emit unloaded(); }
QLineEdit* FloaterWindow::counter() const { return counter_; }
void FloaterWindow::setCounterText(const QString& text) { counter_->setText(text); }
void FloaterWindow::widenTextBox() {}
void FloaterWindow::resetToZero() { counter_->setText(QStringLiteral("0")); }
bool FloaterWindow::eventFilter(QObject* w, QEvent* e) { return QWidget::eventFilter(w, e); }
}  // namespace tessel::ui
