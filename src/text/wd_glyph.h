#pragma once
// The glyphs of a text: characters, inline images, variable fields and layout operations in
// one flat list owned by the text (TTpWord), and the rows and pages that layout builds over
// them. Rows and pages refer to the text's glyphs without owning them; a row owns only its
// indent filler and a page owns its rows.

#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "base/byte_io.h"
#include "base/rect.h"
#include "text/decorate.h"
#include "text/text_services.h"

namespace kivo {

class TTpWord;
class TWdPage;
class TWdRow;
class TCustomDIBX;

// Kind codes, as glyph streams store them.
enum class GlyphKind : uint8_t {
    Composite = 0,
    Char = 1,
    Align = 2,
    Return = 3,
    Indent = 4,
    Undent = 5,
    Event = 6,
    Var = 7,
    Image = 9,
};

enum class TextAlign : uint8_t { None = 0, Left = 1, Right = 2, Center = 3, Top = 4, Bottom = 5 };

class TWdGlyph {
  public:
    explicit TWdGlyph(TTpWord& word) : word_(&word) {}
    virtual ~TWdGlyph();
    TWdGlyph(const TWdGlyph&) = delete;
    TWdGlyph& operator=(const TWdGlyph&) = delete;

    [[nodiscard]] TTpWord& Word() const { return *word_; }
    [[nodiscard]] TWdGlyph* Parent() const { return parent_; }
    void SetParent(TWdGlyph* parent) { parent_ = parent; }
    // The page that holds the glyph, or null when it is not laid out.
    [[nodiscard]] virtual TWdPage* Page();

    [[nodiscard]] virtual GlyphKind Kind() const { return GlyphKind::Composite; }
    // Length in text positions (see TTpWord::PositionOf).
    [[nodiscard]] virtual int32_t TextCount() const { return 0; }
    // Characters, images and the characters a variable field shows have alpha and hover.
    [[nodiscard]] virtual bool IsReal() const { return false; }
    // Glyphs made by expanding a variable field; streams never store them.
    [[nodiscard]] virtual bool IsExpanded() const { return false; }

    [[nodiscard]] int32_t X() const { return x_; }
    [[nodiscard]] int32_t Y() const { return y_; }
    [[nodiscard]] virtual int32_t Width() const { return width_; }
    [[nodiscard]] int32_t Height() const { return height_; }
    void SetBounds(int32_t x, int32_t y, int32_t width, int32_t height);
    void SetPosition(int32_t x, int32_t y) {
        x_ = x;
        y_ = y;
    }
    // Position on the page's text surface and on the destination.
    [[nodiscard]] int32_t SurfaceX() const;
    [[nodiscard]] int32_t SurfaceY() const;
    [[nodiscard]] int32_t ScreenX() const;
    [[nodiscard]] int32_t ScreenY() const;
    [[nodiscard]] TRect SurfaceRect() const;
    // The area the glyph paints on the text surface (a character's border and ruby included).
    [[nodiscard]] virtual TRect PaintedRect() const;

    // ---- Decoration (characters and variable fields). ----
    [[nodiscard]] virtual const TDecorate* Decoration() const { return nullptr; }
    virtual void SetDecoration(const DecorateValues& /*values*/) {}
    [[nodiscard]] DecorateValues DecorationValues() const;
    // Size in pixels, the text's default when 0.
    [[nodiscard]] int32_t FontSize() const;
    // The face to draw with: the decoration's, else the text's, else the gothic face.
    [[nodiscard]] std::string_view FontFace() const;
    [[nodiscard]] uint8_t Style() const;
    [[nodiscard]] int32_t Color() const;
    [[nodiscard]] int32_t BorderColor() const;
    [[nodiscard]] int32_t ShadowColor() const;
    // Widths read the text's defaults when -1.
    [[nodiscard]] int32_t BorderWidth() const;
    [[nodiscard]] int32_t ShadowWidth() const;
    [[nodiscard]] bool NoBreak() const;
    [[nodiscard]] std::string_view Ruby() const;

