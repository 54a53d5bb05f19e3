#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "platform/graphics/image.h"
#include "platform/media/mail_message.h"
#include "platform/media/mail_transport.h"
#include "platform/ui/view_controller.h"

namespace platform::foundation {
class WorkQueue;
}

namespace platform::ui {
class ActivityIndicator;
class ImageView;
class Label;
class TextField;
}  // namespace platform::ui

namespace platform::media {

enum class MailComposeResult { Cancelled = 0, Saved = 1, Sent = 2, Failed = 3 };

class MailComposeViewController;

class MailComposeDelegate {
  public:
    virtual ~MailComposeDelegate() = default;
    virtual void mailComposeControllerDidFinishWithResult(
        MailComposeViewController& composer, MailComposeResult result,
        const std::optional<std::string>& error) = 0;
};

// A new message for the user to address, edit and send, presented modally: To, Subject,
// the attachment and the body under a bar with Cancel and Send. Sending goes through
// MailTransport while the screen shows its progress; the delegate hears how it ended and
// takes the composer away (the composer never dismisses itself).
class MailComposeViewController : public ui::ViewController {
  public:
    MailComposeViewController();
    ~MailComposeViewController() override;

    static bool canSendMail();

    void setMailComposeDelegate(std::weak_ptr<MailComposeDelegate> delegate) {
        delegate_ = std::move(delegate);
    }
    void setSubject(std::string subject);
    void setToRecipients(std::vector<std::string> recipients);
    void addAttachmentData(std::vector<std::uint8_t> data, std::string mimeType,
                           std::string fileName);
    void setMessageBody(std::string body, bool isHtml);

    // The fields as typed, the (first) attachment, and whether Send is on.
    const std::string& to() const;
    const std::string& subject() const;
    const std::string& body() const;
    struct AttachmentInfo {
        std::string name, type;
        std::size_t bytes;
    };
    std::optional<AttachmentInfo> attachment() const;
    // To holds at least one address, every part of it valid, and nothing is being sent.
    bool canSend() const;
    bool isSending() const { return sending_; }

    // As the Send button: the message goes to MailTransport::send, then the delegate hears
    // Sent, Saved (the message waits in the outbox) or Failed with the reason.
    void send();
    // As the Cancel button: asks nothing and reports Cancelled; a send under way is no
    // longer reported.
    void cancel();

    // What the screen shows beyond the fields, for those who look at it.
    std::optional<std::string> addressProblem() const;
    bool warnsOfSize() const;

    void loadView() override;
    void viewDidAppear(bool animated) override;
    // Tab and Shift+Tab go round the fields, Return on a single line moves on, Escape is
    // Cancel.
    bool keyDown(const ui::KeyPress& key) override;

  private:
    // Screen (mail_compose_screen.cpp): the views, their places and their states.
    void buildRows(ui::View& root);
    void refresh();
    void layoutRows();
    void focusField(int step);
    // Attachment (mail_compose_attachment.cpp): its row, its picture decoded off the main
    // thread, and the size warning.
    void showAttachment();
    void decodeThumbnail(const MailAttachment& attachment);
    // Sending.
    void syncDraft();
    void reportSent(std::uint64_t generation, const MailTransport::Report& report);
    void finish(MailComposeResult result, std::optional<std::string> error);

    std::weak_ptr<MailComposeDelegate> delegate_;
    // The message as it stands; the fields' texts are copied in whenever they change.
    MailDraft draft_;
    bool sending_ = false;
    // Every send and cancel counts; a report of an earlier send is not passed on.
    std::uint64_t sendGeneration_ = 0;

    std::shared_ptr<ui::TextField> toField_;
    std::shared_ptr<ui::TextField> subjectField_;
    std::shared_ptr<ui::TextField> bodyField_;
    std::shared_ptr<ui::Label> subjectLabel_;
    std::shared_ptr<ui::View> sendDimmer_;
    std::shared_ptr<ui::TextField> addressNote_;
    std::shared_ptr<ui::TextField> sizeNote_;
    std::vector<std::shared_ptr<ui::View>> separators_;
    std::shared_ptr<ui::View> attachmentRow_;
    std::shared_ptr<ui::ImageView> thumbnail_;
    std::shared_ptr<ui::ActivityIndicator> thumbnailSpinner_;
    std::shared_ptr<ui::Label> attachmentLabel_;
    std::shared_ptr<ui::View> sendingPanel_;
    std::shared_ptr<ui::ActivityIndicator> sendingSpinner_;
    // The attachment's small picture: being decoded, or as decoded (null if it cannot be).
    bool thumbnailPending_ = false;
    graphics::ImagePtr thumbnailPicture_;
    std::unique_ptr<foundation::WorkQueue> pictureWork_;
};

}  // namespace platform::media
