#include "capture_fixture.h"

namespace capture::testing {
namespace {

class LibraryImportTest : public CaptureScreenTest {
  protected:
    void SetUp() override {
        CaptureScreenTest::SetUp();
        becomeReady();
        selectTab(4);
    }
    void pick(int width, int height, platform::graphics::ImageOrientation tag) {
        screen().pickerP->pickImage(cameraPicture(width, height, tag));
    }
};

TEST_F(LibraryImportTest, PickedPictureReachesThePreviewUprightAFewMomentsLater) {
    auto& c = screen();
    pick(40, 30, platform::graphics::ImageOrientation::Right);
    EXPECT_EQ(c.pickerP->modalViewController(), c.preview);
    EXPECT_NE(c.preview->activityIndicator, nullptr);
    EXPECT_EQ(c.preview->imageView->image(), nullptr);
    wait(0.01);
    ASSERT_NE(c.preview->imageView->image(), nullptr);
    EXPECT_EQ(c.preview->imageView->image()->size(), (platform::foundation::Size{30, 40}));
    wait(0.2);
    EXPECT_EQ(c.preview->activityIndicator, nullptr);
    EXPECT_EQ(c.savesReported(), 0);  // a library picture never goes to the album

    // A second pick shows only the second picture.
    c.preview->close();
    EXPECT_EQ(c.modalViewController(), c.pickerP);
    pick(20, 60, platform::graphics::ImageOrientation::Up);
    wait(0.3);
    EXPECT_EQ(c.preview->imageView->image()->size(), (platform::foundation::Size{20, 60}));
    int scrolls = 0;
    for (const auto& v : c.preview->view()->subviews())
        scrolls += std::dynamic_pointer_cast<platform::ui::ScrollView>(v) != nullptr;
    EXPECT_EQ(scrolls, 1);
}

TEST_F(LibraryImportTest, DoneFromThePreviewPushesItAndFromAnyoneElseDoesNothing) {
    auto& c = screen();
    int other = 0;
    auto& center = platform::foundation::NotificationCenter::defaultCenter();
    center.postNotification("Done", &other);
    EXPECT_TRUE(c.pickerP->viewControllers().empty());
    center.postNotification("Done", c.preview.get());
    ASSERT_EQ(c.pickerP->viewControllers().size(), 1u);
    EXPECT_EQ(c.pickerP->topViewController(), c.preview);
}

}  // namespace
}  // namespace capture::testing
