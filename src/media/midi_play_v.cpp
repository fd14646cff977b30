#include "media/midi_play_v.h"

#include <algorithm>
#include <exception>
#include <limits>

namespace kivo {

namespace {

constexpr uint32_t kTickIntervalMs = 10;
constexpr uint32_t kLongestTickMs = 1000;  // a stalled timer thread does not jump the song
constexpr int64_t kMicrosecondsPerSecond = 1000000;
constexpr std::array<uint8_t, 6> kGmSystemOn = {0xF0, 0x7E, 0x7F, 0x09, 0x01, 0xF7};

[[nodiscard]] int64_t EventMicroseconds(const TMidiMsgEvent& event) {
    return int64_t{event.Time} * 1000;
}

}  // namespace

std::string FormatMidiTraceLine(int64_t songTimeUs, std::span<const uint8_t> message) {
    static constexpr char kHex[] = "0123456789abcdef";
    const int64_t ms = songTimeUs >= 0 ? (songTimeUs + 500) / 1000 : -((-songTimeUs + 499) / 1000);
    std::string line = std::to_string(ms);
    line += ' ';
    for (const uint8_t b : message) {
        line += kHex[b >> 4];
        line += kHex[b & 15];
    }
    return line;
}

std::vector<std::string> MidiPortNames(const TMidiPlayV& sequencer) {
    std::vector<std::string> names{std::string(kMidiMapperName)};
    for (const TMidiDevice& device : sequencer.Devices())
        names.push_back(device.Name);
    return names;
}

TMidiPlayV::TMidiPlayV(MidiPortProvider& ports, int32_t sampleRate, Clock* hostClock)
    : ports_(ports), sampleRate_(std::max(sampleRate, 1)), hostClock_(hostClock) {
    for (std::string& name : ports_.HostPortNames())
        devices_.push_back({std::move(name)});
    for (auto& channel : controllerScale_)
        channel.fill(100);
    if (hostClock_) {
        timer_ = std::make_unique<TMMTimer>(*hostClock_, kTickIntervalMs, [this] { Tick(); });
        timer_->SetEnabled(true);
    }
}

TMidiPlayV::~TMidiPlayV() {
    timer_.reset();  // joins the thread, which takes the player lock
    if (port_) port_->Reset();
}

void TMidiPlayV::LoadFromStream(std::span<const uint8_t> bytes, std::string_view fileName) {
    // Parsed before the lock is taken, so a long file does not hold up the mix. A damaged file
    // leaves the parser empty, and the sequencer with an empty song.
    TMidiV song;
    std::exception_ptr failure;
    try {
        song.LoadFromBytes(bytes, fileName);
    } catch (...) {
        failure = std::current_exception();
    }
    {
        TimerHold hold(timer_.get());
        std::lock_guard guard(lock_);
        StopLocked();
        song_ = std::move(song);
        for (auto& channel : fileControllers_)
            channel[7] = 127;
        // A position left from the previous song could lie past this one's end.
        currentIndex_ = 0;
        clockUs_ = 0;
        frameRemainder_ = 0;
    }
    if (failure) std::rethrow_exception(failure);
}

bool TMidiPlayV::OpenDevice(int32_t id) {
    CloseDevice();
    // Opening may load a sound font: done outside the lock, so the mix is not held up.
    std::unique_ptr<MidiOutPort> port;
    if (id < 0) {
        port = ports_.OpenMapper(sampleRate_);
    } else if (static_cast<size_t>(id) < devices_.size()) {
        port = ports_.OpenHostPort(static_cast<size_t>(id));
    }
    if (!port) return false;
    TimerHold hold(timer_.get());
    std::lock_guard guard(lock_);
    // Rounded up, so the message is due exactly LeadFrames frames before its own.
    leadUs_ =
        port->RendersAudio()
            ? (int64_t{port->LeadFrames()} * kMicrosecondsPerSecond + sampleRate_ - 1) / sampleRate_
            : 0;
    port_ = std::move(port);
    return true;
}

void TMidiPlayV::CloseDevice() {
    Stop();
    std::unique_ptr<MidiOutPort> closing;
    {
        TimerHold hold(timer_.get());
        std::lock_guard guard(lock_);
        if (!port_) return;
        port_->Reset();
        closing = std::move(port_);
    }
}

bool TMidiPlayV::IsDeviceOpen() const {
    std::lock_guard guard(lock_);
    return port_ != nullptr;
}

void TMidiPlayV::SendSystemOn() {
    TimerHold hold(timer_.get());
    std::lock_guard guard(lock_);
    SendLong(kGmSystemOn);
}

size_t TMidiPlayV::PlayTarget(int32_t ms) const {
    // The first event at exactly ms; else the last one before it.
    const auto& events = song_.Events();
    const auto first =
        std::lower_bound(events.begin(), events.end(), ms,
                         [](const TMidiMsgEvent& e, int32_t t) { return e.Time < t; });
    if (first != events.end() && first->Time == ms)
        return static_cast<size_t>(first - events.begin());
    return first == events.begin() ? 0 : static_cast<size_t>(first - events.begin()) - 1;
}

void TMidiPlayV::PlayFrom(int32_t ms) {
    TimerHold hold(timer_.get());
    std::lock_guard guard(lock_);
    running_ = false;
    const int32_t position = std::clamp(ms, 0, song_.SongLength());
    const size_t target = PlayTarget(position);
    const auto& events = song_.Events();
    AllNotesOff();
    // Always chased from the start: the item sends a reset before playing, which clears the
    // programs and controllers that an earlier play had set.
    for (currentIndex_ = 0; currentIndex_ < target; ++currentIndex_) {
        const TMidiMsgEvent& event = events[currentIndex_];
        clockUs_ = EventMicroseconds(event);
        if (event.EventType == MidiEventType::NoteOn || event.EventType == MidiEventType::NoteOff) {
            continue;
        }
        SendEvent(event);
        if (event.EventType == MidiEventType::GsReset && port_) port_->SettleAfterReset();
    }
    clockUs_ = int64_t{position} * 1000;
    frameRemainder_ = 0;
    if (hostClock_) lastTick_ = hostClock_->NowMs();
    running_ = true;
}

void TMidiPlayV::Stop() {
    TimerHold hold(timer_.get());
    std::lock_guard guard(lock_);
    StopLocked();
}

void TMidiPlayV::StopLocked() {
    if (!running_) return;
    running_ = false;
    AllNotesOff();
}

bool TMidiPlayV::IsRunning() const {
    std::lock_guard guard(lock_);
    return running_;
}

bool TMidiPlayV::LoopsLocked() const {
    const auto& events = song_.Events();
    return looping_ && !events.empty() && events.back().Time > events.front().Time;
}

bool TMidiPlayV::IsAtEnd() const {
    std::lock_guard guard(lock_);
    const size_t count = song_.Events().size();
    if (count == 0) return true;
    return !LoopsLocked() && currentIndex_ + 1 >= count;
}

int32_t TMidiPlayV::GetClock() const {
    std::lock_guard guard(lock_);
    return static_cast<int32_t>(std::clamp<int64_t>(
        clockUs_ / 1000, std::numeric_limits<int32_t>::min(), std::numeric_limits<int32_t>::max()));
}

void TMidiPlayV::SetClock(int32_t ms) {
    std::lock_guard guard(lock_);
    clockUs_ = int64_t{ms} * 1000;
    frameRemainder_ = 0;
}

bool TMidiPlayV::GetLooping() const {
    std::lock_guard guard(lock_);
    return looping_;
}

void TMidiPlayV::SetLooping(bool looping) {
    std::lock_guard guard(lock_);
    looping_ = looping;
}

int32_t TMidiPlayV::SongLength() const {
    std::lock_guard guard(lock_);
    return song_.SongLength();
}

void TMidiPlayV::SetControllerScale(int32_t controller, int32_t percent) {
    if (controller < 0 || controller > 127) return;
    TimerHold hold(timer_.get());
    std::lock_guard guard(lock_);
    for (auto& channel : controllerScale_)
        channel[static_cast<size_t>(controller)] = percent;
    if (!running_) return;
    for (int channel = 0; channel < 16; ++channel) {
        SendShort(static_cast<uint8_t>(0xB0 | channel), static_cast<uint8_t>(controller),
                  ScaledController(channel, controller), 3);
    }
}

void TMidiPlayV::SetRate(int32_t rate) {
    TimerHold hold(timer_.get());
    std::lock_guard guard(lock_);
    // The host time since the last tick passed at the old rate.
    (void)CatchUpWithHostClock();
    rate_ = std::clamp(rate, 1, kMaxMidiRate);
}

int32_t TMidiPlayV::Rate() const {
    std::lock_guard guard(lock_);
    return rate_;
}

void TMidiPlayV::SetTrace(TraceSink* sink) {
    std::lock_guard guard(lock_);
    trace_ = sink;
}

uint8_t TMidiPlayV::ScaledController(int channel, int controller) const {
    const auto c = static_cast<size_t>(controller);
    const int64_t value = int64_t{fileControllers_[static_cast<size_t>(channel)][c]} *
                          controllerScale_[static_cast<size_t>(channel)][c] / 100;
    return static_cast<uint8_t>(std::clamp<int64_t>(value, 0, 127));
}

void TMidiPlayV::SendEvent(const TMidiMsgEvent& event) {
    // A message sent ahead for the synthesizer is traced at its own time.
    traceTimeUs_ = std::max(clockUs_, EventMicroseconds(event));
    const std::span<const uint8_t> data = song_.Data(event);
    switch (event.Kind) {
        case MidiEventKind::Channel:
            if (event.EventType == MidiEventType::ControlChange) {
                const int channel = data[0] & 15;
                fileControllers_[static_cast<size_t>(channel)][data[1]] = data[2];
                SendShort(data[0], data[1], ScaledController(channel, data[1]), 3);
            } else {
                SendShort(data[0], data[1], data.size() > 2 ? data[2] : 0, data.size());
            }
            break;
        case MidiEventKind::SystemExclusive:
            SendLong(data);
            break;
        case MidiEventKind::Meta:
            break;
    }
    traceTimeUs_.reset();
}

void TMidiPlayV::SendShort(uint8_t status, uint8_t data1, uint8_t data2, size_t length) {
    if (!port_) return;
    const std::array<uint8_t, 3> message = {status, data1, data2};
    const std::span<const uint8_t> bytes(message.data(), length);
    port_->SendShort(bytes);
    TraceMessage(bytes);
}

void TMidiPlayV::SendLong(std::span<const uint8_t> message) {
    if (!port_) return;
    port_->SendLong(message);
    TraceMessage(message);
}

void TMidiPlayV::TraceMessage(std::span<const uint8_t> message) {
    if (trace_) trace_->WriteLine(FormatMidiTraceLine(traceTimeUs_.value_or(clockUs_), message));
}

void TMidiPlayV::AllNotesOff() {
    for (int channel = 0; channel < 16; ++channel) {
        SendShort(static_cast<uint8_t>(0xB0 | channel), 0x7B, 0, 3);
    }
}

void TMidiPlayV::DispatchDue() {
    const auto& events = song_.Events();
    const size_t count = events.size();
    while (currentIndex_ < count) {
        const TMidiMsgEvent& event = events[currentIndex_];
        if (EventMicroseconds(event) > clockUs_ + SongLeadUs()) return;
        if (currentIndex_ + 1 < count) {
            SendEvent(event);
            ++currentIndex_;
            continue;
        }
        // The last event: a channel message (a trailing note-off) is sent, or its note would
        // hang; the end itself was reported since it became the next event.
        if (event.Kind == MidiEventKind::Channel) SendEvent(event);
        if (LoopsLocked()) {
            // The time past the end carries over, so a loop keeps its length on a coarse
            // timer.
            AllNotesOff();
            clockUs_ = EventMicroseconds(events.front()) + (clockUs_ - EventMicroseconds(event));
            currentIndex_ = 0;
            continue;
        }
        currentIndex_ = count;
        clockUs_ = EventMicroseconds(event);
    }
}

bool TMidiPlayV::PulledByRender() const {
    return hostClock_ == nullptr || (port_ && port_->RendersAudio());
}

int64_t TMidiPlayV::MicrosecondsToNextEvent() const {
    const auto& events = song_.Events();
    if (currentIndex_ >= events.size()) return std::numeric_limits<int64_t>::max();
    return EventMicroseconds(events[currentIndex_]) - clockUs_ - SongLeadUs();
}

size_t TMidiPlayV::FramesToReach(int64_t microseconds) const {
    // The fewest frames after which AdvanceFrames has moved the clock by microseconds.
    constexpr int64_t kFar = int64_t{1} << 40;
    if (microseconds > kFar) return std::numeric_limits<size_t>::max();
    const int64_t needed = microseconds * sampleRate_ - frameRemainder_;
    if (needed <= 0) return 1;
    const int64_t perFrame = kMicrosecondsPerSecond * rate_;
    return static_cast<size_t>((needed + perFrame - 1) / perFrame);
}

void TMidiPlayV::AdvanceFrames(size_t frames) {
    // The remainder counts microseconds x sample rate whatever the rate, so a change of rate
    // neither loses nor adds a fraction of a microsecond.
    const int64_t total =
        static_cast<int64_t>(frames) * kMicrosecondsPerSecond * rate_ + frameRemainder_;
    clockUs_ += total / sampleRate_;
    frameRemainder_ = total % sampleRate_;
}

void TMidiPlayV::Render(int16_t* out, size_t frames, int32_t channels) {
    if (channels != 2) {
        RenderStereoAs(*this, out, frames, channels);
        return;
    }
    std::lock_guard guard(lock_);
    const bool synth = port_ && port_->RendersAudio();
    const bool pulled = running_ && PulledByRender();
    size_t done = 0;
    while (done < frames) {
        // Messages due now go out before the frames after them are rendered; the piece ends
        // where the next message falls due.
        if (pulled) DispatchDue();
        const bool moving = pulled && currentIndex_ < song_.Events().size();
        size_t piece = frames - done;
        if (moving) piece = std::min(piece, FramesToReach(MicrosecondsToNextEvent()));
        int16_t* target = out + done * 2;
        if (synth) {
            port_->Render(target, piece);
        } else {
            std::fill_n(target, piece * 2, int16_t{0});
        }
        if (moving) AdvanceFrames(piece);
        done += piece;
    }
    if (pulled) DispatchDue();
}

void TMidiPlayV::Tick() {
    std::lock_guard guard(lock_);
    if (CatchUpWithHostClock()) DispatchDue();
}

bool TMidiPlayV::CatchUpWithHostClock() {
    if (!running_ || PulledByRender() || currentIndex_ >= song_.Events().size()) return false;
    const uint32_t now = hostClock_->NowMs();
    clockUs_ += int64_t{std::min(kLongestTickMs, now - lastTick_)} * 1000 * rate_;
    lastTick_ = now;
    return true;
}

}  // namespace kivo
