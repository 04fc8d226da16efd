#pragma once

#include <string>

#include "ui/EditorLayout.h"
#include "ui/UnloadingWindow.h"

class QPlainTextEdit;
class QPushButton;

namespace tessel::ui {

// "Filtered Servers": the list as plain text, one name per line, with OK and Cancel. Sizable, with
// the editor's resize rules applied to its outer size.
class ServersWindow final : public UnloadingWindow {
    Q_OBJECT
public:
    explicit ServersWindow(const QIcon& icon, QWidget* parent = nullptr);

    // The text in bytes, line breaks as CR LF.
    void setListText(const std::string& text);
    std::string listText() const;

    QPlainTextEdit* textBox() const;
    const EditorLayout& layoutTwips() const { return layout_; }

signals:
    void okClicked();

protected:
    void resizeEvent(QResizeEvent* event) override;

private:
    void applyLayout();

    QPlainTextEdit* hosts_ = nullptr;
    QPushButton* ok_ = nullptr;
    QPushButton* cancel_ = nullptr;
    EditorLayout layout_;
};

}  // namespace tessel::ui
