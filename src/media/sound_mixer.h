#pragma once
// The player's one sound source: it sums the library's sounds (voices), the wave output's
// queue and the MIDI synthesizer into the audio output.
//
// Each voice decodes ahead into a ring buffer of 16-bit stereo at the mix's rate, so the audio
// callback only copies and adds: it never decodes, waits for a decoder or allocates. On the
// desktop the decoding runs on a worker thread every 10 ms (and briefly on the main thread when
// a sound starts or moves, so it is heard at once); in headless runs and tests there is no
// thread and each Render decodes exactly what it mixes, on the calling thread, so a run gives
// the same samples every time.
//
// Threads: the main thread adds, removes and controls voices; the worker (or Render, headless)
// is the ring's only writer and the audio thread its only reader. The voice list has a lock of
// its own, held by the audio thread for one mix and by the main thread only to add or remove an
// entry. A voice's decoder is touched under its producer lock, never by the audio thread.

#include <atomic>
#include <cstdint>
#include <memory>
#include <mutex>
#include <vector>

#include "media/mix_kernels.h"
#include "media/mm_timer.h"
#include "media/sound_decoder.h"
#include "platform/audio_output.h"
#include "platform/clock.h"

namespace kivo {

// The channel gains (1/16384) of an attenuation in hundredths of a decibel (-10000..0) and a
// pan (-10000 left .. 10000 right): the side away from the pan is attenuated by its amount.
struct ChannelGains {
    int32_t left = kUnityGain;
    int32_t right = kUnityGain;
};
[[nodiscard]] ChannelGains AttenuationGains(int32_t volume, int32_t pan);

// One playing sound of the mix. Positions and lengths are frames at the mix's rate. Control
// calls come from the main thread.
class TSoundVoice {
  public:
    TSoundVoice(const TSoundVoice&) = delete;
    TSoundVoice& operator=(const TSoundVoice&) = delete;

    // Starts or resumes; a voice that reached its end starts again from the beginning.
    void Play();
    void Pause();
    // Playing, not paused and not at the end.
    [[nodiscard]] bool IsPlaying() const;
    [[nodiscard]] bool IsPaused() const { return paused_.load(); }
    // True once every decoded frame has been mixed (at once for a sound that cannot be
    // decoded), until the position is set again.
    [[nodiscard]] bool IsEnd() const;
    // The frame being mixed next; within the length while looping.
    [[nodiscard]] int64_t Position() const;
    void SetPosition(int64_t frame);
    [[nodiscard]] int64_t Length() const { return length_; }
    void SetGains(ChannelGains gains);
    void SetLoop(bool loop) { loop_.store(loop); }
    [[nodiscard]] bool Loop() const { return loop_.load(); }

  private:
    friend class TSoundMixer;
    // primeFrames > 0: Play and SetPosition decode that much on the calling thread, so the
    // sound starts without waiting for the decoding thread.
    TSoundVoice(std::unique_ptr<SoundDecoder> decoder, size_t capacityFrames, size_t primeFrames);

    // Decodes until at least frames frames wait in the ring or it is full (producer side;
    // the producer lock is held).
    void Produce(size_t frames);
    // Adds up to frames frames into out (audio side).
    void MixInto(int16_t* out, size_t frames, const MixOps& ops);
    void MixPiece(int16_t* out, uint64_t from, size_t frames, const MixOps& ops) const;
    void MarkEnd(uint32_t generation, uint64_t at);

    std::unique_ptr<SoundDecoder> decoder_;  // null: nothing to play, ends at once
    const int64_t length_;
    std::vector<int16_t> ring_;  // capacity frames of interleaved stereo
    const uint64_t mask_;        // capacity - 1 (a power of two)
    const size_t primeFrames_;
    std::mutex producerLock_;

    // Written by the main thread.
    std::atomic<bool> playing_{false};
    std::atomic<bool> paused_{false};
    std::atomic<bool> loop_{false};
    std::atomic<int32_t> gainLeft_{kUnityGain};
    std::atomic<int32_t> gainRight_{kUnityGain};
    std::atomic<int64_t> seekFrame_{0};
    std::atomic<uint32_t> controlGeneration_{0};  // moved by every seek

