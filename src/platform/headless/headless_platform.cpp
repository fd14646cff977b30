#include "platform/headless/headless_platform.h"

#include <algorithm>
#include <iterator>

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

FolderChoice ScriptedDialogs::NextFolderAnswer(const GameFolderRequest& request) {
    if (!folders_.empty()) {
        FolderChoice choice{FolderChoiceStatus::Chosen, std::move(folders_.front())};
        folders_.pop_front();
        return choice;
    }
    // An index or an OK with no recent game behind it picks nothing; an empty folder is never
    // a game, so it is refused below and the next answer taken.
    const auto recent = [&](size_t index) {
        return FolderChoice{FolderChoiceStatus::Chosen, index < request.recent.size()
                                                            ? request.recent[index]
                                                            : std::filesystem::path()};
    };
    if (!choices_.empty()) {
        const size_t index = choices_.front();
        choices_.pop_front();
        return recent(index);
    }
    if (!answers_.empty()) {
        const DialogAnswer answer = FitAnswer(answers_.front(), DialogButtons::OkCancel);
        answers_.pop_front();
        if (answer == DialogAnswer::Ok) return recent(0);
        return FolderChoice{FolderChoiceStatus::Cancelled, {}};
    }
    return FolderChoice{};
}

FolderChoice ScriptedDialogs::ChooseGameFolder(const GameFolderRequest& request) {
    ++shown_;
    log_ << "[folder] " << request.title << '\n';
    for (size_t i = 0; i < request.recent.size(); ++i)
        log_ << "  " << i << ") " << request.recent[i].string() << '\n';
    for (;;) {
        FolderChoice choice = NextFolderAnswer(request);
        if (choice.status != FolderChoiceStatus::Chosen) {
            log_ << "  -> "
                 << (choice.status == FolderChoiceStatus::Cancelled ? "cancel" : "unanswered")
                 << '\n';
            log_.flush();
            return choice;
        }
        if (!choice.folder.empty() && request.holdsGame && request.holdsGame(choice.folder)) {
            log_ << "  -> " << choice.folder.string() << '\n';
            log_.flush();
            return choice;
        }
        if (choice.folder.empty()) {
            log_ << "  -> no such recent game\n";
        } else {
            log_ << "  -> " << choice.folder.string() << ": not a game folder\n";
        }
    }
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

std::vector<DisplayMode> VirtualDisplay::Modes() {
    return {std::begin(kVirtualDisplayModes), std::end(kVirtualDisplayModes)};
}

bool VirtualDisplay::SetFullScreen(bool fullScreen) {
    if (fullScreen != fullScreen_) ++switches_;
    fullScreen_ = fullScreen;
    return true;
}

void VirtualDisplay::ShowCursor(const CursorImage* image) {
    cursor_ = image != nullptr ? *image : CursorImage{};
    ++cursorChanges_;
}

void VirtualDisplay::MovePointer(int32_t x, int32_t y) {
    pointerX_ = x;
    pointerY_ = y;
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
    return Platform{clock, calendar, dialogs, input, screen,  screen,
                    audio, fonts,    *trace_, urls_, display, wallpaper, http};
}

}  // namespace kivo
