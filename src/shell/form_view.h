#pragma once
// The main window's logic: start-up (the window creation handler and the scene start-up),
// the idle-driven frame loop, the routing of window input to the scene, the quit question and
// the shutdown sequence. The platform draws the window and its toolbar; this class decides
// what happens.
//
// Everything runs on the main thread. The program calls HandleEvent for each pending window
// event and then Idle, again and again, until CloseRequested; then FormClose.

#include <cstdint>
#include <functional>
#include <string>
#include <vector>

#include "platform/input.h"
#include "shell/player.h"
#include "shell/player_comforts.h"

namespace kivo {

class TFormView {
  public:
    explicit TFormView(Player& player);
    TFormView(const TFormView&) = delete;
    TFormView& operator=(const TFormView&) = delete;

    // The window creation handler: deletes the old log, seeds the random generator, reads
    // game.ini, creates the scene panel and runs the scene start-up. A failure shows its
    // message and leaves the quit request set, in which case the loop must not run.
    void FormCreate();

    // One pass of the idle handler. Returns true ("done") when there is nothing to do until
    // the next window event: the quit request is set, the window lacks the focus, or there is
    // no screen. Returns false when it wants to be called again at once.
    [[nodiscard]] bool Idle();

    // One frame: input pass, interpreter, scene advance, pending load or save, draw and
    // present (subject to the skip-draw count and the frame-skip divisor).
    void FrameStep();

    void HandleEvent(const InputEvent& event);

    // The toolbar button "画面切替": full screen in the chosen display mode, or back to the
    // window; nothing happens without a suitable mode. The panel is placed again.
    void SwitchFullScreen(bool fullScreen);

    // The toolbar button "終了": asks whether to quit; the quit request stays set while the
    // question is open, so that no frame runs behind it.
    void AskQuit();

    // True once a close was posted (the close box, the quit question answered Yes, a failed
    // start-up, or the quit request seen by the loop).
    [[nodiscard]] bool CloseRequested() const;
    // True when start-up succeeded (the quit request was clear after FormCreate).
    [[nodiscard]] bool Started() const { return started_; }

    // The shutdown sequence: closes the project (exit page, status data), frees the variable
    // table, the scene and its caches, the media managers and the media library, each after
    // its trace label. Runs once; later calls do nothing.
    void FormClose();

    // Called during shutdown after the project closed and before the variable table is
    // freed: the last moment the variables can be read (the variable dump).
    std::function<void(Player&)> beforeVariablesFreed;
    // Called during shutdown right before the scene is freed (the scene dump).
    std::function<void(Player&)> beforeSceneFreed;

    // The window's frame state, open for the checks of the frame loop.
    [[nodiscard]] int32_t FrameSkipPhase() const { return frameSkipPhase_; }
    [[nodiscard]] int32_t SkipDrawCount() const { return skipDrawCount_; }
    [[nodiscard]] bool Active() const { return active_; }
    // Where the scene panel sits in the client area: centred, below the dock in the window.
    [[nodiscard]] int32_t PanelX() const;
    [[nodiscard]] int32_t PanelY() const;
    [[nodiscard]] int32_t Presents() const { return presents_; }
    // Save states, fast-forward, screenshots and the volume: the player's own, never the game's.
    [[nodiscard]] TPlayerComforts& Comforts() { return comforts_; }

  private:
    // One frame step; draw false runs it without drawing (the steps of fast-forward before
    // the one that is presented).
    void StepFrame(bool draw);
    void MountGame();
    void SceneStartup();
    // The backlog, the read marks, the glyph cache and the text expressions, handed to the
    // scene for its message windows.
    void TextStartup();
    void MediaInit();
    void MediaFinal();
    // The MIDI mapper's SoundFont: the command line's, else game.ini's, else the default.
    [[nodiscard]] std::string MidiSoundFont() const;
    void PlaceScene(int32_t sceneWidth, int32_t sceneHeight);
    void ShowWarning(const std::string& message);
    // A key for the text field that has the focus (repeats included; Ctrl+V pastes).
    void TextFieldKey(int32_t key);
    // Text input is on only while a field has the focus, with the caret given to the input
    // method.
    void ShowTextInput();

    Player& player_;
    int32_t frameSkipPhase_ = 0;
    int32_t skipDrawCount_ = 0;
    bool active_ = false;
    int32_t sceneWidth_ = 0;
    int32_t sceneHeight_ = 0;
    bool started_ = false;  // start-up succeeded and the loop may run
    bool closePosted_ = false;
    bool closed_ = false;
    int32_t presents_ = 0;
    std::vector<TRect> dirty_;
    TPlayerComforts comforts_{player_};
};

// "「%s」を終了しますか？" with the title (UTF-8) in place of %s.
[[nodiscard]] std::string QuitQuestionText(std::string_view utf8Title);

}  // namespace kivo
