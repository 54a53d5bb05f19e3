#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <memory>

#include "platform/media/live_picture_view.h"
#include "platform/ui/window.h"
#include "tests/ui/screen_pixels.h"

namespace {

using namespace screen_pixels;
using platform::foundation::AffineTransform;
using platform::foundation::Rect;
using platform::graphics::ImageOrientation;
using platform::media::LivePictureView;
using platform::ui::Window;

// A picture stored with the orientation tag whose pixels' colours depend on where they are.
template <class Colour>
ImagePtr picture(int width, int height, ImageOrientation orientation, Colour colour) {
    return std::make_shared<Image>(
        test_pictures::pixelsOf(width, height, [&](int x, int y) { return argbOf(colour(x, y)); }),
        orientation, 1.0f);
}

// Three upright vertical stripes, red, green and blue, each 20 wide.
ImagePtr stripes() {
    return picture(60, 80, ImageOrientation::Up, [](int x, int) {
        return x < 20 ? kRed : x < 40 ? kGreen : kBlue;
    });
}

struct LiveScreen {
    explicit LiveScreen(Rect frame = {0, 0, 60, 80}) {
        window->addSubview(live = std::make_shared<LivePictureView>(frame));
    }
    std::shared_ptr<Window> window = std::make_shared<Window>();
    std::shared_ptr<LivePictureView> live;
};

TEST(LivePictureView, RightTaggedFrameIsDrawnUprightCoveringTheViewInProportion) {
    LiveScreen screen;
    // Stored as a landscape sensor image: top half red, bottom half blue.
    screen.live->setCameraFrame(
        picture(80, 60, ImageOrientation::Right, [](int, int y) { return y < 30 ? kRed : kBlue; }));
    // A quarter turn clockwise: the stored top (red) becomes the right-hand side.
    auto drawn = drawScreen(*screen.window, 2.0f);
    EXPECT_EQ(pixelAt(*drawn, 10, 40), kBlue);
    EXPECT_EQ(pixelAt(*drawn, 50, 2), kRed);
    EXPECT_EQ(pixelAt(*drawn, 50, 78), kRed);

    // Scaled to 60 × 80 and centred: only the middle of its height shows, the whole width.
    screen.live->setFrame({0, 0, 60, 40});
    drawn = drawScreen(*screen.window);
    EXPECT_EQ(pixelAt(*drawn, 1, 1), kBlue);
    EXPECT_EQ(pixelAt(*drawn, 59, 39), kRed);
    EXPECT_EQ(pixelAt(*drawn, 30, 41), kBlack);  // nothing outside the view
}

TEST(LivePictureView, PreviewTransformActsAboutTheCentre) {
    LiveScreen screen;
    screen.live->setCameraFrame(stripes());
    auto plain = drawScreen(*screen.window);
    EXPECT_EQ(pixelAt(*plain, 15, 40), kRed);

    screen.live->setPreviewTransform(AffineTransform::identity().scaled(2, 2));
    auto zoomed = drawScreen(*screen.window);
    EXPECT_EQ(pixelAt(*zoomed, 5, 40), kRed);     // 30 + (5 - 30) / 2 = 17.5
    EXPECT_EQ(pixelAt(*zoomed, 15, 40), kGreen);  // 22.5
    EXPECT_EQ(pixelAt(*zoomed, 55, 40), kBlue);   // 42.5

    screen.live->setPreviewTransform({0.5f, 0, 0, 0.5f, 0, 0});  // uncovers the edges
    auto shrunk = drawScreen(*screen.window);
    EXPECT_EQ(pixelAt(*shrunk, 5, 40), kBlack);
    EXPECT_EQ(pixelAt(*shrunk, 30, 40), kGreen);

    screen.live->setPreviewTransform({0, 0, 0, 0, 0, 0});  // flat: nothing of the frame
    auto flat = drawScreen(*screen.window);
    EXPECT_EQ(pixelAt(*flat, 30, 40), kBlack);
}

// A cause can be a whole pipeline or a device path without a space; it stays on the screen.
TEST(LivePictureView, WithoutFrameShowsItsStatusOnDarknessWrappedWithinTheScreen) {
    LiveScreen screen({0, 0, 320, 480});
    const Rgb dark = pixelAt(*drawScreen(*screen.window), 5, 5);
    EXPECT_NE(dark, kBlack);
    EXPECT_LT(dark.r + dark.g + dark.b, 150);
    EXPECT_EQ(screen.live->statusText(), "Starting camera…");

    screen.live->setStatusText(
        "No picture from pipeline videotestsrc pattern=ball ! identity drop-probability=1.0\n"
        "/dev/v4l/by-id/usb-Generic_USB2.0_HD_UVC_WebCam_200901010001-video-index0 is gone");
    auto drawn = drawScreen(*screen.window);
    float left = 320, right = 0, top = 480, bottom = 0;
    for (float y = 0; y < 480; y += 0.5f)
        for (float x = 0; x < 320; x += 0.5f)
            if (pixelAt(*drawn, x, y).r > 150) {
                left = std::min(left, x);
                right = std::max(right, x);
                top = std::min(top, y);
                bottom = std::max(bottom, y);
            }
    EXPECT_GT(left, 5.0f);
    EXPECT_LT(right, 315.0f);
    EXPECT_GT(bottom - top, 4 * 15.0f) << "five lines or more of 15-point text";
    EXPECT_LT(std::abs((top + bottom) / 2 - 240), 20.0f) << "centred";

    screen.live->setCameraFrame(stripes());
    screen.live->setCameraFrame(nullptr);  // the camera went away again
    EXPECT_TRUE(near(pixelAt(*drawScreen(*screen.window), 5, 5), dark, 0));
}

// The caption says what the picture is, low on the left over it; without a picture the
// status alone speaks.
TEST(LivePictureView, ACaptionShowsOverTheLivePictureOnly) {
    LiveScreen screen({0, 0, 320, 480});
    screen.live->setCameraFrame(solidPicture(64, 96, kGreen));
    const auto generation = screen.live->videoGeneration();
    screen.live->setCaption("Test camera");
    EXPECT_GT(screen.live->videoGeneration(), generation);
    const auto captioned = drawScreen(*screen.window);
    EXPECT_NE(pixelAt(*captioned, 10, 409), kGreen);  // the caption's plate
    EXPECT_EQ(pixelAt(*captioned, 160, 240), kGreen);

    screen.live->setCameraFrame(nullptr);
    const auto dark = drawScreen(*screen.window);
    EXPECT_EQ(pixelAt(*dark, 10, 409), pixelAt(*dark, 300, 409));
}

}  // namespace
