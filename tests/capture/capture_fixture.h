#pragma once

#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <memory>
#include <string>

#include "app/application.h"
#include "capture/orvex_view_controller.h"
#include "platform/foundation/clock.h"
#include "platform/foundation/log.h"
#include "platform/foundation/run_loop.h"
#include "platform/graphics/decode_image.h"
#include "platform/media/camera_picker_service.h"
#include "platform/media/live_picture_view.h"
#include "platform/media/services.h"
#include "tests/support/scripted_camera_source.h"

namespace capture::testing {

// A camera frame of the given stored size with a gradient, so crops can be told apart.
inline platform::graphics::ImagePtr cameraPicture(
    int width, int height,
    platform::graphics::ImageOrientation tag = platform::graphics::ImageOrientation::Right) {
    auto pixels = std::make_shared<platform::graphics::PixelBuffer>(
        width, height, platform::graphics::PixelBuffer::Format::Rgb24);
    for (int y = 0; y < height; ++y)
        for (int x = 0; x < width; ++x)
            pixels->setPixel(x, y,
                             0xff000000u | (static_cast<std::uint32_t>(x * 255 / width) << 16) |
                                 (static_cast<std::uint32_t>(y * 255 / height) << 8));
    return std::make_shared<const platform::graphics::Image>(pixels, tag, 1.0f);
}

// The whole application on a virtual clock, with a scripted camera and a fresh album.
class CaptureScreenTest : public ::testing::Test {
  protected:
    void SetUp() override {
        setenv("ORVEX_DEVICE_MODEL", deviceModel(), 1);
        camera = std::make_shared<platform::media::ScriptedCameraSource>(loop(), "scripted camera",
                                                                         cameraHasFlash());
        album = std::filesystem::temp_directory_path() /
                ("orvex-album-" + std::to_string(getpid()) + "-" +
                 ::testing::UnitTest::GetInstance()->current_test_info()->name());
        std::filesystem::remove_all(album);
        world = std::make_unique<platform::media::Services>(
            platform::media::ServiceSettings{.clock = clock,
                                             .cameraSource = camera,
                                             .album = album,
                                             .albumFallback = album / "kept"});
        // The album's thumbnails go to a cache of the test's own, not the user's.
        setenv("XDG_CACHE_HOME", (album / "cache").c_str(), 1);
        application = app::Application::launch();
    }

    void TearDown() override {
        wait(0.0);  // saves under way finish
        application.reset();
        world.reset();
        std::filesystem::remove_all(album);
    }

    virtual const char* deviceModel() const { return "iPhone3,1"; }
    virtual bool cameraHasFlash() const { return true; }

    static platform::foundation::RunLoop& loop() { return platform::foundation::RunLoop::main(); }
    OrvexViewController& screen() { return application->captureScreen(); }
    void wait(double seconds) { loop().runFor(seconds); }
    void tap(float x, float y) { application->window().tap({x, y}); }
    void selectTab(int position) { tap(32.0f + 64.0f * static_cast<float>(position), 452.0f); }
    // The start-up timer has run and a camera frame is in.
    void becomeReady(int width = 2048, int height = 1536) {
        camera->deliverFrame(cameraPicture(width, height));
        wait(0.2);
    }
    bool sidebarOpen() { return screen().side->center().x > 50.0f; }
    std::vector<std::filesystem::path> albumPictures() const { return world->album().pictures(); }
    platform::foundation::Size albumPictureSize(std::size_t index) const {
        auto decoded = platform::graphics::decodeImageFile(albumPictures().at(index));
        EXPECT_TRUE(decoded.ok()) << decoded.error();
        return decoded.ok() ? decoded.value()->size() : platform::foundation::Size{};
    }

    std::shared_ptr<platform::foundation::VirtualClock> clock =
        std::make_shared<platform::foundation::VirtualClock>();
    std::shared_ptr<platform::media::ScriptedCameraSource> camera;
    std::filesystem::path album;
    std::unique_ptr<platform::media::Services> world;
    platform::foundation::SystemLog::Capture log;
    std::unique_ptr<app::Application> application;
};

}  // namespace capture::testing
