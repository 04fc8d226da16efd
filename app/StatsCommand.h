#pragma once

namespace tessel::app {

// `tessel --stats`: the blocked servers counted in stats.dat, one `COUNT<TAB>NAME` line each, most
// first, to standard output. It only reads, so it runs beside a running Tessel: no window, no
// display, no helper, and the HOSTS file is not touched. Returns the exit status: 0 (nothing
// printed when nothing was counted yet), 1 when the file cannot be read or is damaged, 2 for a
// wrong command line.
int printStatistics(int argc, char** argv);

}  // namespace tessel::app
