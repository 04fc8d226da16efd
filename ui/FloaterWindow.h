#pragma once

#include <QWidget>

class QLineEdit;

namespace tessel::ui {

// The floating counter: a small tool window showing the count in large digits. It is destroyed
// when closed (unloaded) and emits `unloaded` then, once: on closing, or on destruction when it
// was never closed.
class FloaterWindow final : public QWidget {
    Q_OBJECT
public:
    explicit FloaterWindow(QWidget* parent = nullptr);
    ~FloaterWindow() override;

    QLineEdit* counter() const;
    void setCounterText(const QString& text);
    void widenTextBox();
    void resetToZero();

signals:
    void unloaded();

protected:
    void closeEvent(QCloseEvent* event) override;

private:
    void announceUnload();
    void fitCount();

    QLineEdit* counter_ = nullptr;
    QLineEdit* hidden_ = nullptr;
    bool unloadAnnounced_ = false;
};

}  // namespace tessel::ui
