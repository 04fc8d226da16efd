#pragma once

#include <cstddef>
#include <string>
#include <string_view>

// The name a blocked connection asked for, read from the first bytes it sent: nothing is answered
// from it and nothing waits for it. Pure functions over bytes.
namespace tessel::core {

// What is looked at of a connection's first bytes; anything past it is never read.
inline constexpr std::size_t kMostNameBytes = 16 * 1024;

// The Host header of an HTTP request, letter case folded, a ":port" and one final dot dropped, into
// `name` (its storage reused, so a name that fits allocates nothing). False, with `name` empty,
// when the request has no Host header a resolver could look up.
bool hostFromRequest(std::string_view request, std::string& name);

// The server_name extension's host name of a TLS ClientHello, the same way.
bool serverNameFromHello(std::string_view hello, std::string& name);

}  // namespace tessel::core
