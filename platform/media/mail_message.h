#pragma once

#include <chrono>
#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace platform::media {

struct MailAttachment {
    std::vector<std::uint8_t> data;
    std::string mimeType;  // "image/png"
    std::string fileName;  // "image"
};

struct MailDraft {
    std::string from;     // empty: left to the transport
    std::string to;       // an RFC 5322 address list as the user typed it
    std::string subject;  // any UTF-8
    std::string body;     // plain text unless bodyIsHtml
    bool bodyIsHtml = false;
    std::vector<MailAttachment> attachments;
};

// Why the address list a user typed cannot be sent to, in words for that user ("“bob@” is
// not a complete address", "No address yet"), or nothing when it holds at least one address
// and every part of it is valid.
std::optional<std::string> addressListError(std::string_view text);

struct BuiltMessage {
    std::vector<std::uint8_t> bytes;
    std::string error;
    bool ok() const { return error.empty(); }
};

// The draft as an RFC 5322 / MIME message (multipart/mixed: the body, then each attachment
// in base64), or why it cannot be one. A line break in the subject, an address or a file
// name never starts a header of its own.
BuiltMessage buildMessage(const MailDraft& draft, std::chrono::system_clock::time_point date);

// About the size buildMessage's bytes will have, without encoding anything: enough to warn
// before a server's size limit refuses the message.
std::size_t encodedMessageSize(const MailDraft& draft);

}  // namespace platform::media
