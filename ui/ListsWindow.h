#pragma once

#include <cstddef>
#include <string>
#include <vector>

#include "ui/UnloadingWindow.h"

class QLabel;
class QLineEdit;
class QPlainTextEdit;
class QProgressBar;
class QPushButton;
class QTableWidget;

namespace tessel::ui {

// "Block Lists": the subscribed lists with their state, a box to add a URL, the allow list, and
// what the names cost each lookup. Add and Remove change only the window; OK hands it all over.
class ListsWindow final : public UnloadingWindow {
    Q_OBJECT
public:
    struct Row final {
        std::string url;
        std::string state;
        std::string updated;
        std::size_t names = 0;
    };

    explicit ListsWindow(const QIcon& icon, QWidget* parent = nullptr);

    // Fills the table anew.
    void setRows(const std::vector<Row>& rows);
    // Updates the rows of these URLs, leaving the user's additions and removals.
    void showStates(const std::vector<Row>& rows);
    std::vector<std::string> urls() const;

    void setAllowedText(const std::string& text);
    std::string allowedText() const;
    void setCost(const std::string& text);
    // Shows the bar while a download runs; a total of 0 shows it busy.
    void setProgress(bool downloading, long long received, long long total);

    QTableWidget* table() const { return table_; }

signals:
    void okClicked();
    void updateClicked();

private:
    void addUrl();
    void removeSelected();
    void fillRow(int row, const Row& values);

    QTableWidget* table_ = nullptr;
    QLineEdit* url_ = nullptr;
    QPlainTextEdit* allowed_ = nullptr;
    QProgressBar* progress_ = nullptr;
    QLabel* cost_ = nullptr;
};

}  // namespace tessel::ui
