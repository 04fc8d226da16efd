#pragma once

#include "platform/HelperLink.h"
#include "platform/linux/EpollListener.h"

namespace tessel::app {

// Where the listener gets its sockets without rights of its own: from the helper, which bound the
// low ports. A helper that has died gives an error that ends the program.
platform::EpollListener::Source socketsFromHelper(platform::HelperLink& helper);

}  // namespace tessel::app
