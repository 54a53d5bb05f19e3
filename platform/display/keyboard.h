#pragma once

#include <functional>
#include <optional>
#include <string>
#include <string_view>

#include "platform/ui/responder.h"
#include "platform/ui/window.h"

namespace platform::display {

// What the keys do, the same from the SDL window and from a headless script.

// A key by its name, in any case: "Up", "Down", "Left", "Right", "PageUp", "PageDown",
// "Home", "End", "plus" (or "+"), "minus" (or "-"), "Return" (or "Enter"), "Tab",
// "Backspace", "Delete", "Escape", "space".
std::optional<ui::KeyPress> keyNamed(std::string_view name);
// Those names, for a message that lists them.
std::string keyNames();

// The window's responders see the key first (a focused field, the scroll view on top);
// what none of them takes has the keyboard's own meaning: Escape calls `escape`, Space
// touches the live picture, except while a field takes typed text. A key never lifts a
// finger that is down. True if the key did something.
bool pressKey(ui::Window& window, const ui::KeyPress& key, const std::function<void()>& escape);

// The digits 1, 2, ... touch the tab bar's items, counted from the left; while a field
// takes typed text they are only text, and do nothing here.
bool pressDigit(ui::Window& window, int digit);

}  // namespace platform::display
