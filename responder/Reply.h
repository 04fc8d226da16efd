#pragma once

#include <string>
#include <string_view>

namespace tessel::responder {

// "file://" and an absolute path, so the URL has exactly three slashes; any other path follows
// "file:///". Bytes that would change the URL's meaning (space, '#', '?', '%', control bytes and
// non-ASCII) are percent-encoded; every other byte stands as it is.
std::string locationUrl(std::string_view picturePath);

// The one fixed HTTP/1.0 302 reply that sends a browser to the replacement picture.
std::string buildReply(std::string_view picturePath);

}  // namespace tessel::responder
