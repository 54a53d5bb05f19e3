#pragma once

#include <chrono>
#include <filesystem>
#include <functional>
#include <optional>
#include <string>

#include "platform/foundation/run_loop.h"
#include "platform/media/mail_message.h"

namespace platform::media {

// Where messages go: a sendmail-compatible command, and an outbox folder that keeps a copy
// of every message.
struct MailSettings {
    std::optional<std::string> sendmail;  // a command line, run by /bin/sh with " -t -oi" appended
    std::filesystem::path outbox;         // holds sent/ and queue/
    std::string from;                     // used when a draft has no From
    // How long the command may take before it is given up and killed.
    std::chrono::milliseconds timeout = std::chrono::seconds(60);
};

class MailTransport {
  public:
    // The process's settings; the application sets them from its command line.
    static void configure(MailSettings settings);
    // defaultSettings() until configured.
    static const MailSettings& settings();
    // What the machine offers: $ORVEX_SENDMAIL, else a `sendmail` on PATH or in the usual
    // system folders; the outbox under $XDG_DATA_HOME (default ~/.local/share); From $EMAIL.
    static MailSettings defaultSettings();
    // Whether a message can go anywhere: a command is set up, or the outbox can be written
    // (made if missing). Cheap enough for a button press.
    static bool canSendMail();

    enum class Outcome { Sent, Queued, Failed };
    struct Report {
        Outcome outcome;
        std::string detail;          // for the log and the user: why it failed, or where it went
        std::filesystem::path kept;  // the .eml file in the outbox, empty if none could be written
    };
    // Builds the message and hands it to the command off the loop's thread, then calls `done`
    // on the loop's thread. The command reads the recipients from the headers ("-t -oi");
    // exit status 0 is Sent; any other, not starting, or still running at the timeout
    // (it is killed) is Failed. The outbox keeps the message in sent/ when Sent, in queue/
    // when Queued (no command) or Failed, and the log names the file. A virtual clock waits
    // for the work.
    static void send(MailDraft draft, std::function<void(Report)> done,
                     foundation::RunLoop& loop = foundation::RunLoop::main());
};

}  // namespace platform::media
