#pragma once
// One piece of marked-up text in a text box: the flat glyph list, its shared decorations, the
// box settings, and the surfaces its pages render into. Markup parsing or a stored glyph
// stream fills the list; Layout cuts it into pages (wd_page.h) that the owner reveals, draws
// and hit-tests frame by frame.

#include <cstdint>
#include <functional>
#include <memory>
#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "base/byte_io.h"
#include "base/rect.h"
#include "imaging/dibx.h"
#include "text/decorate.h"
#include "text/text_services.h"
#include "text/wd_glyph.h"
#include "text/wd_page.h"

namespace kivo {

// "ＭＳ ゴシック" in code page 932: the face used when none is named or the named one is absent.
inline constexpr std::string_view kGothicFace =
    "\x82\x6c\x82\x72\x20\x83\x53\x83\x56\x83\x62\x83\x4e";

// The newest glyph stream version; readers take 0 (no signature) up to it.
inline constexpr int32_t kGlyphStreamVersion = 102;

// The box settings, in the order the settings stream holds them.
struct TextBoxSettings {
    int32_t originX = 0;
    int32_t originY = 0;
    int32_t defaultSize = 12;
    std::string defaultFace{kGothicFace};
    int32_t defaultColor = 0xFFFFFF;
    int32_t pageHeight = 0;
    int32_t layoutWidth = 0;  // 0: unlimited, then the widest row after layout
    int32_t antiAlias = 3;
    int32_t lineSpacing = 0;
    bool paging = true;
    int32_t linkColor = 0xFF0000;
    int32_t hoverColor = 0x008000;
    int32_t fadeDuration = 1;  // ms
    int32_t borderColor = 0x808080;
    int32_t imageAlpha = 255;
    bool paused = false;
    int32_t caretX = 0;
    int32_t caretY = 0;
    int32_t waitScale = 256;  // 1/256; 256 waits as written
    bool eventsEnabled = true;
    int32_t shadowColor = 0;
    int32_t defaultBorderWidth = 0;
    int32_t defaultShadowWidth = 0;
};

class TTpWord {
  public:
    TTpWord();
    ~TTpWord();
    TTpWord(const TTpWord&) = delete;
    TTpWord& operator=(const TTpWord&) = delete;

    TextBoxSettings settings;
    int32_t caretHeight = 0;
    // Receives each event text when the reveal reaches EVENT glyphs.
    std::function<void(std::string_view)> onEvent;
    // "expression=value" lines: values a variable field shows instead of evaluating again.
    std::vector<std::string> frozenValues;

    // ---- Services (borrowed; may be null). ----
    void SetPainter(GlyphPainter* painter) { painter_ = painter; }
    void SetImages(GlyphImageSource* images) { images_ = images; }
    void SetExpressions(TextExpressions* expressions) { expressions_ = expressions; }
    [[nodiscard]] GlyphPainter* Painter() const { return painter_; }
    [[nodiscard]] GlyphImageSource* Images() const { return images_; }
    [[nodiscard]] TextExpressions* Expressions() const { return expressions_; }

    // The owner's surface glyphs are composed onto, and the area of it that may change.
    void SetDestination(TCustomDIBX* destination, const TRect& clip) {
        destination_ = destination;
        clip_ = clip;
    }
    [[nodiscard]] TCustomDIBX* Destination() const { return destination_; }
    [[nodiscard]] const TRect& DestinationClip() const { return clip_; }
    [[nodiscard]] TDIBX& TextSurface() { return textSurface_; }
    [[nodiscard]] TDIBX& MaskSurface() { return maskSurface_; }
    // Destination rectangles changed since the last reveal tick.
    [[nodiscard]] const std::vector<TRect>& DirtyRects() const { return dirty_; }
    void AddDirty(const TRect& rect) { dirty_.push_back(rect); }
    void ClearDirty() { dirty_.clear(); }

    // ---- Glyphs. ----
    // Reads marked-up lines (joined with CR) into a new glyph list. waitDefault is the text
    // delay in force (@TextDelay). Raises KivoError for an A tag without HREF; the glyphs
    // read before it stay.
    void Parse(std::span<const std::string> lines, int32_t waitDefault);
    // Appends the glyphs of a stored glyph stream. A truncated stream or one with a bad
    // decoration index raises KivoError naming source and appends nothing; an unknown kind
    // ends the stream there.
    void LoadGlyphs(std::span<const uint8_t> data, const std::string& source);
    // Writes the glyph list (without the characters variable fields show) as a stream of the
    // newest version.
    void SaveGlyphs(ByteWriter& writer) const;
    // Appends copies of source's glyphs first..last (last < 0 or beyond the end: to the end).
    void CopyGlyphs(const TTpWord& source, int32_t first, int32_t last);
    // Frees every glyph and decoration and forgets frozen values.
    void Clear();

    [[nodiscard]] size_t GlyphCount() const { return glyphs_.size(); }
    [[nodiscard]] TWdGlyph* Glyph(size_t index) const {
        return index < glyphs_.size() ? glyphs_[index].get() : nullptr;
    }
    [[nodiscard]] int32_t IndexOf(const TWdGlyph* glyph) const;
    void AppendGlyph(std::unique_ptr<TWdGlyph> glyph);
    [[nodiscard]] TDecorateList& Decorations() { return decorations_; }
    [[nodiscard]] const TDecorateList& Decorations() const { return decorations_; }

    // Text positions: the position of a glyph is the sum of TextCount of the glyphs before it.
    [[nodiscard]] int32_t PositionOf(const TWdGlyph* glyph) const;
    // The glyph that starts at a text position (one that counts), or null.
    [[nodiscard]] TWdGlyph* GlyphAt(int32_t position) const;

    // Shows or removes the values of the variable fields among glyphs first..last.
    void ExpandVars(int32_t first, int32_t last);
    void CollapseVars(int32_t first, int32_t last);

    // Lays out the glyphs from index first up to the glyph at text position lastPosition
    // (negative: to the end) into new pages appended to pages.
    void Layout(std::vector<std::unique_ptr<TWdPage>>& pages, int32_t first, int32_t lastPosition);

    void SaveSettings(ByteWriter& writer) const;
    // version is the owner's save version: the shadow colour from 110, the default widths
    // above 110.
    void LoadSettings(ByteReader& reader, int32_t version);

    void ReleaseImages();
    void ReloadImages();

  private:
    void InsertExpansion(size_t index, TWdOpeVar& var);
    void RemoveExpansion(TWdOpeVar& var);

    std::vector<std::unique_ptr<TWdGlyph>> glyphs_;
    TDecorateList decorations_;
    TDIBX textSurface_;
    TDIBX maskSurface_;
    TCustomDIBX* destination_ = nullptr;
    TRect clip_;
    std::vector<TRect> dirty_;
    GlyphPainter* painter_ = nullptr;
    GlyphImageSource* images_ = nullptr;
    TextExpressions* expressions_ = nullptr;
};

// Whether TextIns bytes hold a glyph stream rather than markup: they start with the stream's
// signature, or read exactly as a stream without one. expressions reads variable fields of
// that oldest form; without it a stream holding one counts as markup.
[[nodiscard]] bool IsGlyphStream(std::span<const uint8_t> data, TextExpressions* expressions);

}  // namespace kivo
