#include "platform/headless/headless_platform.h"

#include <algorithm>

namespace kivo {

DialogAnswer ScriptedDialogs::Show(std::string_view text, std::string_view caption, DialogIcon icon,
                                   DialogButtons buttons) {
    DialogAnswer answer = DefaultAnswer(buttons);
    if (!answers_.empty()) {
        answer = FitAnswer(answers_.front(), buttons);
        answers_.pop_front();
    }
    ++shown_;
    lastText_ = text;
    log_ << '[' << DialogIconName(icon) << "] " << caption << ": " << text << " -> "
         << DialogAnswerName(answer) << '\n';
    log_.flush();
    return answer;
}

size_t ScriptedDialogs::ChooseFromList(std::string_view title, std::span<const std::string> lines,
                                       std::string_view /*button*/) {
    if (lines.empty()) return 0;
    size_t choice = 0;
    if (!choices_.empty()) {
        choice = choices_.front();
        choices_.pop_front();
    }
    if (choice >= lines.size()) choice = 0;
    ++listsShown_;
    log_ << "[list] " << title << " -> " << choice << '\n';
    for (const std::string& line : lines)
        log_ << "  " << line << '\n';
    log_.flush();
    return choice;
}

bool ScriptedDialogs::EditSoundSettings(SoundSettingsControls& controls) {
    DialogAnswer answer = DialogAnswer::Ok;
    if (!answers_.empty()) {
        answer = FitAnswer(answers_.front(), DialogButtons::OkCancel);
        answers_.pop_front();
    }
    ++shown_;
    log_ << "[settings] 動作設定: DirectSound=" << (controls.directSound ? 1 : 0)
         << " DelayTime=" << controls.delayPosition * 100 << " -> " << DialogAnswerName(answer)
         << '\n';
    log_.flush();
    return answer == DialogAnswer::Ok;
}

bool QueuedInput::PollEvent(InputEvent& event) {
    if (events_.empty()) return false;
    event = events_.front();
    events_.pop_front();
    return true;
}

void MemoryScreen::ShowWithSceneSize(int32_t sceneWidth, int32_t sceneHeight) {
    sceneWidth_ = sceneWidth;
    sceneHeight_ = sceneHeight;
}

void MemoryScreen::Present(const FrameView& frame, std::span<const TRect> dirty) {
    if (frame.pixels == nullptr || frame.width <= 0 || frame.height <= 0) return;
    if (frame.width != frameWidth_ || frame.height != frameHeight_) {
        frameWidth_ = frame.width;
        frameHeight_ = frame.height;
        frame_.assign(static_cast<size_t>(frame.width) * static_cast<size_t>(frame.height), 0);
    }
    const TRect whole{0, 0, frame.width, frame.height};
    for (const TRect& rect : dirty) {
        const TRect r = Intersect(rect, whole);
        if (r.IsEmpty()) continue;
        for (int32_t y = r.Top; y < r.Bottom; ++y) {
            const uint32_t* from = frame.pixels + static_cast<ptrdiff_t>(y) * frame.stride + r.Left;
            std::copy(from, from + r.Width(),
                      frame_.begin() + static_cast<ptrdiff_t>(y) * frameWidth_ + r.Left);
        }
    }
    ++presents_;
}

bool GameTimeAudioSink::Open(const AudioFormat& format, AudioSource& source) {
    format_ = format;
    source_ = &source;
    remainder_ = 0;
    return true;
}

void GameTimeAudioSink::OnFrame(int32_t frameDeltaMs) {
    if (source_ == nullptr || paused_ || frameDeltaMs <= 0) return;
    remainder_ += static_cast<int64_t>(frameDeltaMs) * format_.sampleRate;
    const auto frames = static_cast<size_t>(remainder_ / 1000);
    remainder_ %= 1000;
    if (frames == 0) return;
    const auto channels = static_cast<size_t>(std::max(format_.channels, 1));
    const size_t samples = frames * channels;
    // A WAV file counts its data in 32 bits; what would not fit is not kept.
    constexpr size_t kMaxKept = (UINT32_MAX - 36) / sizeof(int16_t);
    int16_t* out = nullptr;
    if (keeping_ && kept_.size() + samples <= kMaxKept) {
        const size_t start = kept_.size();
        kept_.resize(start + samples);
        out = kept_.data() + start;
    } else {
        buffer_.resize(samples);
        out = buffer_.data();
    }
    source_->Render(out, frames, static_cast<int32_t>(channels));
    consumed_ += frames;
}

std::vector<uint8_t> GameTimeAudioSink::KeptAsWave() const {
    const auto channels = static_cast<uint32_t>(std::max(format_.channels, 1));
    const auto rate = static_cast<uint32_t>(format_.sampleRate);
    const auto dataBytes = static_cast<uint32_t>(kept_.size() * sizeof(int16_t));
    std::vector<uint8_t> wave(44 + static_cast<size_t>(dataBytes));
    size_t at = 0;
    const auto put = [&](uint32_t value, int bytes) {
        for (int i = 0; i < bytes; ++i)
            wave[at++] = static_cast<uint8_t>(value >> (8 * i));
    };
    const auto tag = [&](std::string_view text) {
        for (char c : text)
            wave[at++] = static_cast<uint8_t>(c);
    };
    tag("RIFF");
    put(36 + dataBytes, 4);
    tag("WAVEfmt ");
    put(16, 4);
    put(1, 2);  // PCM
    put(channels, 2);
    put(rate, 4);
    put(rate * channels * 2, 4);  // bytes per second
    put(channels * 2, 2);         // bytes per frame
    put(16, 2);
    tag("data");
    put(dataBytes, 4);
    for (int16_t sample : kept_)
        put(static_cast<uint16_t>(sample), 2);
    return wave;
}

HeadlessPlatform::HeadlessPlatform(std::ostream& dialogLog, TraceSink* trace, CalendarTime date)
    : calendar(clock, date), dialogs(dialogLog), trace_(trace ? trace : &nullTrace_) {}

Platform HeadlessPlatform::Services() {
    return Platform{clock, calendar, dialogs, input, screen, screen,
                    audio, fonts,    *trace_, urls_, http};
}

}  // namespace kivo
