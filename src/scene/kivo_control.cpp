#include "scene/kivo_control.h"

#include <algorithm>
#include <limits>

#include "base/error.h"
#include "imaging/draw_context.h"
#include "scene/kivo_base.h"
#include "scene/kivo_base_list.h"
#include "scene/kivo_motion.h"
#include "script/param.h"

namespace kivo {

namespace {

[[nodiscard]] int32_t ClampToInt32(int64_t value) {
    return static_cast<int32_t>(std::clamp<int64_t>(value, std::numeric_limits<int32_t>::min(),
                                                    std::numeric_limits<int32_t>::max()));
}

// Draw rank among siblings: system objects first, the flip snapshot last.
[[nodiscard]] int DrawRank(const TKivoControl& control) {
    if (control.Name() == kSnapshotName) return 2;
    return control.IsSystem() ? 0 : 1;
}

// The strict weak order of siblings; equal keys keep the order they were added in.
[[nodiscard]] bool DrawsBefore(const TKivoControl* a, const TKivoControl* b) {
    const int rankA = DrawRank(*a), rankB = DrawRank(*b);
    if (rankA != rankB) return rankA < rankB;
    if (a->DrawingPriority() != b->DrawingPriority()) {
        return a->DrawingPriority() < b->DrawingPriority();
    }
    // std::string compares as unsigned bytes, the ordinal order of names.
    return a->Name() < b->Name();
}

}  // namespace

TKivoControl::TKivoControl(TKivoBaseList& root) : TKivoComponent(root) {}

TKivoControl::~TKivoControl() = default;

// ---- Names and priorities ----

void TKivoControl::Rename(std::string name) {
    if (name == Name()) return;
    TKivoComponent::Rename(std::move(name));
    // Only named children are drawn, and the name orders siblings.
    MarkOrderChanged();
}

void TKivoControl::SetPriority(int32_t priority) {
    TKivoComponent::SetPriority(priority);
    MarkOrderChanged();
}

void TKivoControl::SetSubPriority(int32_t subPriority) {
    if (subPriority == SubPriority()) return;
    TKivoComponent::SetSubPriority(subPriority);
    MarkOrderChanged();
}

void TKivoControl::MarkOrderChanged() {
    if (parent_ != nullptr) parent_->childrenSorted_ = false;
    Invalidate();
}

void TKivoControl::ResolveNameCollision(TKivoObject& holder) {
    Root().SetObjectName(holder, Root().FreeSuffixedName(holder.Name()));
    if (TKivoControl* control = holder.AsControl()) control->MarkOrderChanged();
}

// ---- Tree ----

const std::vector<TKivoControl*>& TKivoControl::Children() const {
    if (!childrenSorted_) SortChildren();
    return children_;
}

void TKivoControl::SortChildren() const {
    // Sorted when first needed rather than on every change: creating thousands of children
    // then costs one sort, not one per child.
    std::stable_sort(children_.begin(), children_.end(), DrawsBefore);
    childrenSorted_ = true;
}

void TKivoControl::AddChild(TKivoControl& child) {
    child.parent_ = this;
    children_.push_back(&child);
    childrenSorted_ = false;
}

void TKivoControl::RemoveChild(TKivoControl& child) {
    std::erase(children_, &child);
    child.parent_ = nullptr;
}

TKivoBase* TKivoControl::Layer() const {
    const TKivoControl* walk = this;
    while (walk != nullptr && !walk->isLayer_)
        walk = walk->parent_;
    return walk != nullptr ? const_cast<TKivoControl*>(walk)->AsLayer() : nullptr;
}

bool TKivoControl::IsAncestorOf(const TKivoControl& other) const {
    for (const TKivoControl* walk = other.parent_; walk != nullptr; walk = walk->parent_) {
        if (walk == this) return true;
    }
    return false;
}

bool TKivoControl::InsideCabinet() const {
    for (const TKivoControl* walk = parent_; walk != nullptr; walk = walk->parent_) {
        if (walk->neverShown_) return true;
    }
    return false;
}

bool TKivoControl::HoldsFocus() const {
    const TKivoControl* focus = Root().FocusedControl();
    return focus != nullptr && (focus == this || IsAncestorOf(*focus));
}

void TKivoControl::SetParent(TKivoControl* parent) {
    if (parent == parent_ || parent == this || isLayer_) return;
    if (parent != nullptr && IsAncestorOf(*parent)) return;
    Invalidate();
    if (parent_ != nullptr) parent_->RemoveChild(*this);
    if (parent != nullptr) parent->AddChild(*this);
    Invalidate();

    TKivoBaseList& root = Root();
    const bool inActiveLayer = Layer() == &root.ActiveLayer();
    if (HoldsFocus() ? !inActiveLayer : root.FocusedControl() == nullptr && inActiveLayer) {
        root.DropFocus();
    }
}

// ---- Geometry ----

void TKivoControl::SetLeft(int32_t left) {
    if (left == left_) return;
    Invalidate();
    left_ = left;
    motionX_ = 0;
    Invalidate();
}

void TKivoControl::SetTop(int32_t top) {
    if (top == top_) return;
    Invalidate();
    top_ = top;
    motionY_ = 0;
    Invalidate();
}

void TKivoControl::SetWidth(int32_t width) {
    ChangeArea(width_, width);
}

void TKivoControl::SetHeight(int32_t height) {
    ChangeArea(height_, height);
}

void TKivoControl::SetBounds(int32_t left, int32_t top, int32_t width, int32_t height) {
    Invalidate();
    left_ = left;
    top_ = top;
    width_ = width;
    height_ = height;
    motionX_ = motionY_ = 0;
    Invalidate();
}

int64_t TKivoControl::ZoomedPosition(bool vertical, int64_t parentAbs) const {
    // Inside a parent showing its own picture at the same zoom, the position is in the
    // parent's picture pixels: it is divided by the parent's scale as a 16.16 factor.
    const int64_t parentSurface = vertical ? parent_->SurfaceHeight() : parent_->SurfaceWidth();
    const int64_t parentSize = vertical ? parent_->Height() : parent_->Width();
    const int64_t scale = std::max<int64_t>(1, 65536 * parentSurface / parentSize);
    const int64_t pos = vertical ? top_ : left_;
    const int64_t offset = vertical ? offsetY_ : offsetX_;
    const int64_t ownSurface = vertical ? SurfaceHeight() : SurfaceWidth();
    const bool flip = vertical ? FlipV() : FlipH();
    const int64_t numerator = flip ? parentSurface + offset - pos - ownSurface : pos - offset;
    const int64_t product = numerator * 65536;
    int64_t result = product / scale;
    // Rounded at half a pixel: the remainder is taken as a 16-bit fraction of the divisor.
    if (product % scale * 65536 / scale > 0x7FFF) ++result;
    const int64_t parentScroll = vertical ? parent_->ScrollY() : parent_->ScrollX();
    return result + parentAbs + (vertical ? plusY_ : plusX_) - parentScroll;
}

int64_t TKivoControl::PositionIn(bool vertical, int64_t parentAbs) const {
    const int32_t zoom = vertical ? ZoomY() : ZoomX();
    if (positionZoomed_ && parent_ != nullptr && !parent_->isLayer_) {
        const bool parentHasPicture =
            vertical ? parent_->SurfaceHeight() > 0 : parent_->SurfaceWidth() > 0;
        const bool ownPicture = vertical ? SurfaceHeight() > 0 : SurfaceWidth() > 0;
        const int32_t parentZoom = vertical ? parent_->ZoomY() : parent_->ZoomX();
        const int32_t parentSize = vertical ? parent_->Height() : parent_->Width();
        // A parent of no width has no scale; the plain rule below places the object.
        if (ownPicture && parentHasPicture && parentZoom == zoom && parentSize > 0) {
            return ZoomedPosition(vertical, parentAbs);
        }
    }
    const int64_t offset = vertical ? offsetY_ : offsetX_;
    const int64_t size = vertical ? height_ : width_;
    const int64_t scaledOffset = zoom == 256 ? offset : offset * zoom / 256;
    const int64_t shift = (vertical ? FlipV() : FlipH()) ? size - scaledOffset - 1 : scaledOffset;
    int64_t own;
    if (motion_ != nullptr) {
        own = vertical ? motionY_ : motionX_;
    } else {
        const int64_t pos = vertical ? top_ : left_;
        own = positionZoomed_ ? pos * zoom / 256 : pos;
    }
    if (parent_ != nullptr) {
        own += parentAbs - (vertical ? parent_->ScrollY() : parent_->ScrollX());
    }
    return own - shift + (vertical ? plusY_ : plusX_);
}

int64_t TKivoControl::AbsPosition(bool vertical) const {
    return PositionIn(vertical, parent_ != nullptr ? parent_->AbsPosition(vertical) : 0);
}

int32_t TKivoControl::AbsLeft() const {
    return ClampToInt32(AbsPosition(false));
}

int32_t TKivoControl::AbsTop() const {
    return ClampToInt32(AbsPosition(true));
}

TRect TKivoControl::RectAt(int64_t left, int64_t top) const {
    return {ClampToInt32(left), ClampToInt32(top), ClampToInt32(left + width_),
            ClampToInt32(top + height_)};
}

TRect TKivoControl::ClipRectAt(int64_t left, int64_t top) const {
    const int64_t clipLeft = int64_t{ClampToInt32(left)} + clip_.left;
    const int64_t clipTop = int64_t{ClampToInt32(top)} + clip_.top;
    return {ClampToInt32(clipLeft), ClampToInt32(clipTop), ClampToInt32(clipLeft + clip_.width),
            ClampToInt32(clipTop + clip_.height)};
}

TRect TKivoControl::BoundsRect() const {
    return RectAt(AbsPosition(false), AbsPosition(true));
}

TRect TKivoControl::ClipRectOnLayer() const {
    return ClipRectAt(AbsPosition(false), AbsPosition(true));
}

TRect TKivoControl::VisibleBounds() const {
    int64_t left = 0, top = 0;
    return VisibleArea(left, top);
}

// Down the chain of ancestors once, each position from its parent's, without a list of them
// (every move of every particle asks this twice).
TRect TKivoControl::VisibleArea(int64_t& left, int64_t& top) const {
    TRect area{std::numeric_limits<int32_t>::min(), std::numeric_limits<int32_t>::min(),
               std::numeric_limits<int32_t>::max(), std::numeric_limits<int32_t>::max()};
    if (parent_ != nullptr) area = parent_->VisibleArea(left, top);
    left = PositionIn(false, left);
    top = PositionIn(true, top);
    area = Intersect(area, RectAt(left, top));
    if (clip_.IsSet()) area = Intersect(area, ClipRectAt(left, top));
    return area;
}

// ---- Appearance ----

void TKivoControl::SetColor(int32_t color) {
    if (color == color_) return;
    color_ = color;
    Invalidate();
}

bool TKivoControl::Visible() const {
    if (!OwnVisible()) return false;
    if (isLayer_) return true;
    return parent_ != nullptr && parent_->Visible();
}

void TKivoControl::SetVisible(bool visible) {
    if (visible == visible_) return;
    TKivoBaseList& root = Root();
    if (!visible) {
        Invalidate();
        visible_ = false;
        if (HoldsFocus()) root.DropFocus();
    } else {
        visible_ = true;
        Invalidate();
        if (root.FocusedControl() == nullptr) root.RequestFocusRecompute();
    }
}

// ---- Frame work ----

void TKivoControl::Invalidate() {
    if (!Visible()) return;
    TKivoBase* layer = Layer();
    if (layer == nullptr) return;
    TRect area = BoundsRect();
    if (parent_ != nullptr) {
        area = Intersect(area, parent_->VisibleBounds());
        if (area.IsEmpty()) return;
    }
    if (clip_.IsSet()) area = Intersect(area, ClipRectOnLayer());
    // A wave shifts what it and its descendants draw sideways, so their areas reach further.
    for (const TKivoControl* widening = this; widening != nullptr; widening = widening->parent_)
        area = widening->WidenDirty(area);
    layer->AddDirty(area);
}

void TKivoControl::Draw(TDrawContext& context) {
    DrawChildren(context);
}

void TKivoControl::DrawChildren(TDrawContext& context) {
    // Most objects have no children; their bounds are not worth working out.
    if (Children().empty()) return;
    const TRect area = Intersect(context.DrawingRect(), BoundsRect());
    if (area.IsEmpty()) return;
    const std::optional<TRect> outer = context.ClipRect();
    for (TKivoControl* child : Children()) {
        if (child->Name().empty() || !child->OwnVisible()) continue;
        TRect childClip = area;
        if (child->clip_.IsSet()) childClip = Intersect(childClip, child->ClipRectOnLayer());
        if (childClip.IsEmpty()) continue;
        context.SetClipRect(childClip);
        child->Draw(context);
    }
    if (outer) {
        context.SetClipRect(*outer);
    } else {
        context.ResetClip();
    }
}

TKivoControl* TKivoControl::HitTest(int32_t x, int32_t y, IgnoreMouseMask mask) {
    if (!OwnVisible() || !BoundsRect().Contains(x, y)) return nullptr;
    const std::vector<TKivoControl*>& children = Children();
    for (auto it = children.rbegin(); it != children.rend(); ++it) {
        if (TKivoControl* hit = (*it)->HitTest(x, y, mask)) return hit;
    }
    return ModeInMask(ignoreMouse_, mask) ? this : nullptr;
}

TKivoControl* TKivoControl::FindFocusCandidate() {
    const std::vector<TKivoControl*>& children = Children();
    for (auto it = children.rbegin(); it != children.rend(); ++it) {
        if (!(*it)->OwnVisible()) continue;
        if (TKivoControl* candidate = (*it)->FindFocusCandidate()) return candidate;
    }
    return handleKey_ && !Paused() ? this : nullptr;
}

bool TKivoControl::Update() {
    if (motion_ == nullptr || !motion_->Step(*this, Root().State().frameDelta)) return false;
    if (AutoScrap()) return true;
    PostEvent(PR_ONPLAYEND, PlayEndHandler());
    return false;
}

// ---- Events ----

void TKivoControl::FirePointerEvent(Handler handler, int32_t x, int32_t y) {
    // The pointer relative to the object, as the handler receives it.
    const int64_t relX = int64_t{x} - AbsLeft(), relY = int64_t{y} - AbsTop();
    PostEvent(HandlerCode(handler), HandlerText(handler),
              {std::to_string(relX), std::to_string(relY)}, true);
}

void TKivoControl::FirePress(Handler handler, uint8_t capture, IgnoreMouseMask modes, int32_t x,
                             int32_t y) {
    // The press gives this object the pointer capture whether or not a handler runs.
    if (TKivoBase* layer = Layer()) layer->Pointer().capture |= capture;
    if (Paused() || isLayer_ || !ModeInMask(ignoreMouse_, modes)) return;
    FirePointerEvent(handler, x, y);
}

void TKivoControl::ConsumePress(bool left) {
    if (TKivoBase* layer = Layer())
        (left ? layer->Pointer().leftClick : layer->Pointer().rightClick) = false;
}

void TKivoControl::CaptureLeft() {
    if (TKivoBase* layer = Layer()) layer->Pointer().capture |= kCaptureLeft;
}

bool TKivoControl::UnderPointer(int32_t x, int32_t y) const {
    TKivoBase* layer = Layer();
    return layer != nullptr && layer->HitTest(x, y, kLeftPressModes) == this;
}

void TKivoControl::FireLeftDown(int32_t x, int32_t y) {
    FirePress(Handler::LeftDown, kCaptureLeft, kLeftPressModes, x, y);
}

void TKivoControl::FireLeftUp(int32_t x, int32_t y) {
    FirePointerEvent(Handler::LeftUp, x, y);
}

void TKivoControl::FireRightDown(int32_t x, int32_t y) {
    FirePress(Handler::RightDown, kCaptureRight, kRightPressModes, x, y);
}

void TKivoControl::FireRightUp(int32_t x, int32_t y) {
    FirePointerEvent(Handler::RightUp, x, y);
}

void TKivoControl::FireMouseMove(int32_t x, int32_t y) {
    FirePointerEvent(Handler::MouseMove, x, y);
}

void TKivoControl::FireWheel(bool down) {
    const Handler handler = down ? Handler::WheelDown : Handler::WheelUp;
    PostEvent(HandlerCode(handler), HandlerText(handler), {}, true);
}

// ---- Motion ----

void TKivoControl::AssignMotion(std::unique_ptr<MotionFilm> film) {
    FreeMotion();
    motion_ = std::make_unique<TKivoMotion>(std::move(film));
}

void TKivoControl::FreeMotion() {
    if (motion_ == nullptr) return;
    Invalidate();
    motion_.reset();
    motionX_ = motionY_ = 0;
    SetSubPriority(0);
    Invalidate();
}

bool TKivoControl::Playing() const {
    return motion_ != nullptr && !motion_->Finished();
}

// ---- Properties ----

namespace {

[[nodiscard]] const TKivoControl& AsCtl(const TKivoObject& object) {
    return static_cast<const TKivoControl&>(object);
}
[[nodiscard]] TKivoControl& AsCtl(TKivoObject& object) {
    return static_cast<TKivoControl&>(object);
}

// The handler properties and the handler each stands for.
constexpr std::array<std::pair<PropertyId, Handler>, kHandlerCount> kHandlerProperties{{
    {PR_ONMOUSEMOVE, Handler::MouseMove},
    {PR_ONMOUSEIN, Handler::MouseIn},
    {PR_ONMOUSEOUT, Handler::MouseOut},
    {PR_ONLBTNDOWN, Handler::LeftDown},
    {PR_ONLBTNUP, Handler::LeftUp},
    {PR_ONRBTNDOWN, Handler::RightDown},
    {PR_ONRBTNUP, Handler::RightUp},
    {PR_ONWHEELDOWN, Handler::WheelDown},
    {PR_ONWHEELUP, Handler::WheelUp},
    {PR_ONKEYDOWN, Handler::KeyDown},
    {PR_ONKEYUP, Handler::KeyUp},
    {PR_ONKEYREPEAT, Handler::KeyRepeat},
    {PR_ONFOCUSIN, Handler::FocusIn},
    {PR_ONFOCUSOUT, Handler::FocusOut},
}};

// The four clip properties share one accessor; the cell says which field.
constexpr std::array<int32_t ClipBox::*, 4> kClipFields{&ClipBox::left, &ClipBox::top,
                                                        &ClipBox::width, &ClipBox::height};

PropertyMap BuildControlMap(const PropertyMap& base) {
    PropertyMap m = base;
    m[PR_PARENT].get = [](const TKivoObject& o, int32_t) -> PropertyValue {
        const TKivoControl* parent = AsCtl(o).Parent();
        return parent != nullptr ? parent->Name() : std::string();
    };
    m[PR_PARENT].set = [](TKivoObject& o, const PropertyValue& v, int32_t) {
        if (TKivoControl* parent = o.Root().FindControl(std::get<std::string>(v))) {
            AsCtl(o).SetParent(parent);
        }
    };
    m[PR_LEFT] = Accessor<&TKivoControl::Left, &TKivoControl::SetLeft>();
    m[PR_TOP] = Accessor<&TKivoControl::Top, &TKivoControl::SetTop>();
    m[PR_WIDTH] = Accessor<&TKivoControl::Width, &TKivoControl::SetWidth>();
    m[PR_HEIGHT] = Accessor<&TKivoControl::Height, &TKivoControl::SetHeight>();
    m[PR_ORIGWIDTH] = Accessor<&TKivoControl::Width>();
    m[PR_ORIGHEIGHT] = Accessor<&TKivoControl::Height>();
    m[PR_COLOR] = Accessor<&TKivoControl::Color, &TKivoControl::SetColor>();
    m[PR_OFFSETX] = Accessor<&TKivoControl::OffsetX, &TKivoControl::SetOffsetX>();
    m[PR_OFFSETY] = Accessor<&TKivoControl::OffsetY, &TKivoControl::SetOffsetY>();
    m[PR_PLUSX] = Accessor<&TKivoControl::PlusX, &TKivoControl::SetPlusX>();
    m[PR_PLUSY] = Accessor<&TKivoControl::PlusY, &TKivoControl::SetPlusY>();
    m[PR_VISIBLE] = Accessor<&TKivoControl::Visible, &TKivoControl::SetVisible>();
    m[PR_CURSOR] = Accessor<&TKivoControl::Cursor, &TKivoControl::SetCursor>();
    m[PR_POSZOOMED] = Accessor<&TKivoControl::PositionZoomed, &TKivoControl::SetPositionZoomed>();
    m[PR_ANIPAUSED] = Accessor<&TKivoControl::AniPaused, &TKivoControl::SetAniPaused>();
    m[PR_PLAYING] = Accessor<&TKivoControl::Playing>();
    m[PR_IGNOREMOUSE].get = [](const TKivoObject& o, int32_t) -> PropertyValue {
        return int32_t{AsCtl(o).IgnoreMouse()};
    };
    m[PR_IGNOREMOUSE].set = [](TKivoObject& o, const PropertyValue& v, int32_t) {
        // Held in a byte, as saved.
        AsCtl(o).SetIgnoreMouse(static_cast<uint8_t>(std::get<int32_t>(v)));
    };
    m[PR_HANDLEKEY].get = [](const TKivoObject& o, int32_t) -> PropertyValue {
        return int32_t{AsCtl(o).HandleKey() ? 1 : 0};
    };
    m[PR_HANDLEKEY].set = [](TKivoObject& o, const PropertyValue& v, int32_t) {
        AsCtl(o).SetHandleKey(std::get<int32_t>(v) != 0);
    };
    const PropertyId clipIds[] = {PR_CLIPLEFT, PR_CLIPTOP, PR_CLIPWIDTH, PR_CLIPHEIGHT};
    for (int32_t cell = 0; cell < 4; ++cell) {
        PropertyAccess& access = m[clipIds[cell]];
        access.cell = cell;
        access.get = [](const TKivoObject& o, int32_t c) -> PropertyValue {
            return AsCtl(o).Clip().*kClipFields[static_cast<size_t>(c)];
        };
        access.set = [](TKivoObject& o, const PropertyValue& v, int32_t c) {
            ClipBox clip = AsCtl(o).Clip();
            clip.*kClipFields[static_cast<size_t>(c)] = std::get<int32_t>(v);
            AsCtl(o).SetClip(clip);
        };
    }
    for (const auto& [id, handler] : kHandlerProperties) {
        PropertyAccess& access = m[id];
        access.cell = static_cast<int32_t>(handler);
        access.get = [](const TKivoObject& o, int32_t c) -> PropertyValue {
            return AsCtl(o).HandlerText(static_cast<Handler>(c));
        };
        access.set = [](TKivoObject& o, const PropertyValue& v, int32_t c) {
            AsCtl(o).SetHandlerText(static_cast<Handler>(c), std::get<std::string>(v));
        };
    }
    return m;
}

}  // namespace

const PropertyMap& TKivoControl::ClassProperties() {
    static const PropertyMap map = BuildControlMap(TKivoComponent::ClassProperties());
    return map;
}

// ---- Save record ----

void TKivoControl::Save(ByteWriter& writer) const {
    TKivoComponent::Save(writer);
    SaveControlFields(writer);
    SaveChildren(writer);
}

void TKivoControl::Load(ByteReader& reader, int32_t version) {
    TKivoComponent::Load(reader, version);
    LoadControlFields(reader, version);
    LoadChildren(reader, version);
}

void TKivoControl::SaveControlFields(ByteWriter& writer) const {
    for (int32_t value : {left_, top_, width_, height_, offsetX_, offsetY_})
        writer.WriteI32(value);
    writer.WriteBool(positionZoomed_);
    for (int32_t value : {motionX_, motionY_, plusX_, plusY_})
        writer.WriteI32(value);
    for (int32_t value : {clip_.left, clip_.top, clip_.width, clip_.height}) {
        writer.WriteI32(value);
    }
    writer.WriteBool(aniPaused_);
    writer.WriteBool(visible_);
    writer.WriteI32(color_);
    for (int32_t value :
         {updateRect_.Left, updateRect_.Top, updateRect_.Right, updateRect_.Bottom}) {
        writer.WriteI32(value);
    }
    writer.WriteU8(ignoreMouse_);
    writer.WriteCountedString(cursor_);
    for (size_t i = 0; i <= static_cast<size_t>(Handler::WheelUp); ++i) {
        writer.WriteCountedString(handlers_[i]);
    }
    writer.WriteBool(handleKey_);
    for (size_t i = static_cast<size_t>(Handler::KeyDown); i < kHandlerCount; ++i) {
        writer.WriteCountedString(handlers_[i]);
    }
}

void TKivoControl::LoadControlFields(ByteReader& reader, int32_t version) {
    for (int32_t* field : {&left_, &top_, &width_, &height_, &offsetX_, &offsetY_}) {
        *field = reader.ReadI32();
    }
    positionZoomed_ = reader.ReadBool();
    if (version >= kSaveVersionPlus) {
        for (int32_t* field : {&motionX_, &motionY_, &plusX_, &plusY_})
            *field = reader.ReadI32();
    }
    if (version >= kSaveVersionSubPriority) {
        for (int32_t* field : {&clip_.left, &clip_.top, &clip_.width, &clip_.height}) {
            *field = reader.ReadI32();
        }
        aniPaused_ = reader.ReadBool();
    }
    visible_ = reader.ReadBool();
    color_ = reader.ReadI32();
    for (int32_t* field :
         {&updateRect_.Left, &updateRect_.Top, &updateRect_.Right, &updateRect_.Bottom}) {
        *field = reader.ReadI32();
    }
    ignoreMouse_ = reader.ReadU8();
    cursor_ = reader.ReadCountedString();
    for (size_t i = 0; i <= static_cast<size_t>(Handler::WheelUp); ++i) {
        if (static_cast<Handler>(i) == Handler::MouseIn && version < kSaveVersionMouseIn) continue;
        handlers_[i] = reader.ReadCountedString();
    }
    if (version >= kSaveVersionKeyHandlers) {
        handleKey_ = reader.ReadBool();
        for (size_t i = static_cast<size_t>(Handler::KeyDown); i < kHandlerCount; ++i) {
            handlers_[i] = reader.ReadCountedString();
        }
    }
}

void TKivoControl::SaveChildren(ByteWriter& writer) const {
    std::vector<const TKivoControl*> saved;
    for (const TKivoControl* child : Children()) {
        if (!Root().IsScheduled(*child) && child->Kind() != 0 && !child->IsSystem())
            saved.push_back(child);
    }
    writer.WriteI32(static_cast<int32_t>(saved.size()));
    for (const TKivoControl* child : saved) {
        writer.WriteU8(static_cast<uint8_t>(child->Kind()));
        child->Save(writer);
    }
}

void TKivoControl::LoadChildren(ByteReader& reader, int32_t version) {
    // A child takes at least its kind byte and the name count of its record.
    const uint32_t count = reader.ReadCount(1 + 4);
    if (count == 0) return;
    TKivoBaseList& root = Root();
    const TKivoBaseList::LoadNesting nesting(root, reader);
    for (uint32_t i = 0; i < count; ++i) {
        TKivoObject* object = root.CreateForLoad(reader.ReadU8(), reader);
        TKivoControl* child = object->AsControl();
        if (child == nullptr) {
            root.Destroy(*object);
            reader.Fail("a child that is not a control");
        }
        AddChild(*child);
        child->Load(reader, version);
    }
}

}  // namespace kivo
