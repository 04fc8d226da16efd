#pragma once

#include <QObject>
#include <QTimer>
#include <cstdint>
#include <memory>
#include <optional>
#include <string>

#include "app/Services.h"
#include "core/NameTally.h"
#include "core/ProgramPaths.h"
#include "core/Statistics.h"

namespace tessel::app {

// The statistics of blocked servers as the program keeps them: stats.dat read at start, the
// listener's counts added batch by batch, and the file written atomically at most once a minute
// while they move and at every orderly end, so a kill loses a minute at most.
class StatisticsStore final : public QObject {
    Q_OBJECT
public:
    StatisticsStore(const Services& services, const core::ProgramPaths& paths);
    ~StatisticsStore() override;
    Q_DISABLE_COPY_MOVE(StatisticsStore)

    // Reads stats.dat. A damaged one is set aside under another name and said once; counting
    // starts afresh.
    void load();
    // Connections the listener named since the last batch, counted now.
    void add(const core::NameTally& batch);
    // Writes stats.dat now if anything changed since it was last written.
    void save();
    // Everything counted forgotten, and the file written so.
    void reset();
    const core::Statistics& statistics() const { return statistics_; }

signals:
    // After each batch and after a reset.
    void changed();

private:
    void setAside(const std::string& path, const platform::ReadResult& read);
    std::optional<std::string> unsavedText();
    void saveLater();
    void saved(const platform::Status& status);

    const Services& services_;
    const core::ProgramPaths& paths_;
    core::Statistics statistics_;
    QTimer saveTimer_;
    bool unsaved_ = false;
    bool keepFile_ = false;     // a damaged file could not be set aside: it is never written over
    bool failureTold_ = false;  // since the last save that worked
};

}  // namespace tessel::app
