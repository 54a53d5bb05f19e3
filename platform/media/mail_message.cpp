#include "platform/media/mail_message.h"

#include <gmime/gmime.h>

#include <algorithm>
#include <cstring>
#include <memory>
#include <mutex>

#include "platform/foundation/bundle.h"
#include "platform/foundation/log.h"

namespace platform::media {

namespace {

struct ObjectUnref {
    void operator()(gpointer object) const { g_object_unref(object); }
};
struct GFree {
    void operator()(gpointer memory) const { g_free(memory); }
};
struct OptionsFree {
    void operator()(GMimeParserOptions* options) const { g_mime_parser_options_free(options); }
};
template <class T>
using GPtr = std::unique_ptr<T, ObjectUnref>;
using OptionsPtr = std::unique_ptr<GMimeParserOptions, OptionsFree>;
using StringPtr = std::unique_ptr<gchar, GFree>;

void ensureGMime() {
    static std::once_flag once;
    std::call_once(once, [] { g_mime_init(); });
}

std::string localized(const char* key) {
    return foundation::Bundle::main().localizedStringForKey(key);
}

std::string_view trimmed(std::string_view text) {
    const auto first = text.find_first_not_of(" \t\r\n");
    if (first == std::string_view::npos) return {};
    return text.substr(first, text.find_last_not_of(" \t\r\n") - first + 1);
}

// Header text the user typed: a line break becomes a space, so that it can never end the
// header and start one of its own.
std::string oneLine(std::string_view text) {
    std::string out;
    out.reserve(text.size());
    for (char c : text) {
        if (c == '\r' || c == '\n') {
            if (out.empty() || out.back() != ' ') out += ' ';
        } else if (c != '\0') {
            out += c;
        }
    }
    return out;
}

// The parse of an address list, with the pieces GMime skipped as unreadable. A loose parse
// would turn "a@b.c <x@y.z>" into a mailbox named "a@b.c"; the user meant something else, so
// we ask for the strict reading. Line breaks count as spaces, so that none can reach a name
// in the header, where it would be encoded and then refused by readers.
struct ParsedAddresses {
    GPtr<InternetAddressList> list;
    std::vector<std::string> unreadable;
};

ParsedAddresses parseAddresses(std::string_view text) {
    ensureGMime();
    ParsedAddresses parsed;
    OptionsPtr options(g_mime_parser_options_new());
    g_mime_parser_options_set_address_compliance_mode(options.get(), GMIME_RFC_COMPLIANCE_STRICT);
    g_mime_parser_options_set_warning_callback(
        options.get(),
        [](gint64, GMimeParserWarning, const gchar* item, gpointer unreadable) {
            static_cast<std::vector<std::string>*>(unreadable)->emplace_back(item ? item : "");
        },
        &parsed.unreadable);
    parsed.list.reset(internet_address_list_parse(options.get(), oneLine(text).c_str()));
    return parsed;
}

void collectMailboxes(InternetAddressList* list, std::vector<std::string>& addresses) {
    const int count = internet_address_list_length(list);
    for (int i = 0; i < count; ++i) {
        InternetAddress* address = internet_address_list_get_address(list, i);
        if (INTERNET_ADDRESS_IS_GROUP(address)) {
            collectMailboxes(internet_address_group_get_members(INTERNET_ADDRESS_GROUP(address)),
                             addresses);
        } else if (INTERNET_ADDRESS_IS_MAILBOX(address)) {
            addresses.emplace_back(
                internet_address_mailbox_get_addr(INTERNET_ADDRESS_MAILBOX(address)));
        }
    }
}

// "bob", "bob@" and "@example.com" are a start the user has not finished; anything else
// GMime cannot read is simply wrong.
std::string describeBadAddress(std::string_view piece) {
    std::string_view core = trimmed(piece);
    while (!core.empty() && (core.back() == '>' || core.back() == ' ')) core.remove_suffix(1);
    const auto at = core.rfind('@');
    const bool unfinished = at == std::string_view::npos || at == 0 || at + 1 == core.size();
    const char* format =
        unfinished ? "“%@” is not a complete address" : "“%@” is not a valid address";
    return foundation::detail::format(localized(format), std::string(trimmed(piece)));
}

std::string domainOf(InternetAddressList* list) {
    std::vector<std::string> addresses;
    if (list) collectMailboxes(list, addresses);
    for (const std::string& address : addresses)
        if (const auto at = address.rfind('@'); at != std::string::npos && at + 1 < address.size())
            return address.substr(at + 1);
    return g_get_host_name();
}

void setDate(GMimeMessage* message, std::chrono::system_clock::time_point date) {
    const auto seconds =
        std::chrono::duration_cast<std::chrono::seconds>(date.time_since_epoch()).count();
    GDateTime* local = g_date_time_new_from_unix_local(seconds);
    if (!local) return;
    g_mime_message_set_date(message, local);
    g_date_time_unref(local);
}

// GMime's own text setter would re-encode the text into the smallest charset that holds
// it; the body stays the UTF-8 the user typed, labelled as such.
GMimeObject* bodyPart(const MailDraft& draft) {
    GMimeTextPart* part = g_mime_text_part_new_with_subtype(draft.bodyIsHtml ? "html" : "plain");
    StringPtr valid(g_utf8_make_valid(draft.body.data(), static_cast<gssize>(draft.body.size())));
    GPtr<GMimeStream> stream(
        g_mime_stream_mem_new_with_buffer(valid.get(), std::strlen(valid.get())));
    GPtr<GMimeDataWrapper> content(
        g_mime_data_wrapper_new_with_stream(stream.get(), GMIME_CONTENT_ENCODING_DEFAULT));
    g_mime_part_set_content(GMIME_PART(part), content.get());
    g_mime_text_part_set_charset(part, "utf-8");
    g_mime_part_set_content_encoding(
        GMIME_PART(part),
        g_mime_part_get_best_content_encoding(GMIME_PART(part), GMIME_ENCODING_CONSTRAINT_7BIT));
    return GMIME_OBJECT(part);
}

GMimeObject* attachmentPart(const MailAttachment& attachment) {
    GPtr<GMimeContentType> type(
        g_mime_content_type_parse(nullptr, oneLine(attachment.mimeType).c_str()));
    GMimePart* part = g_mime_part_new_with_type(g_mime_content_type_get_media_type(type.get()),
                                                g_mime_content_type_get_media_subtype(type.get()));
    g_mime_part_set_filename(part, oneLine(attachment.fileName).c_str());
    g_mime_part_set_content_encoding(part, GMIME_CONTENT_ENCODING_BASE64);
    GPtr<GMimeStream> stream(g_mime_stream_mem_new_with_buffer(
        reinterpret_cast<const char*>(attachment.data.data()), attachment.data.size()));
    GPtr<GMimeDataWrapper> content(
        g_mime_data_wrapper_new_with_stream(stream.get(), GMIME_CONTENT_ENCODING_DEFAULT));
    g_mime_part_set_content(part, content.get());
    return GMIME_OBJECT(part);
}

std::vector<std::uint8_t> serialise(GMimeMessage* message, std::size_t expectedSize) {
    GByteArray* buffer = g_byte_array_sized_new(static_cast<guint>(expectedSize));
    GPtr<GMimeStream> stream(g_mime_stream_mem_new_with_byte_array(buffer));
    g_mime_object_write_to_stream(GMIME_OBJECT(message), nullptr, stream.get());
    return {buffer->data, buffer->data + buffer->len};
}

}  // namespace

std::optional<std::string> addressListError(std::string_view text) {
    if (trimmed(text).find_first_not_of(", \t\r\n") == std::string_view::npos)
        return localized("No address yet");
    // GMime reads up to the first NUL; what follows it would be silently dropped.
    if (text.find('\0') != std::string_view::npos) return describeBadAddress(text);
    const ParsedAddresses parsed = parseAddresses(text);
    if (!parsed.unreadable.empty()) return describeBadAddress(parsed.unreadable.front());
    if (!parsed.list) return describeBadAddress(text);
    std::vector<std::string> addresses;
    collectMailboxes(parsed.list.get(), addresses);
    for (const std::string& address : addresses)
        if (address.find('@') == std::string::npos) return describeBadAddress(address);
    if (addresses.empty()) return localized("No address yet");
    return std::nullopt;
}

BuiltMessage buildMessage(const MailDraft& draft, std::chrono::system_clock::time_point date) {
    if (auto error = addressListError(draft.to)) return {{}, *error};
    if (!draft.from.empty()) {
        if (auto error = addressListError(draft.from))
            return {{}, localized("The sender's address is not usable:") + " " + *error};
    }
    ParsedAddresses to = parseAddresses(draft.to);
    ParsedAddresses from = parseAddresses(draft.from);

    GPtr<GMimeMessage> message(g_mime_message_new(TRUE));
    if (from.list)
        internet_address_list_append(
            g_mime_message_get_addresses(message.get(), GMIME_ADDRESS_TYPE_FROM), from.list.get());
    internet_address_list_append(g_mime_message_get_addresses(message.get(), GMIME_ADDRESS_TYPE_TO),
                                 to.list.get());
    const std::string subject = oneLine(draft.subject);
    StringPtr validSubject(g_utf8_make_valid(subject.data(), static_cast<gssize>(subject.size())));
    g_mime_message_set_subject(message.get(), validSubject.get(), "utf-8");
    setDate(message.get(), date);
    StringPtr id(g_mime_utils_generate_message_id(domainOf(from.list.get()).c_str()));
    g_mime_message_set_message_id(message.get(), id.get());

    GPtr<GMimeMultipart> mixed(g_mime_multipart_new_with_subtype("mixed"));
    GPtr<GMimeObject> body(bodyPart(draft));
    g_mime_multipart_add(mixed.get(), body.get());
    for (const MailAttachment& attachment : draft.attachments) {
        GPtr<GMimeObject> part(attachmentPart(attachment));
        g_mime_multipart_add(mixed.get(), part.get());
    }
    g_mime_message_set_mime_part(message.get(), GMIME_OBJECT(mixed.get()));
    return {serialise(message.get(), encodedMessageSize(draft)), {}};
}

std::size_t encodedMessageSize(const MailDraft& draft) {
    // Headers and part headers: what GMime writes around the content, give or take a line.
    constexpr std::size_t kMessageHeaders = 400;
    constexpr std::size_t kPartHeaders = 160;
    // Base64 turns 3 bytes into 4 and ends every 76 characters with a line break.
    const auto base64 = [](std::size_t bytes) {
        const std::size_t characters = (bytes + 2) / 3 * 4;
        return characters + (characters + 75) / 76;
    };
    std::size_t size = kMessageHeaders + draft.from.size() + draft.to.size() +
                       draft.subject.size() * 3 + kPartHeaders + draft.body.size();
    for (const MailAttachment& attachment : draft.attachments)
        size += kPartHeaders + attachment.mimeType.size() + 2 * attachment.fileName.size() +
                base64(attachment.data.size());
    return size;
}

}  // namespace platform::media
