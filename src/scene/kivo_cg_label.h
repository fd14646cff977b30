#pragma once
// A CG label: text drawn with a picture font. Every character of the text is looked up in the
// map text (counted in characters, so a trail byte never matches a single-byte character) and
// the cell of that index is cut out of the glyph sheet, cells running left to right and then
// down. A character the map lacks, or whose cell lies beyond the sheet, leaves a blank cell.
// An animated sheet loops by itself.

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "scene/control_picture.h"
#include "scene/kivo_control.h"

namespace kivo {

// The last save version whose CG label records end before the idle handler.
inline constexpr int32_t kSaveVersionCGLabelIdle = 124;

class TKivoCGLabel final : public TKivoControl {
  public:
    using TKivoControl::TKivoControl;

    [[nodiscard]] int32_t Kind() const override { return LT_CGLABEL; }
    [[nodiscard]] std::string_view ClassName() const override { return "TKivoCGLabel"; }

    [[nodiscard]] const std::string& Source() const { return source_; }
    // The glyph sheet; a missing picture leaves the label without cells to draw.
    void SetSource(std::string source);
    [[nodiscard]] const std::string& Text() const { return text_; }
    void SetText(std::string text);
    [[nodiscard]] const std::string& MapText() const { return mapText_; }
    void SetMapText(std::string mapText);
    [[nodiscard]] int32_t GlyphWidth() const { return glyphWidth_; }
    void SetGlyphWidth(int32_t width);
    [[nodiscard]] int32_t GlyphHeight() const { return glyphHeight_; }
    void SetGlyphHeight(int32_t height);
    [[nodiscard]] int32_t LineSpace() const { return lineSpace_; }
    void SetLineSpace(int32_t space);
    // 0 left, 1 centre, anything else right.
    [[nodiscard]] int32_t HAlign() const { return hAlign_; }
    void SetHAlign(int32_t align) { ChangeArea(hAlign_, static_cast<uint8_t>(align)); }
    [[nodiscard]] int32_t Alpha() const { return alpha_; }
    void SetAlpha(int32_t alpha) { ChangeArea(alpha_, alpha); }
    [[nodiscard]] bool Paused() const override { return paused_; }
    void SetPaused(bool paused) { paused_ = paused; }
    [[nodiscard]] bool PlayingState() const { return !paused_ && !AniPaused(); }
    [[nodiscard]] std::string IdleHandler() const override { return idleHandler_; }
    void SetIdleHandler(std::string handler) { idleHandler_ = std::move(handler); }
    // The size of the sheet's current frame; 0 without one.
    [[nodiscard]] int32_t OrigWidth() const;
    [[nodiscard]] int32_t OrigHeight() const;

    // Per line, the map index of each character (-1 when the map lacks it).
    [[nodiscard]] const std::vector<std::vector<int32_t>>& Cells() const { return cells_; }

    [[nodiscard]] bool Update() override;
    void Draw(TDrawContext& context) override;

    [[nodiscard]] const PropertyMap& Properties() const override { return ClassProperties(); }
    [[nodiscard]] static const PropertyMap& ClassProperties();
    void Save(ByteWriter& writer) const override;
    void Load(ByteReader& reader, int32_t version) override;

  private:
    [[nodiscard]] const PictureFrame* CurrentFrame() const;
    void RebuildCells();
    void RefreshSize();

    std::string source_;
    std::string text_;
    std::string mapText_;
    int32_t glyphWidth_ = 1;
    int32_t glyphHeight_ = 1;
    int32_t lineSpace_ = 0;
    bool paused_ = false;
    uint8_t hAlign_ = 0;
    int32_t alpha_ = 0;
    std::string idleHandler_;
    std::unique_ptr<ControlPicture> sheet_;
    int32_t frame_ = -1;  // the sheet's frame shown; -1 none
    int32_t frameTime_ = 0;
    mutable PictureFrame current_;
    std::vector<std::vector<int32_t>> cells_;
};

}  // namespace kivo
