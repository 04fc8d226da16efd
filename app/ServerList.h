#pragma once

#include <QObject>
#include <QPointer>

#include "app/Filtering.h"
#include "app/Services.h"
#include "ui/MainWindow.h"
#include "ui/ServersWindow.h"

namespace tessel::app {

// The server-list editor: badHosts.dat opened for editing, saved on OK, and the HOSTS file
// rewritten from it.
class ServerList final : public QObject {
    Q_OBJECT
public:
    ServerList(const Services& services, ui::MainWindow& window, std::string listPath,
               Filtering& filtering);
    ~ServerList() override;
    // The editor's signals call back into this object.
    Q_DISABLE_COPY_MOVE(ServerList)

    void open();
    ui::ServersWindow* editor() const { return editor_; }

private:
    void show(const platform::Status& read, std::string text);
    void ok();

    const Services& services_;
    ui::MainWindow& window_;
    std::string listPath_;
    Filtering& filtering_;
    QPointer<ui::ServersWindow> editor_;
    bool opening_ = false;
};

}  // namespace tessel::app
