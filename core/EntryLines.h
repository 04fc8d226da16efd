#pragma once

#include <algorithm>
#include <cstring>
#include <memory>
#include <string_view>
#include <vector>

#include "core/HostsText.h"
#include "core/Pieces.h"

namespace tessel::core {

// The heads, then one entry line per non-empty list line, then the subscribed names several to an
// entry line. A million names make tens of megabytes, so the text is never built whole: it is
// measured at once, and made piece by piece as it is written. It refers to every argument.
Pieces withEntries(std::vector<std::string_view> heads, std::string_view list,
                   std::string_view names);

// Gathers many short writes into pieces of a fixed size, so that a sink (a file, in the end) sees
// a few dozen calls rather than millions.
class PieceBuffer final {
public:
    // A text smaller than a piece gets a buffer of its own size, not a whole piece.
    PieceBuffer(const PieceSink& sink, std::size_t textSize)
        : sink_(sink), capacity_(std::min(textSize, kPiece)), buffer_(new char[capacity_]) {}
    PieceBuffer(const PieceBuffer&) = delete;
    PieceBuffer& operator=(const PieceBuffer&) = delete;
    ~PieceBuffer() { flush(); }

    void append(std::string_view bytes) {
        if (bytes.empty()) {
            return;  // an empty view may have no bytes to copy from at all
        }
        if (used_ + bytes.size() > capacity_) {
            flush();
            if (bytes.size() > capacity_) {
                sink_(bytes);  // a big head, such as the user's own file, goes out as it is
                return;
            }
        }
        std::memcpy(buffer_.get() + used_, bytes.data(), bytes.size());
        used_ += bytes.size();
    }

private:
    static constexpr std::size_t kPiece = std::size_t{1} << 18;

    void flush() {
        if (used_ != 0) {
            sink_(std::string_view(buffer_.get(), used_));
            used_ = 0;
        }
    }

    const PieceSink& sink_;
    std::size_t capacity_;
    std::unique_ptr<char[]> buffer_;
    std::size_t used_ = 0;
};

// Puts names on entry lines as the HOSTS file has them, handing `emit` the pieces: each line is
// `prefix` (the address and a blank), up to kNamesPerLine names parted by single spaces, and
// `end`, no longer than kMostLineBytes. The last line ends with the packer.
template <typename Emit>
class NamePacker final {
public:
    NamePacker(Emit& emit, std::string_view prefix, std::string_view end)
        : emit_(emit), prefix_(prefix), end_(end) {}
    NamePacker(const NamePacker&) = delete;
    NamePacker& operator=(const NamePacker&) = delete;
    ~NamePacker() {
        if (onLine_ != 0) {
            emit_(end_);
        }
    }

    void add(std::string_view name) {
        if (onLine_ == kNamesPerLine ||
            (onLine_ != 0 && lineBytes_ + 1 + name.size() + end_.size() > kMostLineBytes)) {
            emit_(end_);
            onLine_ = 0;
        }
        emit_(onLine_ == 0 ? prefix_ : std::string_view(" "));
        lineBytes_ = (onLine_ == 0 ? prefix_.size() : lineBytes_ + 1) + name.size();
        emit_(name);
        ++onLine_;
    }

private:
    Emit& emit_;
    std::string_view prefix_;
    std::string_view end_;
    std::size_t onLine_ = 0;
    std::size_t lineBytes_ = 0;
};

}  // namespace tessel::core
