#pragma once
// Scene objects with a rectangle: every visual kind, the cabinets and the two layers. A
// control has a place relative to its parent, children it draws over itself in their drawing
// order, an optional clip rectangle, fourteen event handlers and an optional motion.
//
// Positions: left/top are relative to the parent's client origin; the offset is the object's
// reference point, subtracted from the position; plus is an extra displacement; while a motion
// runs its motion position replaces left/top. Absolute positions are in layer pixels.

#include <array>
#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "base/rect.h"
#include "scene/kivo_object.h"

namespace kivo {

class MotionFilm;
class TDrawContext;
class TKivoBase;
class TKivoMotion;

// The ignore-mouse modes an input step accepts, one bit per mode 0..7.
using IgnoreMouseMask = uint8_t;
inline constexpr IgnoreMouseMask kLeftPressModes = 1 << 0 | 1 << 4;
inline constexpr IgnoreMouseMask kRightPressModes = 1 << 0 | 1 << 3;
inline constexpr IgnoreMouseMask kPointerModes = 1 << 0 | 1 << 2 | 1 << 3 | 1 << 4;
[[nodiscard]] constexpr bool ModeInMask(uint8_t mode, IgnoreMouseMask mask) {
    return mode < 8 && (mask >> mode & 1) != 0;
}

// The event handlers of a control, in the order of its save record.
enum class Handler : uint8_t {
    MouseMove,
    MouseIn,
    MouseOut,
    LeftDown,
    LeftUp,
    RightDown,
    RightUp,
    WheelDown,
    WheelUp,
    KeyDown,
    KeyUp,
    KeyRepeat,
    FocusIn,
    FocusOut
};
inline constexpr size_t kHandlerCount = 14;
// The event code of each handler: the PR id of its property.
inline constexpr std::array<uint8_t, kHandlerCount> kHandlerCodes{34, 103, 35,  36,  37,  38,  39,
                                                                  40, 41,  144, 145, 146, 148, 149};
[[nodiscard]] constexpr uint8_t HandlerCode(Handler handler) {
    return kHandlerCodes[static_cast<size_t>(handler)];
}

// A clip rectangle relative to the object's absolute position; it applies only when its width
// and height are both above 0.
struct ClipBox {
    int32_t left = 0;
    int32_t top = 0;
    int32_t width = 0;
    int32_t height = 0;

    [[nodiscard]] bool IsSet() const { return width > 0 && height > 0; }
    friend bool operator==(const ClipBox&, const ClipBox&) = default;
};

class TKivoControl : public TKivoComponent {
  public:
    explicit TKivoControl(TKivoBaseList& root);
    ~TKivoControl() override;

    [[nodiscard]] TKivoControl* AsControl() override { return this; }
    [[nodiscard]] std::string_view ClassName() const override { return "TKivoControl"; }
    [[nodiscard]] virtual TKivoBase* AsLayer() { return nullptr; }
    [[nodiscard]] const TKivoBase* AsLayer() const {
        return const_cast<TKivoControl*>(this)->AsLayer();
    }

    void Rename(std::string name) override;
    void SetPriority(int32_t priority) override;
    void SetSubPriority(int32_t subPriority) override;

    // ---- Tree ----

    [[nodiscard]] TKivoControl* Parent() const { return parent_; }
    // Moves the object under parent (null detaches it). Nothing happens when parent is the
    // current one, the object itself or one of its descendants.
    virtual void SetParent(TKivoControl* parent);
    // The children in drawing order: the flip snapshot last, system objects first, the rest by
    // priority plus sub-priority, then by name byte by byte.
    [[nodiscard]] const std::vector<TKivoControl*>& Children() const;
    // The layer the object lies in (a layer is its own), or null for a detached object.
    [[nodiscard]] TKivoBase* Layer() const;
    [[nodiscard]] bool IsAncestorOf(const TKivoControl& other) const;
    [[nodiscard]] bool InsideCabinet() const override;

    // ---- Geometry ----

