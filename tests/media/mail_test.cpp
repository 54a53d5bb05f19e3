#include <fnmatch.h>
#include <gtest/gtest.h>
#include <signal.h>

#include <fstream>
#include <functional>
#include <nlohmann/json.hpp>
#include <random>
#include <thread>

#include "platform/foundation/log.h"
#include "platform/media/mail_compose_view_controller.h"
#include "platform/media/mail_message.h"
#include "platform/media/mail_transport.h"
#include "platform/media/services.h"
#include "platform/ui/text_field.h"
#include "platform/ui/window.h"
#include "tests/graphics/independent_tools.h"

namespace {

namespace fs = std::filesystem;
using namespace platform::media;
using independent_tools::quoted;
using platform::foundation::RunLoop;
using platform::foundation::SystemLog;
using platform::foundation::VirtualClock;
using platform::ui::Key;
using Bytes = std::vector<std::uint8_t>;
using Outcome = MailTransport::Outcome;

// A message as Python's email package reads it: every header decoded, whether the header block
// is plain ASCII, the leaf parts with their text or (written to <prefix><index>) their decoded
// bytes, and every defect found.
constexpr const char* kReadMessage = R"(
import email, email.policy, email.utils, json, sys
raw = open(sys.argv[1], 'rb').read()
msg = email.message_from_bytes(raw, policy=email.policy.default)
parts = [p for p in msg.walk() if not p.is_multipart()]
for i, p in enumerate(parts):
    if p.get_content_maintype() != 'text':
        open(sys.argv[2] + str(i), 'wb').write(p.get_payload(decode=True))
print(json.dumps({
    'headers': [k.lower() for k in msg.keys()], 'type': msg.get_content_type(),
    'asciiHeaders': raw.split(b'\n\n')[0].isascii(),
    'subject': str(msg['subject']), 'from': str(msg['from']), 'messageId': str(msg['message-id']),
    'to': [[a.display_name, a.addr_spec] for a in msg['to'].addresses] if msg['to'] else [],
    'date': email.utils.parsedate_to_datetime(msg['date']).timestamp(),
    'defects': [str(d) for p in msg.walk() for d in p.defects],
    'parts': [{'type': p.get_content_type(), 'charset': p.get_content_charset(),
               'disposition': p.get_content_disposition(), 'filename': p.get_filename(),
               'headers': [k.lower() for k in p.keys()],
               'text': p.get_content() if p.get_content_maintype() == 'text' else None}
              for p in parts]}))
)";

// Every byte value, and the line breaks a careless encoder would turn into others.
Bytes picture(std::size_t size) {
    std::mt19937 random(7);
    Bytes bytes(size);
    for (auto& b : bytes) b = static_cast<std::uint8_t>(random());
    const std::string_view start = "\x89PNG\r\n\x1a\n\r\n\n\r";
    std::copy_n(start.begin(), std::min(size, start.size()), bytes.begin());
    return bytes;
}

MailDraft pictureDraft(Bytes bytes) {
    MailDraft draft;
    draft.from = "Orvex Camera <camera@example.org>";
    draft.to = "Bob <bob@example.com>, alice@example.org";
    draft.subject = "Grüße aus Köln: ein Bild, das ich mit der Kamera gemacht habe – schön, oder?";
    draft.body = "Hallo Jörg,\nhier ist das Bild.\n";
    draft.attachments.push_back({std::move(bytes), "image/png", "image"});
    return draft;
}

constexpr auto kDate = std::chrono::system_clock::time_point(std::chrono::seconds(1700000000));

std::string contents(const fs::path& file) {
    std::ifstream in(file, std::ios::binary);
    return {std::istreambuf_iterator<char>(in), {}};
}

class MailMessageTest : public testing::Test {
  protected:
    nlohmann::json readWithPython(const Bytes& message) {
        const auto run = independent_tools::python(
            kReadMessage,
            {files_.write("message.eml", message).string(), files_.path("part").string()});
        EXPECT_EQ(run.status, 0) << run.output;
        return nlohmann::json::parse(run.output, nullptr, false);
    }

    independent_tools::ScratchFiles files_{"mail-message"};
};

