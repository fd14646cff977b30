#include "scene/kivo_label.h"

#include <algorithm>
#include <cmath>
#include <limits>
#include <numbers>

#include "base/sjis.h"
#include "imaging/draw_context.h"
#include "scene/film_motion.h"
#include "scene/kivo_base.h"
#include "scene/kivo_base_list.h"
#include "scene/kivo_motion.h"
#include "text/font_pixel_manager.h"
#include "text/tp_label_list.h"
#include "text/tp_word.h"

namespace kivo {

namespace {

// A label larger than this keeps no surfaces: it could only come from a runaway script.
constexpr int64_t kMaxSurfacePixels = int64_t{1} << 24;

[[nodiscard]] int32_t ClampToInt32(int64_t value) {
    return static_cast<int32_t>(std::clamp<int64_t>(value, std::numeric_limits<int32_t>::min(),
                                                    std::numeric_limits<int32_t>::max()));
}

}  // namespace

TKivoLabel::TKivoLabel(TKivoBaseList& root) : TKivoControl(root), fontName_(kPGothicFace) {}

TKivoLabel::~TKivoLabel() {
    Invalidate();
}

// ---- Text and font ----

std::string TKivoLabel::Text() const {
    std::string joined;
    for (size_t i = 0; i < lines_.size(); ++i) {
        if (i > 0) joined += "\r\n";
        joined += lines_[i];
    }
    return joined;
}

void TKivoLabel::SplitText(std::string_view text) {
    lines_ = sjis::SplitLines(text);
    if (!lines_.empty() && lines_.back().empty()) lines_.pop_back();
}

void TKivoLabel::SetText(std::string text) {
    if (text == Text()) return;
    Invalidate();
    SplitText(text);
    Layout();
}

void TKivoLabel::SetFontName(std::string name) {
    if (name == fontName_) return;
    fontName_ = std::move(name);
    Layout();
}

void TKivoLabel::SetFontColor(int32_t color) {
    if (color == fontColor_) return;
    fontColor_ = color;
    Layout();
    Invalidate();
}

void TKivoLabel::SetZoomX(int32_t zoom) {
    Invalidate();
    zoomX_ = std::max(zoom, 1);
    SetWidth(ClampToInt32(int64_t{contentWidth_} * zoomX_ / 256));
    Invalidate();
}

void TKivoLabel::SetZoomY(int32_t zoom) {
    Invalidate();
    zoomY_ = std::max(zoom, 1);
    SetHeight(ClampToInt32(int64_t{contentHeight_} * zoomY_ / 256));
    Invalidate();
}

// ---- Motion ----

void TKivoLabel::SetSource(std::string source) {
    if (source == source_) return;
    source_ = std::move(source);
    FreeMotion();
    if (!IsMotionFileName(source_)) return;
    if (auto film = TFilmMotion::Read(Root(), source_))
        AssignMotion(std::make_unique<TFilmMotion>(std::move(film)));
}

void TKivoLabel::SetRepeat(bool repeat) {
    repeat_ = repeat;
    if (repeat && Motion() != nullptr && Motion()->Finished()) Motion()->Restart();
}

// ---- Layout ----

int TKivoLabel::BitDepth() const {
    const TKivoBase* layer = Layer();
    return layer != nullptr ? const_cast<TKivoBase*>(layer)->Surface().BitCount() : 32;
}

void TKivoLabel::Layout() {
    TFontPixelManager& glyphs = Root().Glyphs();
    const int32_t level = antiAlias_ ? 3 : 0;
    const std::string_view face = fontName_.empty() ? kGothicFace : std::string_view(fontName_);

    std::vector<std::vector<int32_t>> advances(lines_.size());
    int64_t widest = 0;
    for (size_t i = 0; i < lines_.size(); ++i) {
        int64_t lineWidth = 0;
        sjis::ForEachChar(lines_[i], [&](size_t pos, size_t) {
            glyphs.SetAntiAlias(level);
            const int32_t advance =
                glyphs.CellAdvance(sjis::CharCode(lines_[i], pos), face, fontStyle_, fontSize_);
            advances[i].push_back(advance);
            lineWidth += advance;
        });
        widest = std::max(widest, lineWidth);
    }
    // The line space follows every line, the last one included. A negative size or spacing
    // leaves the label empty rather than asking for a surface of negative height.
    const int64_t pitch = int64_t{fontSize_} + lineSpace_;
    contentWidth_ = ClampToInt32(widest);
    contentHeight_ =
        ClampToInt32(std::max<int64_t>(0, pitch * static_cast<int64_t>(lines_.size())));
    SetBounds(Left(), Top(), ClampToInt32(int64_t{contentWidth_} * zoomX_ / 256),
              ClampToInt32(int64_t{contentHeight_} * zoomY_ / 256));

    lineRects_.clear();
    const bool drawable = contentWidth_ > 0 && contentHeight_ > 0 &&
                          int64_t{contentWidth_} * contentHeight_ <= kMaxSurfacePixels;
    if (!drawable) {
        colour_.Clear();
        mask_.Clear();
        Invalidate();
        return;
    }
    const int depth = BitDepth();
    if (colour_.Width() != contentWidth_ || colour_.Height() != contentHeight_ ||
        colour_.BitCount() != depth) {
        colour_.SetSize(contentWidth_, contentHeight_, depth);
        mask_.SetSize(contentWidth_, contentHeight_, 8);
    }
    // The colour is cleared too: a zoomed draw samples colour beside the coverage, and old
    // underline colours would bleed into the edges of new text.
    TDrawContext(mask_).Fill(0);
    TDrawContext(colour_).Fill(0);

    CellRequest request;
    request.face = face;
    request.size = fontSize_;
    request.style = fontStyle_;
    request.antiAlias = level;
    request.textPixel = colour_.ColorToPixel(fontColor_);
    for (size_t i = 0; i < lines_.size(); ++i) {
        const std::vector<int32_t>& lineAdvances = advances[i];
        int64_t lineWidth = 0;
        for (int32_t advance : lineAdvances)
            lineWidth += advance;
        int64_t x = 0;
        if (hAlign_ == 1) {
            x = (contentWidth_ - lineWidth) / 2;
        } else if (hAlign_ != 0) {
            x = contentWidth_ - lineWidth;
        }
        const int64_t y = pitch * static_cast<int64_t>(i);
        TRect touched;
        size_t index = 0;
        sjis::ForEachChar(lines_[i], [&](size_t pos, size_t) {
            const int32_t advance = lineAdvances[index];
            request.code = sjis::CharCode(lines_[i], pos);
            request.joinedLeft = index == 0;
            request.joinedRight = index + 1 == lineAdvances.size();
            request.cell = {ClampToInt32(x), ClampToInt32(y), ClampToInt32(x + advance),
                            ClampToInt32(y + fontSize_)};
            const TRect drawn = glyphs.DrawCell(request, colour_, mask_);
            if (!drawn.IsEmpty()) touched = touched.IsEmpty() ? drawn : Union(touched, drawn);
            x += advance;
            ++index;
        });
        touched = Intersect(touched, mask_.ClientRect());
        if (!touched.IsEmpty()) lineRects_.push_back(touched);
    }
    Invalidate();
}

// ---- Geometry ----

int32_t TKivoLabel::AnchorX() const {
    int64_t x = Motion() != nullptr ? MotionX()
                : PositionZoomed()  ? int64_t{Left()} * zoomX_ / 256
                                    : Left();
    if (const TKivoControl* parent = Parent()) x += int64_t{parent->AbsLeft()} - parent->ScrollX();
    return ClampToInt32(x + PlusX());
}

int32_t TKivoLabel::AnchorY() const {
    int64_t y = Motion() != nullptr ? MotionY()
                : PositionZoomed()  ? int64_t{Top()} * zoomY_ / 256
                                    : Top();
    if (const TKivoControl* parent = Parent()) y += int64_t{parent->AbsTop()} - parent->ScrollY();
    return ClampToInt32(y + PlusY());
}

int32_t TKivoLabel::PivotX() const {
    return flipH_ ? colour_.Width() - OffsetX() - 1 : OffsetX();
}

int32_t TKivoLabel::PivotY() const {
    return flipV_ ? colour_.Height() - OffsetY() - 1 : OffsetY();
}

TRect TKivoLabel::LabelBounds() const {
    if (AngleByte() == 0 || colour_.IsEmpty()) return BoundsRect();
    return TCustomDIBX::RotatedBounds(AnchorX(), AnchorY(), AngleByte(), PivotY(), PivotX(),
                                      colour_.ClientRect(), zoomY_, zoomX_);
}

TRect TKivoLabel::WidenDirty(const TRect& area) const {
    if (AngleByte() == 0 || colour_.IsEmpty()) return area;
    const TRect rotated = LabelBounds();
    return area.IsEmpty() ? rotated : Union(area, rotated);
}

// ---- Drawing and input ----

void TKivoLabel::Draw(TDrawContext& context) {
    if (lines_.empty() || alpha_ == 0) return;
    if (!colour_.IsEmpty()) {
        const TRect whole = colour_.ClientRect();
        if (AngleByte() != 0) {
            context.DrawRotateMask(AnchorX(), AnchorY(), alpha_, mask_, flipV_, flipH_, AngleByte(),
                                   PivotY(), PivotX(), whole, colour_, zoomY_, zoomX_);
        } else if (Width() == contentWidth_ && Height() == contentHeight_) {
            // Alpha above 255 stays opaque here, and the flips do not apply.
            const uint32_t pixel = context.Surface().ColorToPixel(fontColor_);
            const int32_t left = AbsLeft(), top = AbsTop();
            for (const TRect& r : lineRects_) {
                context.FillMask(r.Left + left, r.Top + top, std::min(alpha_, 255), pixel, false,
                                 false, r, mask_);
            }
        } else if (Width() > 0 && Height() > 0) {
            if (alpha_ > 255) {
                // The additive strength saturates instead of wrapping past 511.
                context.StretchDrawMaskAdd(BoundsRect(), colour_, std::min(alpha_ - 256, 255),
                                           mask_, flipV_, flipH_, whole);
            } else {
                context.StretchDrawMask(BoundsRect(), colour_, alpha_, mask_, flipV_, flipH_,
                                        whole);
            }
        }
    }
    TKivoControl::Draw(context);
}

TKivoControl* TKivoLabel::HitTest(int32_t x, int32_t y, IgnoreMouseMask mask) {
    if (AngleByte() == 0) return TKivoControl::HitTest(x, y, mask);
    if (!OwnVisible()) return nullptr;
    const std::vector<TKivoControl*>& children = Children();
    for (auto it = children.rbegin(); it != children.rend(); ++it) {
        if (TKivoControl* hit = (*it)->HitTest(x, y, mask)) return hit;
    }
    // The point is turned back about the anchor by the label's angle.
    const double theta = -AngleByte() * 2 * std::numbers::pi / 256;
    const double cx = AnchorX(), cy = AnchorY();
    const double dx = x - cx, dy = y - cy;
    const double backX = std::nearbyint(dx * std::cos(theta) - dy * std::sin(theta) + cx);
    const double backY = std::nearbyint(dx * std::sin(theta) + dy * std::cos(theta) + cy);
    const TRect box = LabelBounds();
    const bool inside =
        backX >= box.Left && backX < box.Right && backY >= box.Top && backY < box.Bottom;
    return inside && ModeInMask(IgnoreMouse(), mask) ? this : nullptr;
}

// ---- Properties and save record ----

const PropertyMap& TKivoLabel::ClassProperties() {
    static const PropertyMap map = [] {
        using L = TKivoLabel;
        PropertyMap m = TKivoControl::ClassProperties();
        m[PR_TEXT] = Accessor<&L::Text, &L::SetText>();
        m[PR_FONTNAME] = Accessor<&L::FontName, &L::SetFontName>();
        m[PR_FONTHEIGHT] = Accessor<&L::FontSize, &L::SetFontSize>();
        m[PR_FONTSTYLE] = Accessor<&L::FontStyle, &L::SetFontStyle>();
        m[PR_LINESPACE] = Accessor<&L::LineSpace, &L::SetLineSpace>();
        m[PR_FONTCOLOR] = Accessor<&L::FontColor, &L::SetFontColor>();
        m[PR_HALIGN] = Accessor<&L::HAlign, &L::SetHAlign>();
        m[PR_ANTIALIAS] = Accessor<&L::AntiAlias, &L::SetAntiAlias>();
        m[PR_ALPHA] = Accessor<&L::Alpha, &L::SetAlpha>();
        m[PR_FLIPH] = Accessor<&L::FlipH, &L::SetFlipH>();
        m[PR_FLIPV] = Accessor<&L::FlipV, &L::SetFlipV>();
        m[PR_ANGLE] = Accessor<&L::Angle, &L::SetAngle>();
        m[PR_ZOOMX] = Accessor<&L::ZoomX, &L::SetZoomX>();
        m[PR_ZOOMY] = Accessor<&L::ZoomY, &L::SetZoomY>();
        m[PR_SOURCE] = Accessor<&L::Source, &L::SetSource>();
        m[PR_REPEAT] = Accessor<&L::Repeat, &L::SetRepeat>();
        m[PR_AUTOSCRAP] = Accessor<&L::AutoScrap, &L::SetAutoScrap>();
        m[PR_ONPLAYEND] = Accessor<&L::PlayEndHandler, &L::SetPlayEndHandler>();
        m[PR_PAUSED] = Accessor<&L::Paused, &L::SetPaused>();
        m[PR_ONIDLE] = Accessor<&L::IdleHandler, &L::SetIdleHandler>();
        return m;
    }();
    return map;
}

void TKivoLabel::Save(ByteWriter& writer) const {
    TKivoControl::Save(writer);
    writer.WriteCountedString(fontName_);
    writer.WriteI32(fontSize_);
    writer.WriteI32(lineSpace_);
    writer.WriteU8(fontStyle_);
    writer.WriteI32(alpha_);
    writer.WriteI32(fontColor_);
    writer.WriteU8(hAlign_);
    writer.WriteBool(antiAlias_);
    writer.WriteBool(flipH_);
    writer.WriteBool(flipV_);
    writer.WriteI32(angle_);
    writer.WriteI32(zoomX_);
    std::string text;
    for (const std::string& line : lines_)
        text += line + "\r\n";
    writer.WriteCountedString(text);
    writer.WriteCountedString(idleHandler_);
    writer.WriteCountedString(source_);
    writer.WriteBool(repeat_);
    writer.WriteBool(autoScrap_);
    writer.WriteCountedString(playEndHandler_);
    writer.WriteBool(paused_);
    writer.WriteI32(zoomY_);
}

void TKivoLabel::Load(ByteReader& reader, int32_t version) {
    TKivoControl::Load(reader, version);
    fontName_ = reader.ReadCountedString();
    fontSize_ = reader.ReadI32();
    lineSpace_ = reader.ReadI32();
    fontStyle_ = reader.ReadU8();
    alpha_ = reader.ReadI32();
    fontColor_ = reader.ReadI32();
    hAlign_ = reader.ReadU8();
    antiAlias_ = reader.ReadBool();
    flipH_ = reader.ReadBool();
    flipV_ = reader.ReadBool();
    angle_ = reader.ReadI32();
    zoomX_ = std::max(reader.ReadI32(), 1);
    const std::string text = reader.ReadCountedString();
    std::string source;
    if (version >= kSaveVersionSubPriority) {
        idleHandler_ = reader.ReadCountedString();
        source = reader.ReadCountedString();
        repeat_ = reader.ReadBool();
        autoScrap_ = reader.ReadBool();
        playEndHandler_ = reader.ReadCountedString();
        paused_ = reader.ReadBool();
        zoomY_ = std::max(reader.ReadI32(), 1);
    }
    // Laid out once everything is read, so that the zoom y of the record sizes the label now
    // and not only at its next change.
    SplitText(text);
    Layout();
    SetSource(std::move(source));
}

}  // namespace kivo
