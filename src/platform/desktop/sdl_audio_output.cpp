#include "platform/desktop/sdl_audio_output.h"

#include <SDL.h>

namespace kivo {

namespace {

// SDL's audio thread calls this; the source guards its own state.
void PullAudio(void* user, Uint8* stream, int length) {
    auto* source = static_cast<AudioSource*>(user);
    const size_t frames = static_cast<size_t>(length) / (2 * sizeof(int16_t));
    source->Render(reinterpret_cast<int16_t*>(stream), frames);
}

}  // namespace

SdlAudioOutput::~SdlAudioOutput() {
    Close();
}

bool SdlAudioOutput::Open(const AudioFormat& format, AudioSource& source) {
    Close();
    if (SDL_InitSubSystem(SDL_INIT_AUDIO) != 0) return false;
    subsystem_ = true;
    SDL_AudioSpec wanted{};
    wanted.freq = format.sampleRate;
    wanted.format = AUDIO_S16SYS;
    wanted.channels = 2;  // the mixer always renders stereo
    wanted.samples = 1024;
    wanted.callback = PullAudio;
    wanted.userdata = &source;
    SDL_AudioSpec obtained{};
    device_ = SDL_OpenAudioDevice(nullptr, 0, &wanted, &obtained, 0);
    if (device_ == 0) {
        Close();
        return false;
    }
    source_ = &source;
    SDL_PauseAudioDevice(device_, 0);
    return true;
}

void SdlAudioOutput::Close() {
    if (device_ != 0) SDL_CloseAudioDevice(device_);  // waits for the callback to finish
    device_ = 0;
    source_ = nullptr;
    if (subsystem_) SDL_QuitSubSystem(SDL_INIT_AUDIO);
    subsystem_ = false;
}

void SdlAudioOutput::SetPaused(bool paused) {
    if (device_ != 0) SDL_PauseAudioDevice(device_, paused ? 1 : 0);
}

}  // namespace kivo
