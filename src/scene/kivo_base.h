#pragma once
// A layer: one of the two full-scene controls objects are drawn into. The active layer draws
// into the scene root's back buffer and takes the pointer; the other draws into a surface of
// its own so that a flip can show it at once. Each layer keeps the rectangles that changed
// since the last present and the pointer state the window handed over.

#include <cstdint>
#include <memory>
#include <string>

#include "imaging/dibx.h"
#include "scene/clip_list.h"
#include "scene/kivo_control.h"

namespace kivo {

// Capture flags: the button pressed on the object that holds the pointer.
inline constexpr uint8_t kCaptureLeft = 4;
inline constexpr uint8_t kCaptureRight = 8;

struct PointerState {
    int32_t x = 0;  // layer pixels
    int32_t y = 0;
    bool moved = false;
    bool leftHeld = false;
    bool rightHeld = false;
    // Presses and wheel turns the window reported since the last input pass, and those the
    // pass took for this frame (what scripts read).
    bool leftPressPending = false;
    bool rightPressPending = false;
    bool wheelDownPending = false;
    bool wheelUpPending = false;
    bool leftClick = false;
    bool rightClick = false;
    bool wheelDown = false;
    bool wheelUp = false;
    uint8_t capture = 0;  // kCaptureLeft | kCaptureRight
    // The object under the pointer, which also holds the capture while capture is set.
    ObjectHandle hover;
    std::string cursorShown;
};

class TKivoBase final : public TKivoControl {
  public:
    // The reserved names of layer 0 and layer 1.
    static constexpr std::string_view kNames[2] = {
        "\x01"
        "BASE0",
        "\x01"
        "BASE1"};
    // The key colour of the spare surface.
    static constexpr int32_t kSpareKeyColor = 0x800080;

    TKivoBase(TKivoBaseList& root, int32_t index);

    [[nodiscard]] TKivoBase* AsLayer() override { return this; }
    [[nodiscard]] std::string_view ClassName() const override { return "TKivoBase"; }
    [[nodiscard]] int32_t Index() const { return index_; }
    // A layer keeps its reserved name.
    void Rename(std::string /*name*/) override {}
    [[nodiscard]] const PropertyMap& Properties() const override { return ClassProperties(); }
    [[nodiscard]] static const PropertyMap& ClassProperties();

    // Sets the layer to the scene size; its surfaces are made anew and wholly dirty.
    void Resize(int32_t width, int32_t height);
    // The surface the layer draws into: the back buffer while it is shown, else its own.
    [[nodiscard]] TCustomDIBX& Surface();
    [[nodiscard]] TDIBX& OwnSurface() { return surface_; }
    // A second surface of the layer's size for transitions, made when first asked for.
    [[nodiscard]] TDIBX& Spare();

    void AddDirty(const TRect& rect) { dirty_.Add(rect); }
    void MarkAllDirty() { dirty_.AddAll(); }
    [[nodiscard]] const TClipList& Dirty() const { return dirty_; }
    void ClearDirty() { dirty_.Clear(); }
    // Draws every dirty rectangle: the background colour (none when negative) within the
    // layer's clip rectangle, then the children.
    void DrawDirty();

    [[nodiscard]] PointerState& Pointer() { return pointer_; }
    [[nodiscard]] const PointerState& Pointer() const { return pointer_; }

  private:
    int32_t index_;
    TDIBX surface_;
    std::unique_ptr<TDIBX> spare_;
    TClipList dirty_;
    PointerState pointer_;
};

}  // namespace kivo
