#include "platform/graphics/jpeg_segments.h"

#include <algorithm>
#include <cstring>

namespace platform::graphics::jpeg {

namespace {

// Real files have a few dozen segments; this many reads, over every attempt to find where a
// damaged segment ends, is not a picture but a way to keep us reading.
constexpr int kMaxSteps = 100000;

// A segment's length field counts 16 bits: its real end is no farther from its start.
constexpr std::uint64_t kLongestSegment = 2 + 0xFFFF;

constexpr std::uint8_t kStartOfImage = 0xD8;
constexpr std::uint8_t kEndOfImage = 0xD9;
constexpr std::uint8_t kStartOfScan = 0xDA;

bool isFrame(std::uint8_t m) {
    return m >= 0xC0 && m <= 0xCF && m != 0xC4 && m != 0xC8 && m != 0xCC;
}

bool isProgressive(std::uint8_t m) {
    return m == 0xC2 || m == 0xC6 || m == 0xCA || m == 0xCE;
}

// Application segments and comments: nothing in them changes the pixels.
bool isOptional(std::uint8_t m) {
    return (m >= 0xE0 && m <= 0xEF) || m == 0xFE;
}

// Markers a segment chain may go on with after an optional segment.
bool opensSegment(std::uint8_t m) {
    return isOptional(m) || isFrame(m) || m == 0xC4 || m == 0xCC || m == 0xDB || m == 0xDD ||
           m == kStartOfScan;
}

bool startsWith(const ByteSource& bytes, std::uint64_t at, std::uint64_t length, const char* prefix,
                std::size_t prefixLength) {
    if (length < prefixLength) return false;
    std::uint8_t head[8];
    return bytes.read(at, {head, prefixLength}) && std::memcmp(head, prefix, prefixLength) == 0;
}

class Walk {
  public:
    Walk(const ByteSource& bytes, int& steps) : bytes_(bytes), steps_(steps) {}

    // Walks the segments from `at` to the first scan, recording them in `found`; with
    // `mayRepair`, one optional segment running past the end of the file is stepped over.
    std::optional<std::string> run(std::uint64_t at, Segments& found, bool mayRepair) {
        for (;;) {
            if (++steps_ > kMaxSteps) return "too many segments";
            std::uint8_t head[4];
            if (!bytes_.read(at, {head, 2})) return "the file ends before the picture";
            if (head[0] != 0xFF) return "bytes where a marker belongs";
            const std::uint8_t marker = head[1];
            if (marker == 0xFF) {  // fill byte
                ++at;
                continue;
            }
            if (marker == 0x01 || (marker >= 0xD0 && marker <= 0xD7)) {
                at += 2;
                continue;
            }
            if (marker == kStartOfImage || marker == kEndOfImage)
                return "a start or end marker before the picture";
            if (!bytes_.read(at + 2, {head + 2, 2})) return "the file ends before the picture";
            const std::uint64_t length = std::uint64_t{head[2]} << 8 | head[3];
            if (length < 2) return "a segment shorter than its length field";
            const std::uint64_t data = at + 4;
            const std::uint64_t end = at + 2 + length;
            if (end > bytes_.size()) {
                if (!mayRepair || !isOptional(marker))
                    return "a segment runs past the end of the file";
                return stepOver(at, marker, length, found);
            }
            if (isFrame(marker)) {
                if (found.frame) return "a second frame";
                if (auto error = readFrame(marker, data, length - 2, found)) return error;
            } else if (marker == kStartOfScan) {
                return readScan(at, data, length - 2, found);
            } else if (marker == 0xE1 && found.exifLength == 0 &&
                       startsWith(bytes_, data, length - 2, "Exif\0\0", 6)) {
                found.exifAt = data;
                found.exifLength = length - 2;
            } else if (marker == 0xEE && startsWith(bytes_, data, length - 2, "Adobe", 5)) {
                found.adobe = true;
            }
            at = end;
        }
    }

  private:
    std::optional<std::string> readFrame(std::uint8_t marker, std::uint64_t data,
                                         std::uint64_t length, Segments& found) {
        std::uint8_t fields[6];
        if (length < 6 || !bytes_.read(data, fields)) return "a frame header too short";
        Frame frame;
        frame.height = fields[1] << 8 | fields[2];
        frame.width = fields[3] << 8 | fields[4];
        frame.progressive = isProgressive(marker);
        const int count = fields[5];
        if (count == 0 || length < 6 + 3u * count) return "a frame header too short";
        for (int i = 0; i < count; ++i) {
            std::uint8_t component[3];
            if (!bytes_.read(data + 6 + 3 * i, component)) return "a frame header too short";
            const int horizontal = component[1] >> 4, vertical = component[1] & 0x0F;
            if (horizontal < 1 || horizontal > 4 || vertical < 1 || vertical > 4)
                return "bad sampling factors";
            frame.components.push_back({horizontal, vertical});
        }
        found.frame = std::move(frame);
        return std::nullopt;
    }

