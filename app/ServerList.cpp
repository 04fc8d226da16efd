#include "app/ServerList.h"

#include "core/ListEditor.h"

namespace tessel::app {

using platform::WindowId;

ServerList::ServerList(const Services& services, ui::MainWindow& window, std::string listPath,
                       Filtering& filtering)
    : services_(services), window_(window), listPath_(std::move(listPath)), filtering_(filtering) {}

ServerList::~ServerList() {
    delete editor_.data();
}

void ServerList::open() {
    if (editor_ != nullptr) {
        editor_->bringToFront();
        return;
    }
    if (opening_) {
        return;  // the list is on its way
    }
    opening_ = true;
    // A million names take a while to read and sort: the worker does it, the window follows.
    auto read = std::make_shared<std::pair<platform::ReadResult, std::string>>();
    services_.worker.post(
        [read, path = listPath_, &files = services_.files] {
            read->first = files.readFile(path);
            if (read->first.ok()) {
                read->second = core::loadForEditing(read->first.bytes);
            }
        },
        [this, read] {
            opening_ = false;
            show(read->first.status, std::move(read->second));
        });
}

void ServerList::show(const platform::Status& read, std::string text) {
    services_.zorder.setTopmost(WindowId::Main, false);
    if (!read.ok()) {
        services_.box.show("Error opening badHosts.dat:\r\n" + read.error());
        services_.zorder.setTopmost(WindowId::Main, true);
        return;
    }
    editor_ = new ui::ServersWindow(window_.windowIcon());
    editor_->setListText(text);
    connect(editor_, &ui::ServersWindow::okClicked, this, &ServerList::ok);
    connect(editor_, &ui::ServersWindow::unloaded, this, [this] {
        editor_ = nullptr;
        services_.zorder.setTopmost(WindowId::Main, true);
    });
    editor_->show();
}

void ServerList::ok() {
    const std::string typed = editor_->listText();
    const std::string cleaned = core::collapseLineBreaks(typed);
    // Refilling a box of a million lines takes a moment; skip it when nothing was collapsed.
    if (cleaned != typed) {
        editor_->setListText(cleaned);
    }
    const auto status = services_.files.writeFile(listPath_, core::savedList(cleaned));
    if (!status.ok()) {
        // The HOSTS file and the window stay as they were; the user may try again.
        services_.box.show("Error saving badHosts.dat: " + status.error());
        return;
    }
    filtering_.rewriteAndTell();
    // The user may have closed the window while the message was open.
    if (editor_ != nullptr) {
        editor_->close();
    }
}

}  // namespace tessel::app
