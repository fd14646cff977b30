#include "media/wav_out.h"

#include <algorithm>
#include <cstring>

namespace kivo {

namespace {

// How a source format becomes 16-bit stereo at 44100 Hz: each source frame gives `repeat`
// output frames. Formats outside these eight are not played.
struct Conversion {
    bool supported = false;
    int32_t repeat = 1;
};

[[nodiscard]] Conversion ConversionFor(const WaveFormat& format) {
    const bool channelsOk = format.channels == 1 || format.channels == 2;
    const bool bitsOk = format.bitsPerSample == 8 || format.bitsPerSample == 16;
    const bool rateOk = format.samplesPerSec == 44100 || format.samplesPerSec == 22050;
    if (!channelsOk || !bitsOk || !rateOk) return {};
    return {true, format.samplesPerSec == 22050 ? 2 : 1};
}

[[nodiscard]] int32_t NormalisedDelay(int32_t ms) {
    return std::clamp(ms / 100 * 100, 100, 500);
}

[[nodiscard]] int16_t LoadSample(const uint8_t* p, int32_t bits) {
    if (bits == 8) return static_cast<int16_t>((p[0] - 128) * 256);
    int16_t s;
    std::memcpy(&s, p, sizeof s);
    return s;
}

// Expands count source frames at the start of area into 16-bit stereo frames, in place,
// from the last frame backwards so no source byte is overwritten before it is read.
void ExpandInPlace(std::vector<int16_t>& area, size_t count, const WaveFormat& format,
                   int32_t repeat) {
    auto* bytes = reinterpret_cast<uint8_t*>(area.data());
    const int32_t bits = format.bitsPerSample;
    const size_t frameBytes = size_t{format.channels} * static_cast<size_t>(bits / 8);
    for (size_t i = count; i-- > 0;) {
        const uint8_t* source = bytes + i * frameBytes;
        const int16_t left = LoadSample(source, bits);
        const int16_t right = format.channels == 2 ? LoadSample(source + bits / 8, bits) : left;
        for (size_t r = 0; r < static_cast<size_t>(repeat); ++r) {
            const size_t out = (i * static_cast<size_t>(repeat) + r) * 2;
            area[out] = left;
            area[out + 1] = right;
        }
    }
}

}  // namespace

// ---------------------------------------------------------------------------------------------
// TWavBuffer

TWavBuffer::TWavBuffer(TWavOut& owner, const WaveFormat& format, TStream& stream)
    : owner_(owner),
      format_(format),
      stream_(stream),
      conversion_(static_cast<size_t>(owner.BlockSize() / 2)) {}

int32_t TWavBuffer::FrameBytes() const {
    return std::max(1, format_.channels * format_.bitsPerSample / 8);
}

void TWavBuffer::Play() {
    std::lock_guard guard(owner_.lock_);
    if (!owner_.open_) return;
    started_ = true;
    paused_ = false;
    ended_ = false;
    auto& active = owner_.active_;
    if (std::find(active.begin(), active.end(), this) == active.end()) active.push_back(this);
}

void TWavBuffer::Pause() {
    std::lock_guard guard(owner_.lock_);
    if (!owner_.open_) return;
    paused_ = true;
    std::erase(owner_.active_, this);
}

bool TWavBuffer::IsEnded() const {
    std::lock_guard guard(owner_.lock_);
    if (!owner_.open_) return true;
    if (!ended_) return false;
    if (!mixed_) return true;
    const uint32_t since = owner_.clock_.NowMs() - lastMix_;
    return since > static_cast<uint32_t>(2 * owner_.soundDelay_ + 10);
}

void TWavBuffer::SetBytePosition(int64_t bytes) {
    std::lock_guard guard(owner_.lock_);
    bytePosition_ = std::max<int64_t>(bytes, 0) / FrameBytes() * FrameBytes();
}

int64_t TWavBuffer::GetBytePosition() const {
    std::lock_guard guard(owner_.lock_);
    const int64_t delay = owner_.soundDelay_;
    const int64_t elapsed = mixed_ ? int64_t{owner_.clock_.NowMs() - lastMix_} : 2 * delay + 1;
    if (elapsed > 2 * delay) return bytePosition_;
    // 64-bit throughout: bytes x 1000 passes 2^31 after 12 s of CD-quality sound.
    const int64_t bytesPerSecond =
        int64_t{format_.bitsPerSample} * format_.channels * format_.samplesPerSec / 8;
    const int64_t heard = bytePosition_ - (delay * bytesPerSecond + 500) / 1000 +
                          (elapsed * bytesPerSecond + 500) / 1000;
    const int64_t clamped = std::clamp<int64_t>(heard, 0, stream_.GetSize());
    return clamped / FrameBytes() * FrameBytes();
}

void TWavBuffer::SetGain(int32_t gain) {
    std::lock_guard guard(owner_.lock_);
    gain_ = std::clamp(gain, 0, 256);
}

bool TWavBuffer::GetLoop() const {
    std::lock_guard guard(owner_.lock_);
    return loop_;
}

void TWavBuffer::SetLoop(bool loop) {
    std::lock_guard guard(owner_.lock_);
    loop_ = loop;
}

bool TWavBuffer::IsPlaying() const {
    std::lock_guard guard(owner_.lock_);
    return started_ && !paused_;
}

bool TWavBuffer::IsPaused() const {
    std::lock_guard guard(owner_.lock_);
    return paused_;
}

int64_t TWavBuffer::ReadSource(uint8_t* into, int64_t count) {
    stream_.SetPosition(bytePosition_);
    int64_t got = 0;
    bool rewound = false;
    while (got < count) {
        const int64_t n = stream_.Read(into + got, count - got);
        if (n > 0) {
            got += n;
            rewound = false;
            continue;
        }
        // At the end: a looping source goes on from its start, unless that reads nothing
        // either (an empty read must not spin).
        if (!loop_ || rewound) break;
        stream_.SetPosition(0);
        rewound = true;
    }
    bytePosition_ = stream_.GetPosition();
    // A looping source that stops exactly at its end goes on from the start next time
    // instead of ending.
    if (loop_ && got > 0 && bytePosition_ >= stream_.GetSize()) bytePosition_ = 0;
    return got;
}

bool TWavBuffer::MixInto(std::vector<int16_t>& block, uint32_t now) {
    const Conversion conversion = ConversionFor(format_);
    if (!conversion.supported || stream_.GetSize() <= 0) {
        ended_ = true;
        return false;
    }
    const int32_t frameBytes = FrameBytes();
    const size_t sourceFrames = block.size() / 2 / static_cast<size_t>(conversion.repeat);
    const auto want = static_cast<int64_t>(sourceFrames) * frameBytes;
    auto* area = reinterpret_cast<uint8_t*>(conversion_.data());
    int64_t got = 0;
    try {
        got = ReadSource(area, want);
    } catch (...) {
        // A source that fails to decode ends; the pump thread must not die with it.
        ended_ = true;
        return false;
    }
    ended_ = bytePosition_ >= stream_.GetSize();
    if (got <= 0) {
        ended_ = true;
        return false;
    }
    // A short read at the end leaves silence, not the previous block's data.
    std::fill(area + got, area + want, static_cast<uint8_t>(format_.bitsPerSample == 8 ? 128 : 0));
    if (!(format_.channels == 2 && format_.bitsPerSample == 16 && conversion.repeat == 1)) {
        ExpandInPlace(conversion_, sourceFrames, format_, conversion.repeat);
    }
    const int32_t gain = gain_;
    for (size_t i = 0; i < block.size(); ++i) {
        int32_t s = conversion_[i];
        if (gain < 255) s = (s * gain) >> 8;
        block[i] = static_cast<int16_t>(std::clamp(block[i] + s, -32768, 32767));
    }
    lastMix_ = now;
    mixed_ = true;
    return true;
}

// ---------------------------------------------------------------------------------------------
// TWavOut

TWavOut::TWavOut(Clock& clock, int32_t soundDelayMs, bool pumpThread)
    : clock_(clock),
      soundDelay_(NormalisedDelay(soundDelayMs)),
      blockSize_(soundDelay_ * kBytesPerSecond / 1000),
      pumpThread_(pumpThread) {}

TWavOut::~TWavOut() {
    Stop();
}

bool TWavOut::Start() {
    std::lock_guard guard(lock_);
    if (open_) return false;
    open_ = true;
    while (pool_.size() < kMinimumPoolBlocks) {
        pool_.push_back(std::make_unique<Block>());
        pool_.back()->samples.resize(static_cast<size_t>(blockSize_ / 2));
        free_.push_back(pool_.back().get());
    }
    if (pumpThread_) {
        pump_ = std::make_unique<TMMTimer>(clock_, static_cast<uint32_t>(soundDelay_ / 4),
                                           [this] { Pump(); });
        pump_->SetEnabled(true);
    }
    return true;
}

void TWavOut::Stop() {
    std::unique_ptr<TMMTimer> pump;
    {
        std::lock_guard guard(lock_);
        if (!open_) return;
        open_ = false;
        pump = std::move(pump_);
    }
    // The pump takes the lock, so it is joined with the lock released.
    pump.reset();
    std::lock_guard guard(lock_);
    active_.clear();
    buffers_.clear();
    std::lock_guard queueGuard(queueLock_);
    for (Block* block : queue_)
        ReturnToPool(block);
    queue_.clear();
}

bool TWavOut::IsOpen() const {
    std::lock_guard guard(lock_);
    return open_;
}

TWavBuffer* TWavOut::AddBuffer(const WaveFormat& format, TStream& stream) {
    std::lock_guard guard(lock_);
    buffers_.push_back(std::unique_ptr<TWavBuffer>(new TWavBuffer(*this, format, stream)));
    return buffers_.back().get();
}

void TWavOut::RemoveBuffer(TWavBuffer* buffer) {
    std::lock_guard guard(lock_);
    std::erase(active_, buffer);
    std::erase_if(buffers_, [buffer](const auto& owned) { return owned.get() == buffer; });
}

size_t TWavOut::QueuedBlocks() const {
    std::lock_guard guard(queueLock_);
    return queue_.size();
}

TWavOut::Block* TWavOut::TakeFromPool() {
    if (free_.empty()) {
        pool_.push_back(std::make_unique<Block>());
        pool_.back()->samples.resize(static_cast<size_t>(blockSize_ / 2));
        return pool_.back().get();
    }
    Block* block = free_.back();
    free_.pop_back();
    return block;
}

void TWavOut::ReturnToPool(Block* block) {
    block->played = 0;
    free_.push_back(block);
}

void TWavOut::DropPlayedBlocks() {
    std::lock_guard queueGuard(queueLock_);
    while (!queue_.empty() && queue_.front()->played == queue_.front()->samples.size()) {
        ReturnToPool(queue_.front());
        queue_.pop_front();
    }
}

bool TWavOut::MakeBlock() {
    Block* block = TakeFromPool();
    std::fill(block->samples.begin(), block->samples.end(), int16_t{0});
    const uint32_t now = clock_.NowMs();
    bool sound = false;
    for (TWavBuffer* buffer : active_) {
        if (buffer->started_ && !buffer->paused_ && !buffer->ended_) {
            sound = buffer->MixInto(block->samples, now) || sound;
        }
    }
    if (!sound) {
        ReturnToPool(block);
        return false;
    }
    std::lock_guard queueGuard(queueLock_);
    queue_.push_back(block);
    return true;
}

void TWavOut::Pump() {
    std::lock_guard guard(lock_);
    DropPlayedBlocks();
    for (int i = 0; i < 2; ++i) {
        if (!open_ || active_.empty() || QueuedBlocks() > 1) break;
        if (!MakeBlock()) break;
    }
}

size_t TWavOut::Consume(int16_t* out, size_t samples) {
    std::lock_guard queueGuard(queueLock_);
    size_t copied = 0;
    for (Block* block : queue_) {
        if (copied == samples) break;
        const size_t take = std::min(samples - copied, block->samples.size() - block->played);
        std::copy_n(block->samples.begin() + static_cast<ptrdiff_t>(block->played), take,
                    out + copied);
        block->played += take;
        copied += take;
    }
    return copied;
}

void TWavOut::Render(int16_t* out, size_t frames, int32_t channels) {
    if (channels != 2) {
        RenderStereoAs(*this, out, frames, channels);
        return;
    }
    const size_t samples = frames * 2;
    size_t copied = 0;
    while (copied < samples) {
        if (!pumpThread_) Pump();
        const size_t got = Consume(out + copied, samples - copied);
        copied += got;
        if (got == 0 || pumpThread_) break;
    }
    std::fill(out + copied, out + samples, int16_t{0});
}

}  // namespace kivo
