#include "app/options.h"

#include <CLI/CLI.hpp>

namespace app {

ParsedOptions parseOptions(int argc, char** argv) {
    ParsedOptions parsed;
    Options& o = parsed.options;
    CLI::App cli("Orvex: a camera with zoom, self-timer, time-lapse and a photo library", "orvex");
    cli.add_flag("--headless", o.headless, "No window: commands from standard input or --script");
    cli.add_option("--script", o.script, "Headless: read commands from this file")
        ->check(CLI::ExistingFile);
    cli.add_flag("--virtual-clock", o.virtualClock,
                 "Headless: time passes only through the `wait` command");
    cli.add_option("--camera", o.camera, "auto, test, /dev/videoN or pipeline:DESCRIPTION")
        ->capture_default_str();
    cli.add_option("--camera-orientation", o.cameraOrientation,
                   "Orientation of the camera's pictures: up, down, left, right")
        ->check(CLI::IsMember({"up", "down", "left", "right"}));
    cli.add_option("--album", o.album, "Album folder (default: Pictures/Orvex)");
    cli.add_option("--outbox", o.outbox,
                   "Where a copy of every message is kept, in sent/ or queue/ (default: "
                   "$XDG_DATA_HOME/orvex/outbox)");
    cli.add_option("--sendmail", o.sendmail,
                   "Command that sends a message given on its input, as sendmail -t -oi does "
                   "(default: $ORVEX_SENDMAIL, else sendmail where installed; none: keep messages "
                   "in the outbox's queue)");
    cli.add_option("--from", o.from, "Sender address of messages (default: $EMAIL)");
    cli.add_option("--scale", o.scale, "Pixels per point of the window: 1 or 2")
        ->check(CLI::IsMember({1, 2}));
    try {
        cli.parse(argc, argv);
        if (o.virtualClock && !o.headless)
            throw CLI::ValidationError("--virtual-clock", "works only with --headless");
        if (!o.script.empty() && !o.headless)
            throw CLI::ValidationError("--script", "works only with --headless");
    } catch (const CLI::ParseError& e) {
        parsed.exitStatus = cli.exit(e);
    }
    return parsed;
}

}  // namespace app