    std::optional<std::string> readScan(std::uint64_t at, std::uint64_t data, std::uint64_t length,
                                        Segments& found) {
        if (!found.frame) return "a scan before the frame";
        std::uint8_t count = 0;
        if (length < 1 || !bytes_.read(data, {&count, 1})) return "a scan header too short";
        found.scanAt = at;
        found.buffered = found.frame->progressive || count < found.frame->components.size();
        return std::nullopt;
    }

    // The damaged segment's real end is where a chain of whole segments starts that leads to
    // the first scan. A picture embedded in it (an EXIF thumbnail) is passed over whole, so
    // that its own segments are not taken for the file's.
    std::optional<std::string> stepOver(std::uint64_t at, std::uint8_t marker, std::uint64_t length,
                                        Segments& found) {
        const bool exif = marker == 0xE1 && startsWith(bytes_, at + 4, length - 2, "Exif\0\0", 6);
        const std::uint64_t limit = at + kLongestSegment;
        std::uint64_t from = at + 4;
        while (auto candidate = bytes_.find(from, 0xFF)) {
            if (*candidate > limit || steps_ > kMaxSteps) break;
            std::uint8_t next = 0;
            if (!bytes_.read(*candidate + 1, {&next, 1})) break;
            if (next == kStartOfImage) {
                from = endOfEmbedded(*candidate, limit);
                continue;
            }
            if (opensSegment(next)) {
                Segments attempt = found;
                Walk resumed(bytes_, steps_);
                if (!resumed.run(*candidate, attempt, false)) {
                    attempt.damage = Damage{at, *candidate, exif};
                    found = std::move(attempt);
                    return std::nullopt;
                }
            }
            from = *candidate + 1;
        }
        return "a segment runs past the end of the file";
    }

    // Just past the end marker of the picture starting at `start`; past its start marker
    // when it is not one.
    std::uint64_t endOfEmbedded(std::uint64_t start, std::uint64_t limit) {
        Segments embedded;
        Walk walk(bytes_, steps_);
        if (walk.run(start + 2, embedded, false)) return start + 2;
        std::uint64_t from = embedded.scanAt + 2;
        while (auto candidate = bytes_.find(from, 0xFF)) {
            if (*candidate > limit) break;
            std::uint8_t next = 0;
            if (!bytes_.read(*candidate + 1, {&next, 1})) break;
            if (next == kEndOfImage) return *candidate + 2;
            from = *candidate + 1;
        }
        return bytes_.size();
    }

    const ByteSource& bytes_;
    int& steps_;  // shared by every walk over the file
};

}  // namespace

std::variant<Segments, std::string> readSegments(const ByteSource& bytes) {
    std::uint8_t start[2];
    if (!bytes.read(0, start) || start[0] != 0xFF || start[1] != kStartOfImage)
        return std::string("not a JPEG file");
    Segments found;
    int steps = 0;
    Walk walk(bytes, steps);
    if (auto error = walk.run(2, found, true)) return *error;
    return found;
}

std::uint64_t coefficientBytes(const Frame& frame) {
    int maxHorizontal = 1, maxVertical = 1;
    for (const Component& c : frame.components) {
        maxHorizontal = std::max(maxHorizontal, c.horizontal);
        maxVertical = std::max(maxVertical, c.vertical);
    }
    const auto ceilDiv = [](std::uint64_t a, std::uint64_t b) { return (a + b - 1) / b; };
    std::uint64_t bytes = 0;
    for (const Component& c : frame.components) {
        // Blocks of 8 × 8 coefficients of 2 bytes, in whole MCUs.
        const std::uint64_t across =
            ceilDiv(ceilDiv(ceilDiv(std::uint64_t(frame.width) * c.horizontal, maxHorizontal), 8),
                    c.horizontal) *
            c.horizontal;
        const std::uint64_t down =
            ceilDiv(ceilDiv(ceilDiv(std::uint64_t(frame.height) * c.vertical, maxVertical), 8),
                    c.vertical) *
            c.vertical;
        bytes += across * down * 64 * 2;
    }
    return bytes;
}

}  // namespace platform::graphics::jpeg
