#include "text/wd_glyph.h"

#include <algorithm>
#include <cmath>

#include "base/sjis.h"
#include "imaging/dibx.h"
#include "imaging/draw_context.h"
#include "text/text_math.h"
#include "text/tp_word.h"
#include "text/wd_page.h"

namespace kivo {
namespace {

// What is rasterised is bounded even where layout keeps a script's values.
constexpr int32_t kMaxDrawnSize = 512;
constexpr int32_t kMaxDrawnWidth = 32;

int32_t DrawnWidth(int32_t width) {
    return std::clamp(width, 0, kMaxDrawnWidth);
}

std::string CodeText(uint32_t code) {
    std::string text;
    if (code > 0xFF) text += static_cast<char>(code >> 8);
    text += static_cast<char>(code & 0xFF);
    return text;
}

}  // namespace

// ---- TWdGlyph ----------------------------------------------------------------------------------

// A glyph freed while a row still lists it (a variable field collapsed under a laid-out page)
// leaves the row, so the row never reaches it again.
TWdGlyph::~TWdGlyph() {
    if (parent_ != nullptr) static_cast<TWdComposite*>(parent_)->ForgetChild(this);
}

TWdPage* TWdGlyph::Page() {
    return parent_ != nullptr ? parent_->Page() : nullptr;
}

void TWdGlyph::SetBounds(int32_t x, int32_t y, int32_t width, int32_t height) {
    x_ = x;
    y_ = y;
    width_ = width;
    height_ = height;
}

void TWdGlyph::CopyBoundsFrom(const TWdGlyph& other) {
    SetBounds(other.x_, other.y_, other.width_, other.height_);
}

int32_t TWdGlyph::SurfaceX() const {
    int64_t x = 0;
    for (const TWdGlyph* g = this; g != nullptr && g->parent_ != nullptr; g = g->parent_) {
        x += g->x_;
    }
    return text_math::Saturate(x);
}

int32_t TWdGlyph::SurfaceY() const {
    int64_t y = 0;
    for (const TWdGlyph* g = this; g != nullptr && g->parent_ != nullptr; g = g->parent_) {
        y += g->y_;
    }
    return text_math::Saturate(y);
}

int32_t TWdGlyph::ScreenX() const {
    TWdPage* page = const_cast<TWdGlyph*>(this)->Page();
    return text_math::Add(page != nullptr ? page->PageScreenX() : 0, SurfaceX());
}

int32_t TWdGlyph::ScreenY() const {
    TWdPage* page = const_cast<TWdGlyph*>(this)->Page();
    return text_math::Add(page != nullptr ? page->PageScreenY() : 0, SurfaceY());
}

TRect TWdGlyph::SurfaceRect() const {
    int32_t x = SurfaceX(), y = SurfaceY();
    return {x, y, text_math::Add(x, width_), text_math::Add(y, height_)};
}

TRect TWdGlyph::PaintedRect() const {
    return SurfaceRect();
}

DecorateValues TWdGlyph::DecorationValues() const {
    const TDecorate* decoration = Decoration();
    return decoration != nullptr ? decoration->values : DecorateValues{};
}

int32_t TWdGlyph::FontSize() const {
    const TDecorate* d = Decoration();
    int32_t size = d != nullptr ? d->values.size : 0;
    return size != 0 ? size : word_->settings.defaultSize;
}

std::string_view TWdGlyph::FontFace() const {
    const TDecorate* d = Decoration();
    if (d != nullptr && !d->values.face.empty()) return d->values.face;
    if (!word_->settings.defaultFace.empty()) return word_->settings.defaultFace;
    return kGothicFace;
}

uint8_t TWdGlyph::Style() const {
    const TDecorate* d = Decoration();
    return d != nullptr ? d->values.style : 0;
}

int32_t TWdGlyph::Color() const {
    const TDecorate* d = Decoration();
    return d != nullptr ? d->values.color : -1;
}

int32_t TWdGlyph::BorderColor() const {
    const TDecorate* d = Decoration();
    return d != nullptr ? d->values.borderColor : -1;
}

int32_t TWdGlyph::ShadowColor() const {
    const TDecorate* d = Decoration();
    return d != nullptr ? d->values.shadowColor : -1;
}

int32_t TWdGlyph::BorderWidth() const {
    const TDecorate* d = Decoration();
    int32_t width = d != nullptr ? d->values.borderWidth : 0;
    return width == -1 ? word_->settings.defaultBorderWidth : width;
}

int32_t TWdGlyph::ShadowWidth() const {
    const TDecorate* d = Decoration();
    int32_t width = d != nullptr ? d->values.shadowWidth : 0;
    return width == -1 ? word_->settings.defaultShadowWidth : width;
}

bool TWdGlyph::NoBreak() const {
    const TDecorate* d = Decoration();
    return d != nullptr && d->values.noBreak != 0;
}

std::string_view TWdGlyph::Ruby() const {
    const TDecorate* d = Decoration();
    return d != nullptr ? std::string_view(d->values.ruby) : std::string_view();
}

const std::string& TWdGlyph::LinkText() const {
    static const std::string kNone;
    return kNone;
}

void TWdGlyph::Erase() {
    TRect rect = PaintedRect();
    if (rect.IsEmpty()) return;
    TDrawContext(word_->TextSurface()).FillRect(rect, 0);
    TDrawContext(word_->MaskSurface()).FillRect(rect, 0);
}

void TWdGlyph::Invalidate() {
    TWdPage* page = Page();
    TRect rect = PaintedRect();
    if (page == nullptr || rect.IsEmpty()) return;
    int32_t dx = page->PageScreenX(), dy = page->PageScreenY();
    word_->AddDirty({text_math::Add(rect.Left, dx), text_math::Add(rect.Top, dy),
                     text_math::Add(rect.Right, dx), text_math::Add(rect.Bottom, dy)});
}

std::unique_ptr<TWdGlyph> TWdGlyph::Clone(TTpWord& /*target*/) const {
    return nullptr;
}

// ---- TWdReal -----------------------------------------------------------------------------------

void TWdReal::SetAlpha(int32_t alpha) {
    alpha_ = std::clamp(alpha, 0, 255);
}

void TWdReal::CopyRealFrom(const TWdReal& other) {
    CopyBoundsFrom(other);
    link_ = other.link_;
    wait_ = other.wait_;
}

// ---- TWdChar -----------------------------------------------------------------------------------

TWdChar::TWdChar(TTpWord& word, uint32_t code, const DecorateValues& values)
    : TWdReal(word), decoration_(word.Decorations().Acquire(values)), code_(code) {}

TWdChar::~TWdChar() {
    Word().Decorations().Release(decoration_);
}

void TWdChar::SetDecoration(const DecorateValues& values) {
    decoration_ = Word().Decorations().Change(decoration_, values);
}

std::string TWdChar::CharText() const {
    return CodeText(code_);
}

void TWdChar::Measure() {
    int64_t size = FontSize();
    int64_t width = size, height = size;
    if ((Style() & kStyleItalic) != 0) width += size / 5;
    if (!Ruby().empty()) height += std::max<int64_t>(1, size / 2);
    int64_t grow = 2 * int64_t{BorderWidth()} + ShadowWidth();
    SetBounds(X(), Y(), text_math::Extent(width + grow), text_math::Extent(height + grow));
}

int32_t TWdChar::TextColor() const {
    const TextBoxSettings& s = Word().settings;
    if (Hover()) return s.hoverColor;
    if (Color() != -1) return Color();
    return LinkText().empty() ? s.defaultColor : s.linkColor;
}

bool TWdChar::JoinsWith(const TWdGlyph* neighbour) const {
    return neighbour != nullptr && neighbour->Kind() == GlyphKind::Char &&
           neighbour->BorderWidth() == BorderWidth() && neighbour->ShadowWidth() == ShadowWidth() &&
           neighbour->BorderColor() == BorderColor() && neighbour->ShadowColor() == ShadowColor();
}

void TWdChar::Render(bool clear) {
    if (clear) SetHover(false);
    drawn_ = {};
    GlyphPainter* painter = Word().Painter();
    int32_t size = FontSize();
    if (painter == nullptr || size <= 0 || Parent() == nullptr) return;

    const TextBoxSettings& s = Word().settings;
    TDIBX& colour = Word().TextSurface();
    CellRequest request;
    request.code = code_;
    request.face = FontFace();
    request.size = std::min(size, kMaxDrawnSize);
    request.style = Style();
    if (!LinkText().empty()) request.style |= kStyleUnderline;
    request.antiAlias = s.antiAlias;
    request.textPixel = colour.ColorToPixel(TextColor());
    request.borderPixel = colour.ColorToPixel(BorderColor() != -1 ? BorderColor() : s.borderColor);
    request.shadowPixel = colour.ColorToPixel(ShadowColor() != -1 ? ShadowColor() : s.shadowColor);
    request.borderWidth = DrawnWidth(BorderWidth());
    request.shadowWidth = DrawnWidth(ShadowWidth());

    const auto& siblings = static_cast<const TWdComposite*>(Parent())->Children();
    auto self = std::find(siblings.begin(), siblings.end(), this);
    request.joinedLeft = self != siblings.begin() && JoinsWith(*(self - 1));
    request.joinedRight =
        self != siblings.end() && self + 1 != siblings.end() && JoinsWith(*(self + 1));

    TRect cell = SurfaceRect();
    if (!Ruby().empty()) {
        bool firstOfRun = self == siblings.begin() || (*(self - 1))->Ruby() != Ruby();
        if (firstOfRun) RenderRuby(request);
        cell.Top = text_math::Add(cell.Top, std::max(1, size / 2));
    }
    request.cell = cell;
    TRect touched = painter->DrawCell(request, colour, Word().MaskSurface());
    drawn_ = drawn_.IsEmpty() ? touched : (touched.IsEmpty() ? drawn_ : Union(drawn_, touched));
}

// The ruby of a run of neighbours with the same ruby text is spread evenly over the whole run
// by its first glyph, on the top rows of the cells.
void TWdChar::RenderRuby(const CellRequest& base) {
    const auto& siblings = static_cast<const TWdComposite*>(Parent())->Children();
    auto self = std::find(siblings.begin(), siblings.end(), this);
    int64_t runWidth = 0;
    for (auto it = self; it != siblings.end() && (*it)->Ruby() == Ruby(); ++it) {
        runWidth += (*it)->Width();
    }
    std::string ruby(Ruby());
    size_t count = sjis::CharCount(ruby);
    double step = static_cast<double>(runWidth) / static_cast<double>(count) / 2.0;
    int32_t rubySize = std::max(1, FontSize() / 2);

    CellRequest request = base;
    request.size = std::min(rubySize, kMaxDrawnSize);
    request.style = static_cast<uint8_t>(Style() & (kStyleBold | kStyleItalic));
    request.borderWidth = std::min(request.borderWidth, 1);
    request.shadowWidth = std::min(request.shadowWidth, 1);
    request.joinedLeft = request.joinedRight = false;
    size_t k = 0;
    sjis::ForEachChar(ruby, [&](size_t pos, size_t len) {
        ++k;
        int32_t shift = len == 2 ? rubySize / 2 : rubySize / 4;
        int64_t x = std::llround(static_cast<double>(2 * k - 1) * step) + SurfaceX() - shift;
        request.code = sjis::CharCode(ruby, pos);
        request.cell = {text_math::Saturate(x), SurfaceY(), text_math::Saturate(x + rubySize),
                        text_math::Add(SurfaceY(), rubySize)};
        TRect touched =
            Word().Painter()->DrawCell(request, Word().TextSurface(), Word().MaskSurface());
        if (!touched.IsEmpty()) drawn_ = drawn_.IsEmpty() ? touched : Union(drawn_, touched);
    });
}

void TWdChar::Compose(TCustomDIBX& destination, const TRect& textBox) {
    TWdPage* page = Page();
    if (Alpha() <= 0 || drawn_.IsEmpty() || page == nullptr) return;
    int32_t dx = page->PageScreenX(), dy = page->PageScreenY();
    TRect onScreen{text_math::Add(drawn_.Left, dx), text_math::Add(drawn_.Top, dy),
                   text_math::Add(drawn_.Right, dx), text_math::Add(drawn_.Bottom, dy)};
    TRect visible = Intersect(onScreen, textBox);
    if (visible.IsEmpty()) return;
    TRect source{visible.Left - dx, visible.Top - dy, visible.Right - dx, visible.Bottom - dy};
    TDIBX& colour = Word().TextSurface();
    TDIBX& mask = Word().MaskSurface();
    if (BorderWidth() > 0 || ShadowWidth() > 0) {
        if (Alpha() >= 255) {
            TDrawContext(destination)
                .DrawMask(visible.Left, visible.Top, mask, false, false, source, colour);
        } else {
            TDrawContext(destination)
                .DrawMaskAlpha(visible.Left, visible.Top, Alpha(), mask, false, false, source,
                               colour);
        }
    } else {
        TDrawContext(destination)
            .FillMask(visible.Left, visible.Top, Alpha(), destination.ColorToPixel(TextColor()),
                      false, false, source, mask);
    }
}

void TWdChar::Save(ByteWriter& writer) const {
    writer.WriteCountedString(LinkText());
    writer.WriteI32(Wait());
    writer.WriteU16(static_cast<uint16_t>(code_));
    writer.WriteI32(Word().Decorations().IndexOf(decoration_));
}

std::unique_ptr<TWdGlyph> TWdChar::Clone(TTpWord& target) const {
    auto copy = IsExpanded() ? std::make_unique<TWdVarChar>(target, code_, DecorationValues())
                             : std::make_unique<TWdChar>(target, code_, DecorationValues());
    copy->CopyRealFrom(*this);
    return copy;
}

// ---- TWdImg ------------------------------------------------------------------------------------

TWdImg::TWdImg(TTpWord& word, std::string source, TextAlign align)
    : TWdReal(word), source_(std::move(source)), align_(align) {}

void TWdImg::ReloadImages() {
    loaded_ = true;
    image_.reset();
    if (GlyphImageSource* images = Word().Images()) image_ = images->Open(source_);
}

void TWdImg::Measure() {
    if (!loaded_) ReloadImages();
    if (image_ == nullptr) {
        SetBounds(X(), Y(), 0, 0);
        return;
    }
    SetBounds(X(), Y(), text_math::Extent(image_->Width()), text_math::Extent(image_->Height()));
}

bool TWdImg::IsAnimated() const {
    return image_ != nullptr && image_->IsAnimated();
}

bool TWdImg::Animate(int32_t elapsedMs) {
    return image_ != nullptr && image_->Animate(elapsedMs);
}

// The image alpha setting scales the glyph's fade; above 255 the picture adds instead.
void TWdImg::Compose(TCustomDIBX& destination, const TRect& /*textBox*/) {
    if (image_ == nullptr || Alpha() <= 0) return;
    int64_t a = Alpha(), m = Word().settings.imageAlpha;
    int64_t effective = a;
    if (m < 255) effective = a * m / 256;
    if (m > 255) effective = 256 + a * (m - 256) / 256;
    image_->Draw(destination, ScreenX(), ScreenY(),
                 static_cast<int32_t>(std::clamp<int64_t>(effective, 0, 511)));
}

void TWdImg::Save(ByteWriter& writer) const {
    writer.WriteCountedString(LinkText());
    writer.WriteI32(Wait());
    writer.WriteCountedString(source_);
    writer.WriteU8(static_cast<uint8_t>(align_));
}

std::unique_ptr<TWdGlyph> TWdImg::Clone(TTpWord& target) const {
    auto copy = std::make_unique<TWdImg>(target, source_, align_);
    copy->CopyRealFrom(*this);
    return copy;
}

// ---- Operations --------------------------------------------------------------------------------

void TWdOpeReturn::Save(ByteWriter& writer) const {
    writer.WriteU8(clear_ ? 1 : 0);
}

std::unique_ptr<TWdGlyph> TWdOpeReturn::Clone(TTpWord& target) const {
    std::unique_ptr<TWdGlyph> copy;
    if (IsExpanded()) {
        copy = std::make_unique<TWdVarReturn>(target);
    } else {
        copy = std::make_unique<TWdOpeReturn>(target, clear_);
    }
    copy->SetBounds(X(), Y(), Width(), Height());
    return copy;
}

void TWdOpeAlign::Save(ByteWriter& writer) const {
    writer.WriteU8(static_cast<uint8_t>(align_));
}

std::unique_ptr<TWdGlyph> TWdOpeAlign::Clone(TTpWord& target) const {
    return std::make_unique<TWdOpeAlign>(target, align_);
}

std::unique_ptr<TWdGlyph> TWdOpeIndent::Clone(TTpWord& target) const {
    return std::make_unique<TWdOpeIndent>(target);
}

std::unique_ptr<TWdGlyph> TWdOpeUndent::Clone(TTpWord& target) const {
    return std::make_unique<TWdOpeUndent>(target);
}

void TWdOpeEvent::Save(ByteWriter& writer) const {
    writer.WriteCountedString(end_ ? "\x01" + value_ : value_);
}

std::unique_ptr<TWdGlyph> TWdOpeEvent::Clone(TTpWord& target) const {
    return std::make_unique<TWdOpeEvent>(target, value_, end_);
}

// ---- TWdOpeVar ---------------------------------------------------------------------------------

TWdOpeVar::TWdOpeVar(TTpWord& word, std::string expression, const DecorateValues& values)
    : TWdGlyph(word),
      expression_(std::move(expression)),
      decoration_(word.Decorations().Acquire(values)) {}

TWdOpeVar::~TWdOpeVar() {
    Word().Decorations().Release(decoration_);
}

void TWdOpeVar::SetDecoration(const DecorateValues& values) {
    decoration_ = Word().Decorations().Change(decoration_, values);
}

std::optional<std::string> TWdOpeVar::CurrentValue() const {
    std::string prefix = expression_ + "=";
    for (const std::string& line : Word().frozenValues) {
        if (!line.starts_with(prefix)) continue;
        std::string value = line.substr(prefix.size());
        std::replace(value.begin(), value.end(), '\x01', '\r');
        return value;
    }
    if (stored_ != nullptr) return stored_->Evaluate();
    std::string_view text = expression_;
    while (!text.empty() && static_cast<uint8_t>(text.front()) <= ' ')
        text.remove_prefix(1);
    while (!text.empty() && static_cast<uint8_t>(text.back()) <= ' ')
        text.remove_suffix(1);
    TextExpressions* expressions = Word().Expressions();
    if (text.empty() || expressions == nullptr) return std::nullopt;
    return expressions->Evaluate(text);
}

std::string TWdOpeVar::ValueLine() const {
    std::string value;
    for (const TWdGlyph* glyph : expanded_) {
        value += glyph->Kind() == GlyphKind::Return ? std::string("\x01") : glyph->CharText();
    }
    return expression_ + "=" + value;
}

void TWdOpeVar::Save(ByteWriter& writer) const {
    writer.WriteI32(Word().Decorations().IndexOf(decoration_));
    writer.WriteI32(wait_);
    writer.WriteCountedString(link_);
    writer.WriteCountedString(expression_);
}

std::unique_ptr<TWdGlyph> TWdOpeVar::Clone(TTpWord& target) const {
    auto copy = std::make_unique<TWdOpeVar>(target, expression_, DecorationValues());
    copy->link_ = link_;
    copy->wait_ = wait_;
    return copy;
}

// ---- Composites --------------------------------------------------------------------------------

TWdComposite::~TWdComposite() {
    ClearChildren();
}

void TWdComposite::AddChild(TWdGlyph* child) {
    children_.push_back(child);
    child->SetParent(this);
}

void TWdComposite::Own(std::unique_ptr<TWdGlyph> child) {
    AddChild(child.get());
    owned_.push_back(std::move(child));
}

void TWdComposite::ForgetChild(TWdGlyph* child) {
    std::erase(children_, child);
}

void TWdComposite::ClearChildren() {
    for (TWdGlyph* child : children_) {
        if (child->Parent() == this) child->SetParent(nullptr);
    }
    children_.clear();
    owned_.clear();
}

std::string TWdComposite::CharText() const {
    std::string text;
    for (const TWdGlyph* child : children_)
        text += child->CharText();
    return text;
}

std::string TWdComposite::ShownText() const {
    std::string text;
    for (const TWdGlyph* child : children_) {
        if (child->Alpha() <= 0) break;
        text += child->ShownText();
    }
    return text;
}

// The only glyph a row owns is its indent filler, which comes first.
bool TWdRow::HoldsReal() const {
    return children_.size() > owned_.size();
}

namespace {

bool IsBandAligned(const TWdGlyph& glyph) {
    TextAlign align = glyph.Alignment();
    return glyph.Kind() != GlyphKind::Image ||
           (align != TextAlign::Center && align != TextAlign::Top && align != TextAlign::Bottom);
}

struct RowExtents {
    int64_t band = 0;
    int64_t above = 0;
    int64_t below = 0;
};

// Rows of mixed glyphs: the character band is the tallest glyph that aligns with the text;
// images aligned otherwise stick out above or below it.
RowExtents ArrangedExtents(const std::vector<TWdGlyph*>& glyphs) {
    RowExtents e;
    for (const TWdGlyph* g : glyphs) {
        if (IsBandAligned(*g)) e.band = std::max<int64_t>(e.band, g->Height());
    }
    for (const TWdGlyph* g : glyphs) {
        if (IsBandAligned(*g)) continue;
        int64_t h = g->Height();
        switch (g->Alignment()) {
            case TextAlign::Center:
                e.above = std::max(e.above, (h - e.band + 1) / 2);
                e.below = std::max(e.below, (h - e.band + 1) / 2);
                break;
            case TextAlign::Top:
                e.below = std::max(e.below, h - e.band);
                break;
            case TextAlign::Bottom:
            case TextAlign::None:
            case TextAlign::Left:
            case TextAlign::Right:
                e.above = std::max(e.above, h - e.band);
                break;
        }
    }
    return e;
}

}  // namespace

int32_t TWdRow::FillingHeight() const {
    RowExtents e;
    for (const TWdGlyph* g : children_) {
        if (g->Kind() == GlyphKind::Char) e.band = std::max<int64_t>(e.band, g->Height());
    }
    for (const TWdGlyph* g : children_) {
        if (g->Kind() == GlyphKind::Char) continue;
        int64_t h = g->Height();
        bool image = g->Kind() == GlyphKind::Image;
        if (image && g->Alignment() == TextAlign::Center) {
            e.above = std::max(e.above, (h - e.band + 1) / 2);
            e.below = std::max(e.below, (h - e.band + 1) / 2);
        } else if (image && g->Alignment() == TextAlign::Top) {
            e.below = std::max(e.below, h - e.band);
        } else {
            e.above = std::max(e.above, h - e.band);
        }
    }
    return text_math::Saturate(e.band + e.above + e.below);
}

void TWdRow::Arrange() {
    RowExtents e = ArrangedExtents(children_);
    int64_t band = e.band, bandTop = e.above;
    int64_t width = 0;
    for (const TWdGlyph* g : children_)
        width += g->Width();
    int64_t offset = leftLimit_;
    if (align_ == TextAlign::Right) offset = rightLimit_ - width;
    if (align_ == TextAlign::Center) offset = leftLimit_ + (rightLimit_ - leftLimit_ - width) / 2;

    int64_t x = offset;
    for (TWdGlyph* g : children_) {
        int64_t h = g->Height(), y;
        if (h == 0) {
            y = bandTop;
        } else if (!IsBandAligned(*g) && g->Alignment() == TextAlign::Center) {
            y = bandTop + (band - h) / 2;
        } else if (!IsBandAligned(*g) && g->Alignment() == TextAlign::Top) {
            y = bandTop;
        } else {
            y = bandTop + band - h;
        }
        g->SetPosition(text_math::Saturate(x), text_math::Saturate(y));
        x += g->Width();
    }
    SetBounds(0, Y(), text_math::Saturate(width + offset),
              text_math::Saturate(band + e.above + e.below));
}

}  // namespace kivo
