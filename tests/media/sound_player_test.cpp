#include "platform/media/sound_player.h"

#include <gtest/gtest.h>

#include <cmath>
#include <cstring>
#include <tuple>

#include "platform/foundation/log.h"
#include "platform/media/audio_mixer.h"
#include "platform/media/wav_sound.h"
#include "tests/graphics/independent_tools.h"

namespace {

using namespace platform::media;
using independent_tools::ScratchFiles;
using platform::foundation::SystemLog;
namespace fs = std::filesystem;
using Bytes = std::vector<std::uint8_t>;

fs::path resource(const char* name) {
    return fs::path(ORVEX_TEST_SOURCE_DIR) / "resources" / name;
}

// A mono 44.1 kHz WAV file of `data`, in WAVE format `tag` (1 integer PCM, 3 IEEE float).
Bytes monoWav(std::uint16_t tag, std::uint16_t bits, const Bytes& data) {
    Bytes file;
    const auto put = [&](std::uint32_t value, int size) {
        for (int i = 0; i < size; ++i) file.push_back(static_cast<std::uint8_t>(value >> (8 * i)));
    };
    const auto text = [&](std::string_view s) { file.insert(file.end(), s.begin(), s.end()); };
    text("RIFF");
    put(static_cast<std::uint32_t>(36 + data.size()), 4);
    text("WAVEfmt ");
    const std::pair<std::uint32_t, int> format[] = {
        {16, 4}, {tag, 2}, {1, 2}, {44100, 4}, {44100u * bits / 8, 4}, {bits / 8u, 2}, {bits, 2}};
    for (const auto& [value, size] : format) put(value, size);
    text("data");
    put(static_cast<std::uint32_t>(data.size()), 4);
    file.insert(file.end(), data.begin(), data.end());
    return file;
}

TEST(SoundPlayer, PlaysTheInterfaceSoundsCountingEveryPlayAtAVolumeBetweenSilentAndFull) {
    auto click = SoundPlayer::withContentsOfFile(resource("click.wav"));
    auto beep = SoundPlayer::withContentsOfFile(resource("beep.wav"));
    auto slide = SoundPlayer::withContentsOfFile(resource("slide.wav"));
    EXPECT_EQ(click->name(), "click");
    EXPECT_TRUE(click->prepareToPlay());
    EXPECT_TRUE(slide->prepareToPlay());
    // A beep, unprepared, over a slide that is still playing, and a click restarted at once.
    slide->play();
    beep->play();
    for (int i = 0; i < 3; ++i) click->play();
    EXPECT_EQ(std::tuple(click->playCount(), beep->playCount(), slide->playCount()),
              std::tuple(3, 1, 1));
    for (const auto& player : {click, beep, slide}) EXPECT_FALSE(player->isSilent());

    // A volume that is not a number is ignored.
    const std::pair<float, float> volumes[] = {
        {0.25f, 0.25f}, {3.0f, 1.0f}, {-1.0f, 0.0f}, {std::nanf(""), 0.0f}};
    for (const auto& [set, kept] : volumes) {
        click->setVolume(set);
        EXPECT_FLOAT_EQ(click->volume(), kept) << set;
    }
}

// What cannot be played gives a silent player that still counts its plays, and the one log
// line that names the file.
TEST(SoundPlayer, FilesThatCannotBePlayedGiveSilentPlayers) {
    const ScratchFiles files;
    const Bytes click = ScratchFiles::read(resource("click.wav"));
    ASSERT_GT(click.size(), 44u);
    const fs::path huge = files.write("huge.wav", click);
    fs::resize_file(huge, kMaxWavFileBytes + 1);  // refused unread, whole header and all
    const fs::path rejected[] = {
        files.path("absent") / "beep.wav",
        files.write("noise.wav", Bytes(4096, 0x5a)),
        files.write("header.wav", {click.begin(), click.begin() + 24}),
        // A complete header whose data chunk holds not a single sample.
        files.write("nodata.wav", {click.begin(), click.begin() + 44}),
        files.write("empty.wav", {}),
        files.folder(),
        huge,
    };
    for (const fs::path& path : rejected) {
        SCOPED_TRACE(path);
        SystemLog::Capture log;
        auto player = SoundPlayer::withContentsOfFile(path);
        ASSERT_NE(player, nullptr);
        EXPECT_TRUE(player->isSilent());
        EXPECT_EQ(player->name(), path.stem().string());
        EXPECT_FALSE(player->prepareToPlay());
        player->play();
        player->play();
        EXPECT_EQ(player->playCount(), 2);
        ASSERT_EQ(log.lines().size(), 1u);
        EXPECT_NE(log.lines()[0].find(path.string()), std::string::npos) << log.lines()[0];
    }

    // Data shorter than its header says still plays safely.
    auto cut =
        SoundPlayer::withContentsOfFile(files.write("cut.wav", {click.begin(), click.end() - 999}));
    cut->play();
    EXPECT_EQ(cut->playCount(), 1);
}

// Converted to its own format every sample is kept; to stereo at another rate, the one channel
// goes to both and the length follows the rate.
TEST(WavSound, LoadsTheFileAsStoredAndConvertsItToItsOwnFormatOrAnother) {
    auto loaded = loadWav(resource("beep.wav"));
    ASSERT_TRUE(loaded) << loaded.error();
    const WavSound& sound = loaded.value();
    EXPECT_EQ(sound.encoding, (SampleEncoding{16, false, true, false}));
    EXPECT_EQ(std::pair(sound.channels, sound.frequency), std::pair(1, 44100));
    EXPECT_EQ(sound.bytes.size() + 44, fs::file_size(resource("beep.wav")));

    auto converted = convertWav(sound, AudioFormat{1, 44100});
    ASSERT_TRUE(converted) << converted.error();
    const PcmSamples& samples = converted.value();
    ASSERT_EQ(samples.size() * 2, sound.bytes.size());
    for (std::size_t i = 0; i < samples.size(); ++i)
        ASSERT_EQ(samples[i], std::int16_t(sound.bytes[2 * i] | sound.bytes[2 * i + 1] << 8)) << i;

    auto stereo = convertWav(sound, AudioFormat{2, 48000});
    ASSERT_TRUE(stereo) << stereo.error();
    const double frames = samples.size() * 48000.0 / 44100.0;
    EXPECT_NEAR(stereo.value().size() / 2.0, frames, frames * 0.01);
    ASSERT_EQ(stereo.value().size() % 2, 0u);
    int loudest = 0;
    for (std::size_t i = 0; i < stereo.value().size(); i += 2) {
        ASSERT_EQ(stereo.value()[i], stereo.value()[i + 1]) << "both channels carry the mono one";
        loudest = std::max(loudest, std::abs(int(stereo.value()[i])));
    }
    EXPECT_GT(loudest, 1000);
}

// SDL converts through floats, so a sample may land one step from the exact value.
void expectSamplesNear(const PcmSamples& samples, const std::vector<int>& expected) {
    ASSERT_EQ(samples.size(), expected.size());
    for (std::size_t i = 0; i < samples.size(); ++i) EXPECT_NEAR(samples[i], expected[i], 1) << i;
}

TEST(WavSound, UnsignedBytesAndFloatsAreReadAsStoredAndConvertedToSigned16Bit) {
    const ScratchFiles files;
    auto bytes = loadWav(files.write("u8.wav", monoWav(1, 8, {0x80, 0xff, 0x00, 0xc0})));
    ASSERT_TRUE(bytes) << bytes.error();
    EXPECT_EQ(bytes.value().encoding, (SampleEncoding{8, false, false, false}));
    auto fromBytes = convertWav(bytes.value(), AudioFormat{1, 44100});
    ASSERT_TRUE(fromBytes) << fromBytes.error();
    expectSamplesNear(fromBytes.value(), {0, 32512, -32768, 16384});

    const float values[] = {0.0f, 0.5f, -1.0f};
    Bytes data(sizeof values);
    std::memcpy(data.data(), values, sizeof values);
    auto floats = loadWav(files.write("f32.wav", monoWav(3, 32, data)));
    ASSERT_TRUE(floats) << floats.error();
    EXPECT_EQ(floats.value().encoding, (SampleEncoding{32, true, true, false}));
    auto fromFloats = convertWav(floats.value(), AudioFormat{1, 44100});
    ASSERT_TRUE(fromFloats) << fromFloats.error();
    expectSamplesNear(fromFloats.value(), {0, 16384, -32767});
}

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