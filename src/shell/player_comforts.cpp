#include "shell/player_comforts.h"

#include <algorithm>
#include <charconv>
#include <cstdio>
#include <iostream>
#include <system_error>

#include "base/error.h"
#include "base/sjis.h"
#include "imaging/dib_surface.h"
#include "imaging/png_codec.h"
#include "platform/host_files.h"
#include "shell/player.h"
#include "shell/save_folder.h"

namespace kivo {

namespace {

constexpr int32_t kVkReturn = 0x0D;
constexpr int32_t kVkShift = 0x10;
constexpr int32_t kVkAlt = 0x12;
constexpr int32_t kVkUp = 0x26;
constexpr int32_t kVkDown = 0x28;
constexpr std::string_view kProjectFileName = "kivo.kpb";
constexpr std::string_view kVolumeKey = "volume=";

std::string TwoDigits(int32_t value) {
    char text[8];
    std::snprintf(text, sizeof text, "%02d", std::clamp(value, 0, 99));
    return text;
}

std::string StateTimeText(const SaveState& state) {
    return std::to_string(state.year) + "-" + TwoDigits(state.month) + "-" + TwoDigits(state.day) +
           " " + TwoDigits(state.hour) + ":" + TwoDigits(state.minute);
}

}  // namespace

std::optional<ComfortRequest> ComfortForKey(int32_t virtualKey, bool shiftHeld) {
    if (virtualKey >= '1' && virtualKey <= '9') {
        return ComfortRequest{shiftHeld ? ComfortAction::LoadState : ComfortAction::SaveState,
                              virtualKey - '0'};
    }
    switch (virtualKey) {
        case kVkReturn:
            return ComfortRequest{ComfortAction::ToggleFullScreen};
        case 'F':
            return ComfortRequest{ComfortAction::ToggleFastForward};
        case 'S':
            return ComfortRequest{ComfortAction::Screenshot};
        case 'M':
            return ComfortRequest{ComfortAction::ToggleMute};
        case kVkUp:
            return ComfortRequest{ComfortAction::VolumeUp};
        case kVkDown:
            return ComfortRequest{ComfortAction::VolumeDown};
        default:
            return std::nullopt;
    }
}

std::optional<int32_t> ParseVolumeSetting(std::string_view text) {
    while (!text.empty() && (text.back() == '\n' || text.back() == '\r'))
        text.remove_suffix(1);
    if (!text.starts_with(kVolumeKey)) return std::nullopt;
    text.remove_prefix(kVolumeKey.size());
    int32_t value = -1;
    const auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), value);
    if (error != std::errc() || end != text.data() + text.size() || value < 0 || value > 100)
        return std::nullopt;
    return value;
}

std::string ScreenshotName(std::string_view utf8Title, const CalendarTime& time) {
    std::string name;
    for (const char c : utf8Title) {
        const auto byte = static_cast<unsigned char>(c);
        // Bytes of multi-byte characters pass; separators and control characters do not.
        const bool unsafe = byte < 0x20 || byte == 0x7F || c == '/' || c == '\\' || c == ':' ||
                            c == '*' || c == '?' || c == '"' || c == '<' || c == '>' || c == '|';
        name += unsafe ? '_' : c;
    }
    if (name.find_first_not_of("._ ") == std::string::npos) name = "kivoplay";
    return name + "-" + std::to_string(time.year) + TwoDigits(time.month) + TwoDigits(time.day) +
           "-" + TwoDigits(time.hour) + TwoDigits(time.minute) + TwoDigits(time.second) + ".png";
}

uint64_t ProjectHashOf(std::span<const uint8_t> projectFile) {
    uint64_t hash = 0xCBF29CE484222325u;
    for (const uint8_t byte : projectFile) {
        hash ^= byte;
        hash *= 0x100000001B3u;
    }
    return hash;
}

TPlayerComforts::TPlayerComforts(Player& player) : player_(player) {}

