#include "platform/media/audio_output.h"

#include <cstdlib>
#include <filesystem>

#include <SDL.h>

#include <span>

#include "platform/foundation/log.h"

namespace platform::media {

namespace {

// A short buffer keeps a click in step with the touch that caused it.
constexpr Uint16 kBufferFrames = 512;

}  // namespace

AudioOutput& AudioOutput::shared() {
    static AudioOutput output;
    return output;
}

AudioOutput::~AudioOutput() {
    // Closing joins SDL's audio thread, so no callback can run into the voices being destroyed.
    if (device_ != 0) SDL_CloseAudioDevice(device_);
    if (initialized_) SDL_QuitSubSystem(SDL_INIT_AUDIO);
}

std::optional<AudioFormat> AudioOutput::format() {
    if (!openAttempted_) open();
    if (device_ == 0) return std::nullopt;
    return format_;
}

void AudioOutput::start(std::shared_ptr<const PcmSamples> samples, float volume) {
    if (device_ == 0) return;
    std::lock_guard lock(voicesMutex_);
    startVoice(voices_, std::move(samples), volume);
}

// Without a sound card or a sound server there is nothing to open, and asking SDL would
// only fill the log with the sound libraries' own complaints.
static bool audioMayExist() {
    if (std::getenv("SDL_AUDIODRIVER") || std::getenv("PULSE_SERVER")) return true;
    std::error_code ec;
    if (std::filesystem::exists("/dev/snd", ec)) return true;
    const char* runtime = std::getenv("XDG_RUNTIME_DIR");
    if (!runtime) return false;
    const std::filesystem::path dir(runtime);
    return std::filesystem::exists(dir / "pulse" / "native", ec) ||
           std::filesystem::exists(dir / "pipewire-0", ec);
}

void AudioOutput::open() {
    openAttempted_ = true;
    if (!audioMayExist()) {
        foundation::log("no audio output: no sound card or sound server");
        return;
    }
    if (SDL_InitSubSystem(SDL_INIT_AUDIO) != 0) {
        foundation::log("no audio output: %@", SDL_GetError());
        return;
    }
    initialized_ = true;
    SDL_AudioSpec wanted{};
    wanted.freq = format_.frequency;
    wanted.format = AUDIO_S16SYS;
    wanted.channels = static_cast<Uint8>(format_.channels);
    wanted.samples = kBufferFrames;
    wanted.callback = &AudioOutput::fill;
    wanted.userdata = this;
    SDL_AudioSpec obtained{};
    device_ =
        SDL_OpenAudioDevice(nullptr, 0, &wanted, &obtained,
                            SDL_AUDIO_ALLOW_FREQUENCY_CHANGE | SDL_AUDIO_ALLOW_CHANNELS_CHANGE);
    if (device_ == 0) {
        foundation::log("no audio output: %@", SDL_GetError());
        return;
    }
    format_ = AudioFormat{obtained.channels, obtained.freq};
    SDL_PauseAudioDevice(device_, 0);
}

void AudioOutput::fill(void* output, std::uint8_t* stream, int length) {
    auto* self = static_cast<AudioOutput*>(output);
    std::span<std::int16_t> out(reinterpret_cast<std::int16_t*>(stream),
                                static_cast<std::size_t>(length) / sizeof(std::int16_t));
    std::lock_guard lock(self->voicesMutex_);
    mixVoices(self->voices_, out);
}

}  // namespace platform::media
