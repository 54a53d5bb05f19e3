#include "platform/media/audio_mixer.h"

#include <algorithm>
#include <cmath>
#include <limits>

namespace platform::media {

namespace {

std::int16_t saturate(float sum) {
    constexpr float low = std::numeric_limits<std::int16_t>::min();
    constexpr float high = std::numeric_limits<std::int16_t>::max();
    return static_cast<std::int16_t>(std::lround(std::clamp(sum, low, high)));
}

bool hasEnded(const Voice& voice) {
    return voice.position >= voice.samples->size();
}

}  // namespace

void startVoice(std::vector<Voice>& voices, std::shared_ptr<const PcmSamples> samples,
                float volume) {
    auto playing = std::find_if(voices.begin(), voices.end(),
                                [&](const Voice& voice) { return voice.samples == samples; });
    if (playing != voices.end()) {
        playing->position = 0;
        playing->volume = volume;
        return;
    }
    voices.push_back(Voice{std::move(samples), 0, volume});
}

void mixVoices(std::vector<Voice>& voices, std::span<std::int16_t> out) {
    // Summing every voice before saturating keeps a loud pair that cancels out exact, which
    // adding into the 16-bit output one voice at a time would not.
    for (std::size_t i = 0; i < out.size(); ++i) {
        float sum = 0.0f;
        for (const Voice& voice : voices) {
            const std::size_t at = voice.position + i;
            if (at < voice.samples->size()) sum += voice.volume * (*voice.samples)[at];
        }
        out[i] = saturate(sum);
    }
    for (Voice& voice : voices) voice.position += out.size();
    std::erase_if(voices, hasEnded);
}

}  // namespace platform::media
