#pragma once

#include <optional>
#include <string>
#include <string_view>

// The text the program puts into the HOSTS file and takes out again. Pure functions over bytes; the
// list is badHosts.dat's bytes, read line by line (CR LF or LF), empty lines giving no entry.
namespace tessel::hosts {

inline constexpr std::string_view kEntryPrefix = "127.0.0.1   ";
inline constexpr std::string_view kMarker = "#Following lines created by Tessel:";

// The whole file of replace mode: the eleven header lines, then one entry line per list line.
std::string replaceModeText(std::string_view list);

// What keep mode appends to the user's file: CR LF CR LF, the marker line, the entry lines.
std::string keepModeBlock(std::string_view list);
// The user's file with that block appended.
std::string keepModeText(std::string_view hostsFile, std::string_view list);

// The user's file with every block keepModeBlock appended taken out again, and nothing else; a
// file the replace-mode writer made is reduced by the line filter instead. Returns nothing when
// the file holds no such block and must be left untouched.
std::optional<std::string> restoreKeepMode(std::string_view hostsFile);

// The historical line filter: drops every line holding "127.0.0.1" but not "localhost", every
// line holding "Tessel", and every line of two characters or fewer.
std::string filterLines(std::string_view hostsFile);

bool isReplaceModeFile(std::string_view hostsFile);

}  // namespace tessel::hosts
