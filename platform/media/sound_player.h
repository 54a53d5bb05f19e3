#pragma once

#include <filesystem>
#include <memory>
#include <optional>
#include <string>

#include "platform/media/audio_mixer.h"
#include "platform/media/wav_sound.h"

namespace platform::media {

// A short sound from a WAV file, played through the shared audio output. A player whose file
// could not be read is silent but otherwise behaves the same, and every player counts its
// plays whether or not anything is heard, so that tests and the headless screen can see them.
class SoundPlayer {
  public:
    SoundPlayer(std::string name, std::optional<WavSound> sound);

    // Never null: a missing or unreadable file is logged and gives a silent player.
    static std::shared_ptr<SoundPlayer> withContentsOfFile(const std::filesystem::path& path);

    // Opens the audio output and puts the sound in its format; false if the player is silent.
    bool prepareToPlay();
    // Plays from the start, over whatever else is playing.
    void play();

    float volume() const { return volume_; }
    // Clamped to 0…1.
    void setVolume(float volume);
    int playCount() const { return playCount_; }
    const std::string& name() const { return name_; }
    bool isSilent() const { return !sound_ && !samples_; }

  private:
    std::string name_;
    // The file's data until it has been converted for the output, then the converted samples.
    std::optional<WavSound> sound_;
    std::shared_ptr<const PcmSamples> samples_;
    float volume_ = 1.0f;
    int playCount_ = 0;
};

}  // namespace platform::media
