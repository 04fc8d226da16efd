#pragma once

#include <cstddef>
#include <functional>
#include <string>
#include <string_view>

namespace tessel::core {

// Receives a text piece by piece, in order.
using PieceSink = std::function<void(std::string_view)>;

// A text too big to be worth building whole (a HOSTS file of a million names is tens of
// megabytes): its size in bytes, and a writer that hands all of it to a sink, piece by piece.
// The writer cannot fail halfway and gives the same bytes at every call, so a file can be
// written from it twice. It may refer to bytes its maker owns, which must outlive it.
struct Pieces final {
    std::size_t size = 0;
    std::function<void(const PieceSink&)> write;

    static Pieces of(std::string_view bytes) {
        return {bytes.size(), [bytes](const PieceSink& sink) { sink(bytes); }};
    }
    std::string whole() const {
        std::string out;
        out.reserve(size);
        write([&out](std::string_view piece) { out.append(piece); });
        return out;
    }
};

}  // namespace tessel::core