TEST_F(MailMessageTest, PythonReadsHeadersBodyAndTheAttachmentByteForByte) {
    const MailDraft draft = pictureDraft(picture(200'000));
    const auto built = buildMessage(draft, kDate);
    ASSERT_TRUE(built.ok()) << built.error;
    const auto message = readWithPython(built.bytes);
    ASSERT_TRUE(message.is_object());

    EXPECT_EQ(message["defects"], nlohmann::json::array());
    EXPECT_EQ(message["from"], "Orvex Camera <camera@example.org>");
    EXPECT_EQ(message["to"],
              nlohmann::json::parse(R"([["Bob", "bob@example.com"], ["", "alice@example.org"]])"));
    EXPECT_EQ(message["subject"], draft.subject);
    EXPECT_EQ(message["date"], 1700000000.0);
    EXPECT_TRUE(message["messageId"].get<std::string>().ends_with("@example.org>"))
        << message["messageId"];
    EXPECT_EQ(message["type"], "multipart/mixed");

    const auto& parts = message["parts"];
    ASSERT_EQ(parts.size(), 2u) << parts;
    EXPECT_EQ(parts[0]["type"], "text/plain");
    EXPECT_EQ(parts[0]["charset"], "utf-8");
    EXPECT_EQ(parts[0]["text"], draft.body);
    EXPECT_EQ(parts[1]["type"], "image/png");
    EXPECT_EQ(parts[1]["disposition"], "attachment");
    EXPECT_EQ(parts[1]["filename"], "image");
    EXPECT_EQ(independent_tools::ScratchFiles::read(files_.path("part1")),
              draft.attachments[0].data);
    // Non-ASCII travels RFC 2047 encoded.
    EXPECT_EQ(message["asciiHeaders"], true);
}

TEST_F(MailMessageTest, LineBreaksInUserTextNeverStartAHeader) {
    const std::string injected = "\r\nBcc: evil@example.com";
    const std::function<void(MailDraft&)> injections[] = {
        [&](MailDraft& d) { d.subject = "Hi" + injected; },
        [&](MailDraft& d) { d.to = "\"Bob" + injected + "\" <bob@example.com>"; },
        [&](MailDraft& d) { d.to = "bob@example.com" + injected; },
        [&](MailDraft& d) { d.from = "camera@example.org" + injected; },
        [&](MailDraft& d) { d.attachments[0].fileName = "image" + injected; },
        [&](MailDraft& d) { d.attachments[0].mimeType = "image/png" + injected; }};
    for (const auto& inject : injections) {
        MailDraft draft = pictureDraft(picture(100));
        const std::string to = draft.to;
        inject(draft);
        const bool subject = draft.subject != pictureDraft({}).subject;
        const auto built = buildMessage(draft, kDate);
        if (!built.ok() && !subject) continue;  // refusing is as good as folding
        // A subject is the user's own words: folded into one line, not refused.
        ASSERT_TRUE(built.ok()) << built.error;
        const auto message = readWithPython(built.bytes);
        EXPECT_FALSE(message["headers"].contains("bcc")) << message["headers"];
        for (const auto& part : message["parts"])
            EXPECT_FALSE(part["headers"].contains("bcc")) << part["headers"];
        EXPECT_EQ(message["to"].size(), draft.to == to ? 2u : 1u) << message["to"];
        if (subject) {
            EXPECT_EQ(message["subject"], "Hi Bcc: evil@example.com");
        }
    }
}

TEST(MailAddressListTest, SaysWhatIsWrongWithWhatTheUserTyped) {
    for (const char* valid :
         {"bob@example.com", "Bob <bob@example.com>, alice@example.org",
          "\"Smith, Bob\" <bob@example.com>", "friends: a@b.example, c@d.example;",
          "bob@example.com,", "jörg@exämple.de"})
        EXPECT_EQ(addressListError(valid), std::nullopt) << valid;

    for (const char* empty : {"", "  ", " , ,", "undisclosed-recipients:;"})
        EXPECT_EQ(addressListError(empty), "No address yet") << '"' << empty << '"';

    const std::pair<const char*, const char*> wrong[] = {
        {"bob@", "“bob@” is not a complete address"},
        {"alice@example.org, bob@", "“bob@” is not a complete address"},
        {"bob", "“bob” is not a complete address"},
        {"@example.com", "“@example.com” is not a complete address"},
        {"bob smith@example.com", "“bob smith@example.com” is not a valid address"},
        {"bob@example..com", "“bob@example..com” is not a valid address"},
    };
    for (const auto& [text, error] : wrong) EXPECT_EQ(addressListError(text), error) << text;

    for (const char* broken :
         {"bob@example.com; alice@example.org", "bob@example.com\r\nBcc: evil@example.com",
          "bob@example.com <alice@example.org>"})
        EXPECT_NE(addressListError(broken), std::nullopt) << broken;
    EXPECT_NE(addressListError(std::string_view("bob@example.com\0x", 17)), std::nullopt);

    MailDraft draft = pictureDraft(picture(10));
    draft.to = "bob@";
    EXPECT_EQ(buildMessage(draft, kDate).error, "“bob@” is not a complete address");
}

TEST(MailMessageSizeTest, EstimateIsCloseToTheEncodedSize) {
    for (std::size_t size : {std::size_t{1000}, std::size_t{600'000}}) {
        MailDraft draft = pictureDraft(picture(size));
        draft.attachments.push_back({picture(size / 3), "image/jpeg", "second"});
        const auto built = buildMessage(draft, kDate);
        ASSERT_TRUE(built.ok());
        const double actual = static_cast<double>(built.bytes.size());
        const double estimate = static_cast<double>(encodedMessageSize(draft));
        EXPECT_NEAR(estimate, actual, std::max(0.005 * actual, 600.0)) << size;
    }
}

class MailTransportTest : public testing::Test {
  protected:
    void TearDown() override { MailTransport::configure(previous_); }

    // A sendmail stand-in: the shell script's body, run with the message on its input.
    std::string command(const std::string& body) {
        const fs::path script = root_ / ("sendmail " + std::to_string(scripts_++));
        std::ofstream(script) << "#!/bin/sh\n" << body << "\n";
        fs::permissions(script, fs::perms::owner_all);
        return quoted(script.string());
    }

    MailSettings settings(std::optional<std::string> sendmail) {
        return {std::move(sendmail), root_ / "outbox", "camera@example.org"};
    }

    // Sends on a virtual clock, which waits for the work under way before it lets time pass.
    MailTransport::Report send(const MailSettings& s, std::size_t pictureSize = 1000) {
        MailTransport::configure(s);
        std::optional<MailTransport::Report> report;
        MailDraft draft = pictureDraft(Bytes(pictureSize, 0x89));
        draft.from.clear();  // left to the settings
        MailTransport::send(
            std::move(draft), [&](MailTransport::Report r) { report = std::move(r); }, loop_);
        loop_.runFor(0);
        EXPECT_TRUE(report) << "the send was never reported";
        return report.value_or(MailTransport::Report{Outcome::Failed, "no report", {}});
    }

    SystemLog::Capture log_;  // quiet
    RunLoop loop_{std::make_shared<VirtualClock>()};
    independent_tools::ScratchFiles files_;
    const fs::path& root_ = files_.folder();
    int scripts_ = 0;
    MailSettings previous_ = MailTransport::settings();
};

TEST_F(MailTransportTest, CommandGetsTheMessageAndTheOutboxKeepsItInSent) {
    const fs::path input = root_ / "input", arguments = root_ / "arguments";
    const auto report =
        send(settings(command("printf '%s\\n' \"$@\" > " + quoted(arguments.string()) + "\ncat > " +
                              quoted(input.string()))));
    EXPECT_EQ(report.outcome, Outcome::Sent) << report.detail;
    EXPECT_EQ(report.kept.parent_path(), root_ / "outbox" / "sent");
    constexpr const char* kName =
        "[0-9][0-9][0-9][0-9][0-9][0-9][0-9][0-9]-[0-9][0-9][0-9][0-9][0-9][0-9]-?*.eml";
    EXPECT_EQ(::fnmatch(kName, report.kept.filename().c_str(), 0), 0) << report.kept;
    EXPECT_EQ(contents(input), contents(report.kept));
    EXPECT_EQ(contents(arguments), "-t\n-oi\n");
    EXPECT_NE(contents(input).find("From: camera@example.org\n"), std::string::npos)
        << "the settings' sender stands in for the draft's missing one";
    EXPECT_TRUE(fs::is_empty(root_ / "outbox" / "queue"));
    // Kept as a mail client keeps its messages: the user's alone.
    EXPECT_EQ(fs::status(report.kept).permissions(),
              fs::perms::owner_read | fs::perms::owner_write);
    EXPECT_EQ(fs::status(report.kept.parent_path()).permissions(), fs::perms::owner_all);
}

TEST_F(MailTransportTest, CommandsThatFailKeepTheMessageInTheQueue) {
    // Far more than a pipe holds, for a command that stops reading at once: the write that
    // follows must fail quietly rather than end the process with SIGPIPE. GMime's start-up
    // happens to ignore SIGPIPE process-wide (through gpgme); nothing may rely on that.
    const std::size_t large = 4 << 20;
    addressListError("bob@example.com");
    struct DefaultSigpipe {
        void (*previous)(int) = ::signal(SIGPIPE, SIG_DFL);
        ~DefaultSigpipe() { ::signal(SIGPIPE, previous); }
    } sigpipe;
    const std::pair<std::string, std::string> failing[] = {
        {command("exec <&-\necho 'mailbox full' >&2\nsleep 0.2\nexit 1"), "mailbox full"},
        {quoted((root_ / "no such sendmail").string()), "not found"},
    };
    for (const auto& [sendmail, why] : failing) {
        const auto report = send(settings(sendmail), large);
        EXPECT_EQ(report.outcome, Outcome::Failed) << sendmail;
        EXPECT_NE(report.detail.find(why), std::string::npos) << report.detail;
        EXPECT_EQ(report.kept.parent_path(), root_ / "outbox" / "queue");
        EXPECT_GT(fs::file_size(report.kept), large);
    }
    EXPECT_FALSE(fs::exists(root_ / "outbox" / "sent"));
}

TEST_F(MailTransportTest, CommandThatNeverExitsIsKilledAtTheTimeout) {
    const fs::path pidFile = root_ / "pid";
    MailSettings s =
        settings(command("sleep 60 &\necho $! > " + quoted(pidFile.string()) + "\nwait"));
    s.timeout = std::chrono::milliseconds(300);
    const auto start = std::chrono::steady_clock::now();
    const auto report = send(s);

    EXPECT_LT(std::chrono::steady_clock::now() - start, std::chrono::seconds(20));
    EXPECT_EQ(report.outcome, Outcome::Failed);
    EXPECT_EQ(report.kept.parent_path(), root_ / "outbox" / "queue");
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

TEST_F(MailTransportTest, WithoutCommandTheMessageIsQueuedAndNothingStopsACommand) {
    MailTransport::configure(settings(std::nullopt));
    EXPECT_TRUE(MailTransport::canSendMail());
    const auto queued = send(settings(std::nullopt));
    EXPECT_EQ(queued.outcome, Outcome::Queued);
    EXPECT_EQ(queued.kept.parent_path(), root_ / "outbox" / "queue");
    EXPECT_TRUE(fs::exists(queued.kept));
    EXPECT_NE(queued.detail.find(queued.kept.string()), std::string::npos) << queued.detail;

    // An outbox that cannot be written loses nothing silently, and never stops a command.
    fs::remove_all(root_ / "outbox");
    std::ofstream(root_ / "outbox") << "a file where the outbox folder should be";
    MailTransport::configure(settings(std::nullopt));
    EXPECT_FALSE(MailTransport::canSendMail());
    const auto lost = send(settings(std::nullopt));
    EXPECT_EQ(lost.outcome, Outcome::Failed);
    EXPECT_TRUE(lost.kept.empty());
    const fs::path input = root_ / "input";
    const auto sent = send(settings(command("cat > " + quoted(input.string()))));
    EXPECT_EQ(sent.outcome, Outcome::Sent) << sent.detail;
    EXPECT_TRUE(sent.kept.empty());
    EXPECT_NE(contents(input).find("bob@example.com"), std::string::npos);
    EXPECT_TRUE(MailTransport::canSendMail());
}

TEST(MailSettingsTest, DefaultsComeFromTheEnvironment) {
    const std::pair<const char*, const char*> environment[] = {
        {"ORVEX_SENDMAIL", "/opt/mail/send --quiet"},
        {"XDG_DATA_HOME", "/data/home"},
        {"EMAIL", "me@example.org"}};
    std::vector<std::pair<const char*, std::optional<std::string>>> saved;
    for (const auto& [name, value] : environment) {
        const char* old = std::getenv(name);
        saved.emplace_back(name, old ? std::optional<std::string>(old) : std::nullopt);
        ::setenv(name, value, 1);
    }
    const MailSettings defaults = MailTransport::defaultSettings();
    EXPECT_EQ(defaults.sendmail, "/opt/mail/send --quiet");
    EXPECT_EQ(defaults.outbox, fs::path("/data/home/orvex/outbox"));
    EXPECT_EQ(defaults.from, "me@example.org");
    for (const auto& [name, old] : saved) old ? ::setenv(name, old->c_str(), 1) : ::unsetenv(name);
}

using Report = std::pair<MailComposeResult, std::optional<std::string>>;

// Takes the composer away when it has finished, as the preview screen does.
struct Recorder : MailComposeDelegate {
    std::vector<Report> reports;
    void mailComposeControllerDidFinishWithResult(
        MailComposeViewController& composer, MailComposeResult result,
        const std::optional<std::string>& error) override {
        reports.emplace_back(result, error);
        composer.dismissModalViewControllerAnimated(false);
    }
};

class MailComposerTest : public testing::Test {
  protected:
    void SetUp() override {
        MailTransport::configure({std::nullopt, folder / "outbox", "camera@example.org"});
        window->makeKeyAndVisible();
        window->addSubview(presenter->view());
    }
    void TearDown() override { MailTransport::configure(previous); }

    static void runFor(double seconds) { RunLoop::main().runFor(seconds); }

    std::shared_ptr<MailComposeViewController> present(
        const std::function<void(MailComposeViewController&)>& fill = {}) {
        auto composer = std::make_shared<MailComposeViewController>();
        composer->setMailComposeDelegate(recorder);
        if (fill) fill(*composer);
        presenter->presentModalViewController(composer, false);
        return composer;
    }

    // The sentences shown under the fields (what is wrong with To, the size warning).
    static std::vector<std::string> notesShown(const platform::ui::View& view) {
        std::vector<std::string> notes;
        for (const auto& sub : view.subviews()) {
            if (sub->isHidden()) continue;
            if (auto* field = dynamic_cast<platform::ui::TextField*>(sub.get());
                field && !field->isEditable())
                notes.push_back(field->text());
            for (auto& inner : notesShown(*sub)) notes.push_back(inner);
        }
        return notes;
    }

    independent_tools::ScratchFiles files;
    const fs::path& folder = files.folder();
    // The main loop on a virtual clock, and emptied at the end.
    Services world{{.clock = std::make_shared<VirtualClock>(), .album = folder / "album"}};
    MailSettings previous = MailTransport::settings();
    std::shared_ptr<platform::ui::Window> window = std::make_shared<platform::ui::Window>();
    std::shared_ptr<platform::ui::ViewController> presenter =
        std::make_shared<platform::ui::ViewController>();
    std::shared_ptr<Recorder> recorder = std::make_shared<Recorder>();
};

TEST_F(MailComposerTest, SendIsOnOnlyForAListOfValidAddresses) {
    auto composer = present();
    EXPECT_FALSE(composer->canSend());
    EXPECT_TRUE(notesShown(*composer->view()).empty());  // nothing typed, nothing to say

    ASSERT_TRUE(window->insertText("bob@"));  // To has the focus
    EXPECT_FALSE(composer->canSend());
    const auto problem = composer->addressProblem();
    ASSERT_TRUE(problem);
    EXPECT_EQ(notesShown(*composer->view()), std::vector<std::string>{*problem});
    window->tap({290, 22});  // Send, inert
    EXPECT_FALSE(composer->isSending());

    window->insertText("example.com");
    EXPECT_TRUE(composer->canSend());
    EXPECT_TRUE(notesShown(*composer->view()).empty());
    window->insertText(", carol");
    EXPECT_FALSE(composer->canSend());

    for (int i = 0; i < 7; ++i) window->keyDown({Key::Backspace});
    window->tap({290, 22});
    EXPECT_TRUE(composer->isSending());
    EXPECT_FALSE(composer->canSend());
    runFor(1);
    EXPECT_EQ(recorder->reports, (std::vector<Report>{{MailComposeResult::Saved, {}}}));
}

TEST_F(MailComposerTest, TabReturnAndTapsMoveRoundTheFieldsAndEscapeCancels) {
    auto composer = present([](MailComposeViewController& c) { c.setSubject("S"); });
    window->insertText("a@b.c");
    window->keyDown({Key::Tab});
    window->insertText("b");
    window->keyDown({Key::Return});  // from Subject on to the body
    window->insertText("c");
    window->keyDown({Key::Return});  // in the body, a new line
    window->keyDown({Key::Tab});     // round to To
    window->insertText("d");
    window->keyDown({Key::Tab, false, true});  // and back to the body
    window->insertText("e");
    EXPECT_EQ(composer->to(), "a@b.cd");
    EXPECT_EQ(composer->subject(), "Sb");
    EXPECT_EQ(composer->body(), "c\ne");

    // A tap on the Subject line puts the caret there.
    window->tap({300, 110});
    window->insertText("f");
    EXPECT_EQ(composer->subject(), "Sbf");

    window->keyDown({Key::Escape});
    EXPECT_EQ(recorder->reports, (std::vector<Report>{{MailComposeResult::Cancelled, {}}}));
    EXPECT_EQ(presenter->modalViewController(), nullptr);
}

// Base64 makes a message about a third larger than its attachment: 18 MB stay under the
// 25 MB many servers take, 19 MB go over.
TEST_F(MailComposerTest, WarnsOfTheSizeAboveWhatManyServersTake) {
    for (const std::size_t megabytes : {18, 19}) {
        auto composer = present([&](MailComposeViewController& c) {
            c.addAttachmentData(Bytes(megabytes * 1'000'000), "application/octet-stream", "big");
        });
        const auto notes = notesShown(*composer->view());
        const bool warns = notes.size() == 1 && notes[0].find("25 MB") != std::string::npos;
        EXPECT_EQ(warns, megabytes == 19) << testing::PrintToString(notes);
        composer->cancel();
    }
}

// Cancel, tapped while a send is under way, is reported at once and the send never after.
TEST_F(MailComposerTest, TheDelegateHearsHowTheTransportEndedOrThatTheUserCancelled) {
    const std::tuple<const char*, MailComposeResult, bool> cases[] = {
        {"/bin/true", MailComposeResult::Sent, false},
        {"/bin/false", MailComposeResult::Failed, true},
        {"/bin/true", MailComposeResult::Cancelled, false}};
    for (const auto& [sendmail, result, error] : cases) {
        SCOPED_TRACE(static_cast<int>(result));
        recorder->reports.clear();
        MailTransport::configure({sendmail, folder / "outbox", "camera@example.org"});
        auto composer = present();
        window->insertText("bob@example.com");
        composer->send();
        EXPECT_TRUE(composer->isSending());
        EXPECT_FALSE(window->insertText("x"));  // the fields are inert meanwhile
        const bool cancel = result == MailComposeResult::Cancelled;
        if (cancel) window->tap({40, 22});  // Cancel
        EXPECT_EQ(recorder->reports.size(), cancel ? 1u : 0u);

        runFor(1);
        ASSERT_EQ(recorder->reports.size(), 1u);
        EXPECT_EQ(recorder->reports[0].first, result);
        EXPECT_EQ(recorder->reports[0].second.has_value(), error);
        EXPECT_FALSE(composer->isSending());
        EXPECT_EQ(composer->to(), "bob@example.com");
    }
}

}  // namespace