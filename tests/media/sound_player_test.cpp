#include "platform/media/sound_player.h"

#include <gtest/gtest.h>

#include <cmath>
#include <cstring>
#include <fstream>
#include <random>

#include "platform/foundation/log.h"
#include "platform/media/audio_output.h"
#include "platform/media/wav_sound.h"

namespace {

using namespace platform::media;
using platform::foundation::SystemLog;
namespace fs = std::filesystem;

fs::path resource(const char* name) {
    return fs::path(ORVEX_TEST_SOURCE_DIR) / "resources" / name;
}

std::vector<char> fileBytes(const fs::path& path) {
    std::ifstream in(path, std::ios::binary);
    return {std::istreambuf_iterator<char>(in), {}};
}

int linesNaming(const SystemLog::Capture& log, const fs::path& path) {
    int count = 0;
    for (const std::string& line : log.lines())
        if (line.find(path.string()) != std::string::npos) ++count;
    return count;
}

void appendLittleEndian(std::vector<char>& bytes, std::uint32_t value, int size) {
    for (int i = 0; i < size; ++i) bytes.push_back(static_cast<char>(value >> (8 * i)));
}

// A mono 44.1 kHz WAV file of `data`, in WAVE format `tag` (1 integer PCM, 3 IEEE float).
std::vector<char> monoWav(std::uint16_t tag, std::uint16_t bits, const std::vector<char>& data) {
    std::vector<char> file{'R', 'I', 'F', 'F'};
    appendLittleEndian(file, static_cast<std::uint32_t>(36 + data.size()), 4);
    for (char c : std::string("WAVEfmt ")) file.push_back(c);
    appendLittleEndian(file, 16, 4);
    appendLittleEndian(file, tag, 2);
    appendLittleEndian(file, 1, 2);
    appendLittleEndian(file, 44100, 4);
    appendLittleEndian(file, 44100u * bits / 8, 4);
    appendLittleEndian(file, bits / 8, 2);
    appendLittleEndian(file, bits, 2);
    for (char c : std::string("data")) file.push_back(c);
    appendLittleEndian(file, static_cast<std::uint32_t>(data.size()), 4);
    file.insert(file.end(), data.begin(), data.end());
    return file;
}

// A folder of its own for the sound files a test writes.
class SoundFolder : public testing::Test {
  protected:
    void SetUp() override {
        folder_ = fs::temp_directory_path() /
                  ("orvex-sound-test-" + std::to_string(std::random_device()()));
        fs::create_directories(folder_);
    }
    void TearDown() override { fs::remove_all(folder_); }

    fs::path write(const char* name, const std::vector<char>& bytes) {
        const fs::path path = folder_ / name;
        std::ofstream(path, std::ios::binary).write(bytes.data(), std::streamsize(bytes.size()));
        return path;
    }

