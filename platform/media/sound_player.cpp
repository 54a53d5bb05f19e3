#include "platform/media/sound_player.h"

#include <algorithm>
#include <cmath>

#include "platform/foundation/log.h"
#include "platform/media/audio_output.h"

namespace platform::media {

SoundPlayer::SoundPlayer(std::string name, std::optional<WavSound> sound)
    : name_(std::move(name)), sound_(std::move(sound)) {}

std::shared_ptr<SoundPlayer> SoundPlayer::withContentsOfFile(const std::filesystem::path& path) {
    auto loaded = loadWav(path);
    if (!loaded) {
        foundation::logWarning("cannot load sound %@: %@", path.string(), loaded.error());
        return std::make_shared<SoundPlayer>(path.stem().string(), std::nullopt);
    }
    return std::make_shared<SoundPlayer>(path.stem().string(), std::move(loaded.value()));
}

bool SoundPlayer::prepareToPlay() {
    if (isSilent()) return false;
    if (samples_) return true;
    // Without an output there is no format to convert to; the sound stays loaded and
    // playing it only counts.
    const std::optional<AudioFormat> format = AudioOutput::shared().format();
    if (!format) return true;
    auto converted = convertWav(*sound_, *format);
    sound_.reset();
    if (!converted) {
        foundation::logWarning("cannot convert sound %@: %@", name_, converted.error());
        return false;
    }
    samples_ = std::make_shared<const PcmSamples>(std::move(converted.value()));
    return true;
}

void SoundPlayer::play() {
    ++playCount_;
    if (prepareToPlay() && samples_) AudioOutput::shared().start(samples_, volume_);
}

void SoundPlayer::setVolume(float volume) {
    if (std::isnan(volume)) return;
    volume_ = std::clamp(volume, 0.0f, 1.0f);
}

}  // namespace platform::media
