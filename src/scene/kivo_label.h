#pragma once
// A label: lines of plain text in one font, colour and style. The glyphs are rendered once,
// when the text or a font setting changes, into a colour surface and an 8-bit coverage mask
// of the text's own size; each frame the label draws those with its alpha, zoom, flips and
// angle. A motion file named as its source moves it.
//
// The angle counts only its low byte (256 units a full turn). An unrotated label at 100 %
// fills its colour through the mask line by line and ignores its flips there: games were
// made against that look.

#include <cstdint>
#include <string>
#include <vector>

#include "imaging/dibx.h"
#include "scene/kivo_control.h"

namespace kivo {

class TKivoLabel final : public TKivoControl {
  public:
    explicit TKivoLabel(TKivoBaseList& root);
    ~TKivoLabel() override;

    [[nodiscard]] int32_t Kind() const override { return LT_LABEL; }
    [[nodiscard]] std::string_view ClassName() const override { return "TKivoLabel"; }

    // The lines joined with CR LF, without a trailing break.
    [[nodiscard]] std::string Text() const;
    // Splits at CR, LF or CR LF; a trailing break adds no line and one empty last line is
    // dropped.
    void SetText(std::string text);
    [[nodiscard]] const std::vector<std::string>& Lines() const { return lines_; }

    [[nodiscard]] const std::string& FontName() const { return fontName_; }
    void SetFontName(std::string name);
    [[nodiscard]] int32_t FontSize() const { return fontSize_; }
    void SetFontSize(int32_t size) { ChangeLayout(fontSize_, size); }
    [[nodiscard]] int32_t LineSpace() const { return lineSpace_; }
    void SetLineSpace(int32_t space) { ChangeLayout(lineSpace_, space); }
    [[nodiscard]] int32_t FontStyle() const { return fontStyle_; }
    void SetFontStyle(int32_t style) { ChangeLayout(fontStyle_, static_cast<uint8_t>(style)); }
    [[nodiscard]] int32_t FontColor() const { return fontColor_; }
    void SetFontColor(int32_t color);
    // 0 left, 1 centre, anything else right.
    [[nodiscard]] int32_t HAlign() const { return hAlign_; }
    void SetHAlign(int32_t align) { ChangeLayout(hAlign_, static_cast<uint8_t>(align)); }
    [[nodiscard]] bool AntiAlias() const { return antiAlias_; }
    void SetAntiAlias(bool antiAlias) { ChangeLayout(antiAlias_, antiAlias); }
    [[nodiscard]] int32_t Alpha() const { return alpha_; }
    void SetAlpha(int32_t alpha) { ChangeArea(alpha_, alpha); }
    [[nodiscard]] bool FlipH() const override { return flipH_; }
    void SetFlipH(bool flip) { ChangeArea(flipH_, flip); }
    [[nodiscard]] bool FlipV() const override { return flipV_; }
    void SetFlipV(bool flip) { ChangeArea(flipV_, flip); }
    [[nodiscard]] int32_t Angle() const { return angle_; }
    void SetAngle(int32_t angle) { ChangeArea(angle_, angle); }
    [[nodiscard]] int32_t ZoomX() const override { return zoomX_; }
    void SetZoomX(int32_t zoom);
    [[nodiscard]] int32_t ZoomY() const override { return zoomY_; }
    void SetZoomY(int32_t zoom);
    [[nodiscard]] int32_t ContentWidth() const { return contentWidth_; }
    [[nodiscard]] int32_t ContentHeight() const { return contentHeight_; }
    [[nodiscard]] int32_t SurfaceWidth() const override { return colour_.Width(); }
    [[nodiscard]] int32_t SurfaceHeight() const override { return colour_.Height(); }

    [[nodiscard]] const std::string& Source() const { return source_; }
    // A motion file (".kmt") moves the label along its film.
    void SetSource(std::string source);
    [[nodiscard]] bool Repeat() const override { return repeat_; }
    // Setting repeat on again restarts a motion that has ended.
    void SetRepeat(bool repeat);
    [[nodiscard]] bool AutoScrap() const override { return autoScrap_; }
    void SetAutoScrap(bool autoScrap) { autoScrap_ = autoScrap; }
    [[nodiscard]] bool Paused() const override { return paused_; }
    void SetPaused(bool paused) { paused_ = paused; }
    [[nodiscard]] std::string IdleHandler() const override { return idleHandler_; }
    void SetIdleHandler(std::string handler) { idleHandler_ = std::move(handler); }
    [[nodiscard]] std::string PlayEndHandler() const override { return playEndHandler_; }
    void SetPlayEndHandler(std::string handler) { playEndHandler_ = std::move(handler); }

    // The rendered text, content width x content height, and the area each line touched.
    [[nodiscard]] const TDIBX& ColourSurface() const { return colour_; }
    [[nodiscard]] const TDIBX& MaskSurface() const { return mask_; }
    [[nodiscard]] const std::vector<TRect>& LineRects() const { return lineRects_; }

    // Renders the text again (after a change of the text or a font setting, and when the
    // surfaces were lost).
    void Layout();
    // Where the pivot lands: the position without the offset, in layer pixels.
    [[nodiscard]] int32_t AnchorX() const;
    [[nodiscard]] int32_t AnchorY() const;
    // The rectangle the label covers: its bounds, or the box around the rotated picture.
    [[nodiscard]] TRect LabelBounds() const;

    [[nodiscard]] TRect WidenDirty(const TRect& area) const override;
    void Draw(TDrawContext& context) override;
    [[nodiscard]] TKivoControl* HitTest(int32_t x, int32_t y, IgnoreMouseMask mask) override;

    [[nodiscard]] const PropertyMap& Properties() const override { return ClassProperties(); }
    [[nodiscard]] static const PropertyMap& ClassProperties();
    void Save(ByteWriter& writer) const override;
    void Load(ByteReader& reader, int32_t version) override;

  private:
    template <typename T>
    void ChangeLayout(T& field, const T& value) {
        if (field == value) return;
        field = value;
        Layout();
    }
    [[nodiscard]] uint8_t AngleByte() const { return static_cast<uint8_t>(angle_ & 0xFF); }
    [[nodiscard]] int32_t PivotX() const;
    [[nodiscard]] int32_t PivotY() const;
    [[nodiscard]] uint32_t TextPixel(const TCustomDIBX& surface) const;
    [[nodiscard]] int BitDepth() const;
    void SplitText(std::string_view text);

    std::vector<std::string> lines_;
    std::string fontName_;
    int32_t fontSize_ = 12;
    int32_t lineSpace_ = 0;
    uint8_t fontStyle_ = 0;
    int32_t alpha_ = 255;
    int32_t fontColor_ = 0;
    uint8_t hAlign_ = 0;
    bool antiAlias_ = false;
    bool flipH_ = false;
    bool flipV_ = false;
    int32_t angle_ = 0;
    int32_t contentWidth_ = 0;
    int32_t contentHeight_ = 0;
    int32_t zoomX_ = 256;
    int32_t zoomY_ = 256;
    std::string idleHandler_;
    std::string source_;
    bool repeat_ = false;
    bool autoScrap_ = false;
    std::string playEndHandler_;
    bool paused_ = false;
    TDIBX colour_;
    TDIBX mask_;
    std::vector<TRect> lineRects_;
};

}  // namespace kivo