    fs::path folder_;
};

class BadSoundFile : public SoundFolder {
  protected:
    // Loads `path` as the application does and checks that it gives a silent player that
    // still counts its plays, with the one log line naming the file.
    void expectRejected(const fs::path& path) {
        SystemLog::Capture log;
        auto player = SoundPlayer::withContentsOfFile(path);
        ASSERT_NE(player, nullptr);
        EXPECT_TRUE(player->isSilent());
        EXPECT_EQ(player->name(), path.stem().string());
        EXPECT_FALSE(player->prepareToPlay());
        player->play();
        player->play();
        EXPECT_EQ(player->playCount(), 2);
        EXPECT_EQ(log.lines().size(), 1u);
        EXPECT_EQ(linesNaming(log, path), 1) << path;
    }
};

TEST(SoundPlayer, PlaysTheInterfaceSoundsAndCountsEveryPlay) {
    SystemLog::Capture log;
    auto click = SoundPlayer::withContentsOfFile(resource("click.wav"));
    auto beep = SoundPlayer::withContentsOfFile(resource("beep.wav"));
    auto slide = SoundPlayer::withContentsOfFile(resource("slide.wav"));
    for (const auto& player : {click, beep, slide}) {
        EXPECT_FALSE(player->isSilent()) << player->name();
        EXPECT_TRUE(player->prepareToPlay()) << player->name();
        EXPECT_FLOAT_EQ(player->volume(), 1.0f);
    }
    EXPECT_EQ(click->name(), "click");
    EXPECT_EQ(slide->name(), "slide");

    // A beep over a slide that is still playing, and a click restarted at once.
    slide->play();
    beep->play();
    click->play();
    click->play();
    click->play();
    EXPECT_EQ(click->playCount(), 3);
    EXPECT_EQ(beep->playCount(), 1);
    EXPECT_EQ(slide->playCount(), 1);
    // The tests' audio driver is the dummy one, so the output opens; where it could not, the
    // plays above must have been counted all the same.
    if (!AudioOutput::shared().format()) GTEST_LOG_(INFO) << "no audio output here";
    for (const char* file : {"click.wav", "beep.wav", "slide.wav"})
        EXPECT_EQ(linesNaming(log, resource(file)), 0) << file;
}

TEST(SoundPlayer, PlayingWithoutPreparingPreparesFirst) {
    auto beep = SoundPlayer::withContentsOfFile(resource("beep.wav"));
    beep->play();
    EXPECT_EQ(beep->playCount(), 1);
    EXPECT_FALSE(beep->isSilent());
}

TEST(SoundPlayer, VolumeStaysBetweenSilentAndFull) {
    auto click = SoundPlayer::withContentsOfFile(resource("click.wav"));
    click->setVolume(0.25f);
    EXPECT_FLOAT_EQ(click->volume(), 0.25f);
    click->setVolume(3.0f);
    EXPECT_FLOAT_EQ(click->volume(), 1.0f);
    click->setVolume(-1.0f);
    EXPECT_FLOAT_EQ(click->volume(), 0.0f);
    click->setVolume(std::nanf(""));
    EXPECT_FLOAT_EQ(click->volume(), 0.0f);
}

TEST_F(BadSoundFile, MissingFileGivesASilentPlayer) {
    expectRejected(folder_ / "absent" / "beep.wav");
}

TEST_F(BadSoundFile, CorruptFilesGiveSilentPlayers) {
    std::mt19937 random(7);
    std::vector<char> noise(4096);
    for (char& byte : noise) byte = static_cast<char>(random());
    expectRejected(write("noise.wav", noise));

    const std::vector<char> click = fileBytes(resource("click.wav"));
    ASSERT_GT(click.size(), 44u);
    expectRejected(write("header.wav", {click.begin(), click.begin() + 24}));
    // A complete header whose data chunk holds not a single sample.
    expectRejected(write("nodata.wav", {click.begin(), click.begin() + 44}));
    expectRejected(write("empty.wav", {}));
    expectRejected(folder_);
}

TEST_F(BadSoundFile, OversizedFileIsRefusedUnread) {
    const fs::path path = write("huge.wav", fileBytes(resource("click.wav")));
    fs::resize_file(path, kMaxWavFileBytes + 1);
    expectRejected(path);
}

TEST_F(BadSoundFile, DataShorterThanItsHeaderSaysStillPlaysSafely) {
    const std::vector<char> click = fileBytes(resource("click.wav"));
    auto player =
        SoundPlayer::withContentsOfFile(write("cut.wav", {click.begin(), click.end() - 999}));
    player->play();
    EXPECT_EQ(player->playCount(), 1);
}

TEST(WavSound, LoadsTheFileAsStored) {
    auto loaded = loadWav(resource("click.wav"));
    ASSERT_TRUE(loaded) << loaded.error();
    const WavSound& sound = loaded.value();
    EXPECT_EQ(sound.encoding, (SampleEncoding{16, false, true, false}));
    EXPECT_EQ(sound.channels, 1);
    EXPECT_EQ(sound.frequency, 44100);
    EXPECT_EQ(sound.bytes.size() + 44, fs::file_size(resource("click.wav")));
}

using WavEncodings = SoundFolder;

// SDL converts through floats, so a sample may land one step from the exact value.
void expectSamplesNear(const PcmSamples& samples, const std::vector<int>& expected) {
    ASSERT_EQ(samples.size(), expected.size());
    for (std::size_t i = 0; i < samples.size(); ++i) EXPECT_NEAR(samples[i], expected[i], 1) << i;
}

TEST_F(WavEncodings, UnsignedBytesAndFloatsAreReadAsStoredAndConvertedToSigned16Bit) {
    auto bytes = loadWav(write("u8.wav", monoWav(1, 8, {'\x80', '\xff', '\x00', '\xc0'})));
    ASSERT_TRUE(bytes) << bytes.error();
    EXPECT_EQ(bytes.value().encoding, (SampleEncoding{8, false, false, false}));
    auto fromBytes = convertWav(bytes.value(), AudioFormat{1, 44100});
    ASSERT_TRUE(fromBytes) << fromBytes.error();
    expectSamplesNear(fromBytes.value(), {0, 32512, -32768, 16384});

    const float values[] = {0.0f, 0.5f, -1.0f};
    std::vector<char> data(sizeof values);
    std::memcpy(data.data(), values, sizeof values);
    auto floats = loadWav(write("f32.wav", monoWav(3, 32, data)));
    ASSERT_TRUE(floats) << floats.error();
    EXPECT_EQ(floats.value().encoding, (SampleEncoding{32, true, true, false}));
    auto fromFloats = convertWav(floats.value(), AudioFormat{1, 44100});
    ASSERT_TRUE(fromFloats) << fromFloats.error();
    expectSamplesNear(fromFloats.value(), {0, 16384, -32767});
}

TEST(WavSound, ConvertingToTheSameFormatKeepsEverySample) {
    const WavSound sound = loadWav(resource("beep.wav")).value();
    auto converted = convertWav(sound, AudioFormat{1, 44100});
    ASSERT_TRUE(converted) << converted.error();
    const PcmSamples& samples = converted.value();
    ASSERT_EQ(samples.size() * 2, sound.bytes.size());
    for (std::size_t i = 0; i < samples.size(); ++i)
        ASSERT_EQ(samples[i], std::int16_t(sound.bytes[2 * i] | sound.bytes[2 * i + 1] << 8)) << i;
}

TEST(WavSound, ConvertsMonoToStereoAtAnotherRate) {
    const WavSound sound = loadWav(resource("slide.wav")).value();
    auto converted = convertWav(sound, AudioFormat{2, 48000});
    ASSERT_TRUE(converted) << converted.error();
    const PcmSamples& samples = converted.value();
    const double frames = sound.bytes.size() / 2 * 48000.0 / 44100.0;
    EXPECT_NEAR(samples.size() / 2.0, frames, frames * 0.01);
    ASSERT_EQ(samples.size() % 2, 0u);
    int loudest = 0;
    for (std::size_t i = 0; i < samples.size(); i += 2) {
        ASSERT_EQ(samples[i], samples[i + 1]) << "both channels carry the one mono channel";
        loudest = std::max(loudest, std::abs(int(samples[i])));
    }
    EXPECT_GT(loudest, 1000);
}

}  // namespace
