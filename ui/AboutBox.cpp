#include "ui/AboutBox.h"
// placeholder
namespace tessel::ui {
AboutBox::AboutBox(const QIcon& icon, QWidget* parent) : QDialog(parent) {
    setAttribute(Qt::WA_DeleteOnClose);
    setWindowIcon(icon);
}
}  // namespace tessel::ui
