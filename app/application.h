#pragma once

#include <map>
#include <memory>
#include <string>

#include "app/orvex_app_delegate.h"
#include "platform/ui/interface_loader.h"

namespace app {

// The launched application: the objects of the main interface resource, kept alive for
// the life of the process, and its delegate.
class Application {
  public:
    // Reads the settings, loads the main interface resource and runs the launch handler.
    // Throws platform::ui::InterfaceError when a resource is missing or malformed.
    static std::unique_ptr<Application> launch();

    OrvexAppDelegate& delegate() const { return *delegate_; }
    capture::OrvexViewController& captureScreen() const { return *delegate_->viewController; }
    platform::ui::Window& window() const { return *delegate_->window; }

  private:
    std::map<std::string, platform::ui::InterfaceObject> objects_;
    std::shared_ptr<OrvexAppDelegate> delegate_;
};

}  // namespace app
