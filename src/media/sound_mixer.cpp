#include "media/sound_mixer.h"

#include <algorithm>
#include <cmath>

namespace kivo {

namespace {

constexpr size_t kChunkFrames = TSoundMixer::kChunkFrames;
constexpr uint32_t kDecodeIntervalMs = 10;
// Decoded on the main thread when a sound starts or moves on the desktop: 50 ms at 44.1 kHz.
constexpr size_t kPrimeFrames = 2205;

[[nodiscard]] int32_t GainOf(double hundredthsOfDecibel) {
    if (hundredthsOfDecibel >= 0) return kUnityGain;
    return static_cast<int32_t>(
        std::lround(std::pow(10.0, hundredthsOfDecibel / 2000.0) * kUnityGain));
}

}  // namespace

ChannelGains AttenuationGains(int32_t volume, int32_t pan) {
    const int32_t v = std::clamp(volume, -10000, 0);
    const int32_t p = std::clamp(pan, -10000, 10000);
    if (v <= -10000) return {0, 0};
    return {GainOf(v - std::max(p, 0)), GainOf(v + std::min(p, 0))};
}

// ---------------------------------------------------------------------------------------------
// TSoundVoice

TSoundVoice::TSoundVoice(std::unique_ptr<SoundDecoder> decoder, size_t capacityFrames,
                         size_t primeFrames)
    : decoder_(std::move(decoder)),
      length_(decoder_ ? decoder_->FrameCount() : 0),
      ring_(capacityFrames * 2),
      mask_(capacityFrames - 1),
      primeFrames_(primeFrames) {}

void TSoundVoice::Play() {
    if (IsEnd()) SetPosition(0);
    paused_.store(false);
    playing_.store(true);
}

void TSoundVoice::Pause() {
    paused_.store(true);
}

bool TSoundVoice::IsPlaying() const {
    return playing_.load() && !paused_.load() && !IsEnd();
}

bool TSoundVoice::IsEnd() const {
    return endedGeneration_.load(std::memory_order_acquire) ==
           controlGeneration_.load(std::memory_order_acquire);
}

int64_t TSoundVoice::Position() const {
    const uint32_t generation = controlGeneration_.load(std::memory_order_acquire);
    if (consumerGeneration_.load(std::memory_order_acquire) != generation) return seekFrame_.load();
    const int64_t heard = heardFrame_.load();
    if (loop_.load() && length_ > 0) return heard % length_;
    return length_ > 0 ? std::min(heard, length_) : heard;
}

void TSoundVoice::SetPosition(int64_t frame) {
    seekFrame_.store(std::clamp<int64_t>(frame, 0, std::max<int64_t>(length_, 0)));
    controlGeneration_.fetch_add(1, std::memory_order_acq_rel);
    if (primeFrames_ > 0) {
        std::lock_guard guard(producerLock_);
        Produce(primeFrames_);
    }
}

void TSoundVoice::SetGains(ChannelGains gains) {
    gainLeft_.store(std::clamp(gains.left, 0, kUnityGain));
    gainRight_.store(std::clamp(gains.right, 0, kUnityGain));
}

void TSoundVoice::MarkEnd(uint32_t generation, uint64_t at) {
    endAt_.store(at, std::memory_order_relaxed);
    endGeneration_.store(generation, std::memory_order_release);
    decodeEnded_ = true;
}

void TSoundVoice::Produce(size_t frames) {
    const uint32_t generation = controlGeneration_.load(std::memory_order_acquire);
    uint64_t write = writePos_.load(std::memory_order_relaxed);
    if (generation != producerGeneration_) {
        const int64_t target = seekFrame_.load();
        producerGeneration_ = generation;
        decodeEnded_ = false;
        try {
            if (decoder_) decoder_->Seek(target);
        } catch (...) {
            decodeEnded_ = true;
        }
        flushAt_.store(write, std::memory_order_relaxed);
        flushFrame_.store(target, std::memory_order_relaxed);
        flushGeneration_.store(generation, std::memory_order_release);
        if (decodeEnded_ || !decoder_) MarkEnd(generation, write);
    }
    if (decodeEnded_) return;
    const size_t capacity = ring_.size() / 2;
    bool rewound = false;
    for (;;) {
        const uint64_t read = readPos_.load(std::memory_order_acquire);
        // Until the mix has taken up this seek, the new data begin at flushAt_.
        const uint64_t start = consumerGeneration_.load(std::memory_order_acquire) == generation
                                   ? read
                                   : flushAt_.load(std::memory_order_relaxed);
        const uint64_t waiting = write - std::min(start, write);
        const uint64_t used = write - read;
        if (waiting >= frames || used >= capacity) break;
        const size_t offset = static_cast<size_t>(write & mask_);
        const size_t room =
            std::min({static_cast<size_t>(capacity - used), capacity - offset, kChunkFrames});
        int64_t got = 0;
        try {
            got = decoder_->Read(reinterpret_cast<uint8_t*>(ring_.data() + offset * 2),
                                 static_cast<int64_t>(room) * 4) /
                  4;
        } catch (...) {
            // Damaged data end the sound where they begin.
            got = 0;
            rewound = true;
        }
        if (got > 0) {
            write += static_cast<uint64_t>(got);
            writePos_.store(write, std::memory_order_release);
            rewound = false;
            continue;
        }
        // At the end: a looping sound goes on from its start, unless that reads nothing
        // either (an empty sound must not spin).
        if (loop_.load() && !rewound) {
            try {
                decoder_->Seek(0);
                rewound = true;
                continue;
            } catch (...) {
            }
        }
        MarkEnd(generation, write);
        return;
    }
}

void TSoundVoice::MixPiece(int16_t* out, uint64_t from, size_t frames, const MixOps& ops) const {
    const int32_t left = gainLeft_.load(std::memory_order_relaxed);
    const int32_t right = gainRight_.load(std::memory_order_relaxed);
    if (left == 0 && right == 0) return;
    const size_t capacity = ring_.size() / 2;
    while (frames > 0) {
        const size_t offset = static_cast<size_t>(from & mask_);
        const size_t piece = std::min(frames, capacity - offset);
        const int16_t* source = ring_.data() + offset * 2;
        if (left == kUnityGain && right == kUnityGain) {
            ops.Add(out, source, piece * 2);
        } else {
            ops.AddScaled(out, source, piece, left, right);
        }
        out += piece * 2;
        from += piece;
        frames -= piece;
    }
}

void TSoundVoice::MixInto(int16_t* out, size_t frames, const MixOps& ops) {
    if (!playing_.load(std::memory_order_relaxed) || paused_.load(std::memory_order_relaxed))
        return;
    const uint32_t generation = controlGeneration_.load(std::memory_order_acquire);
    if (endedGeneration_.load(std::memory_order_relaxed) == generation) return;
    // A seek the producer has not reached yet: silence until its data are there.
    if (flushGeneration_.load(std::memory_order_acquire) != generation) return;
    uint64_t read = readPos_.load(std::memory_order_relaxed);
    if (consumerGeneration_.load(std::memory_order_relaxed) != generation) {
        read = flushAt_.load(std::memory_order_relaxed);
        heardFrame_.store(flushFrame_.load(std::memory_order_relaxed));
        readPos_.store(read, std::memory_order_release);
        consumerGeneration_.store(generation, std::memory_order_release);
    }
    const uint64_t available = writePos_.load(std::memory_order_acquire) - read;
    const size_t take = static_cast<size_t>(std::min<uint64_t>(frames, available));
    MixPiece(out, read, take, ops);
    read += take;
    readPos_.store(read, std::memory_order_release);
    heardFrame_.fetch_add(static_cast<int64_t>(take));
    if (take == available && endGeneration_.load(std::memory_order_acquire) == generation &&
        read >= endAt_.load(std::memory_order_relaxed)) {
        endedGeneration_.store(generation, std::memory_order_release);
    }
}

// ---------------------------------------------------------------------------------------------
// TSoundMixer

TSoundMixer::TSoundMixer(int32_t sampleRate, Clock* workerClock)
    : sampleRate_(std::max(sampleRate, 1)),
      threaded_(workerClock != nullptr),
      ops_(FastMixOps()),
      scratch_(kChunkFrames * 2),
      skipped_(kChunkFrames * 2) {
    if (workerClock) {
        worker_ =
            std::make_unique<TMMTimer>(*workerClock, kDecodeIntervalMs, [this] { DecodeAhead(); });
        worker_->SetEnabled(true);
    }
}

TSoundMixer::~TSoundMixer() {
    worker_.reset();  // joins the thread before the voices go
}

std::shared_ptr<TSoundVoice> TSoundMixer::AddVoice(std::unique_ptr<SoundDecoder> decoder) {
    auto voice = std::shared_ptr<TSoundVoice>(
        new TSoundVoice(std::move(decoder), kRingFrames, threaded_ ? kPrimeFrames : 0));
    if (threaded_) {
        std::lock_guard producer(voice->producerLock_);
        voice->Produce(kPrimeFrames);
    }
    std::lock_guard guard(listLock_);
    voices_.push_back(voice);
    return voice;
}

void TSoundMixer::RemoveVoice(const std::shared_ptr<TSoundVoice>& voice) {
    if (!voice) return;
    {
        std::lock_guard guard(listLock_);
        std::erase(voices_, voice);
    }
    std::lock_guard producer(voice->producerLock_);
    voice->decoder_.reset();
    voice->decodeEnded_ = true;
}

size_t TSoundMixer::VoiceCount() const {
    std::lock_guard guard(listLock_);
    return voices_.size();
}

void TSoundMixer::AddSource(AudioSource& source, SourcePace pace) {
    std::lock_guard guard(listLock_);
    const auto same = [&](const Source& each) { return each.source == &source; };
    if (std::find_if(sources_.begin(), sources_.end(), same) == sources_.end())
        sources_.push_back({&source, pace});
}

void TSoundMixer::RemoveSource(AudioSource& source) {
    std::lock_guard guard(listLock_);
    std::erase_if(sources_, [&](const Source& each) { return each.source == &source; });
}

void TSoundMixer::DecodeAhead() {
    {
        std::lock_guard guard(listLock_);
        decodeList_.assign(voices_.begin(), voices_.end());
    }
    for (const auto& voice : decodeList_) {
        std::lock_guard producer(voice->producerLock_);
        voice->Produce(kRingFrames);
    }
    // A removed voice may be freed here, on this thread, never on the audio thread.
    decodeList_.clear();
}

void TSoundMixer::Render(int16_t* out, size_t frames, int32_t channels) {
    if (channels != 2) {
        RenderStereoAs(*this, out, frames, channels);
        return;
    }
    std::lock_guard guard(listLock_);
    const int32_t skip = skipAhead_.load();
    const int32_t gain = masterGain_.load();
    for (size_t done = 0; done < frames;) {
        const size_t chunk = std::min(kChunkFrames, frames - done);
        for (int32_t i = 0; i < skip; ++i)
            MixChunk(skipped_.data(), kChunkFrames, true);
        int16_t* target = out + done * 2;
        MixChunk(target, chunk, false);
        if (gain != kUnityGain) {
            for (size_t i = 0; i < chunk * 2; ++i)
                target[i] = static_cast<int16_t>(ScaleSample(target[i], gain));
        }
        done += chunk;
    }
}

void TSoundMixer::MixChunk(int16_t* target, size_t chunk, bool skipped) {
    std::fill_n(target, chunk * 2, int16_t{0});
    for (const auto& voice : voices_) {
        if (!threaded_) {
            std::lock_guard producer(voice->producerLock_);
            voice->Produce(chunk);
        }
        voice->MixInto(target, chunk, ops_);
    }
    for (const Source& each : sources_) {
        if (skipped && each.pace == SourcePace::OwnRate) continue;
        each.source->Render(scratch_.data(), chunk, 2);
        ops_.Add(target, scratch_.data(), chunk * 2);
    }
}

void TSoundMixer::SetMasterGain(int32_t gain) {
    masterGain_.store(std::clamp(gain, 0, kUnityGain));
}

void TSoundMixer::SetSkipAhead(int32_t chunks) {
    skipAhead_.store(std::max(chunks, 0));
}

}  // namespace kivo
