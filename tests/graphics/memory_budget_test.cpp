#include "platform/graphics/memory_budget.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <filesystem>

#include "platform/graphics/decode_image.h"
#include "platform/graphics/jpeg_codec.h"
#include "platform/graphics/png_codec.h"
#include "tests/graphics/address_space_limit.h"
#include "tests/graphics/independent_tools.h"
#include "tests/graphics/reference_png.h"
#include "tests/graphics/test_pictures.h"

namespace {

using namespace platform::graphics;

// Each test sets the budget it needs and leaves the derived one behind.
class MemoryBudgetTest : public ::testing::Test {
  protected:
    void TearDown() override { setMemoryBudget(0); }
    independent_tools::ScratchFiles files{"memory-budget"};
};

TEST_F(MemoryBudgetTest, APictureBeyondItIsRefusedFromItsHeaderWithOneClearLine) {
    const auto pixels = test_pictures::gradient(600, 400);
    const auto png = encodePng(*pixels).value();
    const auto jpeg = encodeJpeg(*pixels).value();
    setMemoryBudget(600 * 400 * 2);  // not even the decoded pixels
    for (const auto& file : {png, jpeg}) {
        const auto refused = decodeImage(file);
        ASSERT_FALSE(refused.ok());
        EXPECT_EQ(refused.cause(), FailureCause::Memory);
        EXPECT_THAT(refused.error(),
                    testing::MatchesRegex("picture of 600 x 400 pixels needs about [0-9]+ MB, "
                                          "more than the memory budget of 0 MB.*"));
    }
    // Showing a file's picture is weighed before the file is read: the rest of this one is
    // missing, which only decoding would find.
    auto header = png;
    header.resize(64);
    const auto path = files.write("header-only.png", header);
    EXPECT_NE(decodeImageFile(path).error().find("more than the memory budget"), std::string::npos);
    setMemoryBudget(0);
    EXPECT_TRUE(decodeImage(png).ok());
}

TEST_F(MemoryBudgetTest, AFileFarLargerThanItsPictureIsRefusedUnread) {
    // A small photograph with a gigabyte after it (sparse: no disk is used).
    const auto photo =
        files.write("huge.jpg", encodeJpeg(*test_pictures::gradient(64, 48)).value());
    std::filesystem::resize_file(photo, 1000u << 20);
    EXPECT_NE(decodeImageFile(photo).error().find("is far larger than a picture of 64 x 48"),
              std::string::npos);
    const auto zeros = files.write("zeros.jpg", {});
    std::filesystem::resize_file(zeros, 1000u << 20);
    EXPECT_NE(decodeImageFile(zeros).error().find("neither JPEG nor PNG"), std::string::npos);
}

TEST_F(MemoryBudgetTest, ATightBudgetInflatesRowsInStretchesThatMatchTheReference) {
    // More image data than one stretch of rows, so that rows build on the stretch before.
    for (const int colorType : {reference_png::kRgb, reference_png::kRgbAlpha}) {
        const auto picture = reference_png::makePicture({colorType}, 700, 600, 3);
        // Room for the pixels and a stretch of rows, not for every row at once.
        setMemoryBudget(700 * 600 * 4 +
                        600 * (1 + 700 * (colorType == reference_png::kRgb ? 3 : 4)) - 1);
        reference_png::expectDecodedAs(picture, decodePng(reference_png::file(picture)));
    }
}

TEST_F(MemoryBudgetTest, UnderAnAddressSpaceLimitPicturesFailWithoutTheProcess) {
    const auto path = files.write(
        "large.png", encodePng(PixelBuffer(4000, 4000, PixelBuffer::Format::Rgb24)).value());
    PixelMemory::releaseCached();  // as in a process that has not made it
    const int status = address_space_limit::runWithHeadroom(40u << 20, [&] {
        // The derived budget sees what the limit leaves: 64 MB of pixels do not fit.
        const auto refused = decodeImageFile(path);
        if (refused.ok() ||
            refused.error().find("more than the memory budget") == std::string::npos)
            return 1;
        // Past a budget that lets it through, the allocation fails: a failure all the same.
        setMemoryBudget(1ull << 40);
        const auto failed = decodeImageFile(path);
        return !failed.ok() && failed.cause() == FailureCause::Memory ? 0 : 2;
    });
    EXPECT_EQ(status, 0);
}

}  // namespace
