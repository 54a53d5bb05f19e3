#pragma once

#include <memory>

#include "capture/orvex_view_controller.h"
#include "platform/ui/interface_loader.h"
#include "platform/ui/window.h"

namespace app {

// Puts the capture screen into the window when launching has finished.
class OrvexAppDelegate : public platform::ui::InterfaceConnectable {
  public:
    ~OrvexAppDelegate() override;

    bool applicationDidFinishLaunchingWithOptions();

    const std::shared_ptr<platform::ui::Window>& getWindow() const { return window; }
    void setWindow(std::shared_ptr<platform::ui::Window> w) { window = std::move(w); }
    const std::shared_ptr<capture::OrvexViewController>& getViewController() const {
        return viewController;
    }
    void setViewController(std::shared_ptr<capture::OrvexViewController> c) {
        viewController = std::move(c);
    }

    bool setOutlet(std::string_view name, const platform::ui::InterfaceObject& value) override;
    std::function<void(platform::ui::Control*)> actionNamed(std::string_view) override {
        return {};
    }

    std::shared_ptr<platform::ui::Window> window;
    std::shared_ptr<capture::OrvexViewController> viewController;
};

}  // namespace app
