#include <gtest/gtest.h>

#include <filesystem>
#include <memory>

#include "platform/display/headless_screen.h"
#include "platform/display/screen_compositor.h"
#include "platform/foundation/run_loop.h"
#include "platform/graphics/decode_image.h"
#include "platform/media/live_picture_view.h"
#include "platform/ui/activity_indicator.h"
#include "platform/ui/window.h"
#include "tests/ui/screen_pixels.h"

namespace {

using namespace screen_pixels;
using platform::display::HeadlessScreen;
using platform::display::ScreenCompositor;
using platform::foundation::Rect;
using platform::foundation::RunLoop;
using platform::foundation::SystemClock;
using platform::foundation::VirtualClock;
using platform::media::LivePictureView;
using platform::ui::View;
using platform::ui::Window;

constexpr Rgb kYellow{255, 255, 0};

std::shared_ptr<View> colouredView(Rect frame, Rgb color) {
    auto view = std::make_shared<View>(frame);
    view->setBackgroundColor(colorOf(color));
    return view;
}

// A camera screen in small: the live picture with an overlay holding one control.
struct CameraScreen {
    std::shared_ptr<Window> window = std::make_shared<Window>();
    std::shared_ptr<LivePictureView> live = std::make_shared<LivePictureView>(Rect{0, 0, 320, 480});
    std::shared_ptr<View> overlay = std::make_shared<View>(Rect{0, 0, 320, 480});
    std::shared_ptr<View> control = colouredView({100, 100, 50, 50}, kYellow);

    CameraScreen() {
        overlay->addSubview(control);
        live->addSubview(overlay);
        window->addSubview(live);
    }
};

class Compositor : public testing::Test {
  protected:
    void SetUp() override { RunLoop::main().setClock(clock_); }
    void TearDown() override { RunLoop::main().setClock(std::make_shared<SystemClock>()); }
    double now() const { return clock_->now(); }

