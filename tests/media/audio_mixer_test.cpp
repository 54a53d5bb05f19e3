#include "platform/media/audio_mixer.h"

#include <gtest/gtest.h>

namespace {

using namespace platform::media;

std::shared_ptr<const PcmSamples> clip(PcmSamples samples) {
    return std::make_shared<const PcmSamples>(std::move(samples));
}

PcmSamples mix(std::vector<Voice>& voices, std::size_t length) {
    PcmSamples out(length, 12345);  // whatever the device left there must not survive
    mixVoices(voices, out);
    return out;
}

TEST(AudioMixer, SumsScaledVoicesSaturatingOnlyTheSumAndFillsSilenceAfterThem) {
    std::vector<Voice> voices;
    startVoice(voices, clip({1000, 2000, 3000}), 1.0f);
    startVoice(voices, clip({10, -20}), 0.5f);
    startVoice(voices, clip({20000, 20000}), 0.0f);
    EXPECT_EQ(mix(voices, 5), (PcmSamples{1005, 1990, 3000, 0, 0}));
    EXPECT_TRUE(voices.empty());
    EXPECT_EQ(mix(voices, 3), (PcmSamples{0, 0, 0}));

    startVoice(voices, clip({30000, -30000, 30000, 32767}), 1.0f);
    startVoice(voices, clip({30000, -30000, 30000, 32767}), 1.0f);
    startVoice(voices, clip({0, 0, -30000}), 1.0f);
    // The third sample cancels out to 30000: saturating voice by voice would give 2767.
    EXPECT_EQ(mix(voices, 4), (PcmSamples{32767, -32768, 30000, 32767}));
}

TEST(AudioMixer, CarriesAVoiceAcrossBuffersAndRestartsASoundStartedAgain) {
    std::vector<Voice> voices;
    startVoice(voices, clip({1, 2, 3, 4, 5, 6, 7, 8, 9, 10}), 1.0f);
    EXPECT_EQ(mix(voices, 4), (PcmSamples{1, 2, 3, 4}));
    EXPECT_EQ(mix(voices, 4), (PcmSamples{5, 6, 7, 8}));
    EXPECT_EQ(mix(voices, 4), (PcmSamples{9, 10, 0, 0}));
    EXPECT_TRUE(voices.empty());

    auto click = clip({100, 200, 300, 400});
    startVoice(voices, click, 1.0f);
    startVoice(voices, clip({}), 1.0f);  // an empty sound ends at once
    mix(voices, 3);
    startVoice(voices, click, 0.5f);
    ASSERT_EQ(voices.size(), 1u);
    EXPECT_EQ(mix(voices, 4), (PcmSamples{50, 100, 150, 200}));
}

}  // namespace
