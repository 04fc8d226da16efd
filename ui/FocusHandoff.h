#pragma once

#include <QObject>
#include <QPointer>
#include <QWidget>

namespace tessel::ui {

// A counter box never keeps the focus, so no caret ever blinks in it and typing cannot change it:
// its FocusIn is swallowed (the line edit never starts its caret) and the focus goes on to a box
// kept out of the way.
class FocusHandoff final : public QObject {
    Q_OBJECT
public:
    FocusHandoff(QWidget* counter, QWidget* focusBox);

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    QPointer<QWidget> focusBox_;
};

}  // namespace tessel::ui
