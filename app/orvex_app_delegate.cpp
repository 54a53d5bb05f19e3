#include "app/orvex_app_delegate.h"

namespace app {

OrvexAppDelegate::~OrvexAppDelegate() {
    viewController = nullptr;
    window = nullptr;
}

bool OrvexAppDelegate::applicationDidFinishLaunchingWithOptions() {
    auto first = viewController->view();
    window->addSubview(first);
    window->makeKeyAndVisible();
    return true;
}

bool OrvexAppDelegate::setOutlet(std::string_view name,
                                 const platform::ui::InterfaceObject& value) {
    if (name == "window") {
        auto w = std::dynamic_pointer_cast<platform::ui::Window>(value.view);
        if (!w) return false;
        setWindow(std::move(w));
        return true;
    }
    if (name == "viewController") {
        auto c = std::dynamic_pointer_cast<capture::OrvexViewController>(value.controller);
        if (!c) return false;
        setViewController(std::move(c));
        return true;
    }
    return false;
}

}  // namespace app
