#include "platform/media/mail_transport.h"

#include <sys/stat.h>

#include <fnmatch.h>
#include <gtest/gtest.h>
#include <signal.h>
#include <unistd.h>

#include <fstream>
#include <iterator>
#include <thread>

#include "platform/foundation/log.h"
#include "tests/graphics/independent_tools.h"

namespace {

namespace fs = std::filesystem;
using platform::foundation::RunLoop;
using platform::foundation::SystemLog;
using platform::foundation::VirtualClock;
using platform::media::MailDraft;
using platform::media::MailSettings;
using platform::media::MailTransport;
using Outcome = MailTransport::Outcome;
using Report = MailTransport::Report;

std::string contents(const fs::path& file) {
    std::ifstream in(file, std::ios::binary);
    return {std::istreambuf_iterator<char>(in), {}};
}

std::vector<fs::path> filesIn(const fs::path& folder) {
    std::vector<fs::path> files;
    std::error_code ec;
    for (const auto& entry : fs::directory_iterator(folder, ec)) files.push_back(entry.path());
    return files;
}

class MailTransportTest : public testing::Test {
  protected:
    void TearDown() override { MailTransport::configure(previous_); }

    // A sendmail stand-in: the shell script's body, run with the message on its input.
    std::string command(const std::string& body) {
        const fs::path script = root_ / ("sendmail " + std::to_string(scripts_++));
        std::ofstream(script) << "#!/bin/sh\n" << body << "\n";
        fs::permissions(script, fs::perms::owner_all);
        return independent_tools::quoted(script.string());
    }

    MailSettings settings(std::optional<std::string> sendmail) {
        return {std::move(sendmail), root_ / "outbox", "camera@example.org"};
    }

    static MailDraft draft(std::size_t pictureSize = 1000) {
        return {
            "",          "bob@example.com",
            "A picture", "Here it is.",
            false,       {{std::vector<std::uint8_t>(pictureSize, 0x89), "image/png", "image"}}};
    }

    // Sends on a virtual clock, which waits for the work under way before it lets time pass.
    std::optional<Report> send(const MailSettings& s, MailDraft d = draft()) {
        MailTransport::configure(s);
        std::optional<Report> report;
        MailTransport::send(
            std::move(d), [&](Report r) { report = std::move(r); }, loop_);
        loop_.runFor(0);
        EXPECT_EQ(loop_.pendingBackgroundWork(), 0);
        return report;
    }