    [[nodiscard]] int32_t Left() const { return left_; }
    [[nodiscard]] int32_t Top() const { return top_; }
    [[nodiscard]] int32_t Width() const { return width_; }
    [[nodiscard]] int32_t Height() const { return height_; }
    // Setting left (top) ends what a motion placed: the motion position x (y) goes back to 0.
    virtual void SetLeft(int32_t left);
    virtual void SetTop(int32_t top);
    virtual void SetWidth(int32_t width);
    virtual void SetHeight(int32_t height);
    void SetBounds(int32_t left, int32_t top, int32_t width, int32_t height);
    [[nodiscard]] int32_t OffsetX() const { return offsetX_; }
    [[nodiscard]] int32_t OffsetY() const { return offsetY_; }
    void SetOffsetX(int32_t offset) { ChangeArea(offsetX_, offset); }
    void SetOffsetY(int32_t offset) { ChangeArea(offsetY_, offset); }
    [[nodiscard]] int32_t PlusX() const { return plusX_; }
    [[nodiscard]] int32_t PlusY() const { return plusY_; }
    void SetPlusX(int32_t plus) { ChangeArea(plusX_, plus); }
    void SetPlusY(int32_t plus) { ChangeArea(plusY_, plus); }
    [[nodiscard]] int32_t MotionX() const { return motionX_; }
    [[nodiscard]] int32_t MotionY() const { return motionY_; }
    void SetMotionX(int32_t x) { ChangeArea(motionX_, x); }
    void SetMotionY(int32_t y) { ChangeArea(motionY_, y); }
    [[nodiscard]] const ClipBox& Clip() const { return clip_; }
    void SetClip(const ClipBox& clip) { ChangeArea(clip_, clip); }
    [[nodiscard]] bool PositionZoomed() const { return positionZoomed_; }
    void SetPositionZoomed(bool zoomed) { ChangeArea(positionZoomed_, zoomed); }

    // What kinds with a picture answer; the base is unzoomed, unflipped and unscrolled.
    [[nodiscard]] virtual int32_t ZoomX() const { return 256; }
    [[nodiscard]] virtual int32_t ZoomY() const { return 256; }
    [[nodiscard]] virtual bool FlipH() const { return false; }
    [[nodiscard]] virtual bool FlipV() const { return false; }
    // The shift of the children's origin (scrolled message windows and tiles).
    [[nodiscard]] virtual int32_t ScrollX() const { return 0; }
    [[nodiscard]] virtual int32_t ScrollY() const { return 0; }
    // The size of the object's own picture surface; width 0 when it has none.
    [[nodiscard]] virtual int32_t SurfaceWidth() const { return 0; }
    [[nodiscard]] virtual int32_t SurfaceHeight() const { return 0; }

    // Position on the layer.
    [[nodiscard]] int32_t AbsLeft() const;
    [[nodiscard]] int32_t AbsTop() const;
    // (AbsLeft, AbsTop) and the size.
    [[nodiscard]] TRect BoundsRect() const;
    // The clip rectangle on the layer; meaningful only when Clip().IsSet().
    [[nodiscard]] TRect ClipRectOnLayer() const;
    // The part of the layer the object can show: its bounds within its own clip rectangle and
    // its ancestors' visible bounds.
    [[nodiscard]] TRect VisibleBounds() const;

    // ---- Appearance ----

    [[nodiscard]] int32_t Color() const { return color_; }
    void SetColor(int32_t color);
    [[nodiscard]] const TRect& UpdateRect() const { return updateRect_; }
    void SetUpdateRect(const TRect& rect) { updateRect_ = rect; }
    // The object's own flag (always off for a cabinet).
    [[nodiscard]] bool OwnVisible() const { return visible_ && !neverShown_; }
    // Shown on screen: its own flag and a visible parent (a layer needs only its own flag).
    [[nodiscard]] bool Visible() const;
    void SetVisible(bool visible);

    // ---- Input ----

