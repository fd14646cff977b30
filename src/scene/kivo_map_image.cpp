#include "scene/kivo_map_image.h"

#include <algorithm>

#include "base/error.h"
#include "imaging/draw_context.h"
#include "scene/control_picture.h"
#include "scene/kivo_base_list.h"

namespace kivo {

namespace {

constexpr int32_t kKeyEnter = 13;
constexpr int32_t kKeyEscape = 27;
constexpr int32_t kKeySpace = 32;
constexpr int32_t kKeyLeft = 37;
constexpr int32_t kKeyUp = 38;
constexpr int32_t kKeyRight = 39;
constexpr int32_t kKeyDown = 40;

}  // namespace

TKivoMapImage::TKivoMapImage(TKivoBaseList& root)
    : TKivoControl(root), base_(root.Images()), hover_(root.Images()) {}

// ---- Pictures and regions ----

void TKivoMapImage::LoadPicture(MaskedPicture& picture, const std::string& source) {
    Invalidate();
    picture.frames.Clear();
    picture.masks.clear();
    picture.maskRegion.clear();
    if (!source.empty()) picture.frames.Load(Handle(), source, false, true);
    const auto count = static_cast<size_t>(picture.frames.Count());
    picture.masks.resize(count);
    picture.maskRegion.assign(count, kNoMask);
    Invalidate();
}

void TKivoMapImage::SetSource(std::string source) {
    if (source == source_) return;
    source_ = std::move(source);
    LoadPicture(base_, source_);
    TakeSizeFromPicture();
}

void TKivoMapImage::SetHoverSource(std::string source) {
    if (source == hoverSource_) return;
    hoverSource_ = std::move(source);
    LoadPicture(hover_, hoverSource_);
}

void TKivoMapImage::TakeSizeFromPicture() {
    const bool any = base_.frames.Count() > 0;
    SetWidth(any ? base_.frames.Frame(0).surface.Width() : 0);
    SetHeight(any ? base_.frames.Frame(0).surface.Height() : 0);
}

void TKivoMapImage::SetMapSource(std::string source) {
    if (source == mapSource_) return;
    mapSource_ = std::move(source);
    Invalidate();
    regions_ = {};
    hovered_ = -1;
    PictureFiles* files = Root().Images().Files();
    if (files == nullptr || mapSource_.empty()) return;
    const std::optional<std::vector<uint8_t>> bytes = files->Load(mapSource_);
    if (!bytes) return;
    regions_ = TMapRegionList::Read(*bytes, mapSource_);
}

void TKivoMapImage::SetAlpha(int32_t alpha) {
    ChangeArea(alpha_, std::min(alpha, 511));
}

void TKivoMapImage::SetBrightness(int32_t brightness) {
    ChangeArea(brightness_, std::clamp(brightness, -255, 255));
}

void TKivoMapImage::SetRightClickScrap(bool scrap) {
    rightClickScrap_ = scrap;
    if (scrap && !Handle().IsNull()) Root().AddRightClickScrap(*this);
}

// ---- Choosing ----

std::vector<std::string> TKivoMapImage::RegionArguments(int32_t index) const {
    return {regions_.Region(index).Name(), std::to_string(index)};
}

void TKivoMapImage::SetHovered(int32_t index) {
    if (index == hovered_) return;
    const int32_t old = hovered_;
    hovered_ = index;
    if (old >= 0) PostEvent(PR_ONMAPOUT, mapOutHandler_, RegionArguments(old));
    if (index >= 0) PostEvent(PR_ONMAPIN, mapInHandler_, RegionArguments(index));
    hover_.frames.Restart();
    Invalidate();
}

void TKivoMapImage::Choose() {
    if (hovered_ < 0 || busy_) return;
    const std::string& name = regions_.Region(hovered_).Name();
    Root().SetSelection(name, hovered_);
    PostEvent(PR_ONSELECT, selectHandler_, RegionArguments(hovered_), true);
    if (autoScrap_) Close();
}

void TKivoMapImage::Close() {
    busy_ = true;
    if (closing_ == kOpen) closing_ = kClosing;
}

void TKivoMapImage::FireMouseMove(int32_t x, int32_t y) {
    if (!paused_ && !busy_) SetHovered(regions_.RegionAt(x - AbsLeft(), y - AbsTop()));
    TKivoControl::FireMouseMove(x, y);
}

void TKivoMapImage::FireMouseOut() {
    if (!paused_ && !busy_) SetHovered(-1);
    TKivoControl::FireMouseOut();
}

void TKivoMapImage::FireLeftDown(int32_t x, int32_t y) {
    TKivoControl::FireLeftDown(x, y);
    const uint8_t mode = IgnoreMouse();
    if (paused_ || busy_ || (mode != 0 && mode != 4)) return;
    // The press chooses the region under it even when no move came first.
    SetHovered(regions_.RegionAt(x - AbsLeft(), y - AbsTop()));
    Choose();
}

void TKivoMapImage::FireKeyRepeat() {
    const KeyboardState& keys = Root().Keys();
    const int32_t count = regions_.Count();
    if (!paused_ && !busy_ && count > 0) {
        if (keys.Repeating(kKeyUp) || keys.Repeating(kKeyLeft)) {
            SetHovered(hovered_ <= 0 ? count - 1 : hovered_ - 1);
        } else if (keys.Repeating(kKeyDown) || keys.Repeating(kKeyRight)) {
            SetHovered(hovered_ < 0 || hovered_ >= count - 1 ? 0 : hovered_ + 1);
        } else if (keys.Repeating(kKeyEnter) || keys.Repeating(kKeySpace)) {
            Choose();
        }
    }
    if (!busy_ && rightClickScrap_ && keys.Repeating(kKeyEscape)) {
        Root().SetSelection(std::string(), -1);
        Close();
    }
    TKivoControl::FireKeyRepeat();
}

bool TKivoMapImage::CloseByRightClick() {
    if (busy_) return false;
    Root().SetSelection(std::string(), -1);
    Close();
    return true;
}

// ---- Frame work ----

bool TKivoMapImage::Update() {
    if (closing_ == kClosed) return true;
    if (closing_ == kClosing) {
        closing_ = kClosed;
        return false;
    }
    const int32_t delta = Root().State().frameDelta;
    // A frame change of the hover picture shows only inside the hovered region.
    const bool baseChanged = base_.frames.Advance(delta);
    const bool hoverChanged = hover_.frames.Advance(delta);
    if (baseChanged || (hoverChanged && hovered_ >= 0)) Invalidate();
    return TKivoControl::Update();
}

TDIBX& TKivoMapImage::RegionMask(MaskedPicture& picture, int32_t frame, bool insideOnly) {
    const auto slot = static_cast<size_t>(frame);
    std::unique_ptr<TDIBX>& mask = picture.masks[slot];
    if (mask != nullptr && picture.maskRegion[slot] == hovered_) return *mask;
    const TGaleItemFrame& source = picture.frames.Frame(frame);
    const int32_t width = source.surface.Width();
    const int32_t height = source.surface.Height();
    mask = std::make_unique<TDIBX>(width, height, 8);
    picture.maskRegion[slot] = hovered_;
    const TMapRegion* region = hovered_ >= 0 ? &regions_.Region(hovered_) : nullptr;
    std::vector<uint8_t> inside(static_cast<size_t>(width));
    for (int32_t y = 0; y < height; ++y) {
        std::fill(inside.begin(), inside.end(), uint8_t{0});
        if (region != nullptr) {
            for (const TMapRegion::Span& span : region->RowSpans(y)) {
                const int64_t from = std::max<int64_t>(span.first, 0);
                const int64_t to = std::min<int64_t>(span.second, width);
                for (int64_t x = from; x < to; ++x)
                    inside[static_cast<size_t>(x)] = 1;
            }
        }
        uint8_t* row = mask->PixelAddress(0, y);
        const uint8_t* own = source.mask != nullptr ? source.mask->PixelAddress(0, y) : nullptr;
        for (int32_t x = 0; x < width; ++x) {
            const bool shown = (inside[static_cast<size_t>(x)] != 0) == insideOnly;
            row[x] = shown ? (own != nullptr ? own[x] : uint8_t{255}) : uint8_t{0};
        }
    }
    return *mask;
}

void TKivoMapImage::DrawFrame(TDrawContext& context, MaskedPicture& picture, bool insideOnly) {
    const int32_t index = picture.frames.Current();
    if (!picture.frames.ValidIndex(index)) return;
    const FrameSurfaces shown = picture.frames.Surfaces(index, brightness_);
    PictureFrame frame{shown.surface, shown.mask, shown.key, 1};
    if (hovered_ >= 0) {
        frame.mask = &RegionMask(picture, index, insideOnly);
        frame.key = {};
    } else if (insideOnly) {
        return;
    }
    const TRect whole{0, 0, shown.surface->Width(), shown.surface->Height()};
    DrawPicturePiece(context, frame, whole, AbsLeft(), AbsTop(), alpha_);
}

void TKivoMapImage::Draw(TDrawContext& context) {
    if (alpha_ > 0) {
        DrawFrame(context, base_, false);
        DrawFrame(context, hover_, true);
    }
    TKivoControl::Draw(context);
}

// ---- Properties and save data ----

const PropertyMap& TKivoMapImage::ClassProperties() {
    static const PropertyMap map = [] {
        using M = TKivoMapImage;
        PropertyMap m = TKivoControl::ClassProperties();
        m[PR_SOURCE] = Accessor<&M::Source, &M::SetSource>();
        m[PR_HOVERSOURCE] = Accessor<&M::HoverSource, &M::SetHoverSource>();
        m[PR_MAPSOURCE] = Accessor<&M::MapSource, &M::SetMapSource>();
        m[PR_ALPHA] = Accessor<&M::Alpha, &M::SetAlpha>();
        m[PR_BRIGHTNESS] = Accessor<&M::Brightness, &M::SetBrightness>();
        m[PR_ONMAPIN] = Accessor<&M::MapInHandler, &M::SetMapInHandler>();
        m[PR_ONMAPOUT] = Accessor<&M::MapOutHandler, &M::SetMapOutHandler>();
        m[PR_ONSELECT] = Accessor<&M::SelectHandler, &M::SetSelectHandler>();
        m[PR_ONIDLE] = Accessor<&M::IdleHandler, &M::SetIdleHandler>();
        m[PR_AUTOSCRAP] = Accessor<&M::AutoScrap, &M::SetAutoScrap>();
        m[PR_RCLICKSCRAP] = Accessor<&M::RightClickScrap, &M::SetRightClickScrap>();
        m[PR_PAUSED] = Accessor<&M::Paused, &M::SetPaused>();
        return m;
    }();
    return map;
}

void TKivoMapImage::Save(ByteWriter& writer) const {
    TKivoControl::Save(writer);
    writer.WriteCountedString(source_);
    writer.WriteCountedString(hoverSource_);
    writer.WriteCountedString(mapSource_);
    writer.WriteI32(alpha_);
    writer.WriteI32(brightness_);
    writer.WriteCountedString(mapInHandler_);
    writer.WriteCountedString(mapOutHandler_);
    writer.WriteBool(autoScrap_);
    writer.WriteBool(rightClickScrap_);
    writer.WriteCountedString(idleHandler_);
    writer.WriteBool(paused_);
    writer.WriteCountedString(selectHandler_);
    writer.WriteI32(closing_);
}

void TKivoMapImage::Load(ByteReader& reader, int32_t version) {
    TKivoControl::Load(reader, version);
    std::string source = reader.ReadCountedString();
    std::string hoverSource = reader.ReadCountedString();
    std::string mapSource = reader.ReadCountedString();
    // The pictures and the regions are read again from their files.
    source_.clear();
    hoverSource_.clear();
    mapSource_.clear();
    SetSource(std::move(source));
    SetHoverSource(std::move(hoverSource));
    try {
        SetMapSource(std::move(mapSource));
    } catch (const KivoError&) {
        // A map file damaged since the game was saved leaves the map image without regions;
        // the rest of the saved scene still loads.
    }
    SetAlpha(reader.ReadI32());
    SetBrightness(reader.ReadI32());
    mapInHandler_ = reader.ReadCountedString();
    mapOutHandler_ = reader.ReadCountedString();
    autoScrap_ = reader.ReadBool();
    SetRightClickScrap(reader.ReadBool());
    if (version >= kSaveVersionSelect) {
        idleHandler_ = reader.ReadCountedString();
        paused_ = reader.ReadBool();
        selectHandler_ = reader.ReadCountedString();
    }
    if (version >= kSaveVersionClosing) {
        const int32_t closing = reader.ReadI32();
        closing_ = closing == kClosing || closing == kClosed ? closing : kOpen;
        busy_ = closing_ != kOpen;
    }
}

}  // namespace kivo
