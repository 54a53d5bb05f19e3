#include <array>

#include "platform/foundation/bundle.h"
#include "platform/media/mail_compose_view_controller.h"
#include "platform/ui/activity_indicator.h"
#include "platform/ui/drawing/look.h"
#include "platform/ui/image_view.h"
#include "platform/ui/label.h"
#include "platform/ui/text_field.h"
#include "platform/ui/window.h"

namespace platform::media {

using foundation::Rect;
using ui::Color;

namespace {

constexpr Rect kScreen{0, 0, 320, 480};
constexpr float kBarHeight = 44;
constexpr float kRowHeight = 44;
constexpr float kLabelX = 12;
constexpr float kFieldX = 80;
constexpr float kNoteX = 8;
constexpr float kAttachmentHeight = 76;
constexpr float kFieldFontSize = 15;
constexpr float kNoteFontSize = 12;

constexpr Color kBackground{0.08f, 0.08f, 0.09f, 1.0f};  // as the photo library's
constexpr Color kProblem{1.0f, 0.47f, 0.42f, 1.0f};
constexpr Color kPlaceholder{0.2f, 0.2f, 0.22f, 1.0f};
constexpr Color kSendingShade{0.0f, 0.0f, 0.0f, 0.6f};
constexpr float kDimming = 0.6f;

std::string localized(const char* key) {
    return foundation::Bundle::main().localizedStringForKey(key);
}

// Laid over the Send item while it cannot send: the bar's own gradient, part seen through,
// so that the item fades and the bar around it does not change.
class DimmedItem : public ui::View {
  public:
    using View::View;
    void draw(graphics::DrawingContext& context) const override {
        context.fillGradient(bounds(), ui::look::kBarTop.withAlpha(kDimming),
                             ui::look::kBarBottom.withAlpha(kDimming));
    }
};

std::shared_ptr<ui::Label> rowLabel(const char* key, float y) {
    auto label = std::make_shared<ui::Label>(Rect{kLabelX, y, kFieldX - kLabelX, kRowHeight});
    label->setText(localized(key));
    label->setFontSize(kFieldFontSize);
    label->setTextColor(ui::look::kInactive);
    return label;
}

// A sentence under a row, wrapped to the screen's width.
std::shared_ptr<ui::TextField> note(Color color) {
    auto note = std::make_shared<ui::TextField>(Rect{}, ui::TextField::Lines::Multiple);
    note->setEditable(false);
    note->setUserInteractionEnabled(false);
    note->setFontSize(kNoteFontSize);
    note->setTextColor(color);
    note->setHidden(true);
    return note;
}

// Gives a shown note the height of its lines; the y below it.
float placeNote(ui::TextField& note, float y) {
    if (note.isHidden()) return y;
    note.setFrame({kNoteX, y, kScreen.width() - 2 * kNoteX, 1});
    const float height = note.contentHeight();
    note.setFrame({kNoteX, y, kScreen.width() - 2 * kNoteX, height});
    return y + height;
}

std::shared_ptr<ui::View> separator() {
    auto line = std::make_shared<ui::View>();
    line->setBackgroundColor(ui::look::kHairline);
    line->setUserInteractionEnabled(false);
    return line;
}

}  // namespace

void MailComposeViewController::loadView() {
    auto root = std::make_shared<ui::View>(kScreen);
    root->setBackgroundColor(kBackground);
    setView(root);
    buildRows(*root);

    std::weak_ptr<MailComposeViewController> weak =
        std::static_pointer_cast<MailComposeViewController>(shared_from_this());
    auto bar = std::make_shared<ui::NavigationBar>(Rect{0, 0, kScreen.width(), kBarHeight});
    auto item = std::make_shared<ui::NavigationItem>();
    item->setTitle(localized("New Message"));
    auto cancelItem = std::make_shared<ui::BarButtonItem>(localized("Cancel"));
    cancelItem->setAction([weak] {
        if (auto self = weak.lock()) self->cancel();
    });
    auto sendItem = std::make_shared<ui::BarButtonItem>(localized("Send"));
    sendItem->setAction([weak] {
        if (auto self = weak.lock()) self->send();
    });
    item->setLeftBarButtonItem(cancelItem);
    item->setRightBarButtonItem(sendItem);
    bar->setItems({item});
    const Rect slot = bar->rightItemRect();
    // Short of the bar's lower edge, whose line stays as it is.
    sendDimmer_ = std::make_shared<DimmedItem>(Rect{slot.x(), 0, slot.width(), slot.height() - 1});
    sendDimmer_->setUserInteractionEnabled(false);
    bar->addSubview(sendDimmer_);
    root->addSubview(bar);

    for (const auto& field : {toField_, subjectField_, bodyField_}) {
        field->setEditingChangedHandler([weak] {
            if (auto self = weak.lock()) self->refresh();
        });
    }

    sendingPanel_ = std::make_shared<ui::View>(
        Rect{0, kBarHeight, kScreen.width(), kScreen.height() - kBarHeight});
    sendingPanel_->setBackgroundColor(kSendingShade);
    sendingPanel_->setHidden(true);
    sendingSpinner_ = std::make_shared<ui::ActivityIndicator>(Rect{140, 140, 40, 40});
    auto sendingLabel = std::make_shared<ui::Label>(Rect{0, 188, kScreen.width(), 24});
    sendingLabel->setText(localized("Sending…"));
    sendingLabel->setTextColor(ui::look::kText);
    sendingLabel->setTextAlignment(ui::TextAlignment::Center);
    sendingPanel_->addSubview(sendingSpinner_);
    sendingPanel_->addSubview(sendingLabel);
    root->addSubview(sendingPanel_);

    refresh();
}

void MailComposeViewController::buildRows(ui::View& root) {
    for (const auto& field : {toField_, subjectField_, bodyField_}) {
        field->setFontSize(kFieldFontSize);
        root.addSubview(field);
    }
    root.addSubview(rowLabel("To:", kBarHeight));
    subjectLabel_ = rowLabel("Subject:", 0);
    root.addSubview(subjectLabel_);
    addressNote_ = note(kProblem);
    sizeNote_ = note(ui::look::kAccent);
    root.addSubview(addressNote_);
    root.addSubview(sizeNote_);
    for (int i = 0; i < 3; ++i) {
        separators_.push_back(separator());
        root.addSubview(separators_.back());
    }

    attachmentRow_ = std::make_shared<ui::View>();
    attachmentRow_->setUserInteractionEnabled(false);
    thumbnail_ = std::make_shared<ui::ImageView>(Rect{kLabelX, 8, 60, 60});
    thumbnail_->setBackgroundColor(kPlaceholder);
    thumbnail_->setContentMode(ui::ContentMode::ScaleAspectFill);
    thumbnail_->setClipsToBounds(true);
    thumbnailSpinner_ = std::make_shared<ui::ActivityIndicator>(Rect{20, 20, 20, 20});
    thumbnailSpinner_->setActivityIndicatorViewStyle(ui::ActivityIndicator::Style::White);
    thumbnail_->addSubview(thumbnailSpinner_);
    attachmentLabel_ = std::make_shared<ui::Label>(
        Rect{kLabelX + 72, 0, kScreen.width() - kLabelX - 84, kAttachmentHeight});
    attachmentLabel_->setFontSize(14);
    attachmentLabel_->setTextColor(ui::look::kInactive);
    attachmentRow_->addSubview(thumbnail_);
    attachmentRow_->addSubview(attachmentLabel_);
    root.addSubview(attachmentRow_);
}

// Rows stack down from the bar: To (and what is wrong with it), Subject, the attachment
// (and the size warning); the body takes the rest.
void MailComposeViewController::layoutRows() {
    const float fieldWidth = kScreen.width() - kFieldX - 4;
    const float lineWidth = kScreen.width() - kLabelX;
    float y = kBarHeight;
    toField_->setFrame({kFieldX, y, fieldWidth, kRowHeight});
    y = placeNote(*addressNote_, y + kRowHeight - 6);
    separators_[0]->setFrame({kLabelX, y, lineWidth, 1});
    y += 1;
    subjectLabel_->setFrame({kLabelX, y, kFieldX - kLabelX, kRowHeight});
    subjectField_->setFrame({kFieldX, y, fieldWidth, kRowHeight});
    y += kRowHeight;
    separators_[1]->setFrame({kLabelX, y, lineWidth, 1});
    y += 1;
    if (!attachmentRow_->isHidden()) {
        attachmentRow_->setFrame({0, y, kScreen.width(), kAttachmentHeight});
        y = placeNote(*sizeNote_, y + kAttachmentHeight - 8);
        separators_[2]->setFrame({kLabelX, y, lineWidth, 1});
        y += 1;
    }
    separators_[2]->setHidden(attachmentRow_->isHidden());
    bodyField_->setFrame({kNoteX, y, kScreen.width() - 2 * kNoteX, kScreen.height() - y});
}

void MailComposeViewController::refresh() {
    syncDraft();
    if (!sendingPanel_) return;  // the view is not made yet
    const auto problem = addressProblem();
    addressNote_->setText(problem.value_or(""));
    addressNote_->setHidden(!problem);
    showAttachment();
    sendDimmer_->setHidden(canSend());
    for (const auto& field : {toField_, subjectField_, bodyField_}) field->setEnabled(!sending_);
    sendingPanel_->setHidden(!sending_);
    if (sending_) {
        sendingSpinner_->startAnimating();
    } else {
        sendingSpinner_->stopAnimating();
    }
    layoutRows();
}

void MailComposeViewController::viewDidAppear(bool) {
    (to().empty() ? toField_ : bodyField_)->becomeFirstResponder();
}

// Round the fields: To, Subject, body, and To again.
void MailComposeViewController::focusField(int step) {
    const std::array<ui::TextField*, 3> order{toField_.get(), subjectField_.get(),
                                              bodyField_.get()};
    int current = step > 0 ? -1 : 0;
    for (int i = 0; i < 3; ++i)
        if (order[static_cast<std::size_t>(i)]->isFirstResponder()) current = i;
    const int next = (current + step + 3) % 3;
    order[static_cast<std::size_t>(next)]->becomeFirstResponder();
}

bool MailComposeViewController::keyDown(const ui::KeyPress& key) {
    if (key.key == ui::Key::Escape) {
        cancel();
        return true;
    }
    if (sending_) return ViewController::keyDown(key);
    if (key.key == ui::Key::Tab) {
        focusField(key.shift ? -1 : 1);
        return true;
    }
    if (key.key == ui::Key::Return && !bodyField_->isFirstResponder()) {
        focusField(1);
        return true;
    }
    return ViewController::keyDown(key);
}

}  // namespace platform::media
