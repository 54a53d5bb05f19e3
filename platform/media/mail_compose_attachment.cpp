#include <cstdio>
#include <new>

#include "platform/foundation/bundle.h"
#include "platform/foundation/log.h"
#include "platform/foundation/work_queue.h"
#include "platform/graphics/decode_image.h"
#include "platform/media/mail_compose_view_controller.h"
#include "platform/media/thumbnail_picture.h"
#include "platform/ui/activity_indicator.h"
#include "platform/ui/image_view.h"
#include "platform/ui/label.h"
#include "platform/ui/text_field.h"

namespace platform::media {

namespace {

// What many servers refuse, counted as the sizes shown are: 1 MB is a million bytes.
constexpr std::size_t kServerLimit = 25'000'000;
// The 60-point picture at two pixels a point.
constexpr int kThumbnailPixels = 120;

std::string localized(const char* key) {
    return foundation::Bundle::main().localizedStringForKey(key);
}

std::string sizeText(std::size_t bytes) {
    const auto value = static_cast<double>(bytes);
    char number[32];
    if (bytes < 1000) return std::to_string(bytes) + " " + localized("bytes");
    if (bytes < 1'000'000) {
        std::snprintf(number, sizeof number, "%.0f", value / 1e3);
        return std::string(number) + " " + localized("KB");
    }
    std::snprintf(number, sizeof number, "%.1f", value / 1e6);
    return std::string(number) + " " + localized("MB");
}

struct Thumbnail {
    graphics::ImagePtr picture;
    std::string error;
};

}  // namespace

void MailComposeViewController::addAttachmentData(std::vector<std::uint8_t> data,
                                                  std::string mimeType, std::string fileName) {
    draft_.attachments.push_back({std::move(data), std::move(mimeType), std::move(fileName)});
    if (draft_.attachments.size() == 1) decodeThumbnail(draft_.attachments.front());
    refresh();
}

bool MailComposeViewController::warnsOfSize() const {
    return encodedMessageSize(draft_) > kServerLimit;
}

// A 12-megapixel PNG takes tens of milliseconds to decode: the screen shows a placeholder
// meanwhile rather than wait.
void MailComposeViewController::decodeThumbnail(const MailAttachment& attachment) {
    if (!attachment.mimeType.starts_with("image/")) return;
    if (!pictureWork_) pictureWork_ = std::make_unique<foundation::WorkQueue>();
    auto bytes = std::make_shared<const std::vector<std::uint8_t>>(attachment.data);
    thumbnailPending_ = true;
    std::weak_ptr<MailComposeViewController> weak =
        std::static_pointer_cast<MailComposeViewController>(shared_from_this());
    pictureWork_->async<Thumbnail>(
        [bytes]() -> Thumbnail {
            try {
                const auto decoded = graphics::decodeImage(*bytes);
                if (!decoded) return {nullptr, decoded.error()};
                return {uprightWithin(decoded.value(), kThumbnailPixels), {}};
            } catch (const std::bad_alloc&) {  // the message goes without its thumbnail
                return {nullptr, "not enough memory for the thumbnail"};
            }
        },
        [weak](Thumbnail thumbnail) {
            auto self = weak.lock();
            if (!self) return;
            if (!thumbnail.picture)
                foundation::logWarning("mail: the attachment shows no picture: %@",
                                       thumbnail.error);
            self->thumbnailPending_ = false;
            self->thumbnailPicture_ = std::move(thumbnail.picture);
            self->showAttachment();
        });
}

// "image · 23.4 MB" beside its picture, and under them, once the message is over what many
// servers take, a word of warning; sending stays possible.
void MailComposeViewController::showAttachment() {
    if (!attachmentRow_) return;
    const auto info = attachment();
    attachmentRow_->setHidden(!info);
    if (info) attachmentLabel_->setText(info->name + " · " + sizeText(info->bytes));
    thumbnail_->setImage(thumbnailPicture_);
    if (thumbnailPending_) {
        thumbnailSpinner_->startAnimating();
    } else {
        thumbnailSpinner_->stopAnimating();
    }
    const bool large = info && warnsOfSize();
    sizeNote_->setHidden(!large);
    if (large)
        sizeNote_->setText(foundation::detail::format(
            localized("Many mail servers refuse messages over 25 MB. This one is about %@."),
            sizeText(encodedMessageSize(draft_))));
}

}  // namespace platform::media
