#pragma once

#include <QString>
#include <string>

namespace tessel::platform {

// Bytes stay bytes everywhere else; only widgets see QString. 8-bit text is decoded with the
// locale, and CR LF becomes a plain line break for display.
QString toDisplay(const std::string& bytes);
// From a widget back to bytes in the locale's encoding, with CR LF line breaks.
std::string fromDisplay(const QString& text);
// File names as the file system spells them.
std::string fromPath(const QString& path);
QString toPath(const std::string& path);

}  // namespace tessel::platform
