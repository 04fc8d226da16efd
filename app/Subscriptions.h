#pragma once

#include <QObject>
#include <QTimer>
#include <atomic>
#include <cstdint>
#include <functional>
#include <map>
#include <memory>
#include <string>
#include <vector>

#include "app/ListCopies.h"
#include "app/Services.h"
#include "core/BlockLists.h"
#include "core/ProgramPaths.h"

class QNetworkAccessManager;
class QNetworkReply;

namespace tessel::app {

// The subscribed block lists: lists.dat, the allow list, and the last good copy of each list,
// downloaded in the background. Start-up uses the copies at once; a fresh copy that arrives
// later is read and merged on the worker and makes the HOSTS file be written again.
class Subscriptions final : public QObject {
    Q_OBJECT
public:
    using Entry = ListCopy;

    // `rewrite` writes the HOSTS file anew unless filtering is paused.
    Subscriptions(const Services& services, const core::ProgramPaths& paths,
                  std::function<void()> rewrite);
    ~Subscriptions() override;
    Q_DISABLE_COPY_MOVE(Subscriptions)

    // Reads lists.dat, allowed.dat and the copies; never waits for the network.
    void load();
    // Downloads the lists whose copy is older than a day, now and every hour from now on.
    void startRefreshing();
    // Downloads every list now.
    void updateNow();
    // The window's OK: lists.dat and allowed.dat written, each atomically.
    platform::Status apply(const std::vector<std::string>& urls, const std::string& allowed);

    // What the HOSTS file gets beside badHosts.dat with these lists and this allow list. Safe on
    // any thread: it reads the names as last published, whole.
    core::Merged merge(std::string badHosts) const;
    core::Merged merge(std::string_view badHosts, const std::vector<std::string>& urls,
                       const core::AllowList& allow) const;

    const std::vector<Entry>& entries() const { return entries_; }
    const std::string& allowedText() const { return allowedText_; }
    std::vector<std::string> urls() const;
    bool downloading() const { return !replies_.empty(); }

signals:
    void changed();
    void progress(qint64 received, qint64 total);

private:
    void saveState(const Entry& entry);
    void download(Entry& entry);
    void onProgress(QNetworkReply* reply, qint64 received, qint64 total);
    void finished(QNetworkReply* reply);
    bool take(Entry& entry, QNetworkReply* reply);
    void parse(const std::string& url, QByteArray body, std::string etag, std::string lastModified);
    void settle();
    Entry* find(const std::string& url);
    std::vector<std::string_view> namesOf(const std::vector<std::string>& urls) const;
    void publish(std::string combined);

    const Services& services_;
    const core::ProgramPaths& paths_;
    std::function<void()> rewrite_;
    std::vector<Entry> entries_;
    std::string allowedText_;
    struct Names final {
        std::string combined;  // every list's names, each once
        core::AllowList allow;
    };
    // Read by the worker while it writes the HOSTS file; replaced whole, never changed.
    std::atomic<std::shared_ptr<const Names>> names_;
    std::unique_ptr<QNetworkAccessManager> network_;
    std::map<QNetworkReply*, std::string> replies_;  // the downloads running, and their URLs
    std::map<std::string, qint64> received_;
    bool fresh_ = false;  // a download finished with new names since the HOSTS file was written
    int parsing_ = 0;     // downloads being read on the worker
    QTimer hourly_;
};

}  // namespace tessel::app