    std::shared_ptr<VirtualClock> clock_ = std::make_shared<VirtualClock>();
};

TEST_F(Compositor, NewCameraFrameRedrawsOnlyTheLivePictureUnderTheCachedOverlay) {
    CameraScreen screen;
    ScreenCompositor compositor(screen.window, 2);
    screen.live->setCameraFrame(solidPicture(64, 48, kRed));
    ASSERT_TRUE(compositor.compose(now()));
    EXPECT_EQ(pixelAt(compositor.screen(), 10, 10), kRed);

    screen.live->setCameraFrame(solidPicture(64, 48, kBlue));
    ASSERT_TRUE(compositor.compose(now()));
    EXPECT_EQ(compositor.counts().layerCompositions, 1u);
    EXPECT_EQ(compositor.counts().videoCompositions, 1u);
    EXPECT_EQ(pixelAt(compositor.screen(), 10, 10), kBlue);
    EXPECT_EQ(pixelAt(compositor.screen(), 120, 120), kYellow);
    EXPECT_FALSE(compositor.needsComposition(now()));
    EXPECT_FALSE(compositor.compose(now()));

    // A changed view is drawn anew.
    screen.control->setHidden(true);
    ASSERT_TRUE(compositor.compose(now()));
    EXPECT_EQ(compositor.counts().layerCompositions, 2u);
    EXPECT_EQ(pixelAt(compositor.screen(), 120, 120), kBlue);
}

TEST_F(Compositor, ViewsBelowAndAboveASmallerLivePictureKeepTheirPlaces) {
    auto window = std::make_shared<Window>();
    auto holder = std::make_shared<View>(Rect{20, 30, 200, 200});
    holder->setClipsToBounds(true);
    auto live = std::make_shared<LivePictureView>(Rect{10, 10, 300, 100});  // overhangs
    holder->addSubview(live);
    window->addSubview(colouredView({0, 0, 320, 480}, kGreen));
    window->addSubview(holder);
    window->addSubview(colouredView({0, 0, 40, 40}, kYellow));  // a badge over it
    live->setCameraFrame(solidPicture(30, 10, kRed));

    ScreenCompositor compositor(window, 2);
    compositor.compose(now());
    live->setCameraFrame(solidPicture(30, 10, kBlue));
    compositor.compose(now());  // the live picture alone, where the tree put it
    ASSERT_EQ(compositor.counts().videoCompositions, 1u);
    const auto& s = compositor.screen();
    EXPECT_EQ(pixelAt(s, 35, 45), kBlue);      // inside holder and live picture
    EXPECT_EQ(pixelAt(s, 219, 60), kBlue);     // up to holder's clip...
    EXPECT_EQ(pixelAt(s, 221, 60), kGreen);    // ...not beyond
    EXPECT_EQ(pixelAt(s, 35, 145), kGreen);    // below the live picture
    EXPECT_EQ(pixelAt(s, 35, 35), kYellow);    // the badge above it
    EXPECT_EQ(pixelAt(s, 29.5f, 45), kGreen);  // left of it
}

TEST_F(Compositor, MovementIsComposedEveryTimeUntilItEnds) {
    CameraScreen screen;
    ScreenCompositor compositor(screen.window, 1);
    compositor.compose(now());

    View::beginAnimations();
    View::setAnimationDuration(0.5);
    screen.control->setFrame({200, 100, 50, 50});
    View::commitAnimations();
    compositor.compose(now());
    clock_->advanceTo(0.25);
    EXPECT_TRUE(compositor.isAnimating(now()));
    ASSERT_TRUE(compositor.compose(now()));
    EXPECT_EQ(pixelAt(compositor.screen(), 175, 120), kYellow);  // half way

    clock_->advanceTo(0.6);
    EXPECT_FALSE(compositor.isAnimating(now()));
    ASSERT_TRUE(compositor.compose(now()));  // the final place, once
    EXPECT_EQ(pixelAt(compositor.screen(), 225, 120), kYellow);
    EXPECT_NE(pixelAt(compositor.screen(), 120, 120), kYellow);
    EXPECT_FALSE(compositor.compose(now()));
}

// A spinner turning over the live picture: the screen is composed again only when it moves
// on a spoke, and then only where it is, yet shows exactly what a whole composition shows.
TEST_F(Compositor, ATurningSpinnerRedrawsOnlyItsRectangleAndOnlyWhenItMovesOn) {
    CameraScreen screen;
    screen.live->setCameraFrame(twoColourPicture(64, 48, kRed, kBlue));
    auto spinner = std::make_shared<platform::ui::ActivityIndicator>(Rect{145, 225, 30, 30});
    screen.overlay->addSubview(spinner);
    spinner->startAnimating();
    ScreenCompositor compositor(screen.window, 1.5f);
    ASSERT_TRUE(compositor.compose(now()));

    clock_->advanceTo(0.02);  // the same spoke leads
    EXPECT_TRUE(compositor.isAnimating(now()));
    EXPECT_FALSE(compositor.needsComposition(now()));
    for (const double t : {0.1, 0.2, 0.35}) {
        clock_->advanceTo(t);
        ASSERT_TRUE(compositor.compose(now()));
        const auto change = compositor.lastChange();
        EXPECT_LE(change.width() * change.height(), 40.0f * 40.0f);
        EXPECT_TRUE(change.contains({160, 240}));
        ScreenCompositor whole(screen.window, 1.5f);
        whole.compose(now());

        EXPECT_TRUE(samePixels(compositor.screen(), whole.screen())) << "at " << t;
    }
    EXPECT_EQ(compositor.counts().layerCompositions, 1u);
    EXPECT_EQ(compositor.counts().regionCompositions, 3u);

    // A new camera frame under the turning spinner is composed whole.
    screen.live->setCameraFrame(solidPicture(64, 48, kGreen));
    clock_->advanceTo(0.36);
    ASSERT_TRUE(compositor.compose(now()));
    EXPECT_EQ(compositor.lastChange(), (Rect{0, 0, 320, 480}));
    EXPECT_EQ(pixelAt(compositor.screen(), 10, 10), kGreen);
}

TEST_F(Compositor, AScreenshotIsThePngOfTheScreenAsComposedNowOrAReason) {
    CameraScreen screen;
    screen.live->setCameraFrame(solidPicture(64, 48, kRed));
    HeadlessScreen headless(screen.window, 2);
    const auto dir = std::filesystem::temp_directory_path() /
                     ("orvex-screenshots-" + std::to_string(::getpid()));
    const auto error = headless.screenshot(dir / "no" / "such" / "folder" / "shot.png");
    ASSERT_TRUE(error.has_value());
    EXPECT_NE(error->find("shot.png"), std::string::npos) << *error;
    std::filesystem::create_directories(dir);
    ASSERT_EQ(headless.screenshot(dir / "shot.png"), std::nullopt);
    const auto shot = platform::graphics::decodeImageFile(dir / "shot.png");
    std::filesystem::remove_all(dir);
    ASSERT_TRUE(shot) << shot.error();
    const auto& pixels = shot.value()->pixels();
    EXPECT_EQ(pixels.width(), 640);
    EXPECT_EQ(pixels.height(), 960);
    EXPECT_EQ(rgbOf(pixels.pixel(20, 20)), kRed);
    EXPECT_EQ(rgbOf(pixels.pixel(240, 240)), kYellow);
}

}  // namespace