    [[nodiscard]] uint8_t IgnoreMouse() const { return ignoreMouse_; }
    void SetIgnoreMouse(uint8_t mode) { ignoreMouse_ = mode; }
    [[nodiscard]] const std::string& Cursor() const { return cursor_; }
    void SetCursor(std::string cursor) { cursor_ = std::move(cursor); }
    // The cursor shown while the pointer is over the object.
    [[nodiscard]] virtual std::string DisplayCursor() const { return cursor_; }
    [[nodiscard]] bool HandleKey() const { return handleKey_; }
    void SetHandleKey(bool handleKey) { handleKey_ = handleKey; }
    [[nodiscard]] bool AniPaused() const { return aniPaused_; }
    void SetAniPaused(bool paused) { aniPaused_ = paused; }
    [[nodiscard]] const std::string& HandlerText(Handler handler) const {
        return handlers_[static_cast<size_t>(handler)];
    }
    void SetHandlerText(Handler handler, std::string text) {
        handlers_[static_cast<size_t>(handler)] = std::move(text);
    }

    // ---- Frame work ----

    // Adds the area the object shows to its layer's dirty rectangles.
    void Invalidate();
    // The part of the layer that changes when area of this object or of a descendant changes
    // (an effect that moves its content draws beyond the area).
    [[nodiscard]] virtual TRect WidenDirty(const TRect& area) const { return area; }
    // Draws the object's content and then its children through the context, whose clip is
    // the part of the layer being redrawn. Kinds draw their own content and then call this.
    virtual void Draw(TDrawContext& context);
    // The topmost object at (x, y) in layer pixels whose ignore-mouse mode is in mask: a child
    // before its parent, later children before earlier ones. Null when none.
    [[nodiscard]] virtual TKivoControl* HitTest(int32_t x, int32_t y, IgnoreMouseMask mask);
    // The object that takes the keyboard focus in this subtree: the topmost visible child's
    // candidate, else this object when it handles keys and is not paused.
    [[nodiscard]] TKivoControl* FindFocusCandidate();
    // Steps the motion; a finished motion queues the play-end handler or, for an auto-scrap
    // object, reports the object finished.
    [[nodiscard]] bool Update() override;

    // ---- Events (pointer positions in layer pixels) ----

    // Kinds that react to the pointer themselves (buttons, list boxes) override these and
    // call the inherited ones for the events they still raise.
    virtual void FireLeftDown(int32_t x, int32_t y);
    virtual void FireLeftUp(int32_t x, int32_t y);
    virtual void FireRightDown(int32_t x, int32_t y);
    void FireRightUp(int32_t x, int32_t y);
    virtual void FireMouseMove(int32_t x, int32_t y);
    void FireMouseIn() { PostEvent(HandlerCode(Handler::MouseIn), HandlerText(Handler::MouseIn)); }
    virtual void FireMouseOut() {
        PostEvent(HandlerCode(Handler::MouseOut), HandlerText(Handler::MouseOut));
    }
    void FireWheel(bool down);
    // Key down, key up or key repeat.
    void FireKey(Handler handler) { PostEvent(HandlerCode(handler), HandlerText(handler)); }
    // The focused object's key work of a frame with a key trigger (the press and each
    // auto-repeat). Kinds that read keys do it here and then call the inherited one, which
    // queues the key-repeat handler.
    virtual void FireKeyRepeat() { FireKey(Handler::KeyRepeat); }

    // Hooks of the kinds. Drag: the pointer moved while the object holds the capture (menus
    // and sliders follow it). The right-click-scrap pair: whether the object closes on a right
    // click anywhere, and closing it (true when the click was taken).
    virtual void Drag(int32_t /*x*/, int32_t /*y*/) {}
    [[nodiscard]] virtual bool RightClickScrap() const { return false; }
    virtual bool CloseByRightClick() { return false; }
    virtual void FocusGained() {}
    [[nodiscard]] virtual bool AutoScrap() const { return false; }
    [[nodiscard]] virtual bool Repeat() const { return false; }
    [[nodiscard]] virtual std::string PlayEndHandler() const { return {}; }

    // ---- Motion ----

