#pragma once
// Text strips: the one-line pictures of text that list boxes and menus show, one strip per
// item, all in one style. Unlike message text, a strip is set with the font's own advances,
// so a proportional face gives proportional text. Each strip keeps a colour surface and a
// coverage mask that are drawn again only when its text, the style or the destination's depth
// changes.

#include <array>
#include <cstdint>
#include <memory>
#include <span>
#include <string>
#include <vector>

#include "base/byte_io.h"
#include "imaging/dibx.h"

namespace kivo {

class TDrawContext;
class TFontPixelManager;

// "ＭＳ Ｐゴシック" in code page 932: the face of strips when none is set.
inline constexpr std::string_view kPGothicFace =
    "\x82\x6c\x82\x72\x20\x82\x6f\x83\x53\x83\x56\x83\x62\x83\x4e";

// The size of the font metrics record a strip style carries in save data.
inline constexpr size_t kLabelMetricsRecordSize = 212;

// The style all strips of a list share. Colours are 0x00BBGGRR.
struct LabelStyle {
    int32_t antiAlias = 3;
    int32_t borderWidth = 0;
    int32_t alpha = 255;
    int32_t fontHeight = 12;
    std::string face{kPGothicFace};
    int32_t color = 0xFFFFFF;
    int32_t borderColor = 0;
    uint8_t style = 0;  // kStyle bits of decorate.h
    int32_t shadowWidth = 0;
    int32_t shadowColor = 0;

    friend bool operator==(const LabelStyle&, const LabelStyle&) = default;
};

class TTpLabelDIB {
  public:
    explicit TTpLabelDIB(std::string text) : text_(std::move(text)) {}

    // The text (code page 932).
    [[nodiscard]] const std::string& Text() const { return text_; }
    [[nodiscard]] int32_t Width() const { return width_; }
    [[nodiscard]] int32_t Height() const { return height_; }
    // The width of every character in order, border and shadow included.
    [[nodiscard]] std::span<const int32_t> CharWidths() const { return charWidths_; }
    // The strip's pictures as last rendered.
    [[nodiscard]] const TDIBX& ColourSurface() const { return colour_; }
    [[nodiscard]] const TDIBX& MaskSurface() const { return mask_; }
    [[nodiscard]] bool Dirty() const { return dirty_; }

  private:
    friend class TTpLabelList;

    std::string text_;
    std::vector<int32_t> charWidths_;
    int32_t width_ = 0;
    int32_t height_ = 0;
    TDIBX colour_;
    TDIBX mask_;
    bool dirty_ = true;
    int renderedDepth_ = 0;
};

class TTpLabelList {
  public:
    // The cache is borrowed and must outlive the list.
    explicit TTpLabelList(TFontPixelManager& glyphs);

    [[nodiscard]] const LabelStyle& Style() const { return style_; }
    // A new style measures every strip again and marks it for drawing.
    void SetStyle(const LabelStyle& style);

    // Appends a strip for a text (code page 932), measured at once.
    TTpLabelDIB& Add(std::string text);
    void Clear() { strips_.clear(); }
    [[nodiscard]] size_t Count() const { return strips_.size(); }
    [[nodiscard]] TTpLabelDIB& Strip(size_t index) { return *strips_.at(index); }
    [[nodiscard]] const TTpLabelDIB& Strip(size_t index) const { return *strips_.at(index); }

    // The height of one strip: the font's height plus the border on both sides and the shadow.
    [[nodiscard]] int32_t LineHeight() const { return lineHeight_; }

    // Measures every strip: each character as wide as its advance plus the border on both
    // sides and the shadow, the last one wider by its overhang past the advance.
    void MeasureAll();
    // Draws a strip onto the context's surface with its top-left at (x, y), rendering its
    // pictures first when its text or the style changed or the surface has another depth.
    // Without border and shadow the text colour goes through the mask at the style's alpha;
    // else the colour picture through the mask, blended when the alpha is below 255.
    void Draw(size_t index, TDrawContext& destination, int32_t x, int32_t y);

    // The style record of save data; version is the owner's save version (the anti-alias
    // level is a flag below 109; the shadow fields are there from 122).
    void SaveStyle(ByteWriter& writer);
    void LoadStyle(ByteReader& reader, int32_t version);

  private:
    void Measure(TTpLabelDIB& strip);
    void Render(TTpLabelDIB& strip, int depth);
    [[nodiscard]] std::array<uint8_t, kLabelMetricsRecordSize> MetricsRecord();

    TFontPixelManager& glyphs_;
    LabelStyle style_;
    int32_t lineHeight_ = 0;
    std::vector<std::unique_ptr<TTpLabelDIB>> strips_;
};

}  // namespace kivo
