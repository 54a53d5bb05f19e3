#pragma once

#include <functional>
#include <string>

namespace platform::ui {

// The text that a paste inserts. A window back end connects the system's clipboard;
// without one (headless, tests) the clipboard is the process's own.
std::string clipboardText();
void setClipboardText(std::string text);

struct ClipboardAccess {
    std::function<std::string()> read;
    std::function<void(const std::string&)> write;
};
// An empty access returns to the process's own clipboard.
void setClipboardAccess(ClipboardAccess access);

}  // namespace platform::ui
