#pragma once
// The platform of headless runs and tests: a clock that moves only when told, a calendar that
// runs with it from a fixed date, dialogs written to a stream and answered from a script,
// input pushed by the caller, an in-memory window and frame buffer, and an audio sink that
// consumes samples in game time. Nothing here sleeps, opens a device or depends on the host,
// so the same inputs always give the same run.

#include <cstdint>
#include <deque>
#include <filesystem>
#include <memory>
#include <ostream>
#include <string>
#include <vector>

#include "platform/fonts/freetype_font_engine.h"
#include "platform/platform.h"

namespace kivo {

class HeadlessClock final : public Clock {
  public:
    explicit HeadlessClock(uint32_t start = 0) : now_(start) {}
    [[nodiscard]] uint32_t NowMs() override { return now_; }
    // Never sleeps; only counts what was asked, so tests can see the pacing.
    void SleepMs(uint32_t ms) override {
        sleptMs_ += ms;
        ++sleeps_;
    }

    void Advance(uint32_t ms) { now_ += ms; }
    [[nodiscard]] uint64_t SleptMs() const { return sleptMs_; }
    [[nodiscard]] int32_t Sleeps() const { return sleeps_; }

  private:
    uint32_t now_;
    uint64_t sleptMs_ = 0;
    int32_t sleeps_ = 0;
};

// Writes each message dialog as one line "[icon] caption: text -> answer" and answers with
// the next queued answer (fitted to the buttons shown), or OK/Yes when the queue is empty.
// A list is written as "[list] title -> index", then each line indented by two spaces, and
// answered with the next queued choice, or the first line when the queue is empty or the
// choice is past the end. Answers and choices are queued apart, so a script's answers stay
// with the message dialogs whatever lists come between.
// The game folder chooser is written as "[folder] title", the recent games as "  N) path",
// then one "  -> ..." line per answer it takes: a queued folder first, else a queued choice
// (the recent game of that index), else a queued answer (OK/Yes: the newest recent game;
// Cancel/No: cancel). A folder that is not a game, or a choice or OK with no such recent game,
// is refused and the next answer taken; with nothing queued it is unanswered.
class ScriptedDialogs final : public MessageDialogs {
  public:
    explicit ScriptedDialogs(std::ostream& log) : log_(log) {}
    [[nodiscard]] DialogAnswer Show(std::string_view text, std::string_view caption,
                                    DialogIcon icon, DialogButtons buttons) override;
    [[nodiscard]] size_t ChooseFromList(std::string_view title, std::span<const std::string> lines,
                                        std::string_view button) override;
    [[nodiscard]] bool Unattended() override { return answers_.empty(); }
    // Answered by the next queued answer (OK when none): OK and Yes keep the controls as they
    // came, Cancel and No cancel. Written as "[settings] 動作設定: DirectSound=1 DelayTime=500 ->
    // ok".
    [[nodiscard]] bool EditSoundSettings(SoundSettingsControls& controls) override;
    [[nodiscard]] FolderChoice ChooseGameFolder(const GameFolderRequest& request) override;

    void QueueAnswer(DialogAnswer answer) { answers_.push_back(answer); }
    void QueueChoice(size_t index) { choices_.push_back(index); }
    void QueueFolder(std::filesystem::path folder) { folders_.push_back(std::move(folder)); }
    // Message dialogs shown so far (lists are counted by ListsShown).
    [[nodiscard]] int32_t Shown() const { return shown_; }
    [[nodiscard]] int32_t ListsShown() const { return listsShown_; }
    [[nodiscard]] const std::string& LastText() const { return lastText_; }

  private:
    // The folder the next queued answer names; Unanswered when none is queued.
    [[nodiscard]] FolderChoice NextFolderAnswer(const GameFolderRequest& request);

    std::ostream& log_;
    std::deque<DialogAnswer> answers_;
    std::deque<size_t> choices_;
    std::deque<std::filesystem::path> folders_;
    int32_t shown_ = 0;
    int32_t listsShown_ = 0;
    std::string lastText_;
};

// Scripted input. Text input is on or off as the shell asks, and the caret rectangle is kept
// for tests; the clipboard holds what the run put there.
class QueuedInput final : public InputSource {
  public:
    [[nodiscard]] bool PollEvent(InputEvent& event) override;
    void WaitForEvent(uint32_t) override {}
    void Push(const InputEvent& event) { events_.push_back(event); }
    void SetTextInput(bool on, int32_t caretX, int32_t caretY, int32_t caretWidth,
                      int32_t caretHeight) override {
        textInputOn = on;
        caret[0] = caretX;
        caret[1] = caretY;
        caret[2] = caretWidth;
        caret[3] = caretHeight;
    }
    [[nodiscard]] std::string ClipboardText() override { return clipboard; }
    void SetClipboardText(std::string_view utf8) override { clipboard = utf8; }

    bool textInputOn = false;
    int32_t caret[4] = {};
    std::string clipboard;

  private:
    std::deque<InputEvent> events_;
};

// The window and presenter of a headless run: remembers the title and size and keeps a copy of
// the last presented frame.
class MemoryScreen final : public MainWindow, public Presenter {
  public:
    void SetTitle(std::string_view utf8Title) override { title_ = utf8Title; }
    void ShowWithSceneSize(int32_t sceneWidth, int32_t sceneHeight) override;
    [[nodiscard]] int32_t DockHeight() const override { return kDockHeight; }
    void Present(const FrameView& frame, std::span<const TRect> dirty) override;