    RunLoop loop_{std::make_shared<VirtualClock>()};
    independent_tools::ScratchFiles files_;
    const fs::path& root_ = files_.folder();
    int scripts_ = 0;
    MailSettings previous_ = MailTransport::settings();
};

TEST_F(MailTransportTest, CommandGetsTheMessageAndTheOutboxKeepsItInSent) {
    const fs::path input = root_ / "input", arguments = root_ / "arguments";
    const std::string sendmail =
        command("printf '%s\\n' \"$@\" > " + independent_tools::quoted(arguments.string()) +
                "\ncat > " + independent_tools::quoted(input.string()));
    SystemLog::Capture log;
    const auto report = send(settings(sendmail));

    ASSERT_TRUE(report);
    EXPECT_EQ(report->outcome, Outcome::Sent) << report->detail;
    EXPECT_EQ(report->kept.parent_path(), root_ / "outbox" / "sent");
    constexpr const char* kName =
        "[0-9][0-9][0-9][0-9][0-9][0-9][0-9][0-9]-[0-9][0-9][0-9][0-9][0-9][0-9]-?*.eml";
    EXPECT_EQ(::fnmatch(kName, report->kept.filename().c_str(), 0), 0) << report->kept;
    EXPECT_EQ(contents(input), contents(report->kept));
    EXPECT_EQ(contents(arguments), "-t\n-oi\n");
    EXPECT_NE(contents(input).find("From: camera@example.org\n"), std::string::npos)
        << "the settings' sender stands in for the draft's missing one";
    EXPECT_TRUE(filesIn(root_ / "outbox" / "queue").empty());

    struct stat file {};
    struct stat folder {};
    ASSERT_EQ(::stat(report->kept.c_str(), &file), 0);
    ASSERT_EQ(::stat((root_ / "outbox" / "sent").c_str(), &folder), 0);
    EXPECT_EQ(file.st_mode & 0777, 0600u);
    EXPECT_EQ(folder.st_mode & 0777, 0700u);

    ASSERT_EQ(log.lines().size(), 1u);
    EXPECT_NE(log.lines()[0].find(report->kept.string()), std::string::npos) << log.lines()[0];
}

TEST_F(MailTransportTest, CommandsThatFailKeepTheMessageInTheQueue) {
    // Far more than a pipe holds, for a command that stops reading at once: the write that
    // follows must fail quietly rather than end the process with SIGPIPE. GMime's start-up
    // happens to ignore SIGPIPE process-wide (through gpgme); nothing may rely on that.
    const std::size_t large = 4 << 20;
    platform::media::addressListError("bob@example.com");
    struct DefaultSigpipe {
        void (*previous)(int) = ::signal(SIGPIPE, SIG_DFL);
        ~DefaultSigpipe() { ::signal(SIGPIPE, previous); }
    } sigpipe;
    const std::pair<std::string, std::string> failing[] = {
        {command("exec <&-\necho 'mailbox full' >&2\nsleep 0.2\nexit 1"), "mailbox full"},
        {independent_tools::quoted((root_ / "no such sendmail").string()), "not found"},
    };
    for (const auto& [sendmail, why] : failing) {
        const auto report = send(settings(sendmail), draft(large));
        ASSERT_TRUE(report);
        EXPECT_EQ(report->outcome, Outcome::Failed) << sendmail;
        EXPECT_NE(report->detail.find(why), std::string::npos) << report->detail;
        EXPECT_EQ(report->kept.parent_path(), root_ / "outbox" / "queue");
        EXPECT_GT(fs::file_size(report->kept), large);
    }
    EXPECT_FALSE(fs::exists(root_ / "outbox" / "sent"));
}

TEST_F(MailTransportTest, CommandThatNeverExitsIsKilledAtTheTimeout) {
    const fs::path pidFile = root_ / "pid";
    MailSettings s = settings(
        command("sleep 60 &\necho $! > " + independent_tools::quoted(pidFile.string()) + "\nwait"));
    s.timeout = std::chrono::milliseconds(300);
    const auto start = std::chrono::steady_clock::now();
    const auto report = send(s);

    ASSERT_TRUE(report);
    EXPECT_LT(std::chrono::steady_clock::now() - start, std::chrono::seconds(20));
    EXPECT_EQ(report->outcome, Outcome::Failed);
    EXPECT_EQ(report->kept.parent_path(), root_ / "outbox" / "queue");
    // What the command started goes with it, or it would hold on for the full minute.
    const std::string pid = contents(pidFile);
    ASSERT_FALSE(pid.empty());
    const fs::path stat = "/proc/" + pid.substr(0, pid.find('\n')) + "/stat";
    auto gone = [&] {
        const std::string state = contents(stat);
        return state.empty() || state.find(") Z ") != std::string::npos;
    };
    for (int i = 0; i < 200 && !gone(); ++i)
        std::this_thread::sleep_for(std::chrono::milliseconds(10));
    EXPECT_TRUE(gone()) << contents(stat);
}

TEST_F(MailTransportTest, WithoutCommandTheMessageIsQueued) {
    MailTransport::configure(settings(std::nullopt));
    EXPECT_TRUE(MailTransport::canSendMail());
    const auto report = send(settings(std::nullopt));
    ASSERT_TRUE(report);
    EXPECT_EQ(report->outcome, Outcome::Queued);
    EXPECT_EQ(filesIn(root_ / "outbox" / "queue"), std::vector<fs::path>{report->kept});
    EXPECT_NE(report->detail.find(report->kept.string()), std::string::npos) << report->detail;
}

TEST_F(MailTransportTest, OutboxThatCannotBeWrittenNeverStopsSendingNorLosesSilently) {
    std::ofstream(root_ / "outbox") << "a file where the outbox folder should be";
    const fs::path input = root_ / "input";
    MailTransport::configure(settings(std::nullopt));
    EXPECT_FALSE(MailTransport::canSendMail());

    const auto queued = send(settings(std::nullopt));
    ASSERT_TRUE(queued);
    EXPECT_EQ(queued->outcome, Outcome::Failed);
    EXPECT_TRUE(queued->kept.empty());

    const auto sent = send(settings(command("cat > " + independent_tools::quoted(input.string()))));
    ASSERT_TRUE(sent);
    EXPECT_EQ(sent->outcome, Outcome::Sent) << sent->detail;
    EXPECT_TRUE(sent->kept.empty());
    EXPECT_NE(contents(input).find("To: bob@example.com"), std::string::npos);
    EXPECT_TRUE(MailTransport::canSendMail());
}

TEST(MailSettingsTest, DefaultsComeFromTheEnvironment) {
    const std::pair<const char*, const char*> environment[] = {
        {"ORVEX_SENDMAIL", "/opt/mail/send --quiet"},
        {"XDG_DATA_HOME", "/data/home"},
        {"EMAIL", "me@example.org"}};
    std::vector<std::optional<std::string>> saved;
    for (const auto& [name, value] : environment) {
        const char* old = std::getenv(name);
        saved.push_back(old ? std::optional<std::string>(old) : std::nullopt);
        ::setenv(name, value, 1);
    }
    const MailSettings defaults = MailTransport::defaultSettings();
    EXPECT_EQ(defaults.sendmail, "/opt/mail/send --quiet");
    EXPECT_EQ(defaults.outbox, fs::path("/data/home/orvex/outbox"));
    EXPECT_EQ(defaults.from, "me@example.org");
    for (std::size_t i = 0; i < saved.size(); ++i)
        saved[i] ? ::setenv(environment[i].first, saved[i]->c_str(), 1)
                 : ::unsetenv(environment[i].first);
}

}  // namespace