    [[nodiscard]] TKivoMotion* Motion() const { return motion_.get(); }
    // Starts a motion of the film on this object, replacing any other.
    void AssignMotion(std::unique_ptr<MotionFilm> film);
    // Ends the motion: the motion position and the sub-priority it set go back to 0.
    void FreeMotion();
    // A motion runs and has not reached its end.
    [[nodiscard]] bool Playing() const;

    [[nodiscard]] const PropertyMap& Properties() const override { return ClassProperties(); }
    [[nodiscard]] static const PropertyMap& ClassProperties();
    void Save(ByteWriter& writer) const override;
    void Load(ByteReader& reader, int32_t version) override;

  protected:
    // Taking a name held by another control pushes that one to the name's next free "_k".
    void ResolveNameCollision(TKivoObject& holder) override;
    void DrawChildren(TDrawContext& context);
    // Sets a field that moves or reshapes what the object shows: the old area and the new
    // one are drawn again. An unchanged value does nothing.
    template <typename T>
    void ChangeArea(T& field, const T& value) {
        if (field == value) return;
        Invalidate();
        field = value;
        Invalidate();
    }
    // Whether the root's focus lies in this subtree.
    [[nodiscard]] bool HoldsFocus() const;
    // Takes the frame's left (right) press for this object: scripts no longer see it as a
    // click of the frame.
    void ConsumePress(bool left);
    // The object holds the pointer until the left button is released.
    void CaptureLeft();
    // Whether the topmost object taking left presses at (x, y) in its layer is this one.
    [[nodiscard]] bool UnderPointer(int32_t x, int32_t y) const;

    // Set by the constructors of the layers and the cabinets.
    bool isLayer_ = false;
    bool neverShown_ = false;

  private:
    friend class TKivoBaseList;

    void AddChild(TKivoControl& child);
    void RemoveChild(TKivoControl& child);
    void MarkOrderChanged();
    void SortChildren() const;
    void FirePointerEvent(Handler handler, int32_t x, int32_t y);
    // A button press: the capture, then the event unless the object takes no presses.
    void FirePress(Handler handler, uint8_t capture, IgnoreMouseMask modes, int32_t x, int32_t y);
    [[nodiscard]] int64_t AbsPosition(bool vertical) const;
    // The absolute position given the parent's (64 bits: the parts may add beyond int32).
    [[nodiscard]] int64_t PositionIn(bool vertical, int64_t parentAbs) const;
    // VisibleBounds, giving back the object's absolute position as well.
    [[nodiscard]] TRect VisibleArea(int64_t& left, int64_t& top) const;
    [[nodiscard]] int64_t ZoomedPosition(bool vertical, int64_t parentAbs) const;
    [[nodiscard]] TRect RectAt(int64_t left, int64_t top) const;
    [[nodiscard]] TRect ClipRectAt(int64_t left, int64_t top) const;
    void SaveControlFields(ByteWriter& writer) const;
    void LoadControlFields(ByteReader& reader, int32_t version);
    void SaveChildren(ByteWriter& writer) const;
    void LoadChildren(ByteReader& reader, int32_t version);

    TKivoControl* parent_ = nullptr;
    mutable std::vector<TKivoControl*> children_;
    mutable bool childrenSorted_ = true;
    int32_t left_ = 0;
    int32_t top_ = 0;
    int32_t width_ = 0;
    int32_t height_ = 0;
    int32_t offsetX_ = 0;
    int32_t offsetY_ = 0;
    int32_t plusX_ = 0;
    int32_t plusY_ = 0;
    int32_t motionX_ = 0;
    int32_t motionY_ = 0;
    ClipBox clip_;
    bool positionZoomed_ = false;
    bool visible_ = true;
    int32_t color_ = 0;
    TRect updateRect_{0, 0, 1, 1};
    uint8_t ignoreMouse_ = 0;
    std::string cursor_;
    bool aniPaused_ = false;
    bool handleKey_ = false;
    std::array<std::string, kHandlerCount> handlers_;
    std::unique_ptr<TKivoMotion> motion_;
};

}  // namespace kivo
