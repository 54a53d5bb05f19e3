#pragma once

#include <cstdint>
#include <memory>
#include <mutex>
#include <optional>
#include <vector>

#include "platform/media/audio_mixer.h"
#include "platform/media/wav_sound.h"

namespace platform::media {

// The process's one audio device, shared by every sound player. It is opened on first use;
// where it cannot be (no sound hardware, no audio server), sounds are simply not heard.
class AudioOutput {
  public:
    static AudioOutput& shared();

    AudioOutput(const AudioOutput&) = delete;
    AudioOutput& operator=(const AudioOutput&) = delete;
    ~AudioOutput();

    // The device's sample format, or nothing when there is no device.
    std::optional<AudioFormat> format();
    // Mixes `samples` (in the device's format) into what the device plays, from the start.
    void start(std::shared_ptr<const PcmSamples> samples, float volume);

  private:
    AudioOutput() = default;
    void open();
    // SDL's audio callback.
    static void fill(void* output, std::uint8_t* stream, int length);

    bool openAttempted_ = false;
    bool initialized_ = false;
    // SDL's number for the open device; 0 while there is none.
    std::uint32_t device_ = 0;
    AudioFormat format_;
    // Shared with SDL's audio thread, which mixes the voices into the device's buffer.
    std::mutex voicesMutex_;
    std::vector<Voice> voices_;
};

}  // namespace platform::media