void TPlayerComforts::Start() {
    const PlayerConfig& config = player_.Config();
    folder_ = !config.saveDir.empty()
                  ? config.saveDir
                  : PerUserGameFolder(player_.HomeFolder(), config.userDataFolder);
    if (!folder_.empty()) {
        states_ = std::make_unique<TStateFile>(folder_ / kStateFileName);
        for (const std::string& damage : states_->Read())
            Warn(damage + "; the other save states still load");
        ReadVolume();
    }
    ApplyVolume();
    ShowStatus();
}

void TPlayerComforts::OnKey(const InputEvent& event) {
    const bool down = event.kind == InputKind::KeyDown;
    if (event.key == kVkAlt) altHeld_ = down;
    if (event.key == kVkShift) shiftHeld_ = down;
    if (!down || !altHeld_) return;
    const std::optional<ComfortRequest> request = ComfortForKey(event.key, shiftHeld_);
    if (!request) return;
    // Held keys repeat; only the volume follows the repeats.
    const bool volume =
        request->action == ComfortAction::VolumeUp || request->action == ComfortAction::VolumeDown;
    if (event.repeat && !volume) return;
    Act(request->action, request->slot);
}

void TPlayerComforts::OnFocusLost() {
    altHeld_ = false;
    shiftHeld_ = false;
}

void TPlayerComforts::Act(ComfortAction action, int32_t slot) {
    switch (action) {
        case ComfortAction::ToggleFullScreen:
            player_.sceneWindow.SetFullScreen(!player_.sceneWindow.FullScreen());
            return;
        case ComfortAction::SaveState:
            if (slot >= 1 && slot <= kStateSlotCount) pendingSaveSlot_ = slot;
            return;
        case ComfortAction::LoadState:
            if (slot >= 1 && slot <= kStateSlotCount) pendingLoadSlot_ = slot;
            return;
        case ComfortAction::ToggleFastForward:
            fastForward_ = !fastForward_;
            ApplyFastForward();
            player_.platform.window.Notify(
                fastForward_ ? ComfortNotice::FastForwardOn : ComfortNotice::FastForwardOff, 0);
            ShowStatus();
            return;
        case ComfortAction::Screenshot:
            screenshotWanted_ = true;
            return;
        case ComfortAction::ToggleMute:
            ChangeVolume(volume_, !muted_);
            return;
        case ComfortAction::VolumeUp:
            ChangeVolume(std::min(volume_ + kVolumeStep, 100), false);
            return;
        case ComfortAction::VolumeDown:
            ChangeVolume(std::max(volume_ - kVolumeStep, 0), false);
            return;
    }
}

// ---- Save states ------------------------------------------------------------------------------

bool TPlayerComforts::ServeStateRequest() {
    bool restored = false;
    // A restore asked for with a save in the same frame goes first, as a game load does.
    if (pendingLoadSlot_ > 0) {
        const int32_t slot = pendingLoadSlot_;
        pendingLoadSlot_ = 0;
        restored = RestoreState(slot);
    }
    if (pendingSaveSlot_ > 0) {
        const int32_t slot = pendingSaveSlot_;
        pendingSaveSlot_ = 0;
        if (!player_.state.quitRequest) SaveStateInto(slot);
    }
    return restored;
}

void TPlayerComforts::SaveStateInto(int32_t slot) {
    TSaveManager* saves = player_.saves.get();
    if (states_ == nullptr || saves == nullptr || !saves->HasInterpreter()) {
        Warn("save state " + std::to_string(slot) +
             " was not saved: the player has no folder of its own for this game");
        player_.platform.window.Notify(ComfortNotice::StateFailed, slot);
        return;
    }
    SaveState state;
    const CalendarTime now = player_.platform.calendar.Now();
    state.year = now.year;
    state.month = now.month;
    state.day = now.day;
    state.hour = now.hour;
    state.minute = now.minute;
    state.second = now.second;
    try {
        state.projectHash = ProjectHash();
        state.gameClock = player_.state.gameClock;
        state.gameEntry = saves->GameEntry({}, {}, 0);
        state.statusEntry = saves->StatusEntry();
        states_->Store(slot, std::move(state));
    } catch (const KivoError& error) {
        // The states on disk stay as they were; the game goes on.
        Warn("save state " + std::to_string(slot) + " was not saved: " + error.what());
        player_.platform.window.Notify(ComfortNotice::StateFailed, slot);
        return;
    }
    player_.platform.window.Notify(ComfortNotice::StateSaved, slot);
    ShowStatus();
}

