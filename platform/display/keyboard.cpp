#include "platform/display/keyboard.h"

#include <algorithm>
#include <array>
#include <cctype>
#include <utility>

#include "platform/display/keyboard_touches.h"

namespace platform::display {

namespace {

using ui::Key;

// The first name of each key is the one keyNames() lists.
constexpr std::array<std::pair<std::string_view, Key>, 20> kNames{{
    {"Up", Key::Up},         {"Down", Key::Down},
    {"Left", Key::Left},     {"Right", Key::Right},
    {"PageUp", Key::PageUp}, {"PageDown", Key::PageDown},
    {"Home", Key::Home},     {"End", Key::End},
    {"plus", Key::Plus},     {"+", Key::Plus},
    {"minus", Key::Minus},   {"-", Key::Minus},
    {"Return", Key::Return}, {"Enter", Key::Return},
    {"Tab", Key::Tab},       {"Backspace", Key::Backspace},
    {"Delete", Key::Delete}, {"Escape", Key::Escape},
    {"space", Key::Space},   {"Space", Key::Space},
}};

bool sameLetters(std::string_view a, std::string_view b) {
    return std::equal(a.begin(), a.end(), b.begin(), b.end(), [](char x, char y) {
        return std::tolower(static_cast<unsigned char>(x)) ==
               std::tolower(static_cast<unsigned char>(y));
    });
}

bool tapIfShown(ui::Window& window, std::optional<foundation::Point> point) {
    if (!point || window.isTouchDown()) return false;
    window.tap(*point);
    return true;
}

}  // namespace

std::optional<ui::KeyPress> keyNamed(std::string_view name) {
    for (const auto& [known, key] : kNames)
        if (sameLetters(name, known)) return ui::KeyPress{key};
    return std::nullopt;
}

std::string keyNames() {
    std::string names;
    std::optional<Key> previous;
    for (const auto& [name, key] : kNames) {
        if (key == previous) continue;
        previous = key;
        if (!names.empty()) names += ", ";
        names += name;
    }
    return names;
}

bool pressKey(ui::Window& window, const ui::KeyPress& key, const std::function<void()>& escape) {
    if (window.keyDown(key)) return true;
    if (key.key == Key::Escape) {
        if (!escape) return false;
        escape();
        return true;
    }
    if (key.key == Key::Space && !window.isEditingText())
        return tapIfShown(window, livePictureTouchPoint(window));
    return false;
}

bool pressDigit(ui::Window& window, int digit) {
    if (digit < 1 || window.isEditingText()) return false;
    return tapIfShown(window, tabItemTouchPoint(window, static_cast<std::size_t>(digit - 1)));
}

}  // namespace platform::display
