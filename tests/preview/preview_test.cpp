#include <gtest/gtest.h>

#include "platform/foundation/clock.h"
#include "platform/foundation/log.h"
#include "platform/foundation/run_loop.h"
#include "platform/graphics/png_codec.h"
#include "preview/preview.h"
#include "tests/graphics/address_space_limit.h"
#include "tests/graphics/test_pictures.h"

namespace preview {
namespace {

using platform::foundation::Size;
using platform::graphics::ImageOrientation;

platform::graphics::ImagePtr picture(int w, int h, ImageOrientation tag = ImageOrientation::Up) {
    auto pixels = test_pictures::pixelsOf(
        w, h, [](int x, int y) { return 0xff000000u | static_cast<std::uint32_t>(x * 7 + y); });
    return std::make_shared<const platform::graphics::Image>(pixels, tag, 1.0f);
}

class PreviewTest : public ::testing::Test {
  protected:
    void SetUp() override {
        loop().reset();
        loop().setClock(std::make_shared<platform::foundation::VirtualClock>());
        screen = Preview::fromInterfaceResource("Preview");
    }
    void TearDown() override {
        screen.reset();
        loop().reset();
        loop().setClock(std::make_shared<platform::foundation::SystemClock>());
    }
    static platform::foundation::RunLoop& loop() { return platform::foundation::RunLoop::main(); }
    // Hands the picture over and lets its preparation off the main thread finish.
    void show(const platform::graphics::ImagePtr& p) {
        screen->addImage(p);
        loop().runFor(0);
    }
    std::shared_ptr<Preview> screen;
    platform::foundation::SystemLog::Capture log;
};

TEST_F(PreviewTest, ContentKeepsTheScreensProportionsAndStartsFullyZoomedOut) {
    struct Case {
        int w, h;
        Size content;
        float minimum;
    };
    for (const Case& c :
         {Case{1600, 1200, {1600, 2180}, 0.2f}, Case{1200, 1600, {1174.3119f, 1600}, 0.2725f},
          Case{320, 436, {320, 436}, 1.0f}, Case{200, 100, {200, 272.5f}, 1.6f}}) {
        SCOPED_TRACE(c.w);
        show(picture(c.w, c.h));
        const auto& scroll = *screen->scrollView;
        EXPECT_NEAR(scroll.contentSize().width, c.content.width, 1e-3);
        EXPECT_NEAR(scroll.contentSize().height, c.content.height, 1e-3);
        EXPECT_EQ(screen->imageView->frame().size, scroll.contentSize());
        EXPECT_NEAR(scroll.minimumZoomScale(), c.minimum, 1e-4);
        EXPECT_EQ(scroll.zoomScale(), scroll.minimumZoomScale());
    }
}

// The picture is turned upright, encoded and decoded again off the main thread; what shows is
// exactly the PNG an e-mail would attach.
TEST_F(PreviewTest, OnlyTheNewestPictureShowsUprightAsItsPngOnceItsWorkIsDone) {
    screen->addImage(picture(40, 30));
    // Handed over, not yet prepared: the screen is empty and says it is busy.
    EXPECT_EQ(screen->imageView->image(), nullptr);
    EXPECT_TRUE(screen->isPreparingPicture());
    show(picture(30, 20, ImageOrientation::Right));
    EXPECT_FALSE(screen->isPreparingPicture());
    const auto shown = screen->imageView->image();
    ASSERT_NE(shown, nullptr);
    EXPECT_EQ(shown->size(), (Size{20, 30}));
    auto decoded = platform::graphics::decodePng(screen->data);
    ASSERT_TRUE(decoded.ok());
    EXPECT_EQ(decoded.value()->size(), (Size{20, 30}));
    EXPECT_EQ(shown->pixels().pixel(3, 4), decoded.value()->pixels().pixel(3, 4));

    screen->close();  // the picture goes, its bytes stay
    EXPECT_EQ(screen->imageView->image(), nullptr);
    EXPECT_FALSE(screen->data.empty());
    screen->addImage(nullptr);
    EXPECT_TRUE(screen->data.empty());
    EXPECT_EQ(screen->imageView->superview(), nullptr);
}

// The busy indicator goes once a picture shows (the album's pick checks that), and with the
// screen.
TEST_F(PreviewTest, TheBusyIndicatorStaysWithoutAPictureAndGoesWhenTheScreenIsLeft) {
    screen->addActivityIndicator();
    screen->addImage(nullptr);
    loop().runFor(0.45);
    EXPECT_NE(screen->activityIndicator, nullptr);
    screen->viewDidDisappear(false);
    EXPECT_EQ(screen->timer, nullptr);
}

TEST_F(PreviewTest, APictureWithoutMemoryForItsCopiesIsALoggedFailureNotACrash) {
    // Its upright copy is as large as the picture, more than the address space has left.
    const auto large = picture(3000, 2000, ImageOrientation::Right);
    platform::graphics::PixelMemory::releaseCached();
    const int status = address_space_limit::runWithHeadroom(16u << 20, [&] {
        show(large);
        const bool empty = screen->imageView->image() == nullptr && screen->data.empty();
        return empty && log.contains("not enough memory to show the picture") ? 0 : 1;
    });
    EXPECT_EQ(status, 0);
}

TEST_F(PreviewTest, BackLeavesTheLibrarysPresentationSoTheAlbumWorksAgain) {
    auto held = std::make_shared<platform::ui::ViewController>();
    held->presentModalViewController(screen, false);
    show(picture(16, 16));
    screen->back();
    EXPECT_EQ(screen->view()->superview(), nullptr);
    EXPECT_EQ(held->modalViewController(), nullptr);
    EXPECT_NE(screen->imageView->image(), nullptr);  // unlike close, the picture stays
    held->presentModalViewController(screen, false);
    EXPECT_EQ(held->modalViewController(), screen);
}

}  // namespace
}  // namespace preview
