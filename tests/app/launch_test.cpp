#include <gtest/gtest.h>

#include "app/orvex_app_delegate.h"
#include "platform/foundation/run_loop.h"
#include "platform/media/camera_picker_service.h"
#include "platform/media/scripted_camera_source.h"

namespace app {
namespace {

// Records whether the window was already key and visible while the screen was being built.
struct RecordingScreen : capture::OrvexViewController {
    std::shared_ptr<platform::ui::Window> window;
    bool built = false;
    bool windowShownDuringConstruction = false;
    void viewDidLoad() override {
        windowShownDuringConstruction = window->isVisible() || window->isKeyWindow();
        OrvexViewController::viewDidLoad();
        built = true;
    }
};

TEST(LaunchTest, TheScreenIsBuiltBeforeTheWindowIsKeyAndVisible) {
    auto& loop = platform::foundation::RunLoop::main();
    loop.reset();
    platform::media::CameraPickerService::useCamera(
        std::make_shared<platform::media::ScriptedCameraSource>(loop));
    auto delegate = std::make_shared<OrvexAppDelegate>();
    auto screen = std::make_shared<RecordingScreen>();
    delegate->setWindow(std::make_shared<platform::ui::Window>());
    screen->window = delegate->window;
    delegate->setViewController(screen);

    EXPECT_TRUE(delegate->applicationDidFinishLaunchingWithOptions());
    EXPECT_TRUE(screen->built);
    EXPECT_FALSE(screen->windowShownDuringConstruction);
    EXPECT_TRUE(delegate->window->isKeyWindow());
    EXPECT_EQ(screen->view()->superview(), delegate->window);

    delegate.reset();
    screen.reset();
    platform::media::CameraPickerService::useCamera(nullptr);
    loop.reset();
}

}  // namespace
}  // namespace app
