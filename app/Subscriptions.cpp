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
    allow_ = core::AllowList(allowedText_);
    entries_ = loadListCopies(services_.files, paths_);
    combined_ = combine(urls());
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
    if (Entry* entry = find(node.mapped())) {
        take(*entry, reply);
        saveState(*entry);
    }
    if (replies_.empty() && fresh_) {
        fresh_ = false;
        combined_ = combine(urls());
        rewrite_();
    }
    emit changed();
}

// A failed, cut or refused download keeps the copy there is, and says why.
void Subscriptions::take(Entry& entry, QNetworkReply* reply) {
    if (reply->property("refused").toBool()) {
        entry.state = refusalText(core::Refusal::TooBig);
        return;
    }
    if (reply->error() != QNetworkReply::NoError) {
        entry.state = "Failed: " + reply->errorString().toStdString();
        return;
    }
    const int status = reply->attribute(QNetworkRequest::HttpStatusCodeAttribute).toInt();
    const std::int64_t now = QDateTime::currentSecsSinceEpoch();
    if (status == 304) {
        entry.fetched = now;
        entry.state = "Up to date";
        return;
    }
    const QByteArray body = reply->readAll();
    const QVariant length = reply->header(QNetworkRequest::ContentLengthHeader);
    if (length.isValid() && length.toLongLong() != body.size()) {
        entry.state = "Failed: the download was cut short";
        return;
    }
    auto parsed = core::parseList(std::string_view(body.constData(), body.size()));
    if (parsed.refusal != core::Refusal::None) {
        entry.state = refusalText(parsed.refusal);
        return;
    }
    const auto saved = services_.files.writeFile(paths_.listCopy(listKey(entry.url)),
                                                 std::string_view(body.constData(), body.size()));
    entry.state = saved.ok() ? "Up to date" : "Downloaded, but not kept: " + saved.error();
    entry.parsed = std::move(parsed);
    entry.fetched = now;
    entry.etag = header(reply, "ETag");
    entry.lastModified = header(reply, "Last-Modified");
    fresh_ = true;
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
    combined_ = combine(urls);
    allowedText_ = allowed;
    allow_ = core::AllowList(allowedText_);
    emit changed();
    return status;
}

std::string Subscriptions::combine(const std::vector<std::string>& urls) const {
    std::vector<std::string_view> names;
    for (const auto& url : urls) {
        for (const auto& entry : entries_) {
            if (entry.url == url) {
                names.push_back(entry.parsed.names);
            }
        }
    }
    return core::combine(names);
}

core::Merged Subscriptions::merge(std::string badHosts) const {
    // Nothing subscribed and nothing allowed: the server list goes on as it is, neither copied
    // nor looked through, however long it is.
    if (combined_.empty() && allow_.empty()) {
        return {std::move(badHosts), {}, 0};
    }
    return core::merge(badHosts, combined_, allow_);
}

core::Merged Subscriptions::merge(std::string_view badHosts, const std::vector<std::string>& urls,
                                  const core::AllowList& allow) const {
    return core::merge(badHosts, combine(urls), allow);
}

}  // namespace tessel::app
