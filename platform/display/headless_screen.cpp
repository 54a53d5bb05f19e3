#include "platform/display/headless_screen.h"

#include "platform/foundation/run_loop.h"

namespace platform::display {

HeadlessScreen::HeadlessScreen(std::shared_ptr<ui::Window> window, float scale)
    : compositor_(std::move(window), scale) {}

std::optional<std::string> HeadlessScreen::screenshot(const std::filesystem::path& path) {
    compositor_.compose(foundation::RunLoop::main().now());
    return compositor_.writePng(path);
}

}  // namespace platform::display
