#include "platform/media/save_problem_notice.h"

#include <gtest/gtest.h>

namespace {

using platform::media::saveProblemNotice;
using platform::media::showSaveProblem;

// The notice follows the album's problem: one notice however often it changes, with the latest
// cause, gone once photos are saved again, and never in the way of a touch.
TEST(SaveProblemNotice, FollowsTheCauseAndGoesOnceSavesSucceed) {
    auto overlay = std::make_shared<platform::ui::View>(platform::foundation::Rect{0, 0, 320, 480});
    overlay->addSubview(std::make_shared<platform::ui::View>());
    showSaveProblem(*overlay, std::nullopt);
    EXPECT_EQ(overlay->subviews().size(), 1u);

    showSaveProblem(*overlay, "No space left on device");
    showSaveProblem(*overlay, "Read-only file system");
    ASSERT_EQ(overlay->subviews().size(), 2u);
    const auto notice = saveProblemNotice(*overlay);
    ASSERT_NE(notice, nullptr);
    EXPECT_EQ(notice->text(), "cannot save photos: Read-only file system");
    EXPECT_EQ(overlay->hitTest(notice->center()), overlay);

    showSaveProblem(*overlay, std::nullopt);
    EXPECT_EQ(overlay->subviews().size(), 1u);
    EXPECT_EQ(saveProblemNotice(*overlay), nullptr);
}

}  // namespace
