#include "platform/media/mail_compose_view_controller.h"

#include "platform/foundation/work_queue.h"
#include "platform/ui/text_field.h"

namespace platform::media {

MailComposeViewController::MailComposeViewController()
    : toField_(std::make_shared<ui::TextField>()),
      subjectField_(std::make_shared<ui::TextField>()),
      bodyField_(
          std::make_shared<ui::TextField>(foundation::Rect{}, ui::TextField::Lines::Multiple)) {}

MailComposeViewController::~MailComposeViewController() = default;

bool MailComposeViewController::canSendMail() {
    return MailTransport::canSendMail();
}

void MailComposeViewController::setSubject(std::string subject) {
    subjectField_->setText(std::move(subject));
    refresh();
}

void MailComposeViewController::setToRecipients(std::vector<std::string> recipients) {
    std::string list;
    for (const auto& recipient : recipients) list += (list.empty() ? "" : ", ") + recipient;
    toField_->setText(std::move(list));
    refresh();
}

void MailComposeViewController::setMessageBody(std::string body, bool isHtml) {
    bodyField_->setText(std::move(body));
    draft_.bodyIsHtml = isHtml;
    refresh();
}

const std::string& MailComposeViewController::to() const {
    return toField_->text();
}
const std::string& MailComposeViewController::subject() const {
    return subjectField_->text();
}
const std::string& MailComposeViewController::body() const {
    return bodyField_->text();
}

std::optional<MailComposeViewController::AttachmentInfo> MailComposeViewController::attachment()
    const {
    if (draft_.attachments.empty()) return std::nullopt;
    const MailAttachment& first = draft_.attachments.front();
    return AttachmentInfo{first.fileName, first.mimeType, first.data.size()};
}

bool MailComposeViewController::canSend() const {
    return !sending_ && !addressListError(to());
}

// Nothing to say about a list the user has not begun.
std::optional<std::string> MailComposeViewController::addressProblem() const {
    if (to().find_first_not_of(" \t") == std::string::npos) return std::nullopt;
    return addressListError(to());
}

void MailComposeViewController::syncDraft() {
    draft_.to = to();
    draft_.subject = subject();
    draft_.body = body();
}

void MailComposeViewController::send() {
    if (!canSend()) return;
    syncDraft();
    sending_ = true;
    const std::uint64_t generation = ++sendGeneration_;
    refresh();
    std::weak_ptr<MailComposeViewController> weak =
        std::static_pointer_cast<MailComposeViewController>(shared_from_this());
    MailTransport::send(draft_, [weak, generation](MailTransport::Report report) {
        if (auto composer = weak.lock()) composer->reportSent(generation, report);
    });
}

void MailComposeViewController::reportSent(std::uint64_t generation,
                                           const MailTransport::Report& report) {
    if (generation != sendGeneration_) return;
    sending_ = false;
    refresh();
    switch (report.outcome) {
        case MailTransport::Outcome::Sent:
            return finish(MailComposeResult::Sent, std::nullopt);
        case MailTransport::Outcome::Queued:
            return finish(MailComposeResult::Saved, std::nullopt);
        case MailTransport::Outcome::Failed:
            return finish(MailComposeResult::Failed, report.detail);
    }
}

void MailComposeViewController::cancel() {
    ++sendGeneration_;
    sending_ = false;
    refresh();
    finish(MailComposeResult::Cancelled, std::nullopt);
}

void MailComposeViewController::finish(MailComposeResult result, std::optional<std::string> error) {
    // The delegate usually dismisses, and may drop the last reference to this composer.
    auto keep = shared_from_this();
    if (auto delegate = delegate_.lock())
        delegate->mailComposeControllerDidFinishWithResult(*this, result, error);
}

}  // namespace platform::media
