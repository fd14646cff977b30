// The glyph cache: lookup, eviction, the fonts it renders with, and how a glyph's bitmap and
// metrics are made at each anti-alias level. The cell drawing is in font_pixel_draw.cpp.

#include "text/font_pixel_manager.h"

#include <algorithm>
#include <optional>

#include "base/error.h"
#include "base/sjis.h"
#include "text/decorate.h"

namespace kivo {
namespace {

// Fonts kept open besides the selected one: message text alternates between its size and
// its ruby size, labels and menus bring a few more.
constexpr size_t kOpenFonts = 8;

// Grey levels of the three anti-aliased forms, spread over 0..255 as the original's renderer
// spread them: the steps are uneven on purpose, text drawn with them keeps its old weight.
constexpr std::array<uint8_t, 5> kLevels5{0, 79, 127, 207, 255};
constexpr std::array<uint8_t, 17> kLevels17{0,   43,  55,  67,  79,  91,  103, 115, 159,
                                            171, 183, 195, 207, 219, 231, 243, 255};
constexpr std::array<uint8_t, 65> kLevels65{
    0,   18,  21,  24,  27,  30,  33,  36,  55,  58,  61,  64,  67,  70,  73,  76,  79,
    82,  85,  88,  91,  94,  97,  100, 119, 122, 125, 128, 131, 134, 137, 140, 143, 146,
    149, 152, 155, 158, 161, 164, 183, 186, 189, 192, 195, 198, 201, 204, 207, 210, 213,
    216, 219, 222, 225, 228, 231, 234, 237, 240, 243, 246, 249, 252, 255};

constexpr uint8_t kFontStyleBits = kStyleBold | kStyleItalic;
static_assert(kStyleBold == kFontBold && kStyleItalic == kFontItalic);

// The grey forms are rendered with all 256 coverage values and brought to their levels here,
// rounding as the engine would, then spread through the level's table: one pass per glyph.
template <size_t N>
constexpr std::array<uint8_t, 256> ComposedTable(const std::array<uint8_t, N>& levels) {
    std::array<uint8_t, 256> table{};
    for (size_t v = 0; v < 256; ++v)
        table[v] = levels[(v * (N - 1) + 127) / 255];
    return table;
}

constexpr std::array<uint8_t, 256> kFrom256Levels5 = ComposedTable(kLevels5);
constexpr std::array<uint8_t, 256> kFrom256Levels17 = ComposedTable(kLevels17);
constexpr std::array<uint8_t, 256> kFrom256Levels65 = ComposedTable(kLevels65);
constexpr std::array<uint8_t, 256> kFromMono = [] {
    std::array<uint8_t, 256> table{};
    table.fill(255);
    table[0] = 0;
    return table;
}();

struct LevelForm {
    GlyphDepth depth;
    const std::array<uint8_t, 256>* table;  // from the depth's values to coverage
};

// The form a level renders in; nothing for a level the engine has no form for.
std::optional<LevelForm> FormOf(int32_t level) {
    switch (level) {
        case 0:
            return LevelForm{GlyphDepth::Mono, &kFromMono};
        case 1:
            return LevelForm{GlyphDepth::Gray256, &kFrom256Levels5};
        case 2:
            return LevelForm{GlyphDepth::Gray256, &kFrom256Levels17};
        case 3:
            return LevelForm{GlyphDepth::Gray256, &kFrom256Levels65};
        default:
            return std::nullopt;
    }
}

int32_t ClampSize(int32_t size) {
    return std::clamp(size, kMinGlyphSize, kMaxGlyphSize);
}

}  // namespace

struct TFontPixelManager::OpenFont {
    std::string face;
    int32_t size = 0;
    uint8_t style = 0;
    std::unique_ptr<Font> font;
};

TFontPixelManager::TFontPixelManager(FontEngine& fonts) : fonts_(fonts) {}

char32_t TFontPixelManager::FontCharOf(uint32_t code) {
    const uint32_t unicode = sjis::CodeToUnicode(code);
    return unicode != 0 || code == 0 ? static_cast<char32_t>(unicode) : U'\uFFFD';
}

TFontPixelManager::~TFontPixelManager() = default;

bool TFontPixelManager::Contains(uint32_t code, std::string_view face, int32_t antiAlias,
                                 uint8_t style, int32_t size) const {
    size = ClampSize(size);
    return std::any_of(buckets_[code & 0xFF].begin(), buckets_[code & 0xFF].end(),
                       [&](const Entry& e) {
                           return e->code == code && e->size == size && e->antiAlias == antiAlias &&
                                  e->style == style && e->face == face;
                       });
}

const TFontPixel& TFontPixelManager::Fetch(uint32_t code, std::string_view face, uint8_t style,
                                           int32_t size) {
    size = ClampSize(size);
    std::vector<Entry>& bucket = buckets_[code & 0xFF];
    for (const Entry& entry : bucket) {
        if (entry->code == code && entry->size == size && entry->antiAlias == antiAlias_ &&
            entry->style == style && entry->face == face) {
            ++hits_;
            recency_.splice(recency_.begin(), recency_, entry);
            return *entry;
        }
    }
    ++misses_;
    TFontPixel& made = recency_.emplace_front();
    made.code = code;
    made.face = face;
    made.antiAlias = antiAlias_;
    made.style = style;
    made.size = size;
    try {
        Render(made);
    } catch (...) {
        recency_.pop_front();
        throw;
    }
    bucket.push_back(recency_.begin());
    if (recency_.size() > kGlyphCacheCapacity) Evict();
    return recency_.front();
}

void TFontPixelManager::Evict() {
    const Entry last = std::prev(recency_.end());
    std::erase(buckets_[last->code & 0xFF], last);
    recency_.erase(last);
}

Font& TFontPixelManager::SelectFont(std::string_view face, int32_t size, uint8_t style) {
    size = ClampSize(size);
    style &= kFontStyleBits;
    auto found = std::find_if(openFonts_.begin(), openFonts_.end(), [&](const auto& open) {
        return open->size == size && open->style == style && open->face == face;
    });
    if (found == openFonts_.end()) {
        auto open = std::make_unique<OpenFont>();
        open->face = face;
        open->size = size;
        open->style = style;
        open->font = fonts_.Open(sjis::ToUtf8(face), size, style);
        if (open->font == nullptr) throw KivoError("Error:GetOutlineTextMetrics");
        if (openFonts_.size() >= kOpenFonts) openFonts_.pop_back();
        openFonts_.insert(openFonts_.begin(), std::move(open));
    } else if (found != openFonts_.begin()) {
        std::rotate(openFonts_.begin(), found, found + 1);
    }
    return *openFonts_.front()->font;
}

int32_t TFontPixelManager::Ascent() const {
    return openFonts_.empty() ? 0 : openFonts_.front()->font->Metrics().ascent;
}

void TFontPixelManager::Render(TFontPixel& glyph) {
    Font& font = SelectFont(glyph.face, glyph.size, glyph.style);
    std::optional<LevelForm> form = FormOf(glyph.antiAlias);
    if (!form) {
        // The engine has no such form: 1-bit instead, and 1-bit from now on until a caller
        // sets a level again.
        antiAlias_ = 0;
        form = FormOf(0);
    }
    GlyphBitmap bitmap = font.Render(FontCharOf(glyph.code), form->depth);
    const FontMetrics& metrics = font.Metrics();
    glyph.advance = bitmap.advance;
    glyph.abcA = bitmap.abcA;
    glyph.abcB = bitmap.abcB;
    glyph.abcC = bitmap.abcC;
    if ((glyph.style & kStyleUnderline) != 0) glyph.underlineThickness = metrics.underlineThickness;
    if ((glyph.style & kStyleStrikeOut) != 0) {
        glyph.strikeoutTop = metrics.ascent - metrics.strikeoutPosition;
        glyph.strikeoutThickness = metrics.strikeoutThickness;
    }
    const size_t pixels = static_cast<size_t>(std::max(0, bitmap.width)) *
                          static_cast<size_t>(std::max(0, bitmap.height));
    if (pixels == 0 || bitmap.coverage.size() < pixels) {
        // A blank character: only its advance counts.
        glyph.rightBearing = bitmap.advance;
        return;
    }
    glyph.width = bitmap.width;
    glyph.height = bitmap.height;
    glyph.coverage = std::move(bitmap.coverage);
    glyph.coverage.resize(pixels);
    for (uint8_t& value : glyph.coverage)
        value = (*form->table)[value];
    glyph.leftOffset = std::max(0, bitmap.originX);
    glyph.topOffset = std::max(0, metrics.ascent - bitmap.originY);
    glyph.rightBearing = std::max(0, bitmap.advance - glyph.width - glyph.leftOffset);
}

int32_t TFontPixelManager::CellAdvance(uint32_t code, std::string_view face, uint8_t style,
                                       int32_t size) {
    if (size <= 0) return 0;
    try {
        const TFontPixel& glyph = Fetch(code, face, style, size);
        return glyph.width + glyph.leftOffset + glyph.rightBearing;
    } catch (const KivoError&) {
        return 0;  // no font at all: text takes no room rather than stopping the game
    }
}

TRect TFontPixelManager::DrawCell(const CellRequest& request, TCustomDIBX& colour,
                                  TCustomDIBX& mask) {
    if (request.size <= 0) return {};
    SetAntiAlias(request.antiAlias);
    const TFontPixel* glyph = nullptr;
    try {
        glyph = &Fetch(request.code, request.face, request.style, request.size);
    } catch (const KivoError&) {
        // A machine without any font shows no text rather than stopping the game.
        return {};
    }
    const CellColours colours{request.textPixel, request.borderPixel, request.shadowPixel};
    const CellEdges edges{request.borderWidth, request.shadowWidth, request.joinedLeft,
                          request.joinedRight};
    return DrawGlyph(*glyph, colour, mask, request.clear, colours, edges, request.cell);
}

}  // namespace kivo
