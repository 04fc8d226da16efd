#include "app/StatisticsStore.h"

#include <chrono>
#include <ctime>

namespace tessel::app {
namespace {

// A minute's counts are what a kill may cost; saving more often would only wear the disk.
constexpr std::chrono::minutes kSaveEvery{1};
// Damaged files kept side by side before the user is asked to look at them.
constexpr int kMostDamagedCopies = 9;

std::int64_t now() {
    return static_cast<std::int64_t>(std::time(nullptr));
}

}  // namespace

StatisticsStore::StatisticsStore(const Services& services, const core::ProgramPaths& paths)
    : services_(services), paths_(paths) {
    saveTimer_.setSingleShot(true);
    saveTimer_.setInterval(kSaveEvery);
    connect(&saveTimer_, &QTimer::timeout, this, [this] { saveLater(); });
}

// The end of the program, orderly whichever way it came: what is counted is written now.
StatisticsStore::~StatisticsStore() {
    services_.worker.finish();
    save();
}

void StatisticsStore::load() {
    const std::string path = paths_.stats();
    const auto read = services_.files.readRegularFile(path, core::kMostStatsBytes);
    if (read.missing) {
        return;
    }
    auto parsed = read.ok() ? core::Statistics::parse(read.bytes) : std::nullopt;
    if (parsed) {
        statistics_ = std::move(*parsed);
        statistics_.trim(now());
        return;
    }
    setAside(path, read);
}

// The damaged file's bytes are kept under a name of their own before anything is written over
// it, never over an earlier damaged copy. A file that cannot be read, or set aside, is left
// alone: what is counted is then never saved.
void StatisticsStore::setAside(const std::string& path, const platform::ReadResult& read) {
    std::string aside = path + ".damaged";
    for (int copy = 2; services_.files.fileExists(aside) && copy <= kMostDamagedCopies; ++copy) {
        aside = path + ".damaged." + std::to_string(copy);
    }
    const auto kept = !read.ok() ? read.status
                      : services_.files.fileExists(aside)
                          ? platform::Status::failure("too many damaged copies beside it")
                          : services_.files.writeFile(aside, read.bytes);
    keepFile_ = !kept.ok();
    const std::string unsaved =
        "\r\nBlocked servers are counted but not saved until Tessel starts again.";
    if (!read.ok()) {
        services_.box.show("Error reading " + path + ": " + read.status.error() + unsaved);
    } else if (!kept.ok()) {
        services_.box.show(path + " is damaged and could not be set aside: " + kept.error() +
                           unsaved);
    } else {
        services_.box.show(path + " was damaged; it has been set aside as " + aside +
                           " and statistics start afresh.");
    }
}

void StatisticsStore::add(const core::NameTally& batch) {
    const std::int64_t at = now();
    batch.forEach(
        [&](std::string_view name, std::uint64_t count) { statistics_.add(name, count, at); });
    // Names asked for once each would otherwise grow the table until the next save.
    if (statistics_.serverCount() > 2 * core::kMostServers) {
        statistics_.trim(at);
    }
    unsaved_ = true;
    if (!saveTimer_.isActive()) {
        saveTimer_.start();
    }
    emit changed();
}

void StatisticsStore::reset() {
    statistics_.clear();
    unsaved_ = true;
    saveLater();
    emit changed();
}

// What to write, once a change: nothing when nothing changed or the file is left alone.
std::optional<std::string> StatisticsStore::unsavedText() {
    if (!unsaved_ || keepFile_) {
        return std::nullopt;
    }
    statistics_.trim(now());
    unsaved_ = false;
    return statistics_.format();
}

// Made here, written and synced on the worker, so the window's thread never waits for the disk.
void StatisticsStore::saveLater() {
    auto text = unsavedText();
    if (!text) {
        return;
    }
    auto status = std::make_shared<platform::Status>();
    services_.worker.post([&files = services_.files, path = paths_.stats(), text = std::move(*text),
                           status] { *status = files.writeFile(path, text); },
                          [this, status] { saved(*status); });
}

void StatisticsStore::save() {
    if (const auto text = unsavedText()) {
        saved(services_.files.writeFile(paths_.stats(), *text));
    }
}

// A failure is said once, not every minute; the counts are tried again at the next save.
void StatisticsStore::saved(const platform::Status& status) {
    if (status.ok()) {
        failureTold_ = false;
        return;
    }
    unsaved_ = true;
    if (!failureTold_ && !services_.process.ending()) {
        failureTold_ = true;
        services_.box.show("Error writing " + paths_.stats() + ": " + status.error());
    }
}

}  // namespace tessel::app