bool TPlayerComforts::RestoreState(int32_t slot) {
    TSaveManager* saves = player_.saves.get();
    const std::string name = "save state " + std::to_string(slot);
    const auto refuse = [&](const std::string& why) {
        Warn(name + " was not restored: " + why);
        player_.platform.window.Notify(ComfortNotice::StateFailed, slot);
        return false;
    };
    if (states_ == nullptr || saves == nullptr || !saves->HasInterpreter())
        return refuse("the player has no folder of its own for this game");
    const std::optional<SaveState>& state = states_->Slot(slot);
    if (!state) return refuse("the slot is empty");
    try {
        if (state->projectHash != ProjectHash())
            return refuse("it was taken with another version of this game's project");
    } catch (const KivoError& error) {
        return refuse(error.what());
    }
    // A state that fails half-way would leave a game that is neither; the game as it stood
    // is put back instead.
    const std::vector<uint8_t> currentGame = saves->GameEntry({}, {}, 0);
    const std::vector<uint8_t> currentStatus = saves->StatusEntry();
    const int32_t currentClock = player_.state.gameClock;
    const std::string source = states_->Path().string();
    try {
        player_.state.gameClock = state->gameClock;
        saves->RestoreGame(state->gameEntry, source);
        saves->RestoreStatus(state->statusEntry, source);
    } catch (const std::exception& error) {
        try {
            player_.state.gameClock = currentClock;
            saves->RestoreGame(currentGame, "the running game");
            saves->RestoreStatus(currentStatus, "the running game");
        } catch (const std::exception& again) {
            player_.state.quitRequest = true;
            Warn(std::string("the game could not be put back and ends: ") + again.what());
        }
        refuse(error.what());
        return true;
    }
    player_.platform.window.Notify(ComfortNotice::StateLoaded, slot);
    return true;
}

uint64_t TPlayerComforts::ProjectHash() {
    if (!projectHash_) {
        TVrFileManager* files = player_.files.get();
        if (files == nullptr || !files->FileExists(kProjectFileName))
            throw KivoError(std::string(kProjectFileName), "the project file cannot be read");
        projectHash_ = ProjectHashOf(files->Load(kProjectFileName));
    }
    return *projectHash_;
}

// ---- Volume and fast-forward ------------------------------------------------------------------

void TPlayerComforts::ReadVolume() {
    const std::filesystem::path path = folder_ / kVolumeFileName;
    std::error_code error;
    if (!std::filesystem::exists(path, error)) return;
    try {
        const std::vector<uint8_t> bytes = host::ReadFileBytes(path);
        const std::optional<int32_t> volume = ParseVolumeSetting(
            std::string_view(reinterpret_cast<const char*>(bytes.data()), bytes.size()));
        if (volume) {
            volume_ = *volume;
        } else {
            Warn(path.string() + ": not a volume setting; the full volume is used");
        }
    } catch (const KivoError& failure) {
        Warn(failure.what());
    }
}

