#pragma once
// The keyboard as the scene sees it: which keys are held, which were pressed since the last
// frame, and the repeat triggers, by Windows virtual-key code. The window hands over key
// changes as they come; the input pass takes a snapshot for the scripts of the frame, turns the
// frame's edges into key events on the focused object and runs the repeat timers.
//
// A held key triggers in the frame it is pressed, then after 300 ms and every 50 ms after.

#include <array>
#include <cstddef>
#include <cstdint>

namespace kivo {

class KeyboardState {
  public:
    static constexpr int32_t kKeyCount = 256;
    static constexpr int32_t kRepeatDelayMs = 300;
    static constexpr int32_t kRepeatIntervalMs = 50;

    // The events the frame's key changes give the focused object.
    struct Edges {
        bool down = false;
        bool repeat = false;
        bool up = false;
    };

    // A key went down or up. Codes outside 0..255 and unchanged states are ignored.
    void SetKey(int32_t key, bool down);
    // A key was pressed since the last input pass (read by scripts in the next frame).
    void MarkPressed(int32_t key);

    [[nodiscard]] bool Down(int32_t key) const { return InRange(key) && down_[Index(key)]; }
    // Pressed since the input pass before the last one: what scripts see in this frame.
    [[nodiscard]] bool PressedThisFrame(int32_t key) const {
        return InRange(key) && pressedSnapshot_[Index(key)];
    }
    // The repeat trigger as the last input pass left it, for scripts.
    [[nodiscard]] bool Repeating(int32_t key) const {
        return InRange(key) && triggerSnapshot_[Index(key)];
    }

    // Start of the input pass: the presses and triggers so far become the frame's readings.
    void TakeSnapshots();
    // The frame's key-down, key-repeat and key-up edges, cleared by taking them.
    [[nodiscard]] Edges TakeEdges();
    // End of the input pass: the repeat timers of held keys run down by the frame's time.
    void AdvanceRepeat(int32_t frameDeltaMs);

    // Forgets every held key, press, trigger and pending edge, as when the window loses the
    // focus: the key-up events of keys released elsewhere never come.
    void Clear() { *this = KeyboardState(); }

  private:
    [[nodiscard]] static bool InRange(int32_t key) { return key >= 0 && key < kKeyCount; }
    [[nodiscard]] static size_t Index(int32_t key) { return static_cast<size_t>(key); }

    std::array<bool, kKeyCount> down_{};
    std::array<bool, kKeyCount> pressed_{};
    std::array<bool, kKeyCount> pressedSnapshot_{};
    std::array<bool, kKeyCount> trigger_{};
    std::array<bool, kKeyCount> triggerSnapshot_{};
    std::array<int32_t, kKeyCount> repeatTimer_{};
    Edges edges_;
};

}  // namespace kivo
