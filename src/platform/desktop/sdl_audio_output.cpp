#include "platform/desktop/sdl_audio_output.h"

#include <SDL.h>
#include <dlfcn.h>

#include <iostream>
#include <string>

namespace kivo {

namespace {

// ALSA's error handler type, declared here so that the player needs no ALSA headers.
using AlsaErrorHandler = void (*)(const char* file, int line, const char* function, int err,
                                  const char* format, ...);
using AlsaSetErrorHandler = int (*)(AlsaErrorHandler);

void IgnoreAlsaError(const char*, int, const char*, int, const char*, ...) {}

// ALSA prints a page of configuration errors to stderr when the machine has no sound card.
// SDL loads the same shared library, so a quiet handler set here holds for its calls too; the
// library stays loaded for the rest of the process, as SDL keeps it anyway.
void QuietenAlsa() {
    void* alsa = dlopen("libasound.so.2", RTLD_LAZY | RTLD_LOCAL);
    if (alsa == nullptr) return;
    if (auto set = reinterpret_cast<AlsaSetErrorHandler>(dlsym(alsa, "snd_lib_error_set_handler")))
        set(IgnoreAlsaError);
}

}  // namespace

void SdlAudioOutput::Pull(void* self, uint8_t* stream, int length) {
    auto* output = static_cast<SdlAudioOutput*>(self);
    const int32_t channels = output->format_.channels;
    const size_t frames = static_cast<size_t>(length) / (static_cast<size_t>(channels) * 2);
    output->source_->Render(reinterpret_cast<int16_t*>(stream), frames, channels);
}

SdlAudioOutput::~SdlAudioOutput() {
    Close();
}

bool SdlAudioOutput::Open(const AudioFormat& format, AudioSource& source) {
    Close();
    format_ = format;
    source_ = &source;
    paused_ = false;
    opener_ = std::thread([this] { OpenDevice(); });
    return true;
}

void SdlAudioOutput::OpenDevice() {
    QuietenAlsa();
    // The main thread starts or stops no SDL subsystem while this runs: the window's video
    // is up before the output is opened and goes down after it is closed.
    const bool subsystem = SDL_InitSubSystem(SDL_INIT_AUDIO) == 0;
    uint32_t device = 0;
    if (subsystem) {
        SDL_AudioSpec wanted{};
        wanted.freq = format_.sampleRate;
        wanted.format = AUDIO_S16SYS;
        wanted.channels = static_cast<Uint8>(format_.channels);
        wanted.samples = 1024;  // about 23 ms: the mixer's own buffer holds the delay
        wanted.callback = Pull;
        wanted.userdata = this;
        SDL_AudioSpec obtained{};
        // SDL converts to the device's own format, so the source always sees ours.
        device = SDL_OpenAudioDevice(nullptr, 0, &wanted, &obtained, 0);
    }
    if (device == 0) {
        const std::string reason = SDL_GetError();
        if (subsystem) SDL_QuitSubSystem(SDL_INIT_AUDIO);
        std::cerr << "kivoplay: no sound device (" << reason << "); the game plays silent\n";
        return;
    }
    const std::lock_guard lock(mutex_);
    device_ = device;
    subsystem_ = true;
    // The device starts paused; the callback reads source_ only from here on.
    if (!paused_) SDL_PauseAudioDevice(device_, 0);
}

void SdlAudioOutput::FinishOpening() {
    if (opener_.joinable()) opener_.join();
}

void SdlAudioOutput::SetSource(AudioSource& source) {
    const std::lock_guard lock(mutex_);
    if (device_ == 0) {
        source_ = &source;
        return;
    }
    // SDL holds this lock while it runs the callback, so the old source is done with once we
    // have it.
    SDL_LockAudioDevice(device_);
    source_ = &source;
    SDL_UnlockAudioDevice(device_);
}

void SdlAudioOutput::Close() {
    FinishOpening();
    if (device_ != 0) SDL_CloseAudioDevice(device_);  // waits for the callback to finish
    device_ = 0;
    source_ = nullptr;
    if (subsystem_) SDL_QuitSubSystem(SDL_INIT_AUDIO);
    subsystem_ = false;
}

void SdlAudioOutput::SetPaused(bool paused) {
    const std::lock_guard lock(mutex_);
    paused_ = paused;
    if (device_ != 0) SDL_PauseAudioDevice(device_, paused ? 1 : 0);
}

}  // namespace kivo
