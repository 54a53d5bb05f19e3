#pragma once

#include <nlohmann/json.hpp>

#include "app/application.h"

namespace app {

// One line of JSON describing the capture screen, for the headless `state` command.
nlohmann::json describeState(const Application& application);

// What is on top: "capture", "library", "preview" or "mail".
std::string topScreen(const Application& application);

// What a close or cancel control of the screen on top does (the Escape key).
void closeTopScreen(Application& application);

}  // namespace app
