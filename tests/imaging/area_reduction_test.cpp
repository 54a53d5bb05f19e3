#include <gtest/gtest.h>

#include <algorithm>
#include <vector>

#include "imaging/pixel_view.h"
#include "imaging/resample.h"

namespace {

using platform::graphics::PixelBuffer;

// Reductions by factors that are not whole numbers: each output pixel is the mean of the
// source area it covers, a pixel cut by its edges counted by the share inside. Lengths are
// chosen so that some output pixels straddle one source pixel more than the factor rounded up.
TEST(AreaReduction, FractionalFactorsAverageExactlyTheCoveredArea) {
    for (const auto& [from, to] : {std::pair{7, 5}, std::pair{11, 4}, std::pair{10, 4}}) {
        SCOPED_TRACE(std::to_string(from) + " to " + std::to_string(to));
        PixelBuffer source(from, 1, PixelBuffer::Format::Rgb24);
        auto sample = [](int s, int c) { return (s * 71 + c * 97 + s * s * 13) % 256; };
        for (int s = 0; s < from; ++s)
            source.setPixel(s, 0,
                            0xFF000000u | std::uint32_t(sample(s, 0)) << 16 |
                                std::uint32_t(sample(s, 1)) << 8 | std::uint32_t(sample(s, 2)));
        PixelBuffer reduced(to, 1, PixelBuffer::Format::Rgb24);
        imaging::drawScaled(imaging::viewOf(source), imaging::viewOf(reduced),
                            {0.0f, 0.0f, float(to), 1.0f}, PixelBuffer::Format::Rgb24);

        const double factor = double(from) / to;
        for (int o = 0; o < to; ++o)
            for (int c = 0; c < 3; ++c) {
                double sum = 0.0;
                for (int s = 0; s < from; ++s) {
                    const double inside =
                        std::min(s + 1.0, (o + 1) * factor) - std::max(double(s), o * factor);
                    if (inside > 0) sum += inside * sample(s, c);
                }
                const int shown = int(reduced.pixel(o, 0) >> (16 - 8 * c) & 0xFF);
                EXPECT_NEAR(shown, sum / factor, 1.0) << "pixel " << o << ", channel " << c;
            }
    }
}

}  // namespace
