#pragma once

// A mutated PNG file almost always fails the checksum of the chunk that changed, which the
// readers check before anything else: without help the fuzzer would hardly get past them.
// So most mutants have their checksums made right again; one in four keeps them as they
// came out, for the checks themselves.
#include <zlib.h>

#include <cstddef>
#include <cstdint>
#include <cstring>

extern "C" std::size_t LLVMFuzzerMutate(std::uint8_t* data, std::size_t size, std::size_t maxSize);

namespace fuzz {

inline void fixPngChecksums(std::uint8_t* data, std::size_t size) {
    static constexpr std::uint8_t kSignature[8] = {0x89, 'P', 'N', 'G', '\r', '\n', 0x1A, '\n'};
    if (size < sizeof kSignature || std::memcmp(data, kSignature, sizeof kSignature) != 0) return;
    for (std::size_t at = sizeof kSignature; size - at >= 12;) {
        const std::size_t length = std::size_t{data[at]} << 24 | std::size_t{data[at + 1]} << 16 |
                                   std::size_t{data[at + 2]} << 8 | data[at + 3];
        if (length > size - at - 12) return;
        const auto crc =
            static_cast<std::uint32_t>(crc32(0, data + at + 4, static_cast<uInt>(length + 4)));
        std::uint8_t* field = data + at + 8 + length;
        for (int i = 0; i < 4; ++i) field[i] = static_cast<std::uint8_t>(crc >> (24 - 8 * i));
        at += 12 + length;
    }
}

}  // namespace fuzz

extern "C" std::size_t LLVMFuzzerCustomMutator(std::uint8_t* data, std::size_t size,
                                               std::size_t maxSize, unsigned int seed) {
    size = LLVMFuzzerMutate(data, size, maxSize);
    if (seed % 4 != 0) fuzz::fixPngChecksums(data, size);
    return size;
}
