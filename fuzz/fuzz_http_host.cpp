// The Host header reader on any bytes: what it reads is a name, the same whatever the letter case
// of the bytes, never changed by more bytes or by bytes past the limit.
#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

#include "fuzz/NameReads.h"

namespace fuzz = tessel::fuzz;

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, std::size_t size) {
    const std::string_view bytes(reinterpret_cast<const char*>(data), size);
    const auto read = tessel::core::hostFromRequest;
    const auto name = fuzz::readName(read, bytes);

    // Field names are matched and values folded without regard to case.
    std::string upper(bytes);
    for (char& c : upper) {
        c = c >= 'a' && c <= 'z' ? static_cast<char>(c - 'a' + 'A') : c;
    }
    TESSEL_CHECK(fuzz::readName(read, upper) == name);

    // Only a line end completes a line, so only cuts just past one can change the outcome.
    int cuts = 0;
    for (auto end = bytes.find('\n'); end != std::string_view::npos && cuts < 64;
         end = bytes.find('\n', end + 1), ++cuts) {
        fuzz::checkPrefix(read, bytes, name, end + 1);
    }
    fuzz::checkLimit(read, bytes, 'x');
    return 0;
}
