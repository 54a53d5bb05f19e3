#include <gtest/gtest.h>

#include "app/orvex_app_delegate.h"
#include "platform/foundation/run_loop.h"
#include "platform/media/camera_picker_service.h"
#include "platform/media/services.h"
#include "tests/support/scripted_camera_source.h"

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
    platform::media::Services world(
        {.cameraSource = std::make_shared<platform::media::ScriptedCameraSource>(
             platform::foundation::RunLoop::main()),
         .album = ::testing::TempDir() + "orvex-launch-album"});
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
}

}  // namespace
}  // namespace app
