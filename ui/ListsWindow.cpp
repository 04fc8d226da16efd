#include "ui/ListsWindow.h"

#include <QHBoxLayout>
#include <QHeaderView>
#include <QLabel>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QProgressBar>
#include <QPushButton>
#include <QTableWidget>
#include <QVBoxLayout>
#include <algorithm>

#include "platform/qt/Text.h"

namespace tessel::ui {
namespace {

enum Column { kUrl, kState, kUpdated, kNames, kColumns };

QPushButton* button(QWidget* parent, const char* name, const char* caption) {
    auto* made = new QPushButton(QString::fromLatin1(caption), parent);
    made->setObjectName(QString::fromLatin1(name));
    return made;
}

QString text(const std::string& bytes) {
    return QString::fromStdString(bytes);
}

}  // namespace

ListsWindow::ListsWindow(const QIcon& icon, QWidget* parent)
    : UnloadingWindow(parent, Qt::Window | Qt::WindowTitleHint | Qt::WindowSystemMenuHint |
                                  Qt::WindowCloseButtonHint) {
    setWindowTitle(QStringLiteral("Block Lists"));
    setWindowIcon(icon);
    table_ = new QTableWidget(0, kColumns, this);
    table_->setObjectName(QStringLiteral("tblLists"));
    table_->setHorizontalHeaderLabels({QStringLiteral("URL"), QStringLiteral("State"),
                                       QStringLiteral("Last update"), QStringLiteral("Names")});
    table_->horizontalHeader()->setSectionResizeMode(kUrl, QHeaderView::Stretch);
    table_->setSelectionBehavior(QAbstractItemView::SelectRows);
    table_->setEditTriggers(QAbstractItemView::NoEditTriggers);
    url_ = new QLineEdit(this);
    url_->setObjectName(QStringLiteral("txtUrl"));
    url_->setPlaceholderText(QStringLiteral("https://, http:// or file:// address of a list"));
    QPushButton* add = button(this, "cmdAdd", "&Add");
    QPushButton* remove = button(this, "cmdRemove", "&Remove");
    QPushButton* update = button(this, "cmdUpdate", "&Update Now");
    progress_ = new QProgressBar(this);
    progress_->setObjectName(QStringLiteral("barDownload"));
    progress_->hide();
    auto* allowedLabel = new QLabel(
        QStringLiteral(
            "&Never block these names (one a line; *.name for a name and every name under it):"),
        this);
    allowed_ = new QPlainTextEdit(this);
    allowed_->setObjectName(QStringLiteral("txtAllowed"));
    allowed_->setTabChangesFocus(true);
    allowedLabel->setBuddy(allowed_);
    cost_ = new QLabel(this);
    cost_->setObjectName(QStringLiteral("lblCost"));
    cost_->setWordWrap(true);
    QPushButton* ok = button(this, "cmdOK", "OK");
    QPushButton* cancel = button(this, "cmdCancel", "Cancel");

    auto* adding = new QHBoxLayout;
    adding->addWidget(url_, 1);
    for (QPushButton* each : {add, remove, update}) {
        adding->addWidget(each);
    }
    auto* closing = new QHBoxLayout;
    closing->addStretch(1);
    closing->addWidget(ok);
    closing->addWidget(cancel);
    auto* layout = new QVBoxLayout(this);
    layout->addWidget(table_, 2);
    layout->addLayout(adding);
    layout->addWidget(progress_);
    layout->addWidget(allowedLabel);
    layout->addWidget(allowed_, 1);
    layout->addWidget(cost_);
    layout->addLayout(closing);

    connect(add, &QPushButton::clicked, this, &ListsWindow::addUrl);
    connect(url_, &QLineEdit::returnPressed, this, &ListsWindow::addUrl);
    connect(remove, &QPushButton::clicked, this, &ListsWindow::removeSelected);
    connect(update, &QPushButton::clicked, this, &ListsWindow::updateClicked);
    connect(ok, &QPushButton::clicked, this, &ListsWindow::okClicked);
    connect(cancel, &QPushButton::clicked, this, &ListsWindow::close);
    resize(720, 480);
}

void ListsWindow::fillRow(int row, const Row& values) {
    const QString cells[kColumns] = {text(values.url), text(values.state), text(values.updated),
                                     QString::number(values.names)};
    for (int column = 0; column < kColumns; ++column) {
        auto* item = new QTableWidgetItem(cells[column]);
        if (column == kNames) {
            item->setTextAlignment(Qt::AlignRight | Qt::AlignVCenter);
        }
        table_->setItem(row, column, item);
    }
}

void ListsWindow::setRows(const std::vector<Row>& rows) {
    table_->setRowCount(static_cast<int>(rows.size()));
    for (std::size_t row = 0; row < rows.size(); ++row) {
        fillRow(static_cast<int>(row), rows[row]);
    }
}

void ListsWindow::showStates(const std::vector<Row>& rows) {
    for (int row = 0; row < table_->rowCount(); ++row) {
        const std::string url = table_->item(row, kUrl)->text().toStdString();
        for (const Row& values : rows) {
            if (values.url == url) {
                fillRow(row, values);
            }
        }
    }
}

std::vector<std::string> ListsWindow::urls() const {
    std::vector<std::string> urls;
    for (int row = 0; row < table_->rowCount(); ++row) {
        urls.push_back(table_->item(row, kUrl)->text().toStdString());
    }
    return urls;
}

void ListsWindow::addUrl() {
    const QString url = url_->text().trimmed();
    const auto known = urls();
    if (url.isEmpty() || std::find(known.begin(), known.end(), url.toStdString()) != known.end()) {
        return;
    }
    const int row = table_->rowCount();
    table_->insertRow(row);
    fillRow(row, {url.toStdString(), "Downloaded on OK", "", 0});
    url_->clear();
}

void ListsWindow::removeSelected() {
    const auto selected = table_->selectionModel()->selectedRows();
    for (auto it = selected.rbegin(); it != selected.rend(); ++it) {
        table_->removeRow(it->row());
    }
}

void ListsWindow::setAllowedText(const std::string& bytes) {
    allowed_->setPlainText(platform::toDisplay(bytes));
}

std::string ListsWindow::allowedText() const {
    return platform::fromDisplay(allowed_->toPlainText());
}

void ListsWindow::setCost(const std::string& bytes) {
    cost_->setText(text(bytes));
}

void ListsWindow::setProgress(bool downloading, long long received, long long total) {
    progress_->setVisible(downloading);
    progress_->setRange(0, total > 0 ? 1000 : 0);
    if (total > 0) {
        progress_->setValue(static_cast<int>(received * 1000 / total));
    }
}

}  // namespace tessel::ui
