#include "platform/media/wav_sound.h"

#include <SDL_audio.h>
#include <SDL_error.h>

#include <cstring>
#include <string>
#include <system_error>

namespace platform::media {

namespace {

std::string fileSizeError(const std::filesystem::path& path) {
    std::error_code error;
    const std::uintmax_t size = std::filesystem::file_size(path, error);
    if (error) return error.message();
    if (size > kMaxWavFileBytes)
        return "file of " + std::to_string(size) + " bytes is larger than a sound may be";
    return {};
}

std::size_t frameBytes(const WavSound& sound) {
    return static_cast<std::size_t>(sound.encoding.bits / 8 * sound.channels);
}

SampleEncoding encodingOf(SDL_AudioFormat format) {
    return {SDL_AUDIO_BITSIZE(format), SDL_AUDIO_ISFLOAT(format) != 0,
            SDL_AUDIO_ISSIGNED(format) != 0, SDL_AUDIO_ISBIGENDIAN(format) != 0};
}

SDL_AudioFormat sdlFormatOf(const SampleEncoding& encoding) {
    return static_cast<SDL_AudioFormat>((encoding.bits & SDL_AUDIO_MASK_BITSIZE) |
                                        (encoding.isFloat ? SDL_AUDIO_MASK_DATATYPE : 0) |
                                        (encoding.isBigEndian ? SDL_AUDIO_MASK_ENDIAN : 0) |
                                        (encoding.isSigned ? SDL_AUDIO_MASK_SIGNED : 0));
}

}  // namespace

graphics::Result<WavSound> loadWav(const std::filesystem::path& path) {
    if (std::string error = fileSizeError(path); !error.empty())
        return graphics::Result<WavSound>::failure(error);
    SDL_AudioSpec format{};
    Uint8* buffer = nullptr;
    Uint32 length = 0;
    if (!SDL_LoadWAV(path.c_str(), &format, &buffer, &length))
        return graphics::Result<WavSound>::failure(SDL_GetError());
    WavSound sound{
        encodingOf(format.format), format.channels, format.freq, {buffer, buffer + length}};
    SDL_FreeWAV(buffer);
    if (frameBytes(sound) == 0 || sound.bytes.size() < frameBytes(sound))
        return graphics::Result<WavSound>::failure("no sound data");
    return graphics::Result<WavSound>::success(std::move(sound));
}

graphics::Result<PcmSamples> convertWav(const WavSound& sound, const AudioFormat& output) {
    // SDL's converter rather than its audio stream: the stream's resampler holds back the
    // last few milliseconds of a sound, even when flushed.
    SDL_AudioCVT converter;
    if (SDL_BuildAudioCVT(&converter, sdlFormatOf(sound.encoding),
                          static_cast<Uint8>(sound.channels), sound.frequency, AUDIO_S16SYS,
                          static_cast<Uint8>(output.channels), output.frequency) < 0)
        return graphics::Result<PcmSamples>::failure(SDL_GetError());
    const std::size_t whole = sound.bytes.size() - sound.bytes.size() % frameBytes(sound);
    // The conversion works in place in a buffer large enough for its largest stage.
    const std::size_t capacity = whole * static_cast<std::size_t>(converter.len_mult);
    PcmSamples samples((capacity + 1) / sizeof(std::int16_t));
    std::memcpy(samples.data(), sound.bytes.data(), whole);
    converter.buf = reinterpret_cast<Uint8*>(samples.data());
    converter.len = static_cast<int>(whole);
    if (SDL_ConvertAudio(&converter) != 0)
        return graphics::Result<PcmSamples>::failure(SDL_GetError());
    samples.resize(static_cast<std::size_t>(converter.len_cvt) / sizeof(std::int16_t));
    return graphics::Result<PcmSamples>::success(std::move(samples));
}

}  // namespace platform::media