    [[nodiscard]] virtual uint32_t Code() const { return 0; }
    [[nodiscard]] virtual const std::string& LinkText() const;
    virtual void SetLinkText(std::string /*link*/) {}
    [[nodiscard]] virtual bool Hover() const { return false; }
    virtual void SetHover(bool /*hover*/) {}
    [[nodiscard]] virtual int32_t Alpha() const { return 255; }
    virtual void SetAlpha(int32_t /*alpha*/) {}
    [[nodiscard]] virtual int32_t Wait() const { return 0; }
    [[nodiscard]] virtual bool Clears() const { return false; }
    [[nodiscard]] virtual TextAlign Alignment() const { return TextAlign::None; }
    // Event value, image source or variable expression text.
    [[nodiscard]] virtual std::string Value() const { return {}; }

    // The character as one or two bytes; composites join their children.
    [[nodiscard]] virtual std::string CharText() const { return {}; }
    // What the glyph shows: a character itself, a line break CR LF; a composite joins its
    // children while they are visible.
    [[nodiscard]] virtual std::string ShownText() const { return {}; }

    virtual void Measure() { width_ = height_ = 0; }
    // Draws into the text's surfaces; clear resets hover first.
    virtual void Render(bool /*clear*/) {}
    // Clears the glyph's rectangle on the text's surfaces.
    void Erase();
    // Draws onto the destination with the glyph's alpha.
    virtual void Compose(TCustomDIBX& /*destination*/, const TRect& /*textBox*/) {}
    // Adds the glyph's destination rectangle to the text's dirty list.
    void Invalidate();

    [[nodiscard]] virtual bool IsAnimated() const { return false; }
    // True when the frame shown changed.
    virtual bool Animate(int32_t /*elapsedMs*/) { return false; }
    virtual void ReleaseImages() {}
    virtual void ReloadImages() {}

    // Glyph stream record after the kind byte; decorations are written as indexes.
    virtual void Save(ByteWriter& /*writer*/) const {}
    // A copy of the glyph for another text (decoration shared through that text's list).
    [[nodiscard]] virtual std::unique_ptr<TWdGlyph> Clone(TTpWord& target) const;

  protected:
    void CopyBoundsFrom(const TWdGlyph& other);

  private:
    TTpWord* word_;
    TWdGlyph* parent_ = nullptr;
    int32_t x_ = 0;
    int32_t y_ = 0;
    int32_t width_ = 0;
    int32_t height_ = 0;
};

// A glyph with alpha, hover, link and wait: characters and images.
class TWdReal : public TWdGlyph {
  public:
    using TWdGlyph::TWdGlyph;
    [[nodiscard]] bool IsReal() const override { return true; }
    [[nodiscard]] const std::string& LinkText() const override { return link_; }
    void SetLinkText(std::string link) override { link_ = std::move(link); }
    [[nodiscard]] bool Hover() const override { return hover_; }
    void SetHover(bool hover) override { hover_ = hover; }
    [[nodiscard]] int32_t Alpha() const override { return alpha_; }
    void SetAlpha(int32_t alpha) override;
    [[nodiscard]] int32_t Wait() const override { return wait_; }
    void SetWait(int32_t wait) { wait_ = wait; }

  protected:
    void CopyRealFrom(const TWdReal& other);

  private:
    std::string link_;
    bool hover_ = false;
    int32_t alpha_ = 255;
    int32_t wait_ = 0;
};

class TWdChar : public TWdReal {
  public:
    TWdChar(TTpWord& word, uint32_t code, const DecorateValues& values);
    ~TWdChar() override;

    [[nodiscard]] GlyphKind Kind() const override { return GlyphKind::Char; }
    [[nodiscard]] int32_t TextCount() const override { return 1; }
    [[nodiscard]] const TDecorate* Decoration() const override { return decoration_; }
    void SetDecoration(const DecorateValues& values) override;
    [[nodiscard]] uint32_t Code() const override { return code_; }
    void SetCode(uint32_t code) { code_ = code; }
    [[nodiscard]] std::string CharText() const override;
    [[nodiscard]] std::string ShownText() const override { return CharText(); }
    [[nodiscard]] TRect PaintedRect() const override { return drawn_; }

    void Measure() override;
    void Render(bool clear) override;
    void Compose(TCustomDIBX& destination, const TRect& textBox) override;
    void Save(ByteWriter& writer) const override;
    [[nodiscard]] std::unique_ptr<TWdGlyph> Clone(TTpWord& target) const override;

  private:
    void RenderRuby(const CellRequest& base);
    [[nodiscard]] bool JoinsWith(const TWdGlyph* neighbour) const;
    [[nodiscard]] int32_t TextColor() const;

