#pragma once

#include <SDL_audio.h>

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

// A WAV file's sound data as stored in the file, with the format it is stored in.
struct WavSound {
    SDL_AudioFormat format = AUDIO_S16SYS;
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
