#pragma once

#include <cstdint>
#include <string>

namespace tessel::core {

// What became of a HOSTS write or give-back, for the one layer that talks to the user. The
// helper sends the same value back over its link, so both paths are told alike.
enum class Failure : std::uint8_t {
    None = 0,
    ListUnreadable,    // the server list could not be read: nothing was written
    CannotCreate,      // replace mode wrote nothing: the HOSTS path or prefs.dat may be wrong
    CannotListen,      // the helper could not hand out a listening socket
    CannotAppend,      // keep mode could not write the file: it must not be left half done
    CannotGiveBack,    // the file replaced could not be put back
    CopyGone,          // the copy of the file replaced is gone: the entries stay in it
    CannotRemoveText,  // keep mode's block could not be taken out
    Refused,           // the helper will not serve (its reason is the text)
    LinkLost,          // the helper is gone, or said what cannot be read
};
inline constexpr auto kLastFailure = Failure::LinkLost;

struct Outcome final {
    Failure failure = Failure::None;
    std::string error = {};     // the system's description of the failure
    int number = 0;             // its error number, where one is known
    std::uint32_t skipped = 0;  // server-list lines left out as unsafe to write
    std::string file = {};      // the file it concerns

    bool ok() const { return failure == Failure::None; }
    // Past these the program must not go on: the HOSTS file may not be what it should, or
    // there is no way left to change it.
    bool ends() const { return failure >= Failure::CannotAppend; }
};

}  // namespace tessel::core