    TDecorate* decoration_ = nullptr;
    uint32_t code_;
    TRect drawn_;
};

// A character a variable field shows; it has no text position of its own.
class TWdVarChar : public TWdChar {
  public:
    using TWdChar::TWdChar;
    [[nodiscard]] int32_t TextCount() const override { return 0; }
    [[nodiscard]] bool IsExpanded() const override { return true; }
};

// The indent filler that opens a row.
class TWdSpace : public TWdGlyph {
  public:
    using TWdGlyph::TWdGlyph;
};

class TWdImg : public TWdReal {
  public:
    TWdImg(TTpWord& word, std::string source, TextAlign align);
    [[nodiscard]] GlyphKind Kind() const override { return GlyphKind::Image; }
    [[nodiscard]] int32_t TextCount() const override { return 1; }
    [[nodiscard]] TextAlign Alignment() const override { return align_; }
    [[nodiscard]] std::string Value() const override { return source_; }
    void Measure() override;
    void Compose(TCustomDIBX& destination, const TRect& textBox) override;
    [[nodiscard]] bool IsAnimated() const override;
    bool Animate(int32_t elapsedMs) override;
    void ReleaseImages() override { image_.reset(); }
    void ReloadImages() override;
    void Save(ByteWriter& writer) const override;
    [[nodiscard]] std::unique_ptr<TWdGlyph> Clone(TTpWord& target) const override;

  private:
    std::string source_;
    TextAlign align_;
    std::unique_ptr<GlyphImage> image_;
    bool loaded_ = false;
};

class TWdOpeReturn : public TWdGlyph {
  public:
    TWdOpeReturn(TTpWord& word, bool clear) : TWdGlyph(word), clear_(clear) {}
    [[nodiscard]] GlyphKind Kind() const override { return GlyphKind::Return; }
    [[nodiscard]] int32_t TextCount() const override { return 1; }
    [[nodiscard]] bool Clears() const override { return clear_; }
    [[nodiscard]] std::string ShownText() const override { return "\r\n"; }
    void Save(ByteWriter& writer) const override;
    [[nodiscard]] std::unique_ptr<TWdGlyph> Clone(TTpWord& target) const override;

  private:
    bool clear_;
};

// A line break a variable field shows; it never clears the page.
class TWdVarReturn : public TWdOpeReturn {
  public:
    explicit TWdVarReturn(TTpWord& word) : TWdOpeReturn(word, false) {}
    [[nodiscard]] int32_t TextCount() const override { return 0; }
    [[nodiscard]] bool IsExpanded() const override { return true; }
};

class TWdOpeAlign : public TWdGlyph {
  public:
    TWdOpeAlign(TTpWord& word, TextAlign align) : TWdGlyph(word), align_(align) {}
    [[nodiscard]] GlyphKind Kind() const override { return GlyphKind::Align; }
    [[nodiscard]] int32_t TextCount() const override { return 1; }
    [[nodiscard]] TextAlign Alignment() const override { return align_; }
    void Save(ByteWriter& writer) const override;
    [[nodiscard]] std::unique_ptr<TWdGlyph> Clone(TTpWord& target) const override;

  private:
    TextAlign align_;
};

class TWdOpeIndent : public TWdGlyph {
  public:
    using TWdGlyph::TWdGlyph;
    [[nodiscard]] GlyphKind Kind() const override { return GlyphKind::Indent; }
    [[nodiscard]] int32_t TextCount() const override { return 1; }
    [[nodiscard]] std::unique_ptr<TWdGlyph> Clone(TTpWord& target) const override;
};

class TWdOpeUndent : public TWdGlyph {
  public:
    using TWdGlyph::TWdGlyph;
    [[nodiscard]] GlyphKind Kind() const override { return GlyphKind::Undent; }
    [[nodiscard]] int32_t TextCount() const override { return 1; }
    [[nodiscard]] std::unique_ptr<TWdGlyph> Clone(TTpWord& target) const override;
};

class TWdOpeEvent : public TWdGlyph {
  public:
    TWdOpeEvent(TTpWord& word, std::string value, bool end)
        : TWdGlyph(word), value_(std::move(value)), end_(end) {}
    [[nodiscard]] GlyphKind Kind() const override { return GlyphKind::Event; }
    [[nodiscard]] int32_t TextCount() const override { return 1; }
    [[nodiscard]] std::string Value() const override { return value_; }
    [[nodiscard]] bool IsEnd() const { return end_; }
    // An end event holds the reveal for one millisecond.
    [[nodiscard]] int32_t Wait() const override { return end_ ? 1 : 0; }
    void Save(ByteWriter& writer) const override;
    [[nodiscard]] std::unique_ptr<TWdGlyph> Clone(TTpWord& target) const override;

