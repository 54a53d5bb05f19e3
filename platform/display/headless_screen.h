#pragma once

#include <filesystem>
#include <memory>
#include <optional>
#include <string>

#include "platform/display/screen_compositor.h"
#include "platform/ui/window.h"

namespace platform::display {

// The screen without a window: composed only when a screenshot asks for it, so an idle
// headless run draws nothing at all. Touches go straight to the window (Window::tap and
// friends), exactly as the window back end delivers them.
class HeadlessScreen {
  public:
    HeadlessScreen(std::shared_ptr<ui::Window> window, float scale);

    // Writes a PNG of the screen as composed at this moment of the main loop's clock;
    // a message saying why if it cannot be written.
    std::optional<std::string> screenshot(const std::filesystem::path& path);

    ScreenCompositor& compositor() { return compositor_; }

  private:
    ScreenCompositor compositor_;
};

}  // namespace platform::display
