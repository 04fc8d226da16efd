#pragma once

#include <QObject>
#include <QPointer>

#include "app/Filtering.h"
#include "app/Services.h"
#include "app/Subscriptions.h"
#include "core/ProgramPaths.h"
#include "hosts/HostsFile.h"
#include "ui/ListsWindow.h"
#include "ui/MainWindow.h"

namespace tessel::app {

// The block lists and the allow list: the HOSTS file gets their names, and the Lists window
// edits them. OK saves both and writes the HOSTS file anew, as the server-list editor's does.
class Lists final : public QObject {
    Q_OBJECT
public:
    Lists(const Services& services, ui::MainWindow& window, const core::ProgramPaths& paths,
          Filtering& filtering, hosts::HostsFile& hosts);
    ~Lists() override;
    Q_DISABLE_COPY_MOVE(Lists)

    // Before the HOSTS file is first written: the copies kept from earlier downloads.
    void load() { subscriptions_.load(); }
    // After it: downloads in the background.
    void startRefreshing() { subscriptions_.startRefreshing(); }
    void open();
    // The Statistics window's Allow: `name` goes on the allow list, saved, and the HOSTS file is
    // written anew without it. False, the user told why, when the list could not be saved.
    bool allow(const std::string& name);
    ui::ListsWindow* editor() const { return editor_; }
    Subscriptions& subscriptions() { return subscriptions_; }

private:
    void ok();
    bool costAccepted(const std::vector<std::string>& urls, const std::string& allowed);
    void showStates();
    void measureCost();
    std::vector<ui::ListsWindow::Row> rows() const;

    const Services& services_;
    ui::MainWindow& window_;
    const core::ProgramPaths& paths_;
    Filtering& filtering_;
    Subscriptions subscriptions_;
    QPointer<ui::ListsWindow> editor_;
};

}  // namespace tessel::app
