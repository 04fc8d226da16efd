#pragma once

#include "platform/HelperLink.h"
#include "platform/MessageBox.h"
#include "platform/Process.h"
#include "platform/linux/EpollListener.h"

namespace tessel::app {

// Where the listener gets its sockets without rights of its own: from the helper, which bound the
// low ports. A helper that has died is reported, and the program ends.
platform::EpollListener::Source socketsFromHelper(platform::HelperLink& helper,
                                                  platform::MessageBox& box,
                                                  platform::Process& process);

}  // namespace tessel::app
