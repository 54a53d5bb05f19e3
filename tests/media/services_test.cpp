#include <gtest/gtest.h>

#include <filesystem>
#include <memory>

#include "platform/foundation/clock.h"
#include "platform/foundation/run_loop.h"
#include "platform/media/services.h"

namespace {

using platform::foundation::RunLoop;
using platform::media::Services;

platform::graphics::ImagePtr smallPicture() {
    auto pixels = std::make_shared<platform::graphics::PixelBuffer>(
        8, 6, platform::graphics::PixelBuffer::Format::Rgb24);
    return std::make_shared<const platform::graphics::Image>(
        pixels, platform::graphics::ImageOrientation::Right, 1.0f);
}

// A test's world is made in one line, and its end leaves the next one a clean start: the
// photo it was saving is on disk, nothing it scheduled runs later, the clock is real again.
TEST(Services, AWorldEndsWithItsSavesDoneAndNothingLeftBehind) {
    const auto album = std::filesystem::path(::testing::TempDir()) / "orvex-services-album";
    std::filesystem::remove_all(album);
    const auto clock = std::make_shared<platform::foundation::VirtualClock>();
    Services* outer = &Services::current();
    {
        Services world({.clock = clock, .album = album, .albumFallback = album / "kept"});
        EXPECT_EQ(&Services::current(), &world);
        EXPECT_EQ(&RunLoop::main().clock(), clock.get());
        RunLoop::main().scheduleTimer(5.0, false, [](auto&) {});
        world.album().save(smallPicture(), [](const auto&) {});
    }
    EXPECT_EQ(&Services::current(), outer);
    EXPECT_NE(&RunLoop::main().clock(), clock.get());
    EXPECT_EQ(RunLoop::main().timerCount(), 0u);
    std::size_t photos = 0;
    for (const auto& entry : std::filesystem::directory_iterator(album))
        photos += entry.path().extension() == ".jpg";
    EXPECT_EQ(photos, 1u);
    std::filesystem::remove_all(album);
}

}  // namespace
