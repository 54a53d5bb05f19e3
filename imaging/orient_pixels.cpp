#include "imaging/orient_pixels.h"

#include <algorithm>
#include <cstddef>

#include "imaging/parallel_rows.h"
#include "imaging/upright_geometry.h"

namespace imaging {

namespace {

// A quarter turn reads the stored picture down its columns; square tiles keep the rows being
// read in the cache while a tile is written.
constexpr int kTile = 64;

void orientTileRow(PixelView stored, const OrientationMap& m, PixelRect region,
                   MutablePixelView out, int tileTop) {
    const std::ptrdiff_t pitch = stored.stride / 4;
    const auto* base = reinterpret_cast<const std::uint32_t*>(stored.data);
    // Moving one pixel right in the upright picture moves this far in the stored one.
    const std::ptrdiff_t step = m.xx + m.yx * pitch;
    const int tileBottom = std::min(out.height, tileTop + kTile);
    const int tileWidth = (m.yx == 0) ? out.width : kTile;  // rows in, rows out: no tiling
    for (int left = 0; left < out.width; left += tileWidth) {
        const int right = std::min(out.width, left + tileWidth);
        for (int y = tileTop; y < tileBottom; ++y) {
            const int X = region.x + left;
            const int Y = region.y + y;
            const std::uint32_t* from =
                base + (m.yx * X + m.yy * Y + m.y0) * pitch + (m.xx * X + m.xy * Y + m.x0);
            std::uint32_t* to = out.row(y) + left;
            for (int i = 0; i < right - left; ++i) to[i] = from[i * step];
        }
    }
}

}  // namespace

void orientPixels(PixelView stored, platform::graphics::ImageOrientation orientation,
                  PixelRect uprightRegion, MutablePixelView out) {
    const OrientationMap m = orientationMap(orientation, stored.width, stored.height);
    const int tileRows = (out.height + kTile - 1) / kTile;
    parallelRows(tileRows, 4, [&](int first, int last) {
        for (int t = first; t < last; ++t) orientTileRow(stored, m, uprightRegion, out, t * kTile);
    });
}

}  // namespace imaging
