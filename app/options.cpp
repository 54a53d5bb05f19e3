#include "app/options.h"

#include <CLI/CLI.hpp>

namespace app {

namespace {

// An empty value would silently mean the default, which is not what was asked for.
const CLI::Validator kNotEmpty(
    [](const std::string& value) {
        return value.empty() ? std::string("must not be empty") : std::string();
    },
    "");

// The option an error names, as CLI11 words it ("--scale: ...").
const CLI::Option* optionOfError(const CLI::App& cli, const std::string& message) {
    const auto colon = message.find(':');
    if (colon == std::string::npos || !message.starts_with("--")) return nullptr;
    try {
        return cli.get_option(message.substr(0, colon));
    } catch (const CLI::OptionNotFound&) {
        return nullptr;
    }
}

// CLI11's line, followed by what the option allows.
std::string failureMessage(const CLI::App* cli, const CLI::Error& error) {
    std::string message = error.what();
    if (const auto* option = optionOfError(*cli, message))
        message += "\n  " + option->get_name() + ": " + option->get_description();
    return "orvex: " + message + "\nRun with --help for more information.\n";
}

}  // namespace

ParsedOptions parseOptions(int argc, char** argv) {
    ParsedOptions parsed;
    Options& o = parsed.options;
    CLI::App cli("Orvex: a camera with zoom, self-timer, time-lapse and a photo library", "orvex");
    cli.set_version_flag("--version", "orvex " ORVEX_VERSION, "Print the version and exit");
    cli.add_flag("--verbose", o.verbose,
                 "Also log the developer's lines (debug level); so does ORVEX_DEBUG=1");
    cli.add_flag("--headless", o.headless, "No window: commands from standard input or --script");
    cli.add_option("--script", o.script, "Headless: read commands from this file")
        ->check(kNotEmpty & CLI::ExistingFile);
    cli.add_flag("--virtual-clock", o.virtualClock,
                 "Headless: time passes only through the `wait` command");
    cli.add_option("--camera", o.camera, "auto, test, /dev/videoN or pipeline:DESCRIPTION")
        ->capture_default_str()
        ->check(kNotEmpty);
    cli.add_option("--camera-orientation", o.cameraOrientation,
                   "Orientation of the camera's pictures: up, down, left, right")
        ->check(CLI::IsMember({"up", "down", "left", "right"}));
    cli.add_option("--album", o.album, "Album folder (default: Pictures/Orvex)")->check(kNotEmpty);
    cli.add_option("--outbox", o.outbox,
                   "Where a copy of every message is kept, in sent/ or queue/ (default: "
                   "$XDG_DATA_HOME/orvex/outbox)")
        ->check(kNotEmpty);
    cli.add_option("--sendmail", o.sendmail,
                   "Command that sends a message given on its input, as sendmail -t -oi does "
                   "(default: $ORVEX_SENDMAIL, else sendmail where installed; none: keep messages "
                   "in the outbox's queue)")
        ->check(kNotEmpty);
    cli.add_option("--from", o.from, "Sender address of messages (default: $EMAIL)")
        ->check(kNotEmpty);
    cli.add_option("--scale", o.scale,
                   "Pixels per point: from 1 to 4, fractions too, e.g. 1.5 (default: the "
                   "largest of 3, 2, 1.5, 1.25 and 1 that fits the screen)")
        ->check(CLI::Range(1.0, 4.0));
    cli.add_option("--memory-budget", o.memoryBudget,
                   "Memory in MB that the work on one picture may take at its peak; larger "
                   "pictures are refused (default: half the machine's memory, less under a "
                   "memory limit)")
        ->check(CLI::Range(16u, 1u << 20));
    cli.failure_message(failureMessage);
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
