#pragma once

#include <string_view>
#include <vector>

#include "core/Pieces.h"

namespace tessel::hosts {

// The heads, then one entry line per non-empty list line, then the subscribed names several to an
// entry line. A million names make tens of megabytes, so the text is never built whole: it is
// measured at once, and made piece by piece as it is written. It refers to every argument.
text::Pieces withEntries(std::vector<std::string_view> heads, std::string_view list,
                         std::string_view names);

}  // namespace tessel::hosts
