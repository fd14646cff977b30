#pragma once
// The player's own comforts, which the games know nothing of: save states, fast-forward,
// screenshots, a master volume with mute, and full screen, reached with Alt and a key or from
// the dock's menu.
//
// None of it changes what a game sees. The keys reach the game's key state as every key does
// (games of this system use no Alt combinations); the states, the volume setting and the
// screenshots are written into the player's own folders, never the game's; and a run that uses
// none of them goes exactly as it would without this class.
//
// Everything runs on the main thread, called by the main window's logic: keys and menu items
// as they come, the state request at the end of the frame step where game loads are served,
// the screenshot right after a frame was presented.

#include <cstdint>
#include <filesystem>
#include <memory>
#include <optional>
#include <ostream>
#include <span>
#include <string>
#include <string_view>

#include "base/frame_view.h"
#include "platform/calendar.h"
#include "platform/input.h"
#include "platform/main_window.h"
#include "storage/state_file.h"

namespace kivo {

class Player;

// While fast-forward is on, each presented frame runs this many frame steps.
inline constexpr int32_t kFastForwardSteps = 4;
// The master volume moves in steps of this many percent.
inline constexpr int32_t kVolumeStep = 10;
// The file of the remembered master volume, beside states.dat.
inline constexpr std::string_view kVolumeFileName = "volume.txt";

// The comfort an Alt key combination asks for; nullopt for every other key. digit slots are
// 1 ... 9. shiftHeld turns a digit's save into a restore.
struct ComfortRequest {
    ComfortAction action = ComfortAction::Screenshot;
    int32_t slot = 0;
};
[[nodiscard]] std::optional<ComfortRequest> ComfortForKey(int32_t virtualKey, bool shiftHeld);

// "volume=N" with N in 0 ... 100; nullopt for any other text.
[[nodiscard]] std::optional<int32_t> ParseVolumeSetting(std::string_view text);

// A screenshot's file name: the title (UTF-8; characters a file name cannot hold become "_",
// none left gives "kivoplay") and the time, "Title-20261210-213005.png".
[[nodiscard]] std::string ScreenshotName(std::string_view utf8Title, const CalendarTime& time);

// An FNV-1a hash of the project file's bytes: a save state belongs to this version of it.
[[nodiscard]] uint64_t ProjectHashOf(std::span<const uint8_t> projectFile);

class TPlayerComforts {
  public:
    explicit TPlayerComforts(Player& player);
    TPlayerComforts(const TPlayerComforts&) = delete;
    TPlayerComforts& operator=(const TPlayerComforts&) = delete;

    // Once start-up succeeded: reads states.dat and the remembered volume (damage is reported
    // on the warnings stream, and the game starts all the same) and shows the dock's menu.
    void Start();

    // Every key event the window sends, after the game's key state took it.
    void OnKey(const InputEvent& event);
    // The window lost the focus: the held Alt and Shift are forgotten with the key state.
    void OnFocusLost();
    // A comfort from a key or the dock's menu. Saving and restoring a state and the screenshot
    // wait for the end of the frame step; the rest acts at once.
    void Act(ComfortAction action, int32_t slot);

    [[nodiscard]] bool FastForward() const { return fastForward_; }
    [[nodiscard]] int32_t StepsPerFrame() const { return fastForward_ ? kFastForwardSteps : 1; }
    [[nodiscard]] int32_t VolumePercent() const { return volume_; }
    [[nodiscard]] bool Muted() const { return muted_; }

    // Saves or restores the state asked for, where game loads and saves are served. True when
    // a state was restored, so that the frame is not drawn, as after a load.
    [[nodiscard]] bool ServeStateRequest();
    // Writes the screenshot asked for from the frame just presented.
    void OnPresented(const FrameView& frame);

    // states.dat, made by Start; null when the player has no folder of its own for the game.
    [[nodiscard]] TStateFile* States() { return states_.get(); }

  private:
    void SaveStateInto(int32_t slot);
    [[nodiscard]] bool RestoreState(int32_t slot);
    [[nodiscard]] uint64_t ProjectHash();
    void ReadVolume();
    void ChangeVolume(int32_t percent, bool muted);
    void ApplyVolume();
    void ApplyFastForward();
    void ShowStatus();
    void Warn(const std::string& text);

    Player& player_;
    // The player's folder for this game (states.dat, the volume); empty when there is none.
    std::filesystem::path folder_;
    std::unique_ptr<TStateFile> states_;
    std::optional<uint64_t> projectHash_;
    bool altHeld_ = false;
    bool shiftHeld_ = false;
    bool fastForward_ = false;
    bool muted_ = false;
    int32_t volume_ = 100;
    int32_t pendingSaveSlot_ = 0;
    int32_t pendingLoadSlot_ = 0;
    bool screenshotWanted_ = false;
};

}  // namespace kivo
