#include "scene/kivo_edit.h"

#include <algorithm>
#include <cstdlib>
#include <limits>

#include "base/sjis.h"
#include "imaging/draw_context.h"
#include "scene/kivo_base.h"
#include "scene/kivo_base_list.h"
#include "text/decorate.h"
#include "text/font_pixel_manager.h"
#include "text/tp_label_list.h"

namespace kivo {

namespace {

// Windows virtual-key codes the field acts on.
constexpr int32_t kVkBack = 8, kVkReturn = 13, kVkEnd = 35, kVkHome = 36, kVkLeft = 37, kVkUp = 38,
                  kVkRight = 39, kVkDown = 40, kVkDelete = 46;
// The event code of the notify handler.
constexpr uint8_t kNotifyEvent = 33;
// Half the caret's blink period, on the game clock.
constexpr int32_t kCaretBlinkMs = 500;
// The window colour a field shows without a colour of its own, and its greyed text.
constexpr int32_t kWindowColor = 0xFFFFFF;
constexpr int32_t kGrayText = 0x808080;
constexpr int32_t kMargin = 2;
// Behind selected text: a pale blue that dark and light ink both read on.
constexpr int32_t kSelectionColor = 0xFFD8A8;

// Code points Linux input methods give where code page 932 has a neighbour of its own.
constexpr std::pair<uint32_t, uint32_t> kInputMethodMappings[] = {
    {0x301C, 0xFF5E},  // wave dash
    {0x2016, 0x2225},  // double vertical bar
    {0x2212, 0xFF0D},  // minus sign
    {0x00A2, 0xFFE0},  // cent
    {0x00A3, 0xFFE1},  // pound
    {0x00AC, 0xFFE2},  // not sign
    {0x2014, 0x2015},  // em dash
};

// Keeps a multi-line field's breaks as CR LF and a single-line field free of them; other
// control characters are dropped.
std::string CleanTyped(std::string_view text, bool multiLine) {
    std::string clean;
    for (size_t i = 0; i < text.size();) {
        const size_t length = sjis::CharLength(text, i);
        const auto byte = static_cast<uint8_t>(text[i]);
        if (byte == '\r' || byte == '\n') {
            if (byte == '\r' && i + 1 < text.size() && text[i + 1] == '\n') ++i;
            if (multiLine) clean += "\r\n";
        } else if (length == 2 || (byte >= 0x20 && byte != 0x7F)) {
            clean.append(text.substr(i, length));
        }
        i += length;
    }
    return clean;
}

}  // namespace

TKivoCustomEdit::TKivoCustomEdit(TKivoBaseList& root, bool multiLine)
    : TKivoControl(root), multiLine_(multiLine), fontName_(kPGothicFace) {
    SetHandleKey(true);
    SetColor(-1);
}

// ---- Properties ----

void TKivoCustomEdit::SetText(std::string text) {
    if (text == text_) return;
    text_ = std::move(text);
    caret_ = anchor_ = text_.size();
    Changed();
}

void TKivoCustomEdit::SetFontName(std::string name) {
    fontName_ = std::move(name);
    Changed();
}

int32_t TKivoCustomEdit::FontHeight() const {
    return fontHeight_ == std::numeric_limits<int32_t>::min() ? std::numeric_limits<int32_t>::max()
                                                              : std::abs(fontHeight_);
}

void TKivoCustomEdit::SetFontHeight(int32_t height) {
    fontHeight_ = height;
    Changed();
}

void TKivoCustomEdit::SetFontStyle(int32_t style) {
    fontStyle_ = static_cast<uint8_t>(style & 0x0F);
    Changed();
}

void TKivoCustomEdit::SetFontColor(int32_t color) {
    fontColor_ = color;
    Changed();
}

void TKivoCustomEdit::SetBackColor(int32_t color) {
    SetColor(color);
    Changed();
}

void TKivoCustomEdit::SetReadOnly(bool readOnly) {
    readOnly_ = readOnly;
    Changed();
}

void TKivoCustomEdit::SetPaused(bool paused) {
    if (paused == disabled_) return;
    disabled_ = paused;
    // A disabled field lets the focus go back to the scene.
    if (paused && Root().FocusedControl() == this) Root().DropFocus();
    Changed();
    Place();
}

void TKivoMemo::SetAlignment(int32_t align) {
    align_ = static_cast<uint8_t>(align);
    Invalidate();
}

void TKivoCustomEdit::SetParent(TKivoControl* parent) {
    TKivoControl::SetParent(parent);
    Place();
}

void TKivoCustomEdit::SetShown(bool visible) {
    SetVisible(visible);
    Place();
}

// ---- Placing and focus ----

bool TKivoCustomEdit::ActiveInScene() {
    const TKivoControl* parent = Parent();
    return Visible() && parent != nullptr && parent->Visible() && Root().InPrimary(*this);
}

void TKivoCustomEdit::Place() {
    const bool shown = ActiveInScene();
    if (shown != fieldShown_) {
        fieldShown_ = shown;
        Changed();
    }
    if (fieldShown_ && !disabled_ && Root().FocusedControl() != this) Root().SetFocus(this);
}

bool TKivoCustomEdit::HasFieldFocus() const {
    return fieldShown_ && !disabled_ && Root().FocusedControl() == this;
}

void TKivoCustomEdit::FocusGained() {
    // The field takes the keys from here on: what the scene held down is forgotten.
    if (fieldShown_ && !disabled_) Root().Keys().Clear();
}

void TKivoCustomEdit::FireLeftDown(int32_t x, int32_t y) {
    if (fieldShown_ && !disabled_) {
        Root().SetFocus(this);
        PointAt(x, y, false);
        dragging_ = true;
    }
    TKivoControl::FireLeftDown(x, y);
}

void TKivoCustomEdit::FireMouseMove(int32_t x, int32_t y) {
    if (dragging_ && fieldShown_ && !disabled_) PointAt(x, y, true);
    TKivoControl::FireMouseMove(x, y);
}

void TKivoCustomEdit::FireLeftUp(int32_t x, int32_t y) {
    dragging_ = false;
    TKivoControl::FireLeftUp(x, y);
}

bool TKivoCustomEdit::Update() {
    if (TKivoControl::Update()) return true;
    if (ActiveInScene() != fieldShown_) Place();
    const bool caretOn = Root().State().gameClock / kCaretBlinkMs % 2 == 0;
    if (caretOn != caretOn_) {
        caretOn_ = caretOn;
        if (HasFieldFocus()) Changed();
    }
    return false;
}

void TKivoCustomEdit::Changed() {
    // The layer draws the scene under the field again; the field is painted over it after.
    if (fieldShown_) Invalidate();
}

// ---- Editing ----

size_t TKivoCustomEdit::PreviousChar(size_t position) const {
    if (position == 0) return 0;
    if (position >= 2 && text_.compare(position - 2, 2, "\r\n") == 0) return position - 2;
    size_t start = 0;
    for (size_t pos = 0; pos < position;) {
        start = pos;
        pos += sjis::CharLength(text_, pos);
    }
    return start;
}

size_t TKivoCustomEdit::NextChar(size_t position) const {
    if (position >= text_.size()) return text_.size();
    if (text_.compare(position, 2, "\r\n") == 0) return position + 2;
    return position + sjis::CharLength(text_, position);
}

void TKivoCustomEdit::EraseCharAt(size_t position) {
    const size_t end = NextChar(position);
    text_.erase(position, end - position);
    caret_ = anchor_ = position;
}

std::string TKivoCustomEdit::SelectedText() const {
    return text_.substr(SelectionStart(), SelectionEnd() - SelectionStart());
}

bool TKivoCustomEdit::EraseSelection() {
    if (anchor_ == caret_) return false;
    const size_t start = SelectionStart();
    text_.erase(start, SelectionEnd() - start);
    caret_ = anchor_ = start;
    return true;
}

std::string TKivoCustomEdit::CutSelection() {
    if (disabled_ || readOnly_) return {};
    std::string cut = SelectedText();
    if (EraseSelection()) {
        caretOn_ = true;
        Changed();
    }
    return cut;
}

void TKivoCustomEdit::KeyDown(int32_t vk, bool control, bool shift) {
    if (disabled_) return;
    if (!notifyHandler_.empty())
        PostEvent(kNotifyEvent, notifyHandler_, {std::to_string(vk), text_});
    const bool selected = anchor_ != caret_;
    switch (vk) {
        case kVkLeft:
            // Without shift the caret leaves a selection at its near edge, as text boxes do.
            caret_ = selected && !shift ? SelectionStart() : PreviousChar(caret_);
            break;
        case kVkRight:
            caret_ = selected && !shift ? SelectionEnd() : NextChar(caret_);
            break;
        case kVkHome:
        case kVkEnd: {
            if (control) {
                caret_ = vk == kVkHome ? 0 : text_.size();
                break;
            }
            // The lines are kept while the caret is set: they point into the text.
            const std::vector<std::pair<size_t, std::string_view>> lines = Lines();
            const auto& [start, line] = lines[LineOf(caret_)];
            caret_ = vk == kVkHome ? start : start + line.size();
            break;
        }
        case kVkUp:
        case kVkDown:
            if (multiLine_) MoveCaretVertically(vk == kVkUp ? -1 : 1);
            break;
        case kVkBack:
            if (!readOnly_ && !EraseSelection() && caret_ > 0) EraseCharAt(PreviousChar(caret_));
            break;
        case kVkDelete:
            if (!readOnly_ && !EraseSelection() && caret_ < text_.size()) EraseCharAt(caret_);
            break;
        case kVkReturn:
            // The edit swallows Enter; the memo breaks the line.
            if (multiLine_) Type("\r\n");
            break;
        case 'A':
            if (!control) return;
            anchor_ = 0;
            caret_ = text_.size();
            caretOn_ = true;
            Changed();
            return;
        default:
            return;
    }
    if (!shift) anchor_ = caret_;
    caretOn_ = true;
    Changed();
}

size_t TKivoCustomEdit::LineOf(size_t position) const {
    const std::vector<std::pair<size_t, std::string_view>> lines = Lines();
    size_t index = 0;
    while (index + 1 < lines.size() && lines[index + 1].first <= position)
        ++index;
    return index;
}

void TKivoCustomEdit::MoveCaretVertically(int direction) {
    const std::vector<std::pair<size_t, std::string_view>> lines = Lines();
    const size_t index = LineOf(caret_);
    const size_t column = sjis::CharCount(
        std::string_view(text_).substr(lines[index].first, caret_ - lines[index].first));
    if ((direction < 0 && index == 0) || (direction > 0 && index + 1 >= lines.size())) return;
    const auto& [start, line] = lines[direction < 0 ? index - 1 : index + 1];
    size_t pos = 0;
    for (size_t c = 0; c < column && pos < line.size(); ++c)
        pos += sjis::CharLength(line, pos);
    caret_ = start + pos;
}

void TKivoCustomEdit::Type(std::string_view text) {
    if (disabled_ || readOnly_) return;
    const std::string clean = CleanTyped(text, multiLine_);
    // Stops on a character boundary once the text would pass its limit.
    size_t take = 0;
    const size_t kept = text_.size() - (SelectionEnd() - SelectionStart());
    const size_t room = kMaxFieldTextBytes - std::min(kMaxFieldTextBytes, kept);
    while (take < clean.size()) {
        const size_t next =
            clean.compare(take, 2, "\r\n") == 0 ? take + 2 : take + sjis::CharLength(clean, take);
        if (next > room) break;
        take = next;
    }
    if (take == 0) return;
    (void)EraseSelection();
    text_.insert(caret_, clean, 0, take);
    caret_ += take;
    anchor_ = caret_;
    caretOn_ = true;
    Changed();
}

void TKivoCustomEdit::SetComposition(std::string composition) {
    if (composition == composition_) return;
    composition_ = std::move(composition);
    Changed();
}

// ---- Drawing ----

std::string_view TKivoCustomEdit::Face() const {
    return fontName_.empty() ? std::string_view(kPGothicFace) : std::string_view(fontName_);
}

int32_t TKivoCustomEdit::PixelSize() const {
    const int32_t height = FontHeight();
    return std::clamp(height == 0 ? 12 : height, kMinGlyphSize, kMaxGlyphSize);
}

std::vector<std::pair<size_t, std::string_view>> TKivoCustomEdit::Lines() const {
    std::vector<std::pair<size_t, std::string_view>> lines;
    const std::string_view text = text_;
    size_t start = 0;
    for (size_t i = 0; multiLine_ && i < text.size(); ++i) {
        if (text[i] != '\r' && text[i] != '\n') continue;
        lines.emplace_back(start, text.substr(start, i - start));
        if (text[i] == '\r' && i + 1 < text.size() && text[i + 1] == '\n') ++i;
        start = i + 1;
    }
    lines.emplace_back(start, text.substr(start));
    return lines;
}

int32_t TKivoCustomEdit::TextWidth(std::string_view text) {
    TFontPixelManager& glyphs = Root().Glyphs();
    glyphs.SetAntiAlias(3);
    int64_t width = 0;
    sjis::ForEachChar(text, [&](size_t pos, size_t) {
        width += glyphs.CellAdvance(sjis::CharCode(text, pos), Face(), fontStyle_, PixelSize());
    });
    return static_cast<int32_t>(std::min<int64_t>(width, std::numeric_limits<int32_t>::max()));
}

int32_t TKivoCustomEdit::LineShift(std::string_view line) {
    if (!multiLine_) return -scrollX_;
    const int32_t innerWidth = Width() - 2 * kMargin;
    if (align_ == 1) return innerWidth - TextWidth(line);
    if (align_ == 2) return (innerWidth - TextWidth(line)) / 2;
    return 0;
}

size_t TKivoCustomEdit::PositionInLine(size_t start, std::string_view line, int32_t x) {
    TFontPixelManager& glyphs = Root().Glyphs();
    glyphs.SetAntiAlias(3);
    int64_t edge = 0;
    for (size_t pos = 0; pos < line.size();) {
        const int32_t advance =
            glyphs.CellAdvance(sjis::CharCode(line, pos), Face(), fontStyle_, PixelSize());
        // A point on a character's left half goes before it.
        if (x < edge + advance / 2) return start + pos;
        edge += advance;
        pos += sjis::CharLength(line, pos);
    }
    return start + line.size();
}

void TKivoCustomEdit::PointAt(int32_t x, int32_t y, bool extend) {
    const std::vector<std::pair<size_t, std::string_view>> lines = Lines();
    size_t index = 0;
    if (multiLine_) {
        const int64_t row = (int64_t{y} - AbsTop() - kMargin) / PixelSize() + scrollLine_;
        index = static_cast<size_t>(std::clamp<int64_t>(row, 0, int64_t(lines.size()) - 1));
    }
    const auto& [start, line] = lines[index];
    const int64_t localX = int64_t{x} - AbsLeft() - kMargin - LineShift(line);
    const size_t position = PositionInLine(
        start, line,
        static_cast<int32_t>(std::clamp<int64_t>(localX, std::numeric_limits<int32_t>::min(),
                                                 std::numeric_limits<int32_t>::max())));
    if (position == caret_ && (extend || anchor_ == caret_)) return;
    caret_ = position;
    if (!extend) anchor_ = caret_;
    caretOn_ = true;
    Changed();
}

TRect TKivoCustomEdit::CaretRect() {
    const std::vector<std::pair<size_t, std::string_view>> lines = Lines();
    const size_t index = LineOf(caret_);
    const auto& [start, line] = lines[index];
    const int32_t size = PixelSize();
    const int32_t before = TextWidth(line.substr(0, caret_ - start));
    const int32_t lineWidth = TextWidth(line) + TextWidth(composition_);
    const int32_t inner = Width() - 2 * kMargin;
    int32_t shift = 0;
    if (multiLine_ && align_ == 1) shift = inner - lineWidth;
    if (multiLine_ && align_ == 2) shift = (inner - lineWidth) / 2;
    // The view follows the caret: a single line scrolls sideways, a memo by lines.
    if (!multiLine_) {
        const int32_t caretX = before + TextWidth(composition_);
        if (caretX - scrollX_ > inner - 1) scrollX_ = caretX - inner + 1;
        if (caretX - scrollX_ < 0) scrollX_ = caretX;
        shift = -scrollX_;
    } else {
        const int32_t visible = std::max(1, (Height() - 2 * kMargin) / size);
        const auto line32 = static_cast<int32_t>(index);
        if (line32 < scrollLine_) scrollLine_ = line32;
        if (line32 >= scrollLine_ + visible) scrollLine_ = line32 - visible + 1;
    }
    const int32_t x = AbsLeft() + kMargin + shift + before;
    const int32_t y = AbsTop() + kMargin + (static_cast<int32_t>(index) - scrollLine_) * size;
    return {x, y, x + 1, y + size};
}

void TKivoCustomEdit::DrawLine(TCustomDIBX& target, std::string_view text, int32_t x, int32_t y,
                               const TRect& clip, uint32_t colour, bool underline) {
    const int32_t size = PixelSize();
    const int32_t width = TextWidth(text);
    if (width <= 0 || Intersect(clip, {x, y, x + width, y + size}).IsEmpty()) return;
    TDIBX cells(width, size, 32);
    TDIBX mask(width, size, 8);
    TDrawContext(mask).Fill(0);
    TFontPixelManager& glyphs = Root().Glyphs();
    CellRequest request;
    request.face = Face();
    request.size = size;
    request.style = fontStyle_;
    request.antiAlias = 3;
    request.textPixel = cells.ColorToPixel(0xFFFFFF);
    int32_t cellX = 0;
    sjis::ForEachChar(text, [&](size_t pos, size_t) {
        request.code = sjis::CharCode(text, pos);
        glyphs.SetAntiAlias(3);
        const int32_t advance = glyphs.CellAdvance(request.code, request.face, fontStyle_, size);
        request.cell = {cellX, 0, cellX + advance, size};
        (void)glyphs.DrawCell(request, cells, mask);
        cellX += advance;
    });
    TDrawContext context(target, clip);
    context.FillMask(x, y, 255, colour, false, false, mask.ClientRect(), mask);
    if (underline) context.FillRect({x, y + size - 1, x + width, y + size}, colour);
}

void TKivoCustomEdit::PaintSelection(TCustomDIBX& target, size_t start, std::string_view line,
                                     int32_t x, int32_t y, const TRect& clip) {
    const size_t from = std::clamp(SelectionStart(), start, start + line.size());
    const size_t to = std::clamp(SelectionEnd(), start, start + line.size());
    if (from >= to) return;
    const int32_t left = x + TextWidth(line.substr(0, from - start));
    const int32_t right = left + TextWidth(line.substr(from - start, to - from));
    TDrawContext(target, clip)
        .FillRect({left, y, right, y + PixelSize()}, target.ColorToPixel(kSelectionColor));
}

void TKivoCustomEdit::Paint(TCustomDIBX& target) {
    const TRect area = Intersect(BoundsRect(), target.ClientRect());
    if (area.IsEmpty()) return;
    TDrawContext context(target, area);
    context.FillRect(area, target.ColorToPixel(Color() < 0 ? kWindowColor : Color()));
    const TRect inner = Intersect(area, {area.Left + kMargin, area.Top + kMargin,
                                         area.Right - kMargin, area.Bottom - kMargin});
    if (inner.IsEmpty()) return;
    const uint32_t ink = target.ColorToPixel(disabled_ ? kGrayText : std::max(fontColor_, 0));
    const TRect caret = CaretRect();
    const int32_t size = PixelSize();
    const int32_t innerWidth = Width() - 2 * kMargin;
    const std::vector<std::pair<size_t, std::string_view>> lines = Lines();
    for (size_t i = 0; i < lines.size(); ++i) {
        const auto& [start, line] = lines[i];
        const int32_t y = AbsTop() + kMargin + (static_cast<int32_t>(i) - scrollLine_) * size;
        const bool caretLine = caret_ >= start && caret_ <= start + line.size();
        const std::string_view before = caretLine ? line.substr(0, caret_ - start) : line;
        const std::string_view after = caretLine ? line.substr(caret_ - start) : std::string_view();
        int32_t x = AbsLeft() + kMargin;
        const int32_t lineWidth = TextWidth(line) + (caretLine ? TextWidth(composition_) : 0);
        if (!multiLine_) {
            x -= scrollX_;
        } else if (align_ == 1) {
            x += innerWidth - lineWidth;
        } else if (align_ == 2) {
            x += (innerWidth - lineWidth) / 2;
        }
        PaintSelection(target, start, line, x, y, inner);
        DrawLine(target, before, x, y, inner, ink, false);
        x += TextWidth(before);
        if (caretLine && !composition_.empty()) {
            DrawLine(target, composition_, x, y, inner, ink, true);
            x += TextWidth(composition_);
        }
        DrawLine(target, after, x, y, inner, ink, false);
    }
    if (HasFieldFocus() && caretOn_) {
        TRect bar = caret;
        bar.Left += TextWidth(composition_);
        bar.Right = bar.Left + 1;
        TDrawContext(target, inner).FillRect(bar, ink);
    }
}

// ---- Properties and save record ----

const PropertyMap& TKivoCustomEdit::ClassProperties() {
    static const PropertyMap map = [] {
        using E = TKivoCustomEdit;
        PropertyMap m = TKivoControl::ClassProperties();
        m[PR_TEXT] = Accessor<&E::Text, &E::SetText>();
        m[PR_FONTNAME] = Accessor<&E::FontName, &E::SetFontName>();
        m[PR_FONTHEIGHT] = Accessor<&E::FontHeight, &E::SetFontHeight>();
        m[PR_FONTSTYLE] = Accessor<&E::FontStyle, &E::SetFontStyle>();
        m[PR_FONTCOLOR] = Accessor<&E::FontColor, &E::SetFontColor>();
        m[PR_COLOR] = Accessor<&E::BackColor, &E::SetBackColor>();
        m[PR_READONLY] = Accessor<&E::ReadOnly, &E::SetReadOnly>();
        m[PR_PAUSED] = Accessor<&E::Paused, &E::SetPaused>();
        m[PR_ONNOTIFY] = Accessor<&E::NotifyHandler, &E::SetNotifyHandler>();
        m[PR_HANDLEKEY] = Accessor<&E::AlwaysHandlesKeys>();
        m[PR_VISIBLE] = Accessor<&E::Visible, &E::SetShown>();
        return m;
    }();
    return map;
}

const PropertyMap& TKivoMemo::ClassProperties() {
    static const PropertyMap map = [] {
        PropertyMap m = TKivoCustomEdit::ClassProperties();
        m[PR_HALIGN] = Accessor<&TKivoMemo::Alignment, &TKivoMemo::SetAlignment>();
        return m;
    }();
    return map;
}

void TKivoCustomEdit::Save(ByteWriter& writer) const {
    TKivoControl::Save(writer);
    writer.WriteBool(disabled_);
    writer.WriteCountedString(text_);
    writer.WriteCountedString(fontName_);
    writer.WriteI32(FontHeight());
    writer.WriteU8(fontStyle_);
    writer.WriteI32(fontColor_);
    writer.WriteI32(Color());
    writer.WriteBool(readOnly_);
    if (multiLine_) writer.WriteU8(align_);
    writer.WriteCountedString(notifyHandler_);
}

void TKivoCustomEdit::Load(ByteReader& reader, int32_t version) {
    TKivoControl::Load(reader, version);
    disabled_ = reader.ReadBool();
    text_ = reader.ReadCountedString();
    caret_ = anchor_ = text_.size();
    fontName_ = reader.ReadCountedString();
    fontHeight_ = reader.ReadI32();
    fontStyle_ = static_cast<uint8_t>(reader.ReadU8() & 0x0F);
    fontColor_ = reader.ReadI32();
    SetColor(reader.ReadI32());
    readOnly_ = reader.ReadBool();
    if (multiLine_) align_ = reader.ReadU8();
    notifyHandler_ = reader.ReadCountedString();
    Place();
}

// ---- What the shell calls ----

TKivoCustomEdit* FocusedTextField(TKivoBaseList& root) {
    auto* field = dynamic_cast<TKivoCustomEdit*>(root.FocusedControl());
    return field != nullptr && field->HasFieldFocus() ? field : nullptr;
}

std::string FieldTextFromUtf8(std::string_view utf8) {
    std::string text;
    for (size_t pos = 0; pos < utf8.size();) {
        const std::optional<uint32_t> decoded = sjis::NextUtf8(utf8, pos);
        if (!decoded) {
            ++pos;  // a broken sequence is skipped byte by byte
            continue;
        }
        uint32_t point = *decoded;
        for (const auto& [from, to] : kInputMethodMappings) {
            if (point == from) point = to;
        }
        const uint32_t code = point < 0x80 ? point : sjis::UnicodeToCode(point);
        if (code == 0) continue;
        if (code > 0xFF) text += static_cast<char>(code >> 8);
        text += static_cast<char>(code & 0xFF);
    }
    return text;
}

void TypeIntoTextField(TKivoBaseList& root, std::string_view utf8) {
    if (TKivoCustomEdit* field = FocusedTextField(root)) field->Type(FieldTextFromUtf8(utf8));
}

void SetTextFieldComposition(TKivoBaseList& root, std::string_view utf8) {
    if (TKivoCustomEdit* field = FocusedTextField(root))
        field->SetComposition(FieldTextFromUtf8(utf8));
}

bool TextFieldKeyDown(TKivoBaseList& root, int32_t vk, bool control, bool shift) {
    TKivoCustomEdit* field = FocusedTextField(root);
    if (field == nullptr) return false;
    field->KeyDown(vk, control, shift);
    return true;
}

std::string CopyFromTextField(TKivoBaseList& root, bool cut) {
    TKivoCustomEdit* field = FocusedTextField(root);
    if (field == nullptr) return {};
    return sjis::ToUtf8(cut ? field->CutSelection() : field->SelectedText());
}

void DrawTextFields(TKivoBaseList& root, std::vector<TRect>& dirty) {
    if (root.Transition() != nullptr) return;
    TDIBX& back = root.BackBuffer();
    for (int32_t i = 0; i < root.ObjectCount(); ++i) {
        auto* field = dynamic_cast<TKivoCustomEdit*>(&root.ObjectAt(i));
        if (field == nullptr || !field->FieldShown()) continue;
        const TRect area = Intersect(field->BoundsRect(), back.ClientRect());
        // Only where the layer drew again is the field's old picture gone.
        const bool redrawn = std::any_of(dirty.begin(), dirty.end(), [&](const TRect& r) {
            return !Intersect(r, area).IsEmpty();
        });
        if (!redrawn) continue;
        field->Paint(back);
        dirty.push_back(area);
    }
}

}  // namespace kivo
