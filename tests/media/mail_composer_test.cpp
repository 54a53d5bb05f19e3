#include <gtest/gtest.h>
#include <unistd.h>

#include <filesystem>
#include <functional>
#include <memory>

#include "platform/foundation/clock.h"
#include "platform/foundation/run_loop.h"
#include "platform/media/mail_compose_view_controller.h"
#include "platform/media/mail_transport.h"
#include "platform/ui/text_field.h"
#include "platform/ui/window.h"
#include "tests/graphics/independent_tools.h"

namespace {

namespace fs = std::filesystem;
using platform::foundation::RunLoop;
using platform::media::MailComposeDelegate;
using platform::media::MailComposeResult;
using platform::media::MailComposeViewController;
using platform::media::MailSettings;
using platform::media::MailTransport;
using platform::ui::Key;
using platform::ui::TextField;
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
        loop().reset();
        loop().setClock(std::make_shared<platform::foundation::VirtualClock>());
        useSendmail(std::nullopt);
        window->makeKeyAndVisible();
        window->addSubview(presenter->view());
    }
    void TearDown() override {
        presenter.reset();
        window.reset();
        loop().reset();
        loop().setClock(std::make_shared<platform::foundation::SystemClock>());
        MailTransport::configure(previous);
    }
    static RunLoop& loop() { return RunLoop::main(); }

    void useSendmail(std::optional<std::string> command) {
        MailTransport::configure({std::move(command), folder / "outbox", "camera@example.org"});
    }

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
            if (auto* field = dynamic_cast<TextField*>(sub.get()); field && !field->isEditable())
                notes.push_back(field->text());
            for (auto& inner : notesShown(*sub)) notes.push_back(inner);
        }
        return notes;
    }

    independent_tools::ScratchFiles files;
    const fs::path& folder = files.folder();
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
    loop().runFor(1);
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

TEST_F(MailComposerTest, WarnsOfTheSizeJustAboveWhatManyServersTake) {
    // The smallest attachment that makes the message larger than 25 MB.
    platform::media::MailDraft draft;
    draft.attachments.push_back({{}, "application/octet-stream", "big"});
    auto& data = draft.attachments.front().data;
    data.reserve(25'000'000);
    std::size_t low = 0, high = 25'000'000;
    while (low < high) {
        const std::size_t middle = (low + high) / 2;
        data.resize(middle);
        if (encodedMessageSize(draft) > 25'000'000)
            high = middle;
        else
            low = middle + 1;
    }
    for (const std::size_t size : {low - 1, low}) {
        SCOPED_TRACE(size);
        data.resize(size);
        auto composer = present([&](MailComposeViewController& c) {
            c.addAttachmentData(data, "application/octet-stream", "big");
        });
        const auto notes = notesShown(*composer->view());
        const bool warns = notes.size() == 1 && notes[0].find("25 MB") != std::string::npos;
        EXPECT_EQ(warns, size == low) << testing::PrintToString(notes);
        EXPECT_EQ(composer->attachment()->bytes, size);
        composer->cancel();
    }
}

TEST_F(MailComposerTest, TheDelegateHearsHowTheTransportEnded) {
    const struct {
        std::optional<std::string> sendmail;
        MailComposeResult result;
        bool error;
    } cases[] = {{"/bin/true", MailComposeResult::Sent, false},
                 {"/bin/false", MailComposeResult::Failed, true}};
    for (const auto& c : cases) {
        SCOPED_TRACE(c.sendmail.value_or("no command"));
        recorder->reports.clear();
        useSendmail(c.sendmail);
        auto composer = present();
        window->insertText("bob@example.com");
        composer->send();
        EXPECT_TRUE(composer->isSending());
        EXPECT_FALSE(window->insertText("x"));  // the fields are inert meanwhile
        EXPECT_TRUE(recorder->reports.empty());

        loop().runFor(1);
        ASSERT_EQ(recorder->reports.size(), 1u);
        EXPECT_EQ(recorder->reports[0].first, c.result);
        EXPECT_EQ(recorder->reports[0].second.has_value(), c.error);
        EXPECT_FALSE(composer->isSending());
        EXPECT_EQ(composer->to(), "bob@example.com");
    }

    // Cancel reports at once, and the send under way is not reported after.
    recorder->reports.clear();
    useSendmail("/bin/true");
    auto composer = present();
    window->insertText("bob@example.com");
    composer->send();
    window->tap({40, 22});  // Cancel
    EXPECT_EQ(recorder->reports, (std::vector<Report>{{MailComposeResult::Cancelled, {}}}));
    loop().runFor(1);
    EXPECT_EQ(recorder->reports.size(), 1u);
}

}  // namespace
