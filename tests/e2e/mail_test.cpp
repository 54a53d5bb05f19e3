#include <gtest/gtest.h>

#include <fstream>

#include "imaging/scale_and_rotate_image.h"
#include "platform/graphics/decode_image.h"
#include "run_orvex.h"
#include "tests/graphics/independent_tools.h"

namespace e2e {
namespace {

namespace fs = std::filesystem;

// One photograph, the album, the photo in the preview, then the E-mail button.
constexpr const char* kToComposer =
    "wait 0.2\ntap 160 200\nwait 3\n"
    "tap 288 452\nwait 1\npick 0\nwait 1\n"
    "tap 276 22\nwait 0.5\n";
constexpr const char* kSendButton = "tap 290 22\n";

// The message's one attachment as Python's email package finds it, written out to the second
// argument; its name and type printed.
constexpr const char* kReadAttachment = R"(
import email, email.policy, sys
message = email.message_from_binary_file(open(sys.argv[1], 'rb'), policy=email.policy.default)
for p in message.iter_attachments():
    open(sys.argv[2], 'wb').write(p.get_content())
    print(p.get_filename(), p.get_content_type())
)";

class MailTest : public ::testing::Test {
  protected:
    void SetUp() override {
        folder = scratchFolder(::testing::UnitTest::GetInstance()->current_test_info()->name());
        fs::create_directories(folder / "mailed");
        sendmail = folder / "sendmail";
        std::ofstream(sendmail) << "#!/bin/sh\necho \"$@\" > " << (folder / "mailed" / "args")
                                << "\ncat > " << (folder / "mailed" / "message.eml") << "\n";
        fs::permissions(sendmail, fs::perms::owner_all);
    }
    void TearDown() override { fs::remove_all(folder); }

    OrvexRun run(const std::string& transport, const std::string& script,
                 const std::string& environment = "") {
        return runOrvex(
            "--headless --virtual-clock --camera test --album " + (folder / "album").string() +
                " --outbox " + (folder / "outbox").string() + " --sendmail " + transport,
            script, "XDG_CACHE_HOME=" + (folder / "cache").string() + " " + environment);
    }
    std::vector<fs::path> outbox(const char* part) const {
        std::vector<fs::path> found;
        if (fs::is_directory(folder / "outbox" / part))
            for (const auto& entry : fs::directory_iterator(folder / "outbox" / part))
                found.push_back(entry.path());
        return found;
    }

    fs::path folder;
    fs::path sendmail;
};

TEST_F(MailTest, ThePreviewedPhotoGoesOutAsOnePngNamedImageAndIsKeptInSent) {
    const auto result = run(sendmail.string(), std::string(kToComposer) + "state\n" +
                                                   "type alice@example.com\nstate\n" + kSendButton +
                                                   "wait 2\nstate\n");
    ASSERT_EQ(result.status, 0) << result.err;
    const auto states = result.states();
    ASSERT_EQ(states.size(), 3u) << result.err;
    EXPECT_EQ(states[0]["screen"], "mail");
    EXPECT_EQ(states[0]["mail"]["canSend"], false);
    EXPECT_EQ(states[1]["mail"]["to"], "alice@example.com");
    EXPECT_EQ(states[1]["mail"]["canSend"], true);
    EXPECT_EQ(states[2]["screen"], "preview");  // the composer is gone, the picture shows

    const auto mailed = folder / "mailed" / "message.eml";
    ASSERT_TRUE(fs::exists(mailed)) << result.err;
    EXPECT_NE(readFile(folder / "mailed" / "args").find("-t -oi"), std::string::npos);
    const auto attachment = folder / "attachment.png";
    const auto read =
        independent_tools::python(kReadAttachment, {mailed.string(), attachment.string()});
    EXPECT_EQ(read.output, "image image/png\n");
    // The attachment is the photo as the preview showed it: upright, pixel for pixel.
    const auto sent = platform::graphics::decodeImageFile(attachment);
    const auto photo = platform::graphics::decodeImageFile(picturesIn(folder / "album").at(0));
    ASSERT_TRUE(sent.ok() && photo.ok()) << sent.error() << photo.error();
    const auto upright = imaging::scaleAndRotateImage(*photo.value());
    ASSERT_EQ(sent.value()->size(), upright->size());
    const auto& a = sent.value()->pixels();
    const auto& b = upright->pixels();
    for (int y = 0; y < a.height(); y += 97)
        for (int x = 0; x < a.width(); x += 89)
            ASSERT_EQ(a.pixel(x, y) & 0xFFFFFF, b.pixel(x, y) & 0xFFFFFF) << x << "," << y;

    const auto kept = outbox("sent");
    ASSERT_EQ(kept.size(), 1u);
    EXPECT_EQ(readFile(kept[0]), readFile(mailed));
    EXPECT_TRUE(outbox("queue").empty());
}

// In German, the subject is German; without a transport the message waits in the queue.
TEST_F(MailTest, WithoutATransportTheMessageWaitsInTheQueue) {
    const auto result = run("none",
                            std::string(kToComposer) + "state\ntype bob@example.org\n" +
                                kSendButton + "wait 2\nstate\n",
                            "LANGUAGE=de LC_ALL=C.UTF-8");
    ASSERT_EQ(result.status, 0) << result.err;
    EXPECT_EQ(result.states().at(0)["mail"]["subject"], "Hier ist ein Bild …");
    EXPECT_EQ(result.states().at(1)["screen"], "preview");
    EXPECT_TRUE(outbox("sent").empty());
    ASSERT_EQ(outbox("queue").size(), 1u);
    EXPECT_NE(readFile(outbox("queue")[0]).find("bob@example.org"), std::string::npos);
}

}  // namespace
}  // namespace e2e
