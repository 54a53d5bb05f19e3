#include "platform/media/mail_transport.h"

#include <pwd.h>
#include <unistd.h>

#include <atomic>
#include <cstdlib>
#include <list>
#include <memory>
#include <mutex>
#include <thread>

#include "platform/foundation/bundle.h"
#include "platform/foundation/log.h"
#include "platform/media/mail_command.h"
#include "platform/media/mail_outbox.h"

namespace platform::media {

namespace fs = std::filesystem;
using foundation::detail::format;
using Report = MailTransport::Report;
using Outcome = MailTransport::Outcome;

namespace {

std::string localized(const char* key) {
    return foundation::Bundle::main().localizedStringForKey(key);
}

std::mutex& settingsMutex() {
    static std::mutex mutex;
    return mutex;
}

std::optional<MailSettings>& currentSettings() {
    static std::optional<MailSettings> settings;
    return settings;
}

std::string shellQuoted(const std::string& word) {
    std::string out = "'";
    for (char c : word) out += c == '\'' ? std::string("'\\''") : std::string(1, c);
    return out + "'";
}

std::optional<std::string> findSendmail() {
    std::vector<fs::path> folders;
    if (const char* path = std::getenv("PATH")) {
        std::string_view rest(path);
        while (!rest.empty()) {
            const auto colon = rest.find(':');
            if (const auto folder = rest.substr(0, colon); !folder.empty())
                folders.emplace_back(folder);
            rest = colon == std::string_view::npos ? std::string_view() : rest.substr(colon + 1);
        }
    }
    folders.emplace_back("/usr/sbin");
    folders.emplace_back("/usr/lib");
    for (const fs::path& folder : folders) {
        const fs::path candidate = folder / "sendmail";
        std::error_code ec;
        if (fs::is_regular_file(candidate, ec) && ::access(candidate.c_str(), X_OK) == 0)
            return shellQuoted(candidate.string());
    }
    return std::nullopt;
}

fs::path homeFolder() {
    if (const char* home = std::getenv("HOME"); home && *home) return home;
    if (const passwd* user = ::getpwuid(::getuid()); user && user->pw_dir) return user->pw_dir;
    return fs::temp_directory_path();
}

// A relative $XDG_DATA_HOME is invalid and ignored, as the base directory rules say.
fs::path defaultOutbox() {
    if (const char* data = std::getenv("XDG_DATA_HOME"); data && *data == '/')
        return fs::path(data) / "orvex" / "outbox";
    return homeFolder() / ".local" / "share" / "orvex" / "outbox";
}

bool hasCommand(const MailSettings& settings) {
    return settings.sendmail && settings.sendmail->find_first_not_of(" \t") != std::string::npos;
}

// Threads under way with a message. At exit the process waits for them, which the command's
// timeout bounds, rather than ending one in the middle of a write.
class Senders {
  public:
    ~Senders() {
        for (Sender& sender : running_) sender.thread.join();
    }
    void start(std::function<void()> work) {
        std::lock_guard lock(mutex_);
        for (auto it = running_.begin(); it != running_.end();) {
            if (!*it->finished) {
                ++it;
                continue;
            }
            it->thread.join();
            it = running_.erase(it);
        }
        auto finished = std::make_shared<std::atomic<bool>>(false);
        running_.push_back({std::thread([work = std::move(work), finished] {
                                work();
                                *finished = true;
                            }),
                            finished});
    }

  private:
    struct Sender {
        std::thread thread;
        std::shared_ptr<std::atomic<bool>> finished;
    };
    std::mutex mutex_;
    std::list<Sender> running_;
};

Senders& senders() {
    static Senders senders;
    return senders;
}

Report sent(MailOutbox& outbox, const MailOutbox::Kept& queued) {
    if (queued.path.empty())
        return {
            Outcome::Sent, format(localized("Sent; no copy could be kept: %@"), queued.error), {}};
    const MailOutbox::Kept moved = outbox.markSent(queued.path);
    if (moved.path.empty())
        return {
            Outcome::Sent,
            format(localized("Sent; the copy stays in %@ (%@)"), queued.path.string(), moved.error),
            queued.path};
    return {Outcome::Sent, format(localized("Sent; a copy is in %@"), moved.path.string()),
            moved.path};
}

Report notSent(Outcome outcome, const std::string& why, const MailOutbox::Kept& queued) {
    if (queued.path.empty())
        return {
            Outcome::Failed,
            format(localized("%@; the message could not be kept either: %@"), why, queued.error),
            {}};
    return {outcome, format(localized("%@; the message waits in %@"), why, queued.path.string()),
            queued.path};
}

// The message goes into queue/ before the command sees it, so that it survives the
// command, a crash or a power cut alike; only a command's success moves it to sent/.
Report deliver(MailDraft draft, const MailSettings& settings,
               std::chrono::system_clock::time_point date) {
    if (draft.from.empty()) draft.from = settings.from;
    const BuiltMessage message = buildMessage(draft, date);
    draft = {};  // frees the attachments before the command reads the message
    if (!message.ok()) return {Outcome::Failed, message.error, {}};
    MailOutbox outbox(settings.outbox);
    const MailOutbox::Kept queued = outbox.queue(message.bytes, date);
    if (!hasCommand(settings))
        return notSent(Outcome::Queued, localized("No mail command is set up"), queued);
    const CommandRun run =
        runWithInput(*settings.sendmail + " -t -oi", message.bytes, settings.timeout);
    if (!run.succeeded()) return notSent(Outcome::Failed, run.failure(), queued);
    return sent(outbox, queued);
}

}  // namespace

void MailTransport::configure(MailSettings settings) {
    std::lock_guard lock(settingsMutex());
    currentSettings() = std::move(settings);
}

const MailSettings& MailTransport::settings() {
    std::lock_guard lock(settingsMutex());
    if (!currentSettings()) currentSettings() = defaultSettings();
    return *currentSettings();
}

MailSettings MailTransport::defaultSettings() {
    MailSettings settings;
    if (const char* command = std::getenv("ORVEX_SENDMAIL"); command && *command)
        settings.sendmail = command;
    else
        settings.sendmail = findSendmail();
    settings.outbox = defaultOutbox();
    if (const char* from = std::getenv("EMAIL")) settings.from = from;
    return settings;
}

bool MailTransport::canSendMail() {
    const MailSettings& current = settings();
    return hasCommand(current) || MailOutbox(current.outbox).canQueue();
}

void MailTransport::send(MailDraft draft, std::function<void(Report)> done,
                         foundation::RunLoop& loop) {
    auto work = std::make_shared<foundation::RunLoop::BackgroundWork>(loop.beginBackgroundWork());
    senders().start([draft = std::move(draft), current = settings(),
                     date = std::chrono::system_clock::now(), done = std::move(done),
                     work = std::move(work), &loop]() mutable {
        Report report = deliver(std::move(draft), current, date);
        loop.post([report = std::move(report), done = std::move(done)] {
            foundation::log("Mail: %@", report.detail);
            if (done) done(report);
        });
        // Only once the reply is posted: a virtual clock never sees neither.
        work->end();
    });
}

}  // namespace platform::media
