#pragma once

namespace tessel::app {

// Builds the real platform, the windows and frmMain, runs start-up and then the event loop.
int run(int argc, char** argv);

}  // namespace tessel::app
