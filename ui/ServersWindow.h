#pragma once

#include <QWidget>
#include <string>

#include "ui/EditorLayout.h"

class QPlainTextEdit;
class QPushButton;

namespace tessel::ui {

// "Filtered Servers": the list as plain text, one name per line, with OK and Cancel. Sizable, with
// the editor's resize rules applied to its outer size. Destroyed when closed (unloaded).
class ServersWindow final : public QWidget {
    Q_OBJECT
public:
    explicit ServersWindow(const QIcon& icon, QWidget* parent = nullptr);
    ~ServersWindow() override;

    // The text in bytes, line breaks as CR LF.
    void setListText(const std::string& text);
    std::string listText() const;

    QPlainTextEdit* textBox() const;
    const EditorLayout& layoutTwips() const { return layout_; }

signals:
    void okClicked();
    void unloaded();

protected:
    void resizeEvent(QResizeEvent* event) override;
    void closeEvent(QCloseEvent* event) override;

private:
    void applyLayout();
    void unload();

    QPlainTextEdit* hosts_ = nullptr;
    QPushButton* ok_ = nullptr;
    QPushButton* cancel_ = nullptr;
    EditorLayout layout_;
    bool unloadedSent_ = false;
};

}  // namespace tessel::ui
