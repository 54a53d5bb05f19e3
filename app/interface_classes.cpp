#include "app/interface_classes.h"

#include "app/orvex_app_delegate.h"
#include "capture/orvex_view_controller.h"

namespace app {

void registerInterfaceClasses() {
    using platform::ui::InterfaceLoader;
    using platform::ui::InterfaceObject;
    InterfaceLoader::registerClass("OrvexAppDelegate", [] {
        auto delegate = std::make_shared<OrvexAppDelegate>();
        InterfaceObject o;
        o.object = delegate;
        o.connectable = delegate.get();
        return o;
    });
    InterfaceLoader::registerClass("OrvexViewController", [] {
        auto controller = std::make_shared<capture::OrvexViewController>();
        InterfaceObject o;
        o.controller = controller;
        o.connectable = controller.get();
        return o;
    });
}

}  // namespace app
