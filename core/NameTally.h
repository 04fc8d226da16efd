#pragma once

#include <cstdint>
#include <functional>
#include <string>
#include <string_view>
#include <unordered_map>

#include "core/Names.h"
#include "core/Statistics.h"

namespace tessel::core {

// Connections counted by the name they asked for (empty: none), as the listener's thread counts
// them. Counting a name already seen allocates nothing; zero() keeps the names for the next
// round, so a steady set of names costs no allocation at all.
class NameTally final {
public:
    void add(std::string_view name) {
        if (const auto found = counts_.find(name); found != counts_.end()) {
            ++found->second;
        } else if (counts_.size() < kMostServers) {
            counts_.emplace(name, 1);
        } else {
            // Ever new names while the owner is slow to take the tally: they are counted, but
            // together, so the table cannot grow until it is taken.
            ++counts_[std::string(kOthers)];
        }
        dirty_ = true;
    }
    bool empty() const { return !dirty_; }
    template <typename Visit>
    void forEach(Visit visit) const {
        for (const auto& [name, count] : counts_) {
            if (count != 0) {
                visit(std::string_view(name), count);
            }
        }
    }
    // Every count back to zero. Past `mostNames` names (someone asking for ever new ones), the
    // names go too, so the table cannot grow without bound.
    void zero(std::size_t mostNames) {
        if (counts_.size() > mostNames) {
            counts_.clear();
        } else {
            for (auto& entry : counts_) {
                entry.second = 0;
            }
        }
        dirty_ = false;
    }

private:
    std::unordered_map<std::string, std::uint64_t, NameHash, std::equal_to<>> counts_;
    bool dirty_ = false;
};

}  // namespace tessel::core
