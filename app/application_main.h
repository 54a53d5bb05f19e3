#pragma once

namespace app {

// Reads the options and the application's settings, loads the main interface resource,
// runs the launch handler and then the loop (a window, or headless commands) until quit.
int applicationMain(int argc, char** argv);

}  // namespace app
