#include "platform/graphics/reduced_copies.h"

#include <gtest/gtest.h>

#include <thread>
#include <vector>

#include "platform/graphics/pixel_halving.h"
#include "tests/graphics/test_pictures.h"

namespace {

using namespace platform::graphics;
using test_pictures::channel;

// Every channel of every pixel different, so that any misplaced or mixed-up byte shows.
std::shared_ptr<PixelBuffer> busyPixels(int width, int height, PixelBuffer::Format format) {
    const std::uint32_t opaque = format == PixelBuffer::Format::Rgb24 ? 0xFF000000u : 0;
    auto busy = [opaque](int x, int y) { return (x * 2654435761u ^ y * 40503u) | opaque; };
    return test_pictures::pixelsOf(width, height, busy, format);
}

TEST(PixelHalving, EachPixelIsTheRoundedMeanOfTheBlockItCovers) {
    // Widths around the four-pixel steps, odd edges both ways.
    for (auto [width, height] : {std::pair{1, 1}, std::pair{8, 2}, std::pair{9, 3},
                                 std::pair{17, 5}, std::pair{30, 7}, std::pair{33, 64}}) {
        const auto source = busyPixels(width, height, PixelBuffer::Format::Argb32);
        const auto half = halvePixels(*source);
        ASSERT_EQ(test_pictures::dimensions(*half), std::pair((width + 1) / 2, (height + 1) / 2));
        for (int y = 0; y < half->height(); ++y)
            for (int x = 0; x < half->width(); ++x)
                for (int c = 0; c < 4; ++c) {
                    // The pixels of the 2 × 2 block that lie inside the picture, each edge
                    // pixel standing in for the missing one beside it.
                    std::uint32_t sum = 0;
                    for (int dy = 0; dy < 2; ++dy)
                        for (int dx = 0; dx < 2; ++dx)
                            sum += channel(source->pixel(std::min(2 * x + dx, width - 1),
                                                         std::min(2 * y + dy, height - 1)),
                                           c);
                    ASSERT_EQ(channel(half->pixel(x, y), c), (sum + 2) / 4)
                        << width << "x" << height << " at " << x << "," << y << " channel " << c;
                }
    }
}

TEST(ReducedCopies, TheMostHalvedCopyCairoBringsToSizeBilinearlyIsChosen) {
    // Cairo scales bilinearly down to 3/4; below that it filters far more slowly.
    const auto image = Image::withPixels(busyPixels(1000, 600, PixelBuffer::Format::Rgb24));
    auto halvingsFor = [&](float width, float height) {
        return reducedCopy(*image, width, height).halvings;
    };
    EXPECT_EQ(halvingsFor(1000, 600), 0);  // its own size: the picture itself
    EXPECT_EQ(halvingsFor(1200, 100), 0);  // larger than itself one way
    EXPECT_EQ(halvingsFor(750, 450), 0);   // 3/4 of itself
    EXPECT_EQ(halvingsFor(700, 420), 1);
    EXPECT_EQ(halvingsFor(375, 225), 1);  // 3/4 of the half
    EXPECT_EQ(halvingsFor(374, 224), 2);
    EXPECT_EQ(halvingsFor(240, 150), 2);
    EXPECT_EQ(halvingsFor(100, 600), 0);  // squeezed one way only: the other keeps its pixels
    // Never below a few dozen pixels, however small it is drawn.
    const ReducedCopy smallest = reducedCopy(*image, 1, 1);
    EXPECT_GE(std::max(smallest.pixels->width(), smallest.pixels->height()), 32);
    EXPECT_LT(std::max(smallest.pixels->width(), smallest.pixels->height()), 64);

    const ReducedCopy quarter = reducedCopy(*image, 240, 150);
    EXPECT_EQ(test_pictures::dimensions(*quarter.pixels), std::pair(250, 150));
}

TEST(ReducedCopies, AreMadeOnceSharedByThreadsAndBoundedInMemory) {
    const auto pixels = busyPixels(1203, 905, PixelBuffer::Format::Argb32);
    const auto image = Image::withPixels(pixels);
    std::vector<std::jthread> threads;
    std::vector<const PixelBuffer*> seen(4);
    for (int i = 0; i < 4; ++i)
        threads.emplace_back([&, i] {
            prepareReducedCopies(*image);
            seen[static_cast<std::size_t>(i)] = reducedCopy(*image, 300, 200).pixels.get();
        });
    threads.clear();
    for (const PixelBuffer* copy : seen) EXPECT_EQ(copy, seen[0]);

    // Another picture with the same pixels (a new tag or scale) draws from the same copies.
    const Image retagged(pixels, ImageOrientation::Right, 2.0f);
    EXPECT_EQ(reducedCopy(retagged, 300, 200).pixels.get(), seen[0]);

    std::size_t copied = 0;
    for (int halvings = 1;; ++halvings) {
        const auto copy = reducedCopy(*image, 1203.0f / (1 << halvings), 905.0f / (1 << halvings));
        if (copy.halvings != halvings) break;
        copied += std::size_t(copy.pixels->width()) * std::size_t(copy.pixels->height());
    }
    EXPECT_LE(copied, std::size_t(1203) * 905 / 3 + 1203 + 905);
}

TEST(ReducedCopies, AreLetGoWithTheirPicture) {
    std::weak_ptr<const PixelBuffer> copy;
    {
        const auto image = Image::withPixels(busyPixels(640, 480, PixelBuffer::Format::Rgb24));
        copy = reducedCopy(*image, 100, 100).pixels;
        ASSERT_FALSE(copy.expired());
    }
    // Any later use looks the chains over and drops those of pictures gone.
    const auto other = Image::withPixels(busyPixels(64, 64, PixelBuffer::Format::Rgb24));
    prepareReducedCopies(*other);
    EXPECT_TRUE(copy.expired());
}

}  // namespace
