#pragma once

#include <cstdint>
#include <memory>
#include <span>
#include <vector>

namespace platform::media {

// Signed 16-bit samples in the output's channel layout, channels interleaved.
using PcmSamples = std::vector<std::int16_t>;

// One sound being played: its samples, how far it has got and how loud it is.
struct Voice {
    std::shared_ptr<const PcmSamples> samples;
    std::size_t position = 0;
    float volume = 1.0f;
};

// Plays `samples` from the start. A sound already playing restarts instead of doubling up, so
// the number of voices never exceeds the number of distinct sounds.
void startVoice(std::vector<Voice>& voices, std::shared_ptr<const PcmSamples> samples,
                float volume);

// Fills `out` with the sum of every voice's next samples, each scaled by its volume and the
// sum saturated to the 16-bit range, then drops the voices that have ended. Voices never
// grow here, so the audio thread never allocates.
void mixVoices(std::vector<Voice>& voices, std::span<std::int16_t> out);

}  // namespace platform::media
