#include <gtest/gtest.h>

#include <fstream>

#include "imaging/scale_and_rotate_image.h"
#include "platform/graphics/decode_image.h"
#include "run_orvex.h"

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

class MailTest : public OrvexTest {
  protected:
    OrvexRun send(const std::string& transport, const std::string& script,
                  const std::string& environment = "") {
        return run(script, "--outbox " + (folder / "outbox").string() + " --sendmail " + transport,
                   environment);
    }
    std::vector<fs::path> outbox(const char* box) const { return filesIn(folder / "outbox" / box); }
};

TEST_F(MailTest, ThePreviewedPhotoGoesOutAsOnePngNamedImageAndIsKeptInSent) {
    const auto sendmail = folder / "sendmail";
    std::ofstream(sendmail) << "#!/bin/sh\ncat > " << (folder / "message.eml") << "\n";
    fs::permissions(sendmail, fs::perms::owner_all);
    const auto result =
        send(sendmail.string(), std::string(kToComposer) + "type alice@example.com\n" +
                                    kSendButton + "wait 2\nstate\n");
    ASSERT_EQ(result.status, 0) << result.err;
    // The composer is gone, the picture shows.
    EXPECT_EQ(result.states().at(0)["screen"], "preview");

    const auto mailed = folder / "message.eml";
    ASSERT_TRUE(fs::exists(mailed)) << result.err;
    EXPECT_NE(readFile(mailed).find("To: alice@example.com"), std::string::npos);
    const auto attachment = folder / "attachment.png";
    const auto read =
        independent_tools::python(kReadAttachment, {mailed.string(), attachment.string()});
    EXPECT_EQ(read.output, "image image/png\n");
    // The attachment is the photo as the preview showed it: upright, pixel for pixel.
    const auto sent = platform::graphics::decodeImageFile(attachment);
    const auto photo = platform::graphics::decodeImageFile(filesIn(album).at(0));
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
    const auto result =
        send("none",
             std::string(kToComposer) + "state\ntype bob@example.org\n" + kSendButton + "wait 2\n",
             "LANGUAGE=de LC_ALL=C.UTF-8");
    ASSERT_EQ(result.status, 0) << result.err;
    EXPECT_EQ(result.states().at(0)["mail"]["subject"], "Hier ist ein Bild …");
    EXPECT_TRUE(outbox("sent").empty());
    ASSERT_EQ(outbox("queue").size(), 1u);
    EXPECT_NE(readFile(outbox("queue")[0]).find("bob@example.org"), std::string::npos);
}

}  // namespace
}  // namespace e2e
