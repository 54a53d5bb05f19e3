#include "imaging/orient_pixels.h"

#include <algorithm>
#include <cstddef>

#if defined(__SSE2__)
#include <emmintrin.h>
#endif

#include "imaging/upright_geometry.h"
#include "platform/graphics/parallel_rows.h"

namespace imaging {

namespace {

// A quarter turn reads the stored picture down its columns; square tiles keep the rows being
// read in the cache while a tile is written.
constexpr int kTile = 64;

struct Job {
    const std::uint32_t* base;  // the stored picture
    std::ptrdiff_t pitch;       // its row length in pixels
    OrientationMap map;
    PixelRect region;
    MutablePixelView out;

    const std::uint32_t* stored(int X, int Y) const {
        return base + static_cast<std::ptrdiff_t>(map.yx * X + map.yy * Y + map.y0) * pitch +
               (map.xx * X + map.xy * Y + map.x0);
    }
};

// Output columns [left, right) of rows [top, bottom), pixel by pixel; any tag.
void movePixels(const Job& job, int left, int right, int top, int bottom) {
    // Moving one pixel right in the upright picture moves this far in the stored one.
    const std::ptrdiff_t step = job.map.xx + job.map.yx * job.pitch;
    for (int y = top; y < bottom; ++y) {
        const std::uint32_t* from = job.stored(job.region.x + left, job.region.y + y);
        std::uint32_t* to = job.out.row(y) + left;
        for (int i = 0; i < right - left; ++i) to[i] = from[i * step];
    }
}

#if defined(__SSE2__)
// The sideways tags in 4 × 4 blocks: four stored rows read, transposed in registers, four
// upright rows written. The spans must be multiples of 4.
void turnBlocks(const Job& job, int left, int right, int top, int bottom) {
    const OrientationMap& m = job.map;
    for (int y = top; y < bottom; y += 4) {
        const int Y = job.region.y + y;
        // Upright rows Y..Y+3 come from stored columns Y·xy + x0 onward, in either direction.
        const int firstColumn = m.xy > 0 ? m.xy * Y + m.x0 : m.xy * Y + m.x0 - 3;
        std::uint32_t* rows[4];
        for (int j = 0; j < 4; ++j) rows[m.xy > 0 ? j : 3 - j] = job.out.row(y + j);
        for (int x = left; x < right; x += 4) {
            const int X = job.region.x + x;
            __m128i r[4];
            for (int k = 0; k < 4; ++k)
                r[k] = _mm_loadu_si128(reinterpret_cast<const __m128i*>(
                    job.base + static_cast<std::ptrdiff_t>(m.yx * (X + k) + m.y0) * job.pitch +
                    firstColumn));
            const __m128i a = _mm_unpacklo_epi32(r[0], r[1]), b = _mm_unpacklo_epi32(r[2], r[3]);
            const __m128i c = _mm_unpackhi_epi32(r[0], r[1]), d = _mm_unpackhi_epi32(r[2], r[3]);
            _mm_storeu_si128(reinterpret_cast<__m128i*>(rows[0] + x), _mm_unpacklo_epi64(a, b));
            _mm_storeu_si128(reinterpret_cast<__m128i*>(rows[1] + x), _mm_unpackhi_epi64(a, b));
            _mm_storeu_si128(reinterpret_cast<__m128i*>(rows[2] + x), _mm_unpacklo_epi64(c, d));
            _mm_storeu_si128(reinterpret_cast<__m128i*>(rows[3] + x), _mm_unpackhi_epi64(c, d));
        }
    }
}
#endif

void orientTile(const Job& job, int left, int right, int top, int bottom) {
#if defined(__SSE2__)
    if (job.map.xx == 0) {  // sideways
        const int blockRight = left + ((right - left) & ~3);
        const int blockBottom = top + ((bottom - top) & ~3);
        turnBlocks(job, left, blockRight, top, blockBottom);
        movePixels(job, blockRight, right, top, bottom);
        movePixels(job, left, blockRight, blockBottom, bottom);
        return;
    }
#endif
    movePixels(job, left, right, top, bottom);
}

}  // namespace

void orientPixels(PixelView stored, platform::graphics::ImageOrientation orientation,
                  PixelRect uprightRegion, MutablePixelView out) {
    const Job job{reinterpret_cast<const std::uint32_t*>(stored.data), stored.stride / 4,
                  orientationMap(orientation, stored.width, stored.height), uprightRegion, out};
    const bool sideways = job.map.xx == 0;
    const int tileRows = (out.height + kTile - 1) / kTile;
    platform::graphics::parallelRows(tileRows, 4, [&](int first, int last) {
        for (int t = first; t < last; ++t) {
            const int top = t * kTile, bottom = std::min(out.height, top + kTile);
            if (!sideways) {  // rows in, rows out: no need to tile across
                orientTile(job, 0, out.width, top, bottom);
                continue;
            }
            for (int left = 0; left < out.width; left += kTile)
                orientTile(job, left, std::min(out.width, left + kTile), top, bottom);
        }
    });
}

}  // namespace imaging
