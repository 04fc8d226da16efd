#pragma once

#include "ui/UnloadingWindow.h"

class QLineEdit;

namespace tessel::ui {

// The floating counter: a small tool window showing the count in large digits.
class FloaterWindow final : public UnloadingWindow {
    Q_OBJECT
public:
    explicit FloaterWindow(QWidget* parent = nullptr);

    QLineEdit* counter() const;
    void setCounterText(const QString& text);
    void widenTextBox();
    void resetToZero();

private:
    void fitCount();

    QLineEdit* counter_ = nullptr;
    QLineEdit* hidden_ = nullptr;
};

}  // namespace tessel::ui