    // Written by the producer.
    uint32_t producerGeneration_ = UINT32_MAX;  // none: the first pass positions the decoder
    bool decodeEnded_ = false;
    std::atomic<uint64_t> writePos_{0};
    std::atomic<uint32_t> flushGeneration_{UINT32_MAX};  // the seek the ring's new data belong to
    std::atomic<uint64_t> flushAt_{0};                   // where they start
    std::atomic<int64_t> flushFrame_{0};                 // and the sound's frame there
    std::atomic<uint32_t> endGeneration_{UINT32_MAX};
    std::atomic<uint64_t> endAt_{0};

    // Written by the audio side.
    std::atomic<uint64_t> readPos_{0};
    std::atomic<uint32_t> consumerGeneration_{UINT32_MAX};
    std::atomic<int64_t> heardFrame_{0};
    std::atomic<uint32_t> endedGeneration_{UINT32_MAX};
};

class TSoundMixer final : public AudioSource {
  public:
    // sampleRate is the output's. workerClock paces a decoding thread (desktop); null decodes
    // inside Render (headless runs, tests).
    TSoundMixer(int32_t sampleRate, Clock* workerClock);
    ~TSoundMixer() override;
    TSoundMixer(const TSoundMixer&) = delete;
    TSoundMixer& operator=(const TSoundMixer&) = delete;

    [[nodiscard]] int32_t SampleRate() const { return sampleRate_; }

    // decoder must give 16-bit stereo at SampleRate(); null makes a voice that ends at once.
    [[nodiscard]] std::shared_ptr<TSoundVoice> AddVoice(std::unique_ptr<SoundDecoder> decoder);
    // Takes the voice out of the mix and drops its decoder (waiting for a decoding pass on it
    // to finish), so the stream it read may be freed as soon as this returns.
    void RemoveVoice(const std::shared_ptr<TSoundVoice>& voice);
    [[nodiscard]] size_t VoiceCount() const;

    // How a source keeps up while the skip-ahead below is on.
    enum class SourcePace : uint8_t {
        // Mixed into the skipped chunks too, so its sound skips ahead with the voices.
        Skips,
        // Follows the game's pace by itself and is heard whole: never rendered for a skipped
        // chunk (the MIDI sequencer, whose song runs faster while the synthesizer plays at
        // its own pitch).
        OwnRate,
    };
    // Sources rendered and added after the voices (the wave output, the MIDI sequencer); a
    // source must be removed before it is destroyed.
    void AddSource(AudioSource& source, SourcePace pace = SourcePace::Skips);
    void RemoveSource(AudioSource& source);

    void Render(int16_t* out, size_t frames, int32_t channels) override;

    // One pass of the decoding thread: tops up every voice's ring.
    void DecodeAhead();

    // The player's master volume, 0 (silent) to kUnityGain, applied to the whole mix after
    // every sound's own gain. The game never sees it: sounds go on playing while it is 0.
    void SetMasterGain(int32_t gain);
    [[nodiscard]] int32_t MasterGain() const { return masterGain_.load(); }
    // For a device that pulls at its own pace while the game runs faster than real time: each
    // rendered chunk is preceded by this many chunks that are mixed and dropped, so sounds
    // skip ahead with the game. Zero in normal play and always in headless runs, whose sink
    // already pulls the game time that passed.
    void SetSkipAhead(int32_t chunks);

    // The frames a voice's ring holds.
    static constexpr size_t kRingFrames = 1 << 15;
    // The mix is made in pieces of at most this many frames; skipping ahead drops whole ones.
    static constexpr size_t kChunkFrames = 1024;

  private:
    // Mixes chunk frames (at most one chunk) into target, which it clears first. A skipped
    // chunk leaves out the sources that keep their own rate.
    void MixChunk(int16_t* target, size_t chunk, bool skipped);

    struct Source {
        AudioSource* source;
        SourcePace pace;
    };

    const int32_t sampleRate_;
    const bool threaded_;
    const MixOps& ops_;

    mutable std::mutex listLock_;
    std::vector<std::shared_ptr<TSoundVoice>> voices_;
    std::vector<Source> sources_;
    std::vector<int16_t> scratch_;  // one chunk of a source's sound
    std::vector<int16_t> skipped_;  // a chunk mixed to be dropped
    std::atomic<int32_t> masterGain_{kUnityGain};
    std::atomic<int32_t> skipAhead_{0};
    std::vector<std::shared_ptr<TSoundVoice>> decodeList_;  // the worker's copy of voices_

    std::unique_ptr<TMMTimer> worker_;
};

}  // namespace kivo
