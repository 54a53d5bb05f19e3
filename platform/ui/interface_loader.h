#pragma once

#include <functional>
#include <map>
#include <memory>
#include <stdexcept>
#include <string>
#include <string_view>

#include "platform/ui/control.h"
#include "platform/ui/navigation_bar.h"
#include "platform/ui/view.h"
#include "platform/ui/view_controller.h"

namespace platform::ui {

class InterfaceConnectable;

// One object of an interface resource, by what it is.
struct InterfaceObject {
    std::shared_ptr<View> view;
    std::shared_ptr<ViewController> controller;
    std::shared_ptr<BarButtonItem> barButtonItem;
    std::shared_ptr<void> object;  // whatever else, owning
    InterfaceConnectable* connectable = nullptr;

    // Something to hold weakly as an action's target.
    std::weak_ptr<const void> weakTarget() const;
};

// Application classes named in interface resources take their outlets and name their
// actions through this.
class InterfaceConnectable {
  public:
    virtual ~InterfaceConnectable() = default;
    // Sets the outlet through its setter; false when the class has no outlet of that name.
    virtual bool setOutlet(std::string_view name, const InterfaceObject& value) = 0;
    // The action of that name, or an empty function when there is none.
    virtual std::function<void(Control*)> actionNamed(std::string_view name) = 0;
};

class InterfaceError : public std::runtime_error {
  public:
    using std::runtime_error::runtime_error;
};

// Interface resources are JSON files "<name>.json" among the application's resources:
//   {"objects": [{"id": "...", "class": "...", ...properties, "subviews": [ids]}],
//    "outlets": [{"from": id, "outlet": name, "to": id}],
//    "actions": [{"from": id, "event": mask, "to": id, "action": name}]}
// The id "owner" stands for the object that asked for the resource.
class InterfaceLoader {
  public:
    using Factory = std::function<InterfaceObject()>;
    static void registerClass(std::string className, Factory factory);

    // Creates, sets up and connects every object; throws InterfaceError naming the file
    // and the fault when the resource is missing or malformed.
    static std::map<std::string, InterfaceObject> load(std::string_view name,
                                                       const InterfaceObject* owner = nullptr);
    // The same for a resource's text in hand; `name` only names it in the messages.
    static std::map<std::string, InterfaceObject> loadText(std::string_view name,
                                                           std::string_view text,
                                                           const InterfaceObject* owner = nullptr);
};

}  // namespace platform::ui
