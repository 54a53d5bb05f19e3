#pragma once

#include <cstddef>
#include <cstdint>
#include <vector>

#include "platform/graphics/image.h"

// PNG's row filters for 8-bit RGB and RGBA, between the file's bytes and cairo's pixels.
namespace platform::graphics::png {

enum Filter : std::uint8_t { kNone = 0, kSub = 1, kUp = 2, kAverage = 3, kPaeth = 4 };

// Rows (each its filter type, then width × channels bytes) reconstructed into cairo's
// layout: Rgb24 for 3 channels, premultiplied Argb32 for 4. Rows [first, last) of `data`
// become the same rows of `pixels`; the row before `first` must have been reconstructed
// already, unless `first` does not depend on it (see dependsOnRowAbove). `data` may be read
// up to 16 bytes past its last row.
void unfilterRows(const std::uint8_t* data, std::size_t rowBytes, int channels, int first, int last,
                  PixelBuffer& pixels);

// The same, a stretch of rows at a time, each stretch building on the one before: for rows
// inflated piece by piece. The straight pixels of the last row are kept between stretches.
class RowReconstruction {
  public:
    RowReconstruction(PixelBuffer& pixels, int channels);
    // Rows [first, last) from `rows`, which holds row `first` onward (and may be read 16 bytes
    // past its last row); row `first` builds on row first - 1 when `continues`.
    void rows(const std::uint8_t* rows, std::size_t rowBytes, int first, int last, bool continues);

  private:
    PixelBuffer& pixels_;
    int channels_;
    std::vector<std::uint32_t> zeros_;
    std::vector<std::uint32_t> straight_[2];
};

// True if a row of this filter type needs the row above to be reconstructed first.
inline bool dependsOnRowAbove(std::uint8_t filter) {
    return filter != kNone && filter != kSub;
}

// Cairo's Argb32 is premultiplied; PNG stores straight alpha. `out` may be `straight`.
void premultiplyRow(const std::uint32_t* straight, int width, std::uint32_t* out);

// Rows [first, last) of `pixels` as the file stores them: straight RGB (3 channels, from
// opaque pixels) or RGBA (4), each row its filter type, then the filtered bytes. Rows are
// filtered Up, except every `subEvery`-th row Sub, from which a decoder can start afresh.
void filterRows(const PixelBuffer& pixels, int channels, int first, int last, int subEvery,
                std::uint8_t* out);

}  // namespace platform::graphics::png
