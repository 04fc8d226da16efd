#pragma once

#include <QDialog>

namespace tessel::ui {

// "About...": fixed texts and an OK button; not modal. Destroyed when closed.
class AboutBox final : public QDialog {
    Q_OBJECT
public:
    explicit AboutBox(const QIcon& icon, QWidget* parent = nullptr);
};

}  // namespace tessel::ui
