#include "preview/preview.h"

#include "platform/foundation/bundle.h"
#include "platform/foundation/log.h"
#include "platform/ui/navigation_controller.h"

namespace preview {

using platform::foundation::logDebug;

std::shared_ptr<Preview> Preview::fromInterfaceResource(const std::string& name) {
    auto screen = std::make_shared<Preview>();
    platform::ui::InterfaceObject owner;
    owner.controller = screen;
    owner.connectable = screen.get();
    platform::ui::InterfaceLoader::load(name, &owner);
    return screen;
}

Preview::~Preview() {
    if (timer) timer->invalidate();
}

bool Preview::setOutlet(std::string_view name, const platform::ui::InterfaceObject& value) {
    if (name == "mail" && value.barButtonItem) {
        mail = value.barButtonItem;
        return true;
    }
    if (name == "bar" && value.view) {
        bar_ = value.view;
        return true;
    }
    // Shown on the left of the library's navigation bar when the screen is pushed there.
    if (name == "backItem" && value.barButtonItem) {
        navigationItem().setLeftBarButtonItem(value.barButtonItem);
        return true;
    }
    return false;
}

std::function<void(platform::ui::Control*)> Preview::actionNamed(std::string_view name) {
    std::weak_ptr<Preview> weak = std::static_pointer_cast<Preview>(shared_from_this());
    if (name == "close")
        return [weak](platform::ui::Control*) {
            if (auto self = weak.lock()) self->close();
        };
    if (name == "back")
        return [weak](platform::ui::Control*) {
            if (auto self = weak.lock()) self->back();
        };
    if (name == "emailImage:")
        return [weak](platform::ui::Control* sender) {
            if (auto self = weak.lock()) self->emailImage(sender);
        };
    return {};
}

void Preview::viewDidLoad() {
    ViewController::viewDidLoad();
    if (scrollView) view()->addSubview(scrollView);
    if (scrollView && imageView) scrollView->addSubview(imageView);
    keepBarOnTop();
    navigationItem().setRightBarButtonItem(mail);
}

void Preview::viewDidAppear(bool) {
    if (scrollView) view()->addSubview(scrollView);
    if (scrollView && imageView) scrollView->addSubview(imageView);
    keepBarOnTop();
}

// The scroll view does not clip, so that a zoomed picture may reach the screen's edges;
// the bar stays above it, or the zoomed picture would cover the bar's controls.
void Preview::keepBarOnTop() {
    if (auto shown = bar_.lock(); shown && shown->superview() == view()) view()->addSubview(shown);
}

void Preview::viewDidDisappear(bool) {
    removeActivityIndicator();
}

void Preview::close() {
    dismissModalViewControllerAnimated(true);
    if (auto shown = getImageView()) shown->setImage(nullptr);
}

// Taking the view off alone would leave the library's stack or presentation in place with
// nothing on it to press, and the album's next pick could not show the screen again: the
// screen also leaves the stack or presentation that holds it, keeping its picture.
void Preview::back() {
    view()->removeFromSuperview();
    logDebug("dismiss");
    if (auto* stack = navigationController()) {
        stack->popViewControllerAnimated(true);
    } else if (presentingViewController()) {
        dismissModalViewControllerAnimated(true);
    }
}

// Sends the shown picture as the PNG bytes it was decoded from, attached to a new message
// the user addresses in the composer. Every press is logged, also one that does nothing.
void Preview::emailImage(platform::ui::Control*) {
    // Meant as it stands: scripts and the tests watch for this exact line to know the
    // E-mail button was pressed, whether or not a message follows.
    logDebug("asd>>>");
    using platform::media::MailComposeViewController;
    if (!MailComposeViewController::canSendMail()) return;
    if (!imageView || !imageView->image()) return;
    auto composer = std::make_shared<MailComposeViewController>();
    composer->setMailComposeDelegate(std::static_pointer_cast<platform::media::MailComposeDelegate>(
        std::static_pointer_cast<Preview>(shared_from_this())));
    const auto& bundle = platform::foundation::Bundle::main();
    composer->setSubject(bundle.localizedStringForKey("Here's a picture..."));
    composer->addAttachmentData(data, "image/png", "image");
    composer->setMessageBody(
        bundle.localizedStringForKey("Here's a picture that I took with my iPhone."), false);
    presentModalViewController(composer, true);
}

// Whatever became of the message, the composer goes and the picture shows again.
void Preview::mailComposeControllerDidFinishWithResult(
    platform::media::MailComposeViewController& composer, platform::media::MailComposeResult,
    const std::optional<std::string>&) {
    composer.dismissModalViewControllerAnimated(true);
}

std::shared_ptr<platform::ui::View> Preview::viewForZoomingInScrollView(platform::ui::ScrollView&) {
    return imageView;
}

bool Preview::navigationBarShouldPopItem(platform::ui::NavigationBar&,
                                         platform::ui::NavigationItem&) {
    return imageView && imageView->image();
}

void Preview::touchesBegan(const platform::ui::Touches&) {
    logDebug("touch");
}

}  // namespace preview
