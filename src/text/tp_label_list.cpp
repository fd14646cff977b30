#include "text/tp_label_list.h"

#include <algorithm>

#include "base/error.h"
#include "base/sjis.h"
#include "imaging/draw_context.h"
#include "text/decorate.h"
#include "text/font_pixel_manager.h"
#include "text/text_math.h"

namespace kivo {
namespace {

// Strip pictures are never made larger than this on a side, however long an item's text.
constexpr int32_t kMaxSurfaceSide = 16384;

int32_t DrawnEdge(int32_t width) {
    return std::clamp(width, 0, kMaxGlyphEdge);
}

// The record of a Windows outline text metrics structure as save data holds it, filled with
// the metrics we have; nothing reads it back but the size of the record.
void PutI32(std::array<uint8_t, kLabelMetricsRecordSize>& record, size_t offset, int32_t value) {
    StoreLE32(record.data() + offset, static_cast<uint32_t>(value));
}

}  // namespace

TTpLabelList::TTpLabelList(TFontPixelManager& glyphs) : glyphs_(glyphs) {}

void TTpLabelList::SetStyle(const LabelStyle& style) {
    style_ = style;
    MeasureAll();
}

TTpLabelDIB& TTpLabelList::Add(std::string text) {
    strips_.push_back(std::make_unique<TTpLabelDIB>(std::move(text)));
    if (strips_.size() == 1) {
        MeasureAll();
    } else {
        Measure(*strips_.back());
    }
    return *strips_.back();
}

void TTpLabelList::MeasureAll() {
    lineHeight_ = 0;
    if (style_.fontHeight > 0) {
        try {
            const Font& font = glyphs_.SelectFont(style_.face, style_.fontHeight, style_.style);
            lineHeight_ = font.Metrics().height + 2 * DrawnEdge(style_.borderWidth) +
                          DrawnEdge(style_.shadowWidth);
        } catch (const KivoError&) {
            // Without any font there is nothing to measure: the strips stay empty.
        }
    }
    for (auto& strip : strips_)
        Measure(*strip);
}

void TTpLabelList::Measure(TTpLabelDIB& strip) {
    strip.charWidths_.clear();
    strip.width_ = 0;
    strip.height_ = 0;
    strip.dirty_ = true;
    if (lineHeight_ <= 0 || strip.text_.empty()) return;
    const int32_t edges = 2 * DrawnEdge(style_.borderWidth) + DrawnEdge(style_.shadowWidth);
    Font& font = glyphs_.SelectFont(style_.face, style_.fontHeight, style_.style);
    uint32_t lastCode = 0;
    sjis::ForEachChar(strip.text_, [&](size_t pos, size_t) {
        lastCode = sjis::CharCode(strip.text_, pos);
        const int32_t advance = font.Advance(TFontPixelManager::FontCharOf(lastCode));
        strip.charWidths_.push_back(text_math::Extent(int64_t{advance} + edges));
    });
    // An italic or overhanging last character reaches past its advance.
    glyphs_.SetAntiAlias(style_.antiAlias);
    const TFontPixel& last = glyphs_.Fetch(lastCode, style_.face, style_.style, style_.fontHeight);
    if (last.abcC < 0) strip.charWidths_.back() -= last.abcC;
    int64_t width = 0;
    for (int32_t w : strip.charWidths_)
        width += w;
    strip.width_ = text_math::Extent(width);
    strip.height_ = lineHeight_;
}

void TTpLabelList::Render(TTpLabelDIB& strip, int depth) {
    strip.dirty_ = false;
    strip.renderedDepth_ = depth;
    const int32_t width = std::min(strip.width_, kMaxSurfaceSide);
    const int32_t height = std::min(strip.height_, kMaxSurfaceSide);
    strip.colour_.SetSize(width, height, 32);
    strip.mask_.SetSize(width, height, 8);
    TDrawContext(strip.colour_).Fill(0);
    TDrawContext(strip.mask_).Fill(0);
    if (strip.colour_.IsEmpty()) return;

    const int32_t border = DrawnEdge(style_.borderWidth);
    const int32_t shadow = DrawnEdge(style_.shadowWidth);
    CellRequest request;
    request.face = style_.face;
    request.size = style_.fontHeight;
    request.style = style_.style;
    request.antiAlias = style_.antiAlias;
    request.textPixel = strip.colour_.ColorToPixel(style_.color);
    request.borderPixel = strip.colour_.ColorToPixel(style_.borderColor);
    request.shadowPixel = strip.colour_.ColorToPixel(style_.shadowColor);
    request.borderWidth = border;
    request.shadowWidth = shadow;
    const int32_t cellHeight = strip.height_ - 2 * border - shadow;
    int64_t x = 0;
    size_t index = 0;
    const size_t count = strip.charWidths_.size();
    sjis::ForEachChar(strip.text_, [&](size_t pos, size_t) {
        if (index >= count || x >= width) return;
        const int32_t cellWidth = strip.charWidths_[index];
        request.code = sjis::CharCode(strip.text_, pos);
        request.cell = {static_cast<int32_t>(x), 0,
                        text_math::Add(static_cast<int32_t>(x), cellWidth), cellHeight};
        // Lines, borders and shadows run on across the strip, open only at its two ends.
        request.joinedLeft = index > 0;
        request.joinedRight = index + 1 < count;
        (void)glyphs_.DrawCell(request, strip.colour_, strip.mask_);
        x += cellWidth;
        ++index;
    });
}

void TTpLabelList::Draw(size_t index, TDrawContext& destination, int32_t x, int32_t y) {
    TTpLabelDIB& strip = Strip(index);
    const int depth = destination.Surface().BitCount();
    if (strip.dirty_ || strip.renderedDepth_ != depth) Render(strip, depth);
    if (strip.colour_.IsEmpty() || style_.alpha <= 0) return;
    const TRect source = strip.colour_.ClientRect();
    const int32_t alpha = std::min(style_.alpha, 255);
    if (DrawnEdge(style_.borderWidth) == 0 && DrawnEdge(style_.shadowWidth) == 0) {
        destination.FillMask(x, y, alpha, destination.Surface().ColorToPixel(style_.color), false,
                             false, source, strip.mask_);
    } else if (alpha >= 255) {
        destination.DrawMask(x, y, strip.mask_, false, false, source, strip.colour_);
    } else {
        destination.DrawMaskAlpha(x, y, alpha, strip.mask_, false, false, source, strip.colour_);
    }
}

std::array<uint8_t, kLabelMetricsRecordSize> TTpLabelList::MetricsRecord() {
    std::array<uint8_t, kLabelMetricsRecordSize> record{};
    PutI32(record, 0, static_cast<int32_t>(kLabelMetricsRecordSize));
    if (style_.fontHeight <= 0) return record;
    FontMetrics m;
    try {
        m = glyphs_.SelectFont(style_.face, style_.fontHeight, style_.style).Metrics();
    } catch (const KivoError&) {
        return record;
    }
    // The text metrics: height, ascent, descent, average and widest advance, weight, the
    // screen's 96 dots per inch both ways, style flags and the Shift-JIS character set.
    PutI32(record, 4, m.height);
    PutI32(record, 8, m.ascent);
    PutI32(record, 12, m.descent);
    PutI32(record, 24, m.averageWidth);
    PutI32(record, 28, m.maxWidth);
    PutI32(record, 32, (style_.style & kStyleBold) != 0 ? 700 : 400);
    PutI32(record, 40, 96);
    PutI32(record, 44, 96);
    record[52] = (style_.style & kStyleItalic) != 0 ? 255 : 0;
    record[53] = (style_.style & kStyleUnderline) != 0 ? 255 : 0;
    record[54] = (style_.style & kStyleStrikeOut) != 0 ? 255 : 0;
    record[56] = 128;
    // The outline metrics: the em square, ascent and descent, strikeout and underscore.
    PutI32(record, 92, m.size);
    PutI32(record, 96, m.ascent);
    PutI32(record, 100, -m.descent);
    PutI32(record, 180, m.strikeoutThickness);
    PutI32(record, 184, m.strikeoutPosition);
    PutI32(record, 188, m.underlineThickness);
    PutI32(record, 192, m.underlinePosition);
    return record;
}

void TTpLabelList::SaveStyle(ByteWriter& writer) {
    writer.WriteI32(style_.antiAlias);
    writer.WriteI32(style_.borderWidth);
    writer.WriteI32(style_.alpha);
    writer.WriteI32(style_.fontHeight);
    writer.WriteCountedString(style_.face);
    writer.WriteI32(style_.color);
    writer.WriteI32(style_.borderColor);
    writer.WriteU8(style_.style);
    writer.WriteBytes(MetricsRecord());
    writer.WriteI32(style_.shadowWidth);
    writer.WriteI32(style_.shadowColor);
}

void TTpLabelList::LoadStyle(ByteReader& reader, int32_t version) {
    LabelStyle loaded;
    loaded.antiAlias = reader.ReadI32();
    // Old saves hold a flag: anything above 1 was smooth text.
    if (version < 109) loaded.antiAlias = loaded.antiAlias > 1 ? 3 : 0;
    loaded.borderWidth = reader.ReadI32();
    loaded.alpha = reader.ReadI32();
    loaded.fontHeight = reader.ReadI32();
    loaded.face = reader.ReadCountedString();
    loaded.color = reader.ReadI32();
    loaded.borderColor = reader.ReadI32();
    loaded.style = reader.ReadU8();
    // The stored metrics are those of the font the game had; ours are measured again.
    (void)reader.ReadBytes(kLabelMetricsRecordSize);
    if (version >= 122) {
        loaded.shadowWidth = reader.ReadI32();
        loaded.shadowColor = reader.ReadI32();
    }
    SetStyle(loaded);
}

}  // namespace kivo
