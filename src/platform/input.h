#pragma once
// Window input as the shell receives it: pointer, buttons, wheel and keys in the scene panel's
// coordinates and Windows virtual-key codes, plus the window's own events (focus, close, the
// two toolbar buttons).

#include <cstdint>
#include <string>
#include <string_view>

namespace kivo {

enum class InputKind {
    PointerMove,  // x, y: the pointer in scene panel pixels (may lie outside the panel)
    LeftDown,     // a press of the left button over the scene panel
    LeftUp,
    RightDown,
    RightUp,
    WheelUp,
    WheelDown,
    KeyDown,  // key: the Windows virtual-key code; repeat: an auto-repeat of a held key
    KeyUp,
    Activate,            // the window gained the input focus
    Deactivate,          // the window lost it
    CloseRequest,        // the window's close box, or the window system asking us to end
    QuitButton,          // the toolbar button "終了"
    ScreenSwitchButton,  // the toolbar button "画面切替"
    ComfortMenu,         // an item of the dock's menu: key is a ComfortAction, x its slot
    TextInput,           // text: characters committed by the keyboard or the input method (UTF-8)
    TextEditing,         // text: the input method's composition in progress (UTF-8), empty
                         // when it ends; key: the cursor's character index within it
};

struct InputEvent {
    InputKind kind = InputKind::PointerMove;
    int32_t x = 0;
    int32_t y = 0;
    int32_t key = 0;
    bool repeat = false;
    std::string text{};
};

class InputSource {
  public:
    virtual ~InputSource() = default;

    // Takes the next pending event into event and returns true, or returns false when none is
    // pending. Never blocks. Called on the main thread by the shell, in a loop until false,
    // once per pass of the frame loop (and while a modal question waits, not at all).
    [[nodiscard]] virtual bool PollEvent(InputEvent& event) = 0;

    // Blocks until an event is pending or timeoutMs have passed. Called by the program loop
    // when the frame loop has nothing to do (the window lacks the focus), so that a paused
    // player does not spin. Returns at once in headless runs.
    virtual void WaitForEvent(uint32_t timeoutMs) = 0;

    // Text input (input methods) is off at start-up, since an active input method would
    // swallow the keys games read, and on only while a text field has the keyboard focus.
    // The caret rectangle is in scene panel pixels; the input method places its candidate
    // window beside it. Called by the shell once per frame with the field's state; cheap when
    // nothing changes.
    virtual void SetTextInput(bool on, int32_t caretX, int32_t caretY, int32_t caretWidth,
                              int32_t caretHeight) = 0;
    // The system clipboard's text (UTF-8), empty when it holds none.
    [[nodiscard]] virtual std::string ClipboardText() = 0;
    // Puts text (UTF-8) on the system clipboard, as a text field's copy and cut do. Called on
    // the main thread between frames.
    virtual void SetClipboardText(std::string_view utf8) = 0;
};

}  // namespace kivo
