#pragma once

#include <optional>
#include <string>

// What the helper's caller hands it (descriptors, signal dispositions, limits, a setuid bit) is
// the caller's to choose, and the caller may be hostile: none of it may decide what lands in
// /etc/hosts or where a write stops.
namespace tessel::helper {

// Why the helper will not serve, with the system's error number `tessel` can tell apart.
struct Refusal final {
    int number = 0;
    std::string text;
};

// Run first: opens /dev/null on any of descriptors 0-2 that is closed, closes every other inherited
// descriptor, sets every signal back to its default and unblocks it, lifts the file size limit and
// secures enough descriptors, and turns off core dumps. A refusal when the limits cannot be made
// safe or the process runs with borrowed rights (a setuid or setgid copy).
std::optional<Refusal> settleInheritance();

// The one lock held for the helper's whole life: a root-only file that only this program (or
// root) can create. A second helper, for this or any user, is refused while the first runs.
std::optional<Refusal> lockForLife(const std::string& path);

// Gives up the right to bind low ports for good, once the ports are bound.
void dropBindRight();

}  // namespace tessel::helper
