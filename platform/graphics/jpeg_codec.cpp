#include "platform/graphics/jpeg_codec.h"

#include <turbojpeg.h>

#include <algorithm>
#include <memory>
#include <string>

#include "platform/graphics/exif_orientation.h"
#include "platform/graphics/picture_limits.h"

namespace platform::graphics {

namespace {

struct TurboJpegDeleter {
    void operator()(void* handle) const { tjDestroy(handle); }
};
using TurboJpeg = std::unique_ptr<void, TurboJpegDeleter>;

std::string lastError(tjhandle handle) {
    return tjGetErrorStr2(handle);
}

bool hasJpegSignature(std::span<const std::uint8_t> bytes) {
    return bytes.size() >= 3 && bytes[0] == 0xFF && bytes[1] == 0xD8 && bytes[2] == 0xFF;
}

// Cairo's 32-bit pixels in memory order on a little-endian machine.
constexpr int kCairoPixelFormat = TJPF_BGRX;

constexpr tjscalingfactor kFullSize = {1, 1};

// Enlargements are left to the caller's resampling, which does them better.
tjscalingfactor smallestScaleReaching(int width, int height, int minimumLongSide) {
    int count = 0;
    const tjscalingfactor* factors = tjGetScalingFactors(&count);
    tjscalingfactor chosen = kFullSize;
    for (int i = 0; factors && i < count; ++i) {
        const tjscalingfactor f = factors[i];
        if (f.num > f.denom) continue;
        if (std::max(TJSCALED(width, f), TJSCALED(height, f)) < minimumLongSide) continue;
        if (f.num * chosen.denom < chosen.num * f.denom) chosen = f;
    }
    return chosen;
}

template <class ChooseScale>
DecodeResult decodeAtScale(std::span<const std::uint8_t> bytes, ChooseScale chooseScale) {
    if (!hasJpegSignature(bytes)) return DecodeResult::failure("not a JPEG file");
    TurboJpeg decoder(tjInitDecompress());
    if (!decoder) return DecodeResult::failure("cannot start the JPEG decoder");
    int width = 0, height = 0, subsampling = 0, colorspace = 0;
    if (tjDecompressHeader3(decoder.get(), bytes.data(), bytes.size(), &width, &height,
                            &subsampling, &colorspace) != 0)
        return DecodeResult::failure("corrupt JPEG header: " + lastError(decoder.get()));
    if (auto error = pictureSizeError(width, height)) return DecodeResult::failure(*error);

    const tjscalingfactor scale = chooseScale(width, height);
    const int scaledWidth = TJSCALED(width, scale), scaledHeight = TJSCALED(height, scale);
    auto pixels = std::make_shared<PixelBuffer>(
        scaledWidth, scaledHeight, PixelBuffer::Format::Rgb24, PixelBuffer::Contents::Unspecified);
    // A warning means missing or damaged data: refuse rather than show a grey patch. (Fast
    // chroma upsampling was measured a fifth faster but visibly less faithful: not used.)
    const int flags = TJFLAG_STOPONWARNING | TJFLAG_LIMITSCANS;
    // Asked for the scaled size, the decoder reduces by exactly that factor.
    if (tjDecompress2(decoder.get(), bytes.data(), bytes.size(), pixels->data(), scaledWidth,
                      pixels->stride(), scaledHeight, kCairoPixelFormat, flags) != 0)
        return DecodeResult::failure("corrupt or truncated JPEG data: " + lastError(decoder.get()));
    return DecodeResult::success(
        std::make_shared<const Image>(std::move(pixels), readExifOrientation(bytes), 1.0f));
}

}  // namespace

DecodeResult decodeJpeg(std::span<const std::uint8_t> bytes) {
    return decodeAtScale(bytes, [](int, int) { return kFullSize; });
}

DecodeResult decodeJpegScaled(std::span<const std::uint8_t> bytes, int minimumLongSide) {
    return decodeAtScale(bytes, [minimumLongSide](int width, int height) {
        return smallestScaleReaching(width, height, minimumLongSide);
    });
}

std::optional<JpegSize> readJpegSize(std::span<const std::uint8_t> bytes) {
    if (!hasJpegSignature(bytes)) return std::nullopt;
    TurboJpeg decoder(tjInitDecompress());
    JpegSize size;
    int subsampling = 0, colorspace = 0;
    if (!decoder || tjDecompressHeader3(decoder.get(), bytes.data(), bytes.size(), &size.width,
                                        &size.height, &subsampling, &colorspace) != 0)
        return std::nullopt;
    return size;
}

EncodeResult encodeJpeg(const PixelBuffer& pixels, int quality) {
    if (pixels.width() == 0 || pixels.height() == 0)
        return EncodeResult::failure("cannot encode an empty picture as JPEG");
    TurboJpeg encoder(tjInitCompress());
    if (!encoder) return EncodeResult::failure("cannot start the JPEG encoder");
    // Sized for the worst case up front so that the encoder never reallocates, and taken from
    // the pixel pool so that its pages are not faulted in afresh for every picture.
    unsigned long size = tjBufSize(pixels.width(), pixels.height(), TJSAMP_420);
    PixelMemory buffer = PixelMemory::allocate(size);
    unsigned char* out = buffer.data();
    if (tjCompress2(encoder.get(), pixels.data(), pixels.width(), pixels.stride(), pixels.height(),
                    kCairoPixelFormat, &out, &size, TJSAMP_420, quality, TJFLAG_NOREALLOC) != 0)
        return EncodeResult::failure("JPEG encoding failed: " + lastError(encoder.get()));
    return EncodeResult::success(std::vector<std::uint8_t>(out, out + size));
}

}  // namespace platform::graphics
