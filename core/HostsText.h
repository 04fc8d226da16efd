#pragma once

#include <cstddef>
#include <optional>
#include <string>
#include <string_view>

#include "core/Pieces.h"

// The text the program puts into the HOSTS file and takes out again. Pure functions over bytes; the
// list is badHosts.dat's bytes, read line by line (CR LF or LF), empty lines giving no entry.
namespace tessel::core {

inline constexpr std::string_view kEntryPrefix = "127.0.0.1   ";
// A keep-mode block opens with two blank lines, then the marker line.
inline constexpr std::string_view kBlockStart = "\r\n\r\n#Following lines created by Tessel:\r\n";
inline constexpr std::string_view kMarker = kBlockStart.substr(4, kBlockStart.size() - 6);
// The resolver reads the file line by line on every lookup it has not cached, and a line costs
// far more than a name on it, so the names of the subscribed lists go several to a line. Some
// resolvers read a line into 512 bytes: a line never grows past kMostLineBytes.
inline constexpr std::size_t kNamesPerLine = 16;
inline constexpr std::size_t kMostLineBytes = 500;

// Every writer below takes badHosts.dat's bytes as `list`, written one name to an entry line as
// ever, and the subscribed names as `names` (each followed by LF, as merge gives them),
// written kNamesPerLine to an entry line after them.

// The whole file of replace mode: the eleven header lines, then the lines that name this machine
// (see machineLines; none when empty), then the entry lines.
std::string replaceModeText(std::string_view list, std::string_view machine = {},
                            std::string_view names = {});
// The same text made piece by piece as it is written; it refers to every argument.
Pieces replaceModePieces(std::string_view list, std::string_view machine = {},
                         std::string_view names = {});

// The lines of `original` (a HOSTS file) that name this machine: every line with a name that is
// some form of localhost or is `hostName` (with or without its domain). Each is kept as written,
// but without any name the list points at Tessel, and ends in CR LF.
std::string machineLines(std::string_view original, std::string_view hostName,
                         std::string_view list);

// The machine lines a replace-mode file carries: what is left of a file that Tessel wrote when no
// copy of the file it replaced survived.
std::string carriedMachineLines(std::string_view replaceModeFile);

// What keep mode appends to the user's file: CR LF CR LF, the marker line, the entry lines.
std::string keepModeBlock(std::string_view list, std::string_view names = {});
// The user's file with that block appended, made piece by piece as it is written; it refers to
// every argument.
Pieces keepModePieces(std::string_view hostsFile, std::string_view list,
                      std::string_view names = {});

// The user's file with every block keepModeBlock appended taken out again, and nothing else; a
// file the replace-mode writer made is reduced by the line filter instead. Returns nothing when
// the file holds no such block and must be left untouched.
std::optional<std::string> restoreKeepMode(std::string_view hostsFile);

// The historical line filter: drops every line holding "127.0.0.1" but not "localhost", every
// line holding "Tessel", and every line of two characters or fewer.
std::string filterLines(std::string_view hostsFile);

// Whether every line is blank, a comment, or an IPv4 or IPv6 address followed by names: a file
// that is not must never be replaced or appended to.
bool isHostsText(std::string_view bytes);

// Whether the file begins with the whole replace-mode header, line for line.
bool isReplaceModeFile(std::string_view hostsFile);

}  // namespace tessel::core