  private:
    std::string value_;
    bool end_;
};

// A variable field: shows the value of an expression as characters inserted after it.
class TWdOpeVar : public TWdGlyph {
  public:
    TWdOpeVar(TTpWord& word, std::string expression, const DecorateValues& values);
    ~TWdOpeVar() override;

    [[nodiscard]] GlyphKind Kind() const override { return GlyphKind::Var; }
    [[nodiscard]] int32_t TextCount() const override { return 1; }
    [[nodiscard]] const TDecorate* Decoration() const override { return decoration_; }
    void SetDecoration(const DecorateValues& values) override;
    [[nodiscard]] const std::string& LinkText() const override { return link_; }
    void SetLinkText(std::string link) override { link_ = std::move(link); }
    [[nodiscard]] int32_t Wait() const override { return wait_; }
    void SetWait(int32_t wait) { wait_ = wait; }
    [[nodiscard]] std::string Value() const override { return expression_; }
    void SetStoredExpression(std::unique_ptr<StoredTextExpression> stored) {
        stored_ = std::move(stored);
    }

    // The value: a frozen one when the text holds this expression, else evaluated; nullopt
    // when nothing can be shown.
    [[nodiscard]] std::optional<std::string> CurrentValue() const;
    [[nodiscard]] const std::vector<TWdGlyph*>& Expanded() const { return expanded_; }
    // Called by the text when it inserts or removes the expanded glyphs.
    void SetExpanded(std::vector<TWdGlyph*> glyphs) { expanded_ = std::move(glyphs); }
    // "expression=value" with returns written as 0x01.
    [[nodiscard]] std::string ValueLine() const;

    void Save(ByteWriter& writer) const override;
    [[nodiscard]] std::unique_ptr<TWdGlyph> Clone(TTpWord& target) const override;

  private:
    std::string expression_;
    std::unique_ptr<StoredTextExpression> stored_;
    TDecorate* decoration_ = nullptr;
    std::string link_;
    int32_t wait_ = 0;
    std::vector<TWdGlyph*> expanded_;
};

// A glyph that holds others: rows and pages.
class TWdComposite : public TWdGlyph {
  public:
    using TWdGlyph::TWdGlyph;
    ~TWdComposite() override;

    [[nodiscard]] size_t ChildCount() const { return children_.size(); }
    [[nodiscard]] TWdGlyph* Child(size_t index) const {
        return index < children_.size() ? children_[index] : nullptr;
    }
    [[nodiscard]] const std::vector<TWdGlyph*>& Children() const { return children_; }
    void AddChild(TWdGlyph* child);
    // Adds a child the composite owns.
    void Own(std::unique_ptr<TWdGlyph> child);
    void ClearChildren();
    // Drops a child that is being freed.
    void ForgetChild(TWdGlyph* child);

    [[nodiscard]] std::string CharText() const override;
    [[nodiscard]] std::string ShownText() const override;

  protected:
    std::vector<TWdGlyph*> children_;
    std::vector<std::unique_ptr<TWdGlyph>> owned_;
};

class TWdRow : public TWdComposite {
  public:
    TWdRow(TTpWord& word, TextAlign align, int32_t leftLimit, int32_t rightLimit)
        : TWdComposite(word), align_(align), leftLimit_(leftLimit), rightLimit_(rightLimit) {}

    [[nodiscard]] TextAlign Alignment() const override { return align_; }
    void SetAlignment(TextAlign align) { align_ = align; }
    [[nodiscard]] int32_t LeftLimit() const { return leftLimit_; }
    [[nodiscard]] int32_t RightLimit() const { return rightLimit_; }
    void SetRightLimit(int32_t limit) { rightLimit_ = limit; }
    // Whether anything besides the indent filler is in the row.
    [[nodiscard]] bool HoldsReal() const;
    // The height while glyphs are being added: the tallest character is the band.
    [[nodiscard]] int32_t FillingHeight() const;
    // Places the children and sets the final height.
    void Arrange();

  private:
    TextAlign align_;
    int32_t leftLimit_;
    int32_t rightLimit_;
};

}  // namespace kivo
