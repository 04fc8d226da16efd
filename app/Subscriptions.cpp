#include "app/Subscriptions.h"

#include <QDateTime>
#include <QNetworkAccessManager>
#include <QNetworkReply>
#include <QNetworkRequest>
#include <QUrl>
#include <cstdio>

#include "core/Lines.h"

namespace tessel::app {
namespace {

constexpr std::int64_t kDay = 24 * 60 * 60;
constexpr int kHourMs = 60 * 60 * 1000;
constexpr int kTransferTimeoutMs = 60 * 1000;

// 2000000 as "2,000,000".
std::string withThousands(std::size_t number) {
    const std::string digits = std::to_string(number);
    std::string text;
    for (std::size_t i = 0; i < digits.size(); ++i) {
        if (i != 0 && (digits.size() - i) % 3 == 0) {
            text.push_back(',');
        }
        text.push_back(digits[i]);
    }
    return text;
}

std::string refusalText(core::Refusal refusal) {
    std::string text = "Refused: ";
    if (refusal == core::Refusal::TooBig) {
        return text.append("larger than ")
            .append(std::to_string(core::kMostBytes >> 20))
            .append(" MB");
    }
    return text.append("more than ").append(withThousands(core::kMostNames)).append(" names");
}

std::string header(QNetworkReply* reply, const char* name) {
    return reply->rawHeader(name).toStdString();
}

}  // namespace

Subscriptions::Subscriptions(const Services& services, const core::ProgramPaths& paths,
                             std::function<void()> rewrite)
    : services_(services), paths_(paths), rewrite_(std::move(rewrite)) {
    hourly_.setInterval(kHourMs);
    connect(&hourly_, &QTimer::timeout, this, &Subscriptions::startRefreshing);
}

Subscriptions::~Subscriptions() {
    for (const auto& [reply, url] : replies_) {
        reply->disconnect(this);
        reply->abort();
    }
}

void Subscriptions::load() {
    const auto allowed = services_.files.readFile(paths_.allowed());
    allowedText_ = allowed.ok() ? allowed.bytes : std::string();
    entries_ = loadListCopies(services_.files, paths_);
    publish(core::combine(namesOf(urls())));
}

void Subscriptions::publish(std::string combined) {
    names_.store(
        std::make_shared<const Names>(Names{std::move(combined), core::AllowList(allowedText_)}));
}

void Subscriptions::saveState(const Entry& entry) {
    const std::string text = entry.url + "\r\n" + entry.etag + "\r\n" + entry.lastModified +
                             "\r\n" + std::to_string(entry.fetched) + "\r\n" + entry.state + "\r\n";
    (void)services_.files.writeFile(paths_.listState(listKey(entry.url)), text);
}

void Subscriptions::startRefreshing() {
    hourly_.start();
    const std::int64_t now = QDateTime::currentSecsSinceEpoch();
    for (auto& entry : entries_) {
        if (now - entry.fetched >= kDay) {
            download(entry);
        }
    }
}

void Subscriptions::updateNow() {
    for (auto& entry : entries_) {
        download(entry);
    }
}

void Subscriptions::download(Entry& entry) {
    for (const auto& [reply, url] : replies_) {
        if (url == entry.url) {
            return;  // already on its way
        }
    }
    if (!network_) {
        network_ = std::make_unique<QNetworkAccessManager>();
    }
    QNetworkRequest request(QUrl(QString::fromStdString(entry.url)));
    request.setTransferTimeout(kTransferTimeoutMs);
    // Without a copy to fall back on, a "not modified" answer would leave the list empty.
    if (entry.parsed.count != 0) {
        if (!entry.etag.empty()) {
            request.setRawHeader("If-None-Match", QByteArray::fromStdString(entry.etag));
        }
        if (!entry.lastModified.empty()) {
            request.setRawHeader("If-Modified-Since",
                                 QByteArray::fromStdString(entry.lastModified));
        }
    }
    QNetworkReply* reply = network_->get(request);
    replies_[reply] = entry.url;
    entry.state = "Downloading";
    connect(reply, &QNetworkReply::downloadProgress, this,
            [this, reply](qint64 received, qint64 total) { onProgress(reply, received, total); });
    connect(reply, &QNetworkReply::finished, this, [this, reply] { finished(reply); });
    emit changed();
}

void Subscriptions::onProgress(QNetworkReply* reply, qint64 received, qint64 total) {
    if (received > static_cast<qint64>(core::kMostBytes)) {
        reply->setProperty("refused", true);
        reply->abort();
        return;
    }
    received_[replies_[reply]] = received;
    qint64 all = 0;
    for (const auto& [url, bytes] : received_) {
        all += bytes;
    }
    emit progress(all, replies_.size() == 1 ? total : 0);
}

void Subscriptions::finished(QNetworkReply* reply) {
    reply->deleteLater();
    const auto node = replies_.extract(reply);
    received_.erase(node.mapped());
    Entry* entry = find(node.mapped());
    if (entry != nullptr && !take(*entry, reply)) {
        saveState(*entry);
    }
    settle();
}

// Once every download is in and read, the lists are merged on the worker, and the HOSTS file
// written after them, in that order.
void Subscriptions::settle() {
    if (replies_.empty() && parsing_ == 0 && fresh_) {
        fresh_ = false;
        // Copied: the worker reads them while the window may change the lists.
        const auto views = namesOf(urls());
        auto names = std::make_shared<std::vector<std::string>>(views.begin(), views.end());
        auto combined = std::make_shared<std::string>();
        services_.worker.post(
            [names, combined] {
                *combined =
                    core::combine(std::vector<std::string_view>(names->begin(), names->end()));
            },
            [this, combined] {
                publish(std::move(*combined));
                rewrite_();
            });
    }
    emit changed();
}

// A failed, cut or refused download keeps the copy there is, and says why. True when the body
// goes to be read on the worker.
bool Subscriptions::take(Entry& entry, QNetworkReply* reply) {
    if (reply->property("refused").toBool()) {
        entry.state = refusalText(core::Refusal::TooBig);
        return false;
    }
    if (reply->error() != QNetworkReply::NoError) {
        entry.state = "Failed: " + reply->errorString().toStdString();
        return false;
    }
    const int status = reply->attribute(QNetworkRequest::HttpStatusCodeAttribute).toInt();
    if (status == 304) {
        entry.fetched = QDateTime::currentSecsSinceEpoch();
        entry.state = "Up to date";
        return false;
    }
    QByteArray body = reply->readAll();
    const QVariant length = reply->header(QNetworkRequest::ContentLengthHeader);
    if (length.isValid() && length.toLongLong() != body.size()) {
        entry.state = "Failed: the download was cut short";
        return false;
    }
    parse(entry.url, std::move(body), header(reply, "ETag"), header(reply, "Last-Modified"));
    return true;
}

// A million names take a while to read and keep: the window's thread goes on meanwhile.
void Subscriptions::parse(const std::string& url, QByteArray body, std::string etag,
                          std::string lastModified) {
    struct Read final {
        core::ParsedList parsed;
        platform::Status saved;
    };
    auto read = std::make_shared<Read>();
    ++parsing_;
    services_.worker.post(
        [read, body = std::move(body), path = paths_.listCopy(listKey(url)),
         &files = services_.files] {
            const std::string_view bytes(body.constData(), static_cast<std::size_t>(body.size()));
            read->parsed = core::parseList(bytes);
            if (read->parsed.refusal == core::Refusal::None) {
                read->saved = files.writeFile(path, bytes);
            }
        },
        [this, read, url, etag = std::move(etag), lastModified = std::move(lastModified)] {
            --parsing_;
            Entry* entry = find(url);
            if (entry == nullptr) {
                return settle();  // unsubscribed meanwhile
            }
            if (read->parsed.refusal != core::Refusal::None) {
                entry->state = refusalText(read->parsed.refusal);
            } else {
                entry->state = read->saved.ok()
                                   ? "Up to date"
                                   : "Downloaded, but not kept: " + read->saved.error();
                entry->parsed = std::move(read->parsed);
                entry->fetched = QDateTime::currentSecsSinceEpoch();
                entry->etag = etag;
                entry->lastModified = lastModified;
                fresh_ = true;
            }
            saveState(*entry);
            settle();
        });
}

Subscriptions::Entry* Subscriptions::find(const std::string& url) {
    for (auto& entry : entries_) {
        if (entry.url == url) {
            return &entry;
        }
    }
    return nullptr;
}

std::vector<std::string> Subscriptions::urls() const {
    std::vector<std::string> urls;
    for (const auto& entry : entries_) {
        urls.push_back(entry.url);
    }
    return urls;
}

platform::Status Subscriptions::apply(const std::vector<std::string>& urls,
                                      const std::string& allowed) {
    auto status = services_.files.writeFile(paths_.lists(), core::formatUrls(urls));
    if (status.ok()) {
        status = services_.files.writeFile(paths_.allowed(), allowed);
    }
    if (!status.ok()) {
        return status;
    }
    std::vector<Entry> kept;
    for (const auto& url : urls) {
        Entry* old = find(url);
        kept.push_back(old != nullptr ? std::move(*old)
                                      : loadListCopy(services_.files, paths_, url));
    }
    entries_ = std::move(kept);
    allowedText_ = allowed;
    publish(core::combine(namesOf(urls)));
    emit changed();
    return status;
}

// Each listed URL's names, as the entries hold them.
std::vector<std::string_view> Subscriptions::namesOf(const std::vector<std::string>& urls) const {
    std::vector<std::string_view> names;
    for (const auto& url : urls) {
        for (const auto& entry : entries_) {
            if (entry.url == url) {
                names.push_back(entry.parsed.names);
            }
        }
    }
    return names;
}

core::Merged Subscriptions::merge(std::string badHosts) const {
    const auto names = names_.load();
    // Nothing subscribed and nothing allowed: the server list goes on as it is, neither copied
    // nor looked through, however long it is.
    if (!names || (names->combined.empty() && names->allow.empty())) {
        return {std::move(badHosts), {}, 0};
    }
    return core::merge(badHosts, names->combined, names->allow);
}

core::Merged Subscriptions::merge(std::string_view badHosts, const std::vector<std::string>& urls,
                                  const core::AllowList& allow) const {
    return core::merge(badHosts, core::combine(namesOf(urls)), allow);
}

}  // namespace tessel::app
