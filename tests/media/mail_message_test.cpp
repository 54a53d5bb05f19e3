#include "platform/media/mail_message.h"

#include <gtest/gtest.h>
#include <unistd.h>

#include <filesystem>
#include <fstream>
#include <functional>
#include <iterator>
#include <nlohmann/json.hpp>
#include <random>

#include "tests/graphics/independent_tools.h"

namespace {

namespace fs = std::filesystem;
using platform::media::addressListError;
using platform::media::buildMessage;
using platform::media::encodedMessageSize;
using platform::media::MailAttachment;
using platform::media::MailDraft;
using Bytes = std::vector<std::uint8_t>;

// A message as Python's email package reads it: every header decoded, the leaf parts with
// their text or (written to <prefix><index>) their decoded bytes, and every defect found.
constexpr const char* kReadMessage = R"(
import email, email.policy, email.utils, json, sys
msg = email.message_from_bytes(open(sys.argv[1], 'rb').read(), policy=email.policy.default)
defects, parts = [str(d) for d in msg.defects], []
for part in msg.walk():
    defects += [str(d) for d in part.defects]
    if part.is_multipart(): continue
    entry = {'type': part.get_content_type(), 'charset': part.get_content_charset(),
             'disposition': part.get_content_disposition(), 'filename': part.get_filename(),
             'headers': [k.lower() for k in part.keys()]}
    if part.get_content_maintype() == 'text': entry['text'] = part.get_content()
    else: open(sys.argv[2] + str(len(parts)), 'wb').write(part.get_payload(decode=True))
    parts.append(entry)
date = msg['date']
print(json.dumps({
    'headers': [k.lower() for k in msg.keys()], 'type': msg.get_content_type(),
    'subject': str(msg['subject']), 'from': str(msg['from']), 'messageId': str(msg['message-id']),
    'mimeVersion': str(msg['mime-version']),
    'to': [[a.display_name, a.addr_spec] for a in msg['to'].addresses] if msg['to'] else [],
    'date': email.utils.parsedate_to_datetime(date).timestamp() if date else None,
    'parts': parts, 'defects': defects}))
)";

class MailMessageTest : public testing::Test {
  protected:
    nlohmann::json readWithPython(const Bytes& message) {
        const auto run = independent_tools::python(
            kReadMessage,
            {files_.write("message.eml", message).string(), files_.path("part").string()});
        EXPECT_EQ(run.status, 0) << run.output;
        return nlohmann::json::parse(run.output, nullptr, false);
    }
    Bytes decodedPart(int index) const {
        return independent_tools::ScratchFiles::read(files_.path("part" + std::to_string(index)));
    }

    independent_tools::ScratchFiles files_{"mail-message"};
};

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
    EXPECT_EQ(message["mimeVersion"], "1.0");
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
    EXPECT_EQ(decodedPart(1), draft.attachments[0].data);

    // Non-ASCII travels RFC 2047 encoded: the header block itself is plain ASCII.
    const std::string raw(built.bytes.begin(), built.bytes.end());
    const std::string headers = raw.substr(0, raw.find("\n\n"));
    EXPECT_TRUE(std::all_of(headers.begin(), headers.end(), [](char c) {
        return static_cast<unsigned char>(c) < 0x80;
    })) << headers;
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

}  // namespace