void TPlayerComforts::ChangeVolume(int32_t percent, bool muted) {
    const bool volumeChanged = percent != volume_;
    volume_ = percent;
    muted_ = muted;
    ApplyVolume();
    if (volumeChanged && !folder_.empty()) {
        const std::string text = std::string(kVolumeKey) + std::to_string(volume_) + "\n";
        try {
            std::error_code error;
            std::filesystem::create_directories(folder_, error);
            host::WriteFileBytes(
                folder_ / kVolumeFileName,
                std::span(reinterpret_cast<const uint8_t*>(text.data()), text.size()));
        } catch (const KivoError& failure) {
            Warn(std::string("the volume is not remembered: ") + failure.what());
        }
    }
    player_.platform.window.Notify(muted_ ? ComfortNotice::Muted : ComfortNotice::Volume, volume_);
    ShowStatus();
}

void TPlayerComforts::ApplyVolume() {
    if (!player_.mixer) return;
    player_.mixer->SetMasterGain(muted_ ? 0 : volume_ * kUnityGain / 100);
}

void TPlayerComforts::ApplyFastForward() {
    // A device on its own clock pulls sound in real time: sounds skip ahead with the game, and
    // the MIDI song runs as fast as the game with its notes played whole. Headless, the sink
    // already takes the game time of every step, which the song follows.
    if (!player_.Config().mediaThreads) return;
    if (player_.mixer) player_.mixer->SetSkipAhead(fastForward_ ? kFastForwardSteps - 1 : 0);
    if (player_.managers.midi)
        player_.managers.midi->Sequencer().SetRate(fastForward_ ? kFastForwardSteps : 1);
}

// ---- Screenshots ------------------------------------------------------------------------------

void TPlayerComforts::OnPresented(const FrameView& frame) {
    if (!screenshotWanted_ || frame.pixels == nullptr || frame.width <= 0 || frame.height <= 0)
        return;
    screenshotWanted_ = false;
    const std::filesystem::path& folder = player_.Config().picturesFolder;
    if (folder.empty()) {
        Warn("no screenshot was taken: there is no pictures folder");
        player_.platform.window.Notify(ComfortNotice::ScreenshotFailed, 0);
        return;
    }
    const std::string title =
        player_.project ? sjis::ToUtf8(player_.project->Title()) : std::string();
    std::filesystem::path path = folder / ScreenshotName(title, player_.platform.calendar.Now());
    std::error_code error;
    // Two in one second keep both.
    for (int32_t n = 2; std::filesystem::exists(path, error); ++n) {
        std::string stem = path.stem().string();
        if (n > 2) stem.erase(stem.rfind('-'));
        path.replace_filename(stem + "-" + std::to_string(n) + ".png");
    }
    try {
        TDIBSurface surface(frame.width, frame.height, 32);
        for (int32_t y = 0; y < frame.height; ++y) {
            std::copy_n(frame.pixels + static_cast<ptrdiff_t>(y) * frame.stride, frame.width,
                        reinterpret_cast<uint32_t*>(surface.ScanLine(y)));
        }
        const std::vector<uint8_t> png = EncodePng(surface);
        std::filesystem::create_directories(folder, error);
        host::WriteFileBytes(path, png);
    } catch (const KivoError& failure) {
        Warn(std::string("no screenshot was taken: ") + failure.what());
        player_.platform.window.Notify(ComfortNotice::ScreenshotFailed, 0);
        return;
    }
    player_.platform.window.Notify(ComfortNotice::ScreenshotSaved, 0);
}

// ---- The dock ---------------------------------------------------------------------------------

void TPlayerComforts::ShowStatus() {
    ComfortStatus status;
    status.fastForward = fastForward_;
    status.muted = muted_;
    status.volumePercent = volume_;
    for (int32_t slot = 1; states_ && slot <= kStateSlotCount; ++slot) {
        if (const std::optional<SaveState>& state = states_->Slot(slot))
            status.stateTimes[static_cast<size_t>(slot - 1)] = StateTimeText(*state);
    }
    player_.platform.window.ShowComforts(status);
}

void TPlayerComforts::Warn(const std::string& text) {
    std::ostream& warnings =
        player_.Config().warnings != nullptr ? *player_.Config().warnings : std::cerr;
    warnings << "kivoplay: " << text << '\n';
}

}  // namespace kivo
