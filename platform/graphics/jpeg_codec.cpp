#include "platform/graphics/jpeg_codec.h"

#include <turbojpeg.h>

#include <algorithm>
#include <memory>
#include <string>
#include <vector>

#include "platform/foundation/log.h"
#include "platform/graphics/exif_orientation.h"
#include "platform/graphics/jpeg_segments.h"
#include "platform/graphics/memory_budget.h"
#include "platform/graphics/parallel_rows.h"
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

// Four-component pixels, as libjpeg hands them over (C, M, Y, K, whatever the file stores),
// turned into cairo's opaque pixels in place. Adobe's files store the inks inverted
// (255 = none); others store them as they are.
void cmykToRgb(PixelBuffer& pixels, bool inverted) {
    parallelRows(pixels.height(), 64, [&](int first, int last) {
        for (int y = first; y < last; ++y) {
            auto* bytes = reinterpret_cast<std::uint8_t*>(pixels.row(y));
            std::uint32_t* out = pixels.row(y);
            for (int x = 0; x < pixels.width(); ++x) {
                std::uint32_t ink[4];
                for (int i = 0; i < 4; ++i) {
                    const std::uint32_t stored = bytes[4 * x + i];
                    ink[i] = inverted ? stored : 255 - stored;  // 255 - ink
                }
                const auto channel = [&](int i) { return (ink[i] * ink[3] + 127) / 255; };
                out[x] = 0xFF000000u | channel(0) << 16 | channel(1) << 8 | channel(2);
            }
        }
    });
}

// The file without a damaged optional segment, so that the decoder reads the rest.
std::vector<std::uint8_t> withoutDamage(std::span<const std::uint8_t> bytes,
                                        const jpeg::Damage& damage) {
    std::vector<std::uint8_t> repaired(bytes.begin(), bytes.begin() + damage.at);
    repaired.insert(repaired.end(), bytes.begin() + damage.resumeAt, bytes.end());
    return repaired;
}

std::string pictureSize(int width, int height) {
    return std::to_string(width) + " x " + std::to_string(height);
}

template <class ChooseScale>
DecodeResult decodeSegments(std::span<const std::uint8_t> bytes, const jpeg::Segments& segments,
                            ChooseScale chooseScale) {
    TurboJpeg decoder(tjInitDecompress());
    if (!decoder) return DecodeResult::failure("cannot start the JPEG decoder");
    int width = 0, height = 0, subsampling = 0, colorspace = 0;
    if (tjDecompressHeader3(decoder.get(), bytes.data(), bytes.size(), &width, &height,
                            &subsampling, &colorspace) != 0)
        return DecodeResult::failure("corrupt JPEG header: " + lastError(decoder.get()));
    if (auto error = pictureSizeError(width, height)) return DecodeResult::failure(*error);

    const tjscalingfactor scale = chooseScale(width, height);
    const int scaledWidth = TJSCALED(width, scale), scaledHeight = TJSCALED(height, scale);
    const std::uint64_t working = segments.buffered ? jpeg::coefficientBytes(*segments.frame) : 0;
    if (auto error =
            memoryBudgetError(width, height, pixelBytes(scaledWidth, scaledHeight) + working))
        return DecodeResult::failure(*error, FailureCause::Memory);
    auto pixels = std::make_shared<PixelBuffer>(
        scaledWidth, scaledHeight, PixelBuffer::Format::Rgb24, PixelBuffer::Contents::Unspecified);
    // libjpeg turns YCCK into CMYK but neither into RGB: that step is ours.
    const bool cmyk = colorspace == TJCS_CMYK || colorspace == TJCS_YCCK;
    // A warning means missing or damaged data: refuse rather than show a grey patch. (Fast
    // chroma upsampling was measured a fifth faster but visibly less faithful: not used.)
    const int flags = TJFLAG_STOPONWARNING | TJFLAG_LIMITSCANS;
    // Asked for the scaled size, the decoder reduces by exactly that factor.
    if (tjDecompress2(decoder.get(), bytes.data(), bytes.size(), pixels->data(), scaledWidth,
                      pixels->stride(), scaledHeight, cmyk ? TJPF_CMYK : kCairoPixelFormat,
                      flags) != 0)
        return DecodeResult::failure("corrupt or truncated JPEG data: " + lastError(decoder.get()));
    if (cmyk) cmykToRgb(*pixels, segments.adobe);
    return DecodeResult::success(
        std::make_shared<const Image>(std::move(pixels), readExifOrientation(bytes), 1.0f));
}

template <class ChooseScale>
DecodeResult decodeAtScale(std::span<const std::uint8_t> bytes, ChooseScale chooseScale) {
    if (!hasJpegSignature(bytes)) return DecodeResult::failure("not a JPEG file");
    auto read = jpeg::readSegments(MemoryBytes(bytes));
    if (auto* error = std::get_if<std::string>(&read))
        return DecodeResult::failure("corrupt JPEG header: " + *error);
    const jpeg::Segments& segments = std::get<jpeg::Segments>(read);
    const jpeg::Frame& frame = *segments.frame;
    try {
        if (!segments.damage) return decodeSegments(bytes, segments, chooseScale);
        if (auto error = memoryBudgetError(frame.width, frame.height,
                                           bytes.size() + pixelBytes(frame.width, frame.height)))
            return DecodeResult::failure(*error, FailureCause::Memory);
        foundation::logWarning("a JPEG picture's %@ runs past the end of its file: it is ignored",
                               segments.damage->exif ? "EXIF block" : "metadata segment");
        const std::vector<std::uint8_t> repaired = withoutDamage(bytes, *segments.damage);
        return decodeSegments(repaired, segments, chooseScale);
    } catch (const std::bad_alloc&) {
        return DecodeResult::failure("not enough memory to decode a JPEG picture of " +
                                         pictureSize(frame.width, frame.height) + " pixels",
                                     FailureCause::Memory);
    }
}

EncodeResult encodePixels(const PixelBuffer& pixels, int quality) {
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
    const auto read = jpeg::readSegments(MemoryBytes(bytes));
    const auto* segments = std::get_if<jpeg::Segments>(&read);
    if (!segments) return std::nullopt;
    return JpegSize{segments->frame->width, segments->frame->height};
}

std::uint64_t largestJpeg(int width, int height) {
    return tjBufSize(width, height, TJSAMP_420);
}

EncodeResult encodeJpeg(const PixelBuffer& pixels, int quality) {
    if (pixels.width() == 0 || pixels.height() == 0)
        return EncodeResult::failure("cannot encode an empty picture as JPEG");
    try {
        return encodePixels(pixels, quality);
    } catch (const std::bad_alloc&) {
        return EncodeResult::failure("not enough memory to encode a picture of " +
                                         pictureSize(pixels.width(), pixels.height()) +
                                         " pixels as JPEG",
                                     FailureCause::Memory);
    }
}

}  // namespace platform::graphics
