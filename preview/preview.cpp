#include "preview/preview.h"

#include "platform/foundation/log.h"

namespace preview {

using platform::foundation::log;

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
    navigationItem().setRightBarButtonItem(mail);
}

void Preview::viewDidAppear(bool) {
    if (scrollView) view()->addSubview(scrollView);
    if (scrollView && imageView) scrollView->addSubview(imageView);
}

void Preview::viewDidDisappear(bool) {
    removeActivityIndicator();
}

void Preview::close() {
    dismissModalViewControllerAnimated(true);
    if (auto shown = getImageView()) shown->setImage(nullptr);
}

void Preview::back() {
    view()->removeFromSuperview();
    log("dismiss");
}

void Preview::emailImage(platform::ui::Control*) {
    log("asd>>>");
}

std::shared_ptr<platform::ui::View> Preview::viewForZoomingInScrollView(platform::ui::ScrollView&) {
    return imageView;
}

bool Preview::navigationBarShouldPopItem(platform::ui::NavigationBar&,
                                         platform::ui::NavigationItem&) {
    return imageView && imageView->image();
}

void Preview::touchesBegan(const platform::ui::Touches&) {
    log("touch");
}

}  // namespace preview
