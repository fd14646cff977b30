#include "scene/kivo_cg_label.h"

#include <algorithm>
#include <limits>

#include "base/sjis.h"
#include "imaging/draw_context.h"
#include "scene/kivo_base_list.h"

namespace kivo {

namespace {

[[nodiscard]] int32_t ClampToInt32(int64_t value) {
    return static_cast<int32_t>(std::clamp<int64_t>(value, std::numeric_limits<int32_t>::min(),
                                                    std::numeric_limits<int32_t>::max()));
}

// The characters of a text in order, each as its bytes.
[[nodiscard]] std::vector<std::string_view> Characters(std::string_view text) {
    std::vector<std::string_view> chars;
    sjis::ForEachChar(
        text, [&](size_t pos, size_t length) { chars.push_back(text.substr(pos, length)); });
    return chars;
}

}  // namespace

// ---- Properties ----

void TKivoCGLabel::SetSource(std::string source) {
    if (source == source_) return;
    Invalidate();
    source_ = std::move(source);
    frame_ = -1;
    sheet_.reset();
    if (source_.empty()) return;
    if (ControlPictureSource* pictures = Root().Pictures())
        sheet_ = pictures->AcquireFor(Handle(), source_);
    if (sheet_ != nullptr && sheet_->FrameCount() > 0) {
        frame_ = 0;
        frameTime_ = sheet_->Frame(0).time;
    }
    Invalidate();
}

void TKivoCGLabel::SetText(std::string text) {
    if (text == text_) return;
    text_ = std::move(text);
    RebuildCells();
    RefreshSize();
}

void TKivoCGLabel::SetMapText(std::string mapText) {
    if (mapText == mapText_) return;
    mapText_ = std::move(mapText);
    RebuildCells();
    Invalidate();
}

void TKivoCGLabel::SetGlyphWidth(int32_t width) {
    glyphWidth_ = std::max(width, 1);
    RefreshSize();
}

void TKivoCGLabel::SetGlyphHeight(int32_t height) {
    glyphHeight_ = std::max(height, 1);
    RefreshSize();
}

void TKivoCGLabel::SetLineSpace(int32_t space) {
    lineSpace_ = space;
    RefreshSize();
}

const PictureFrame* TKivoCGLabel::CurrentFrame() const {
    if (sheet_ == nullptr || frame_ < 0 || frame_ >= sheet_->FrameCount()) return nullptr;
    current_ = sheet_->Frame(frame_);
    return &current_;
}

int32_t TKivoCGLabel::OrigWidth() const {
    const PictureFrame* frame = CurrentFrame();
    return frame != nullptr && frame->surface != nullptr ? frame->surface->Width() : 0;
}

int32_t TKivoCGLabel::OrigHeight() const {
    const PictureFrame* frame = CurrentFrame();
    return frame != nullptr && frame->surface != nullptr ? frame->surface->Height() : 0;
}

// ---- Cells and size ----

void TKivoCGLabel::RebuildCells() {
    const std::vector<std::string_view> map = Characters(mapText_);
    cells_.clear();
    for (const std::string& line : sjis::SplitLines(text_)) {
        std::vector<int32_t>& indices = cells_.emplace_back();
        for (std::string_view ch : Characters(line)) {
            const auto found = std::find(map.begin(), map.end(), ch);
            indices.push_back(found == map.end() ? -1 : static_cast<int32_t>(found - map.begin()));
        }
    }
}

void TKivoCGLabel::RefreshSize() {
    size_t widest = 0;
    for (const std::vector<int32_t>& line : cells_)
        widest = std::max(widest, line.size());
    const int64_t lines = static_cast<int64_t>(cells_.size());
    int64_t height = int64_t{glyphHeight_} * lines;
    if (lines > 1) height += int64_t{lineSpace_} * (lines - 1);
    SetWidth(ClampToInt32(static_cast<int64_t>(widest) * glyphWidth_));
    SetHeight(ClampToInt32(std::max<int64_t>(height, 0)));
    Invalidate();
}

// ---- Frame work ----

bool TKivoCGLabel::Update() {
    if (TKivoControl::Update()) return true;
    if (AniPaused() || sheet_ == nullptr || frame_ < 0) return false;
    const int32_t count = sheet_->FrameCount();
    if (count < 2) return false;
    const int32_t before = frame_;
    frameTime_ -= Root().State().frameDelta;
    // Every frame lasts at least 1 ms, so the loop ends.
    while (frameTime_ < 1) {
        frame_ = (frame_ + 1) % count;
        frameTime_ += std::max(1, sheet_->Frame(frame_).time);
    }
    if (frame_ != before) Invalidate();
    return false;
}

void TKivoCGLabel::Draw(TDrawContext& context) {
    const PictureFrame* frame = CurrentFrame();
    if (Width() == 0 || Height() == 0 || frame == nullptr) return;
    if (alpha_ > 0) {
        if (frame->surface == nullptr) return;
        const int32_t columns = frame->surface->Width() / glyphWidth_;
        if (columns < 1) return;
        const int64_t cellCount = int64_t{frame->surface->Height() / glyphHeight_} * columns;
        int64_t y = AbsTop();
        for (const std::vector<int32_t>& line : cells_) {
            const int64_t used = static_cast<int64_t>(line.size()) * glyphWidth_;
            int64_t x = AbsLeft();
            if (hAlign_ == 1) {
                x += (Width() - used) / 2;
            } else if (hAlign_ != 0) {
                x += Width() - used;
            }
            for (int32_t k : line) {
                if (k >= 0 && k < cellCount) {
                    const int32_t sx = k % columns * glyphWidth_;
                    const int32_t sy = k / columns * glyphHeight_;
                    DrawPicturePiece(context, *frame, {sx, sy, sx + glyphWidth_, sy + glyphHeight_},
                                     ClampToInt32(x), ClampToInt32(y), alpha_);
                }
                x += glyphWidth_;
            }
            y += int64_t{glyphHeight_} + lineSpace_;
        }
    }
    TKivoControl::Draw(context);
}

// ---- Properties and save record ----

const PropertyMap& TKivoCGLabel::ClassProperties() {
    static const PropertyMap map = [] {
        using L = TKivoCGLabel;
        PropertyMap m = TKivoControl::ClassProperties();
        m[PR_SOURCE] = Accessor<&L::Source, &L::SetSource>();
        m[PR_TEXT] = Accessor<&L::Text, &L::SetText>();
        m[PR_MAPTEXT] = Accessor<&L::MapText, &L::SetMapText>();
        m[PR_GLYPHWIDTH] = Accessor<&L::GlyphWidth, &L::SetGlyphWidth>();
        m[PR_GLYPHHEIGHT] = Accessor<&L::GlyphHeight, &L::SetGlyphHeight>();
        m[PR_LINESPACE] = Accessor<&L::LineSpace, &L::SetLineSpace>();
        m[PR_HALIGN] = Accessor<&L::HAlign, &L::SetHAlign>();
        m[PR_ALPHA] = Accessor<&L::Alpha, &L::SetAlpha>();
        m[PR_PAUSED] = Accessor<&L::Paused, &L::SetPaused>();
        m[PR_PLAYING] = Accessor<&L::PlayingState>();
        m[PR_ORIGWIDTH] = Accessor<&L::OrigWidth>();
        m[PR_ORIGHEIGHT] = Accessor<&L::OrigHeight>();
        m[PR_ONIDLE] = Accessor<&L::IdleHandler, &L::SetIdleHandler>();
        return m;
    }();
    return map;
}

void TKivoCGLabel::Save(ByteWriter& writer) const {
    TKivoControl::Save(writer);
    writer.WriteCountedString(source_);
    writer.WriteCountedString(text_);
    writer.WriteCountedString(mapText_);
    writer.WriteI32(glyphWidth_);
    writer.WriteI32(glyphHeight_);
    writer.WriteI32(lineSpace_);
    writer.WriteBool(paused_);
    writer.WriteU8(hAlign_);
    writer.WriteI32(alpha_);
    writer.WriteCountedString(idleHandler_);
}

void TKivoCGLabel::Load(ByteReader& reader, int32_t version) {
    TKivoControl::Load(reader, version);
    SetSource(reader.ReadCountedString());
    text_ = reader.ReadCountedString();
    mapText_ = reader.ReadCountedString();
    glyphWidth_ = std::max(reader.ReadI32(), 1);
    glyphHeight_ = std::max(reader.ReadI32(), 1);
    lineSpace_ = reader.ReadI32();
    paused_ = reader.ReadBool();
    hAlign_ = reader.ReadU8();
    alpha_ = reader.ReadI32();
    if (version > kSaveVersionCGLabelIdle) idleHandler_ = reader.ReadCountedString();
    RebuildCells();
    RefreshSize();
}

}  // namespace kivo
