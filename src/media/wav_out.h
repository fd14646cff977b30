#pragma once
// The wave output: streams decoded PCM from any number of sources (the wave-output sound items)
// into blocks of 16-bit stereo at 44100 Hz, of the sound delay's length each, and keeps at most
// two blocks queued for the mix, which plays them as one of its audio sources.
//
// The pump that fills blocks runs on a thread of its own every quarter of the sound delay
// (desktop), or inside Render whenever the mix pulls (headless runs and tests, where the mix is
// driven by game time and the clock is the game clock), so a headless run mixes the same
// blocks at the same times on every run.
//
// One lock covers the buffer list, every buffer's state and the block pool; the queue that the
// mix reads has a lock of its own, held only to hand blocks over and copy samples out, so the
// audio thread never waits for a block being mixed.

#include <cstdint>
#include <deque>
#include <memory>
#include <mutex>
#include <vector>

#include "media/mm_timer.h"
#include "media/wave_format.h"
#include "platform/audio_output.h"
#include "platform/clock.h"
#include "storage/stream.h"

namespace kivo {

class TWavOut;

// One playing source. Owned by its output: valid from AddBuffer until RemoveBuffer or the
// output's Stop. Its operations run on the main thread and take the output's lock.
class TWavBuffer {
  public:
    TWavBuffer(const TWavBuffer&) = delete;
    TWavBuffer& operator=(const TWavBuffer&) = delete;

    // Both do nothing while the output is closed. Play clears the end, so an ended buffer
    // plays again from its position (set the position first to restart).
    void Play();
    void Pause();
    // True when the output is closed; otherwise once the source is consumed and its last
    // block has been heard (more than 2 x sound delay + 10 ms after the last mix that gave
    // sound). A source that cannot be played (empty, or a format outside the conversions)
    // ends at once.
    [[nodiscard]] bool IsEnded() const;
    // Byte offsets in the source, floored to whole sample frames.
    void SetBytePosition(int64_t bytes);
    // The position being heard: the read position less one block of latency plus what has
    // played since the last mix.
    [[nodiscard]] int64_t GetBytePosition() const;
    // 0..256; 255 and 256 leave samples as they are.
    void SetGain(int32_t gain);
    [[nodiscard]] bool GetLoop() const;
    void SetLoop(bool loop);
    // Started by Play and not paused since.
    [[nodiscard]] bool IsPlaying() const;
    [[nodiscard]] bool IsPaused() const;

  private:
    friend class TWavOut;
    TWavBuffer(TWavOut& owner, const WaveFormat& format, TStream& stream);

    // Adds this source's next block into block (under the output lock); false when it gave
    // nothing.
    bool MixInto(std::vector<int16_t>& block, uint32_t now);
    [[nodiscard]] int64_t ReadSource(uint8_t* into, int64_t count);
    [[nodiscard]] int32_t FrameBytes() const;

    TWavOut& owner_;
    const WaveFormat format_;
    TStream& stream_;                  // not owned
    std::vector<int16_t> conversion_;  // one block; source bytes are expanded in place
    int64_t bytePosition_ = 0;
    uint32_t lastMix_ = 0;
    bool mixed_ = false;  // lastMix_ holds the time of a mix that gave sound
    int32_t gain_ = 256;
    bool started_ = false;
    bool paused_ = false;
    bool ended_ = false;
    bool loop_ = false;
};

class TWavOut final : public AudioSource {
  public:
    static constexpr int32_t kBytesPerSecond = 176400;  // 44100 Hz, stereo, 16 bit
    static constexpr size_t kMinimumPoolBlocks = 4;

    // soundDelayMs is the "DelayTime" setting, taken in steps of 100 from 100 to 500. clock
    // gives the mix times (and, with pumpThread, paces the pump thread from that thread).
    TWavOut(Clock& clock, int32_t soundDelayMs, bool pumpThread);
    ~TWavOut() override;
    TWavOut(const TWavOut&) = delete;
    TWavOut& operator=(const TWavOut&) = delete;

    // Opens the output and starts the pump; false when it is open already.
    [[nodiscard]] bool Start();
    // Stops the pump (joined outside the lock), frees every buffer and drops the queue.
    void Stop();
    [[nodiscard]] bool IsOpen() const;

    [[nodiscard]] TWavBuffer* AddBuffer(const WaveFormat& format, TStream& stream);
    void RemoveBuffer(TWavBuffer* buffer);

    // One pump pass: drops the blocks the mix has played, then, twice, makes a block when at
    // most one is queued and some buffer plays.
    void Pump();

    // The mix pulls frames of 16-bit stereo at 44100 Hz (other channel counts are folded from
    // stereo); silence where no block is queued.
    void Render(int16_t* out, size_t frames, int32_t channels) override;

    [[nodiscard]] int32_t SoundDelay() const { return soundDelay_; }
    [[nodiscard]] int32_t BlockSize() const { return blockSize_; }
    [[nodiscard]] size_t QueuedBlocks() const;

  private:
    friend class TWavBuffer;

    struct Block {
        std::vector<int16_t> samples;
        size_t played = 0;  // samples the mix has taken
    };

    [[nodiscard]] Block* TakeFromPool();
    void ReturnToPool(Block* block);
    void DropPlayedBlocks();
    [[nodiscard]] bool MakeBlock();
    [[nodiscard]] size_t Consume(int16_t* out, size_t samples);

    Clock& clock_;
    const int32_t soundDelay_;
    const int32_t blockSize_;  // bytes
    const bool pumpThread_;

    mutable std::mutex lock_;
    bool open_ = false;
    std::vector<std::unique_ptr<TWavBuffer>> buffers_;
    std::vector<TWavBuffer*> active_;
    std::vector<std::unique_ptr<Block>> pool_;
    std::vector<Block*> free_;
    std::unique_ptr<TMMTimer> pump_;

    mutable std::mutex queueLock_;
    std::deque<Block*> queue_;  // blocks handed to the mix, oldest first
};

}  // namespace kivo
