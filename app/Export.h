#pragma once

namespace tessel::app {

// `tessel --export FORMAT [FILE]`: the merged list (the server list and the kept copies of the
// subscribed lists, less the allow list) in a DNS server's own format, to FILE, written atomically,
// or to standard output. No window, no display, no helper; the HOSTS file is not touched. Returns
// the exit status: 0, 1 when a file cannot be read or written, 2 for a wrong command line.
int exportList(int argc, char** argv);

}  // namespace tessel::app
