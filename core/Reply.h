#pragma once

#include <cstddef>
#include <optional>
#include <string>
#include <string_view>

namespace tessel::core {

// A picture above this size is not sent: the redirect serves it instead. Each open connection may
// hold an unsent copy, so a large picture would cost that much per slow browser.
inline constexpr std::size_t kMaxPictureBytes = 1024 * 1024;

// "file://" and an absolute path, so the URL has exactly three slashes; any other path follows
// "file:///". Bytes that would change the URL's meaning (space, '#', '?', '%', control bytes and
// non-ASCII) are percent-encoded; every other byte stands as it is.
std::string locationUrl(std::string_view picturePath);

// The one fixed HTTP/1.0 302 reply that sends a browser to the replacement picture.
std::string buildReply(std::string_view picturePath);

// The media type of a GIF, PNG, JPEG, BMP or WebP picture, told by its leading bytes; empty for
// anything else. The file's name is not trusted: a user may pick any file.
std::string_view pictureType(std::string_view bytes);

// The reply that carries the picture itself, since browsers no longer follow a redirect from a
// web page to a local file; the 302 reply when the picture could not be read (nullopt), is of no
// known type or is too big.
std::string buildPictureReply(std::string_view picturePath,
                              std::optional<std::string_view> picture);

}  // namespace tessel::core
