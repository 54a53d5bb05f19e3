#include "platform/ui/interface_loader.h"

#include <fstream>
#include <nlohmann/json.hpp>

#include "platform/foundation/bundle.h"
#include "platform/ui/button.h"
#include "platform/ui/image_named.h"
#include "platform/ui/image_view.h"
#include "platform/ui/label.h"
#include "platform/ui/window.h"

namespace platform::ui {

using nlohmann::json;

namespace {

std::map<std::string, InterfaceLoader::Factory>& registry() {
    static std::map<std::string, InterfaceLoader::Factory> classes;
    return classes;
}

template <class T>
InterfaceObject viewObject(std::shared_ptr<T> view) {
    InterfaceObject o;
    o.view = std::move(view);
    return o;
}

InterfaceObject makeFrameworkObject(const std::string& className) {
    if (className == "View") return viewObject(std::make_shared<View>());
    if (className == "Window") return viewObject(std::make_shared<Window>());
    if (className == "ImageView") return viewObject(std::make_shared<ImageView>());
    if (className == "Label") return viewObject(std::make_shared<Label>());
    if (className == "Button") return viewObject(Button::buttonWithType(Button::Type::Custom));
    if (className == "NavigationBar") return viewObject(std::make_shared<NavigationBar>());
    if (className == "BarButtonItem") {
        InterfaceObject o;
        o.barButtonItem = std::make_shared<BarButtonItem>();
        return o;
    }
    if (auto it = registry().find(className); it != registry().end()) return it->second();
    throw InterfaceError("unknown class \"" + className + "\"");
}

foundation::Rect rectFrom(const json& value) {
    if (!value.is_array() || value.size() != 4) throw InterfaceError("a frame needs four numbers");
    return {value[0].get<float>(), value[1].get<float>(), value[2].get<float>(),
            value[3].get<float>()};
}

Color colorFrom(const json& value) {
    if (!value.is_array() || value.size() != 4) throw InterfaceError("a colour needs four numbers");
    return {value[0].get<float>(), value[1].get<float>(), value[2].get<float>(),
            value[3].get<float>()};
}

TextAlignment alignmentFrom(const std::string& name) {
    if (name == "center") return TextAlignment::Center;
    if (name == "right") return TextAlignment::Right;
    return TextAlignment::Left;
}

// Texts in interface resources are the keys of their translations.
std::string localizedText(const json& text) {
    return foundation::Bundle::main().localizedStringForKey(text.get<std::string>());
}

void setViewProperties(View& view, const json& item) {
    if (item.contains("frame")) view.setFrame(rectFrom(item["frame"]));
    if (item.contains("hidden")) view.setHidden(item["hidden"].get<bool>());
    if (item.contains("userInteractionEnabled"))
        view.setUserInteractionEnabled(item["userInteractionEnabled"].get<bool>());
    if (item.contains("backgroundColor"))
        view.setBackgroundColor(colorFrom(item["backgroundColor"]));
    if (item.contains("tag")) view.setTag(item["tag"].get<int>());
    if (auto* label = dynamic_cast<Label*>(&view)) {
        if (item.contains("text")) label->setText(localizedText(item["text"]));
        if (item.contains("fontSize")) label->setFontSize(item["fontSize"].get<float>());
        if (item.contains("bold")) label->setBold(item["bold"].get<bool>());
        if (item.contains("textColor")) label->setTextColor(colorFrom(item["textColor"]));
        if (item.contains("alignment"))
            label->setTextAlignment(alignmentFrom(item["alignment"].get<std::string>()));
    }
    if (auto* imageView = dynamic_cast<ImageView*>(&view)) {
        if (item.contains("image"))
            imageView->setImage(imageNamed(item["image"].get<std::string>()));
        if (item.contains("contentMode"))
            imageView->setContentMode(static_cast<ContentMode>(item["contentMode"].get<int>()));
    }
    if (auto* button = dynamic_cast<Button*>(&view)) {
        if (item.contains("title")) button->setTitle(localizedText(item["title"]));
        if (item.contains("image")) button->setImage(imageNamed(item["image"].get<std::string>()));
        if (item.contains("backgroundImage"))
            button->setBackgroundImage(imageNamed(item["backgroundImage"].get<std::string>()));
    }
}

void setProperties(InterfaceObject& object, const json& item) {
    if (object.view) setViewProperties(*object.view, item);
    if (object.barButtonItem && item.contains("title"))
        object.barButtonItem->setTitle(localizedText(item["title"]));
}

using Objects = std::map<std::string, InterfaceObject>;

const InterfaceObject& lookUp(const Objects& objects, const std::string& id) {
    auto it = objects.find(id);
    if (it == objects.end()) throw InterfaceError("no object with id \"" + id + "\"");
    return it->second;
}

void addSubviews(const Objects& objects, const json& resource) {
    for (const auto& item : resource["objects"]) {
        if (!item.contains("subviews")) continue;
        const auto& parent = lookUp(objects, item.at("id").get<std::string>());
        if (!parent.view)
            throw InterfaceError("\"" + item.at("id").get<std::string>() + "\" is no view");
        for (const auto& childId : item["subviews"]) {
            const auto& child = lookUp(objects, childId.get<std::string>());
            if (!child.view)
                throw InterfaceError("subview \"" + childId.get<std::string>() + "\" is no view");
            parent.view->addSubview(child.view);
        }
    }
}

void connectOutlet(const InterfaceObject& from, const std::string& outlet,
                   const InterfaceObject& to) {
    if (outlet == "view" && from.controller && to.view) {
        from.controller->setView(to.view);
        return;
    }
    if (from.connectable && from.connectable->setOutlet(outlet, to)) return;
    throw InterfaceError("no outlet \"" + outlet + "\"");
}

void connectAction(const InterfaceObject& from, unsigned event, const InterfaceObject& to,
                   const std::string& actionName) {
    if (!to.connectable)
        throw InterfaceError("the target of \"" + actionName + "\" takes no actions");
    auto action = to.connectable->actionNamed(actionName);
    if (!action) throw InterfaceError("no action \"" + actionName + "\"");
    if (from.barButtonItem) {
        std::weak_ptr<const void> target = to.weakTarget();
        from.barButtonItem->setAction([target, action] {
            if (!target.expired()) action(nullptr);
        });
        return;
    }
    auto control = std::dynamic_pointer_cast<Control>(from.view);
    if (!control) throw InterfaceError("the sender of \"" + actionName + "\" is no control");
    control->addTarget(to.weakTarget(), action, event);
}

json readResource(std::string_view name) {
    const auto path = foundation::Bundle::main().pathForResource(name, "json");
    if (!path) throw InterfaceError("not found among the application's resources");
    std::ifstream in(*path);
    json resource = json::parse(in, nullptr, true, true);
    if (!resource.is_object() || !resource.contains("objects") || !resource["objects"].is_array())
        throw InterfaceError("it has no list of objects");
    return resource;
}

Objects build(const json& resource, const InterfaceObject* owner) {
    Objects objects;
    if (owner) objects["owner"] = *owner;
    for (const auto& item : resource["objects"]) {
        const auto id = item.at("id").get<std::string>();
        if (objects.contains(id)) throw InterfaceError("two objects with id \"" + id + "\"");
        auto object = makeFrameworkObject(item.at("class").get<std::string>());
        setProperties(object, item);
        objects.emplace(id, std::move(object));
    }
    addSubviews(objects, resource);
    for (const auto& o : resource.value("outlets", json::array()))
        connectOutlet(lookUp(objects, o.at("from").get<std::string>()),
                      o.at("outlet").get<std::string>(),
                      lookUp(objects, o.at("to").get<std::string>()));
    for (const auto& a : resource.value("actions", json::array()))
        connectAction(lookUp(objects, a.at("from").get<std::string>()),
                      a.value("event", static_cast<unsigned>(ControlEventTouchUpInside)),
                      lookUp(objects, a.at("to").get<std::string>()),
                      a.at("action").get<std::string>());
    return objects;
}

}  // namespace

std::weak_ptr<const void> InterfaceObject::weakTarget() const {
    if (controller) return controller;
    if (view) return view;
    if (barButtonItem) return barButtonItem;
    return object;
}

void InterfaceLoader::registerClass(std::string className, Factory factory) {
    registry()[std::move(className)] = std::move(factory);
}

Objects InterfaceLoader::load(std::string_view name, const InterfaceObject* owner) {
    const std::string file = std::string(name) + ".json";
    try {
        return build(readResource(name), owner);
    } catch (const InterfaceError& e) {
        throw InterfaceError("interface resource \"" + file + "\": " + e.what());
    } catch (const json::exception& e) {
        throw InterfaceError("interface resource \"" + file + "\" is malformed: " + e.what());
    }
}

}  // namespace platform::ui
