#include "platform/qt/QtMessageBox.h"

#include <QMessageBox>

#include "platform/qt/Text.h"

namespace tessel::platform {
namespace {

QMessageBox::StandardButtons standardButtons(Buttons buttons) {
    switch (buttons) {
        case Buttons::Ok:
            return QMessageBox::Ok;
        case Buttons::OkCancel:
            return QMessageBox::Ok | QMessageBox::Cancel;
        case Buttons::YesNo:
            return QMessageBox::Yes | QMessageBox::No;
        case Buttons::YesNoCancel:
            break;
    }
    return QMessageBox::Yes | QMessageBox::No | QMessageBox::Cancel;
}

bool hasCancel(Buttons buttons) {
    return buttons == Buttons::OkCancel || buttons == Buttons::YesNoCancel;
}

// A box closed without a button counts as Cancel where there is one.
Answer closedAnswer(Buttons buttons) {
    if (hasCancel(buttons)) {
        return Answer::Cancel;
    }
    return buttons == Buttons::Ok ? Answer::Ok : Answer::No;
}

}  // namespace

Answer QtMessageBox::show(const std::string& prompt, Buttons buttons, Icon icon,
                          const std::string& title) {
    if (silent_) {
        return closedAnswer(buttons);
    }
    QMessageBox box(icon == Icon::Exclamation ? QMessageBox::Warning : QMessageBox::NoIcon,
                    toDisplay(title), toDisplay(prompt), standardButtons(buttons));
    box.setTextFormat(Qt::PlainText);
    if (hasCancel(buttons)) {
        box.setEscapeButton(QMessageBox::Cancel);
    }
    switch (box.exec()) {
        case QMessageBox::Ok:
            return Answer::Ok;
        case QMessageBox::Yes:
            return Answer::Yes;
        case QMessageBox::No:
            return Answer::No;
        default:
            break;
    }
    return closedAnswer(buttons);
}

}  // namespace tessel::platform