    [[nodiscard]] const std::string& Title() const { return title_; }
    [[nodiscard]] int32_t SceneWidth() const { return sceneWidth_; }
    [[nodiscard]] int32_t SceneHeight() const { return sceneHeight_; }
    [[nodiscard]] int32_t Presents() const { return presents_; }
    // The last presented frame, width x height pixels (B, G, R, X), black where nothing was
    // presented yet.
    [[nodiscard]] const std::vector<uint32_t>& Frame() const { return frame_; }
    [[nodiscard]] int32_t FrameWidth() const { return frameWidth_; }
    [[nodiscard]] int32_t FrameHeight() const { return frameHeight_; }

  private:
    std::string title_;
    int32_t sceneWidth_ = 0;
    int32_t sceneHeight_ = 0;
    int32_t presents_ = 0;
    std::vector<uint32_t> frame_;
    int32_t frameWidth_ = 0;
    int32_t frameHeight_ = 0;
};

// The display of headless runs: one fixed virtual monitor whose modes are kVirtualDisplayModes
// on a 32-bit desktop, full screen granted whenever asked, and the pointer's picture and moves
// remembered for tests.
class VirtualDisplay final : public DisplayDevice {
  public:
    [[nodiscard]] std::vector<DisplayMode> Modes() override;
    [[nodiscard]] int32_t DesktopBitCount() override { return 32; }
    [[nodiscard]] bool SetFullScreen(bool fullScreen) override;
    void SetSmoothScaling(bool smooth) override { smooth_ = smooth; }
    void ShowCursor(const CursorImage* image) override;
    void MovePointer(int32_t x, int32_t y) override;

    [[nodiscard]] bool FullScreen() const { return fullScreen_; }
    [[nodiscard]] int32_t Switches() const { return switches_; }
    [[nodiscard]] bool Smooth() const { return smooth_; }
    // The pointer's picture, empty (no pixels) for the arrow.
    [[nodiscard]] const CursorImage& Cursor() const { return cursor_; }
    [[nodiscard]] int32_t CursorChanges() const { return cursorChanges_; }
    [[nodiscard]] int32_t PointerX() const { return pointerX_; }
    [[nodiscard]] int32_t PointerY() const { return pointerY_; }

  private:
    bool fullScreen_ = false;
    int32_t switches_ = 0;
    bool smooth_ = false;
    CursorImage cursor_;
    int32_t cursorChanges_ = 0;
    int32_t pointerX_ = 0;
    int32_t pointerY_ = 0;
};

// The modes the virtual monitor reports, in its order: 1920 x 1080 down to 640 x 480, with a
// 16-bit and a 15-bit mode among them and two refresh rates at 1024 x 768 and 800 x 600.
inline constexpr DisplayMode kVirtualDisplayModes[] = {
    {1920, 1080, 32, 60}, {1280, 720, 32, 60}, {1024, 768, 32, 75},
    {1024, 768, 32, 60},  {800, 600, 32, 75},  {800, 600, 32, 60},
    {800, 600, 16, 60},   {640, 480, 32, 60},  {640, 480, 15, 60},
};

// Pulls from the source exactly the samples of the game time that passed, on the main thread,
// and keeps them when asked (kivoplay --audio-dump), so that the sound of a run can be
// compared byte for byte.
class GameTimeAudioSink final : public AudioOutput {
  public:
    [[nodiscard]] bool Open(const AudioFormat& format, AudioSource& source) override;
    void SetSource(AudioSource& source) override { source_ = &source; }
    [[nodiscard]] AudioFormat Format() const override { return format_; }
    void Close() override { source_ = nullptr; }
    void SetPaused(bool paused) override { paused_ = paused; }
    void OnFrame(int32_t frameDeltaMs) override;

    [[nodiscard]] uint64_t ConsumedFrames() const { return consumed_; }

    // Keeps every sample consumed from now on (up to what one WAV file holds, 4 GiB).
    void KeepSamples() { keeping_ = true; }
    // What was kept as a 16-bit PCM WAV file in the opened format.
    [[nodiscard]] std::vector<uint8_t> KeptAsWave() const;

  private:
    AudioFormat format_;
    AudioSource* source_ = nullptr;
    bool paused_ = false;
    bool keeping_ = false;
    uint64_t consumed_ = 0;
    int64_t remainder_ = 0;  // sample frames x 1000 not yet consumed, so no rounding drifts
    std::vector<int16_t> buffer_;
    std::vector<int16_t> kept_;
};

// Owns one of each, and the fixed font set, and hands them out as a Platform.
class HeadlessPlatform {
  public:
    // dialogLog receives the dialog lines (stderr in kivoplay, a string stream in tests);
    // trace is borrowed and may be null for no tracing; the calendar starts at date and runs
    // with the clock.
    explicit HeadlessPlatform(std::ostream& dialogLog, TraceSink* trace = nullptr,
                              CalendarTime date = DefaultHeadlessDate());
    HeadlessPlatform(const HeadlessPlatform&) = delete;
    HeadlessPlatform& operator=(const HeadlessPlatform&) = delete;

    [[nodiscard]] Platform Services();

    HeadlessClock clock;
    ClockCalendar calendar;
    ScriptedDialogs dialogs;
    QueuedInput input;
    MemoryScreen screen;
    GameTimeAudioSink audio;
    FreeTypeFontEngine fonts{FontSet::Fixed};
    VirtualDisplay display;
    // HTTP answers from a table the test or the run fills in.
    ScriptedHttpClient http;

  private:
    NullTraceSink nullTrace_;
    TraceSink* trace_;
    TracedUrlOpener urls_{*trace_};

  public:
    TracedWallpaper wallpaper{*trace_};
};

}  // namespace kivo
