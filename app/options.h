#pragma once

#include <optional>
#include <string>

namespace app {

struct Options {
    bool verbose = false;
    bool headless = false;
    std::string script;  // empty: standard input
    bool virtualClock = false;
    std::string camera = "auto";
    std::string cameraOrientation;  // empty: the camera's own
    std::string album;              // empty: the user's Pictures folder
    std::string outbox;             // empty: under the XDG data home
    std::string sendmail;           // empty: $ORVEX_SENDMAIL or sendmail where installed
    std::string from;               // empty: $EMAIL
    double scale = 0;               // 0: chosen for the display
    unsigned memoryBudget = 0;      // MB; 0: derived from the machine
};

// Parses the command line; on an error or --help, prints and gives the exit status.
struct ParsedOptions {
    Options options;
    std::optional<int> exitStatus;
};
ParsedOptions parseOptions(int argc, char** argv);

}  // namespace app
