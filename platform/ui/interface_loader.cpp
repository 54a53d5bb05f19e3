#include "platform/ui/interface_loader.h"

#include <array>
#include <cmath>
#include <cstdint>
#include <fstream>
#include <limits>
#include <nlohmann/json.hpp>
#include <utility>

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

// A number is checked against the type it becomes before it is converted: the JSON library
// converts one out of that type's range with undefined behaviour.
float floatFrom(const json& value, const std::string& what) {
    if (!value.is_number()) throw InterfaceError(what + " must be a number");
    const double number = value.get<double>();
    if (!(std::fabs(number) <= std::numeric_limits<float>::max()))
        throw InterfaceError(what + " is out of range: " + value.dump());
    return static_cast<float>(number);
}

template <class Integer>
Integer integerFrom(const json& value, const std::string& what) {
    if (value.is_number_unsigned()) {
        if (const auto n = value.get<std::uint64_t>(); std::in_range<Integer>(n))
            return static_cast<Integer>(n);
    } else if (value.is_number_integer()) {
        if (const auto n = value.get<std::int64_t>(); std::in_range<Integer>(n))
            return static_cast<Integer>(n);
    } else if (value.is_number_float()) {
        const double n = value.get<double>();
        if (n == std::trunc(n) && n >= static_cast<double>(std::numeric_limits<Integer>::min()) &&
            n <= static_cast<double>(std::numeric_limits<Integer>::max()))
            return static_cast<Integer>(n);
    } else {
        throw InterfaceError(what + " must be a number");
    }
    throw InterfaceError(what + " must be a whole number from " +
                         std::to_string(std::numeric_limits<Integer>::min()) + " to " +
                         std::to_string(std::numeric_limits<Integer>::max()) + ", not " +
                         value.dump());
}

// Four numbers: a frame's x, y, width and height, or a colour's red, green, blue and alpha.
std::array<float, 4> fourFrom(const json& value, const std::string& what) {
    if (!value.is_array() || value.size() != 4) throw InterfaceError(what + " needs four numbers");
    std::array<float, 4> numbers{};
    for (std::size_t i = 0; i < numbers.size(); ++i) {
        if (!value[i].is_number()) throw InterfaceError(what + " needs four numbers");
        numbers[i] = floatFrom(value[i], what);
    }
    return numbers;
}

foundation::Rect rectFrom(const json& value) {
    const auto [x, y, width, height] = fourFrom(value, "a frame");
    return {x, y, width, height};
}

Color colorFrom(const json& value) {
    const auto [red, green, blue, alpha] = fourFrom(value, "a colour");
    return {red, green, blue, alpha};
}

ContentMode contentModeFrom(const json& value) {
    const int mode = integerFrom<int>(value, "\"contentMode\"");
    if (mode < static_cast<int>(ContentMode::ScaleToFill) ||
        mode > static_cast<int>(ContentMode::ScaleAspectFill))
        throw InterfaceError("\"contentMode\" must be 0 (fill), 1 (aspect fit) or 2 (aspect fill)");
    return static_cast<ContentMode>(mode);
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
    if (item.contains("tag")) view.setTag(integerFrom<int>(item["tag"], "\"tag\""));
    if (auto* label = dynamic_cast<Label*>(&view)) {
        if (item.contains("text")) label->setText(localizedText(item["text"]));
        if (item.contains("fontSize"))
            label->setFontSize(floatFrom(item["fontSize"], "\"fontSize\""));
        if (item.contains("bold")) label->setBold(item["bold"].get<bool>());
        if (item.contains("textColor")) label->setTextColor(colorFrom(item["textColor"]));
        if (item.contains("alignment"))
            label->setTextAlignment(alignmentFrom(item["alignment"].get<std::string>()));
    }
    if (auto* imageView = dynamic_cast<ImageView*>(&view)) {
        if (item.contains("image"))
            imageView->setImage(imageNamed(item["image"].get<std::string>()));
        if (item.contains("contentMode"))
            imageView->setContentMode(contentModeFrom(item["contentMode"]));
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

json checked(json resource) {
    if (!resource.is_object() || !resource.contains("objects") || !resource["objects"].is_array())
        throw InterfaceError("it has no list of objects");
    return resource;
}

json readResource(std::string_view name) {
    const auto path = foundation::Bundle::main().pathForResource(name, "json");
    if (!path) throw InterfaceError("not found among the application's resources");
    std::ifstream in(*path);
    return checked(json::parse(in, nullptr, true, true));
}

unsigned eventFrom(const json& action) {
    if (!action.contains("event")) return ControlEventTouchUpInside;
    return integerFrom<unsigned>(action["event"], "an action's \"event\"");
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
        connectAction(lookUp(objects, a.at("from").get<std::string>()), eventFrom(a),
                      lookUp(objects, a.at("to").get<std::string>()),
                      a.at("action").get<std::string>());
    return objects;
}

// Every fault of the resource becomes one InterfaceError that names its file.
template <class Read>
Objects buildNamed(std::string_view name, const InterfaceObject* owner, Read read) {
    const std::string file = std::string(name) + ".json";
    try {
        return build(read(), owner);
    } catch (const InterfaceError& e) {
        throw InterfaceError("interface resource \"" + file + "\": " + e.what());
    } catch (const json::exception& e) {
        throw InterfaceError("interface resource \"" + file + "\" is malformed: " + e.what());
    }
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
    return buildNamed(name, owner, [name] { return readResource(name); });
}

Objects InterfaceLoader::loadText(std::string_view name, std::string_view text,
                                  const InterfaceObject* owner) {
    return buildNamed(name, owner,
                      [text] { return checked(json::parse(text, nullptr, true, true)); });
}

}  // namespace platform::ui
