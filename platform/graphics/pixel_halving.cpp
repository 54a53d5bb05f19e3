#include "platform/graphics/pixel_halving.h"

#include "platform/graphics/parallel_rows.h"

#if defined(__x86_64__) || defined(__i386__)
#include <emmintrin.h>
#define ORVEX_HALVING_SSE2 1
#endif

namespace platform::graphics {

namespace {

std::uint32_t averageOf4(std::uint32_t p, std::uint32_t q, std::uint32_t r, std::uint32_t s) {
    std::uint32_t out = 0;
    for (int shift = 0; shift < 32; shift += 8) {
        const std::uint32_t sum = ((p >> shift) & 0xFF) + ((q >> shift) & 0xFF) +
                                  ((r >> shift) & 0xFF) + ((s >> shift) & 0xFF);
        out |= ((sum + 2) >> 2) << shift;
    }
    return out;
}

// Output pixels [from, to) of one row from the two source rows under it.
void halveRowScalar(const std::uint32_t* top, const std::uint32_t* bottom, int sourceWidth,
                    int from, int to, std::uint32_t* out) {
    for (int x = from; x < to; ++x) {
        const int left = 2 * x;
        const int right = left + 1 < sourceWidth ? left + 1 : left;
        out[x] = averageOf4(top[left], top[right], bottom[left], bottom[right]);
    }
}

#ifdef ORVEX_HALVING_SSE2
// Two output pixels from four source pixels of each row, in 16-bit lanes.
__m128i halveFour(const std::uint32_t* top, const std::uint32_t* bottom) {
    const __m128i zero = _mm_setzero_si128();
    const __m128i a = _mm_loadu_si128(reinterpret_cast<const __m128i*>(top));
    const __m128i b = _mm_loadu_si128(reinterpret_cast<const __m128i*>(bottom));
    const __m128i low = _mm_add_epi16(_mm_unpacklo_epi8(a, zero), _mm_unpacklo_epi8(b, zero));
    const __m128i high = _mm_add_epi16(_mm_unpackhi_epi8(a, zero), _mm_unpackhi_epi8(b, zero));
    // Each half of `low` is one source column's pair; add the halves.
    const __m128i sums =
        _mm_add_epi16(_mm_unpacklo_epi64(low, high), _mm_unpackhi_epi64(low, high));
    return _mm_srli_epi16(_mm_add_epi16(sums, _mm_set1_epi16(2)), 2);
}
#endif

void halveRow(const std::uint32_t* top, const std::uint32_t* bottom, int sourceWidth, int width,
              std::uint32_t* out) {
    int x = 0;
#ifdef ORVEX_HALVING_SSE2
    // Whole pairs only: an odd last column is the scalar path's.
    for (; 2 * x + 8 <= sourceWidth; x += 4) {
        const __m128i first = halveFour(top + 2 * x, bottom + 2 * x);
        const __m128i second = halveFour(top + 2 * x + 4, bottom + 2 * x + 4);
        _mm_storeu_si128(reinterpret_cast<__m128i*>(out + x), _mm_packus_epi16(first, second));
    }
#endif
    halveRowScalar(top, bottom, sourceWidth, x, width, out);
}

}  // namespace

std::shared_ptr<PixelBuffer> halvePixels(const PixelBuffer& pixels) {
    const int width = (pixels.width() + 1) / 2;
    const int height = (pixels.height() + 1) / 2;
    auto half = std::make_shared<PixelBuffer>(width, height, pixels.format(),
                                              PixelBuffer::Contents::Unspecified);
    parallelRows(height, 64, [&](int first, int last) {
        for (int y = first; y < last; ++y) {
            const int bottom = 2 * y + 1 < pixels.height() ? 2 * y + 1 : 2 * y;
            halveRow(pixels.row(2 * y), pixels.row(bottom), pixels.width(), width, half->row(y));
        }
    });
    return half;
}

}  // namespace platform::graphics
