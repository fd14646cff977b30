#pragma once
// Stand-ins for the media tests: MIDI ports that record what they are sent, a trace sink that
// keeps its lines, and a clock whose sleeps end only when the test says so.

#include <algorithm>
#include <condition_variable>
#include <cstring>
#include <cstdint>
#include <memory>
#include <mutex>
#include <string>
#include <vector>

#include "base/error.h"
#include "media/midi_out_port.h"
#include "media/sound_decoder.h"
#include "platform/clock.h"

namespace kivo::test {

struct PortLog {
    struct Message {
        std::vector<uint8_t> bytes;
        uint64_t frame = 0;  // frames rendered before it arrived (synthesizer ports)
    };
    std::vector<Message> messages;
    int resets = 0;
    int settles = 0;
    uint64_t framesRendered = 0;
};

// Records every call into a log that outlives the port. A synthesizer port renders a constant
// so a test can tell its sound from silence.
class RecordingPort final : public MidiOutPort {
  public:
    RecordingPort(std::shared_ptr<PortLog> log, bool synthesizer, int32_t leadFrames = 0)
        : log_(std::move(log)), synthesizer_(synthesizer), leadFrames_(leadFrames) {}
    void SendShort(std::span<const uint8_t> m) override { Record(m); }
    void SendLong(std::span<const uint8_t> m) override { Record(m); }
    void Reset() override { ++log_->resets; }
    void SettleAfterReset() override { ++log_->settles; }
    [[nodiscard]] bool RendersAudio() const override { return synthesizer_; }
    [[nodiscard]] int32_t LeadFrames() const override { return leadFrames_; }
    void Render(int16_t* out, size_t frames) override {
        std::fill_n(out, frames * 2, int16_t{100});
        log_->framesRendered += frames;
    }

  private:
    void Record(std::span<const uint8_t> m) {
        log_->messages.push_back({{m.begin(), m.end()}, log_->framesRendered});
    }
    std::shared_ptr<PortLog> log_;
    bool synthesizer_;
    int32_t leadFrames_;
};

// The mapper is a recording synthesizer; host ports record without rendering.
class RecordingPorts final : public MidiPortProvider {
  public:
    explicit RecordingPorts(std::vector<std::string> hostNames = {}, bool mapperOpens = true)
        : hostNames_(std::move(hostNames)), mapperOpens_(mapperOpens) {}
    [[nodiscard]] std::vector<std::string> HostPortNames() override { return hostNames_; }
    [[nodiscard]] std::unique_ptr<MidiOutPort> OpenMapper(int32_t sampleRate) override {
        if (!mapperOpens_) return nullptr;
        opened.push_back("mapper@" + std::to_string(sampleRate));
        log = std::make_shared<PortLog>();
        return std::make_unique<RecordingPort>(log, true, mapperLead);
    }
    [[nodiscard]] std::unique_ptr<MidiOutPort> OpenHostPort(size_t index) override {
        opened.push_back(hostNames_.at(index));
        log = std::make_shared<PortLog>();
        return std::make_unique<RecordingPort>(log, false);
    }

    std::vector<std::string> opened;
    std::shared_ptr<PortLog> log;  // of the port opened last
    int32_t mapperLead = 0;        // frames the mapper wants its messages early

  private:
    std::vector<std::string> hostNames_;
    bool mapperOpens_;
};


// Sound from memory: interleaved 16-bit samples of channels at rate. Reading past failAt frames
// raises the damaged-data error; reads are counted, so a test can see a reader spin.
class MemoryDecoder final : public SoundDecoder {
  public:
    explicit MemoryDecoder(std::vector<int16_t> samples, uint16_t channels = 2,
                           uint32_t rate = 44100)
        : samples_(std::move(samples)), format_(PcmFormat(channels, rate, 16)) {}
    [[nodiscard]] const WaveFormat& Format() const override { return format_; }
    [[nodiscard]] int64_t Read(uint8_t* out, int64_t count) override {
        ++reads;
        const int64_t frames = std::min<int64_t>(count / format_.blockAlign, FrameCount() - frame_);
        if (failAt >= 0 && frame_ + frames > failAt) {
            if (frame_ >= failAt) throw KivoError("damaged.wav", "damaged sound data");
            const int64_t good = failAt - frame_;
            Copy(out, good);
            return good * format_.blockAlign;
        }
        Copy(out, frames);
        return frames * format_.blockAlign;
    }
    void Seek(int64_t frame) override { frame_ = std::clamp<int64_t>(frame, 0, FrameCount()); }
    [[nodiscard]] int64_t Position() const override { return frame_; }
    [[nodiscard]] int64_t FrameCount() const override {
        return static_cast<int64_t>(samples_.size()) / format_.channels;
    }

    int64_t failAt = -1;
    int64_t reads = 0;

  private:
    void Copy(uint8_t* out, int64_t frames) {
        // An empty sound has no sample memory to copy from, not even zero bytes of it.
        if (frames <= 0) return;
        std::memcpy(out, samples_.data() + frame_ * format_.channels,
                    static_cast<size_t>(frames) * format_.blockAlign);
        frame_ += frames;
    }
    std::vector<int16_t> samples_;
    WaveFormat format_;
    int64_t frame_ = 0;
};

// Left = i, right = -i for frame i (wrapping at 16 bits): a sample out of place shows.
inline std::vector<int16_t> Ramp(size_t frames) {
    std::vector<int16_t> out(frames * 2);
    for (size_t i = 0; i < frames; ++i) {
        out[2 * i] = static_cast<int16_t>(i);
        out[2 * i + 1] = static_cast<int16_t>(-static_cast<int32_t>(i));
    }
    return out;
}

// A clock for threads that sleep on it: each sleep ends only when the test calls Step (which
// waits until the sleeper has done its work and sleeps again) or after FreeRun. The time moves
// by the length of each sleep that ends.
class SteppingClock final : public Clock {
  public:
    [[nodiscard]] uint32_t NowMs() override {
        std::lock_guard guard(lock_);
        return now_;
    }
    void SleepMs(uint32_t ms) override {
        std::unique_lock guard(lock_);
        ++sleepsBegun_;
        changed_.notify_all();
        changed_.wait(guard, [this] { return permits_ > 0 || freeRun_; });
        if (permits_ > 0) --permits_;
        now_ += ms;
    }
    // Ends one sleep and returns once the sleeper has begun the next one.
    void Step() {
        std::unique_lock guard(lock_);
        changed_.wait(guard, [this] { return sleepsBegun_ > 0; });
        const uint64_t target = sleepsBegun_ + 1;
        ++permits_;
        changed_.notify_all();
        changed_.wait(guard, [&] { return sleepsBegun_ >= target; });
    }
    void FreeRun() {
        std::lock_guard guard(lock_);
        freeRun_ = true;
        changed_.notify_all();
    }

  private:
    std::mutex lock_;
    std::condition_variable changed_;
    uint32_t now_ = 0;
    uint64_t sleepsBegun_ = 0;
    int permits_ = 0;
    bool freeRun_ = false;
};

}  // namespace kivo::test
