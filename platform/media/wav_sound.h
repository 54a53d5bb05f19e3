#pragma once

#include <bit>
#include <cstdint>
#include <filesystem>
#include <vector>

#include "platform/graphics/codec_result.h"
#include "platform/media/audio_mixer.h"

namespace platform::media {

// The shape of the audio output's samples; they are always signed 16-bit, native order.
struct AudioFormat {
    int channels = 2;
    int frequency = 44100;
};

// How a WAV file stores each sample; by default signed 16-bit in the machine's own order.
struct SampleEncoding {
    int bits = 16;
    bool isFloat = false;
    bool isSigned = true;
    bool isBigEndian = std::endian::native == std::endian::big;
    friend bool operator==(const SampleEncoding&, const SampleEncoding&) = default;
};

// A WAV file's sound data as stored in the file, with the encoding it is stored in.
struct WavSound {
    SampleEncoding encoding;
    int channels = 0;
    int frequency = 0;
    std::vector<std::uint8_t> bytes;
};

// Interface sounds are a fraction of a second long; anything this large is not one of them
// and is refused before it is read into memory.
inline constexpr std::uintmax_t kMaxWavFileBytes = 16u << 20;

graphics::Result<WavSound> loadWav(const std::filesystem::path& path);

// The sound resampled and remixed into the output's format.
graphics::Result<PcmSamples> convertWav(const WavSound& sound, const AudioFormat& output);

}  // namespace platform::media
