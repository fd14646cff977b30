#include "scene/kivo_custom_list_box.h"

#include <algorithm>
#include <cmath>
#include <limits>

#include "imaging/draw_context.h"
#include "scene/alpha_paint.h"
#include "scene/kivo_base.h"
#include "scene/kivo_base_list.h"

namespace kivo {

namespace {

constexpr int32_t kKeyPageUp = 33;
constexpr int32_t kKeyPageDown = 34;
constexpr int32_t kKeyUp = 38;
constexpr int32_t kKeyDown = 40;

[[nodiscard]] int32_t Clamp32(int64_t value) {
    return static_cast<int32_t>(std::clamp<int64_t>(value, std::numeric_limits<int32_t>::min(),
                                                    std::numeric_limits<int32_t>::max()));
}

// The lines of a text: CR, LF and CR LF each end one.
std::vector<std::string> SplitLines(std::string_view text) {
    std::vector<std::string> lines;
    size_t start = 0;
    while (start < text.size()) {
        const size_t end = text.find_first_of("\r\n", start);
        if (end == std::string_view::npos) {
            lines.emplace_back(text.substr(start));
            break;
        }
        lines.emplace_back(text.substr(start, end - start));
        start = end + (text[end] == '\r' && end + 1 < text.size() && text[end + 1] == '\n' ? 2 : 1);
    }
    return lines;
}

// Where a tiled cell picture starts within an extent for its alignment: 0 from the start, 1
// centred, 2 at the end. A picture larger than the extent is placed the same way.
int32_t AlignShift(int32_t align, int32_t extent, int32_t size) {
    if (size <= 0 || extent <= 0) return 0;
    const bool smaller = size < extent;
    switch (align) {
        case 1:
            return smaller ? -((extent % size) / 2) : (extent - size) / 2;
        case 2:
            return smaller ? -(extent % size) : extent - size;
        default:
            return 0;
    }
}

// Rows of the strip height a style gives: the font with its border on both sides and shadow.
int64_t StyleRowHeight(const LabelStyle& style) {
    return 2 * int64_t{style.borderWidth} + style.fontHeight + style.shadowWidth;
}

}  // namespace

// ---- Held pictures ----

void TKivoCustomListBox::HeldPicture::Set(TKivoBaseList& root, ObjectHandle user,
                                          std::string name) {
    source = std::move(name);
    picture.reset();
    width = height = frame = time = 0;
    ControlPictureSource* pictures = root.Pictures();
    if (pictures == nullptr || source.empty()) return;
    picture = pictures->AcquireFor(user, source);
    if (picture == nullptr || picture->FrameCount() <= 0) {
        picture.reset();
        return;
    }
    width = std::max(0, picture->Width());
    height = std::max(0, picture->Height());
    time = picture->Frame(0).time;
}

PictureFrame TKivoCustomListBox::HeldPicture::Current() const {
    return picture != nullptr ? picture->Frame(frame) : PictureFrame{};
}

bool TKivoCustomListBox::HeldPicture::Animate(int32_t delta) {
    if (picture == nullptr || picture->FrameCount() < 2) return false;
    const int32_t before = frame;
    time -= delta;
    // Every frame shows at least 1 ms, so a long frame delta passes a bounded number of them.
    for (int32_t guard = 0; time < 1 && guard < picture->FrameCount(); ++guard) {
        frame = (frame + 1) % picture->FrameCount();
        time += std::max(1, picture->Frame(frame).time);
    }
    if (time < 1) time = 1;
    return frame != before;
}

// ---- Construction and items ----

TKivoCustomListBox::TKivoCustomListBox(TKivoBaseList& root)
    : TKivoControl(root), labels_(root.Glyphs()), hoverLabels_(root.Glyphs()) {
    SetColor(-1);
}

void TKivoCustomListBox::SetText(std::string text) {
    text_ = std::move(text);
    BuildItems();
    checks_.assign(items_.size(), 0);
    topIndex_ = 0;
    if (hovered_ >= Count()) hovered_ = -1;
    if (selectedIndex_ >= Count()) selectedIndex_ = -1;
    MarkLayoutNeeded();
}

std::vector<std::string> TKivoCustomListBox::ItemsOf(std::string_view text) {
    while (!text.empty() && static_cast<uint8_t>(text.front()) < 32)
        text.remove_prefix(1);
    while (!text.empty() && static_cast<uint8_t>(text.back()) < 32)
        text.remove_suffix(1);
    return SplitLines(text);
}

void TKivoCustomListBox::BuildItems() {
    items_ = ItemsOf(text_);
    labels_.Clear();
    hoverLabels_.Clear();
    for (const std::string& item : items_) {
        labels_.Add(item);
        hoverLabels_.Add(item);
    }
}

std::string TKivoCustomListBox::ItemText(int32_t index) const {
    return index >= 0 && index < Count() ? items_[static_cast<size_t>(index)] : std::string();
}

bool TKivoCustomListBox::Checked(int32_t index) const {
    return index >= 0 && index < Count() && checks_[static_cast<size_t>(index)] != 0;
}

void TKivoCustomListBox::SetChecked(int32_t index, bool checked) {
    if (index < 0 || index >= Count()) return;
    checks_[static_cast<size_t>(index)] = checked ? 1 : 0;
    Invalidate();
}

// ---- Properties ----

void TKivoCustomListBox::SetTopIndex(int32_t value) {
    const int32_t top = std::clamp(value, 0, std::max(0, ScrollRange()));
    if (top == topIndex_) return;
    topIndex_ = top;
    Invalidate();
}

void TKivoCustomListBox::SetAlpha(int32_t value) {
    if (value == alpha_) return;
    alpha_ = value;
    // The strips blend by the list box's alpha; additive values draw them opaque.
    for (const bool hover : {false, true}) {
        LabelStyle style = Style(hover);
        style.alpha = std::clamp(value, 0, 255);
        SetStyle(hover, style);
    }
    MarkLayoutNeeded();
}

void TKivoCustomListBox::SetItemAlign(int32_t value) {
    SetLayoutField(itemAlign_, static_cast<uint8_t>(value));
}

void TKivoCustomListBox::SetStyle(bool hover, const LabelStyle& style) {
    if (Style(hover) == style) return;
    Labels(hover).SetStyle(style);
    MarkLayoutNeeded();
}

const std::string& TKivoCustomListBox::CellSource(int32_t cell) const {
    return cells_[static_cast<size_t>(std::clamp(cell, 0, kCellCount - 1))].source;
}

void TKivoCustomListBox::SetCellSource(int32_t cell, std::string source) {
    if (cell < 0 || cell >= kCellCount) return;
    cells_[static_cast<size_t>(cell)].Set(Root(), Handle(), std::move(source));
    MarkLayoutNeeded();
}

int32_t TKivoCustomListBox::CellAlign(int32_t cell, bool vertical) const {
    if (cell < 0 || cell >= kCellCount) return 0;
    const Cell& c = cells_[static_cast<size_t>(cell)];
    return vertical ? c.valign : c.halign;
}

void TKivoCustomListBox::SetCellAlign(int32_t cell, bool vertical, int32_t align) {
    if (cell < 0 || cell >= kCellCount) return;
    Cell& c = cells_[static_cast<size_t>(cell)];
    SetLayoutField(vertical ? c.valign : c.halign, static_cast<uint8_t>(align));
}

void TKivoCustomListBox::SetScrollSource(std::string source) {
    scroll_.Set(Root(), Handle(), std::move(source));
    MarkLayoutNeeded();
}

void TKivoCustomListBox::SetCheckSource(std::string source) {
    check_.Set(Root(), Handle(), std::move(source));
    MarkLayoutNeeded();
}

void TKivoCustomListBox::SetPaused(bool paused) {
    if (paused == paused_) return;
    paused_ = paused;
    TKivoBaseList& root = Root();
    if (paused) {
        if (HoldsFocus()) root.DropFocus();
    } else if (root.FocusedControl() == nullptr) {
        root.RequestFocusRecompute();
    }
    Invalidate();
}

// ---- Layout and geometry ----

void TKivoCustomListBox::MarkLayoutNeeded() {
    layoutNeeded_ = true;
    Invalidate();
}

void TKivoCustomListBox::LayOutIfNeeded() {
    if (layoutNeeded_) LayOut();
}

TKivoCustomListBox::Frame TKivoCustomListBox::FrameExtents() const {
    const auto widest = [this](std::initializer_list<int> cells) {
        int32_t w = 0;
        for (int cell : cells)
            w = std::max(w, cells_[static_cast<size_t>(cell)].width);
        return w;
    };
    const auto tallest = [this](std::initializer_list<int> cells) {
        int32_t h = 0;
        for (int cell : cells)
            h = std::max(h, cells_[static_cast<size_t>(cell)].height);
        return h;
    };
    return {widest({0, 3, 6}), widest({2, 5, 8}), tallest({0, 1, 2}), tallest({6, 7, 8})};
}

int32_t TKivoCustomListBox::RowHeight() const {
    return Clamp32(std::max(StyleRowHeight(labels_.Style()), StyleRowHeight(hoverLabels_.Style())));
}

void TKivoCustomListBox::LayOut() {
    layoutNeeded_ = false;
    const Frame f = FrameExtents();
    const int64_t rows = std::max(0, std::min(rowCount_, Count()));
    int64_t widest = 0;
    for (size_t i = 0; i < items_.size(); ++i) {
        widest = std::max<int64_t>(widest, labels_.Strip(i).Width());
        widest = std::max<int64_t>(widest, hoverLabels_.Strip(i).Width());
    }
    const int64_t pieceWidth = scroll_.width / kScrollPieces;
    const int64_t checkWidth = check_.width / kCheckPieces;
    const bool scrolls = rowCount_ < Count();
    const int64_t border = borderWidth_;
    const int64_t width = widest + 2 * border + f.left + f.right + 2 * int64_t{marginX_} +
                          checkWidth + (scrolls ? pieceWidth : 0);
    const int64_t height = rows * RowHeight() + std::max<int64_t>(rows - 1, 0) * lineSpace_ +
                           2 * border + f.top + f.bottom + 2 * int64_t{marginY_};
    SetWidth(Clamp32(width));
    SetHeight(Clamp32(height));
}

TRect TKivoCustomListBox::Inner() const {
    const TRect b = BoundsRect();
    return {Clamp32(int64_t{b.Left} + borderWidth_), Clamp32(int64_t{b.Top} + borderWidth_),
            Clamp32(int64_t{b.Right} - borderWidth_), Clamp32(int64_t{b.Bottom} - borderWidth_)};
}

bool TKivoCustomListBox::ScrollBarShown() const {
    return rowCount_ < Count() && !Animating();
}

int32_t TKivoCustomListBox::ScrollRange() const {
    return Clamp32(int64_t{Count()} - rowCount_);
}

int32_t TKivoCustomListBox::TrackLength() const {
    const Frame f = FrameExtents();
    return Clamp32(int64_t{Height()} - 2 * int64_t{borderWidth_} - f.top - f.bottom -
                   3 * int64_t{scroll_.height});
}

TKivoCustomListBox::ScrollBar TKivoCustomListBox::ScrollBarRects() const {
    const TRect in = Inner();
    const Frame f = FrameExtents();
    const int32_t sw = scroll_.width / kScrollPieces, sh = scroll_.height;
    const int32_t x = Clamp32(int64_t{in.Right} - f.right - sw);
    const int32_t top = Clamp32(int64_t{in.Top} + f.top);
    const int32_t bottom = Clamp32(int64_t{in.Bottom} - f.bottom);
    const int32_t range = ScrollRange();
    const int64_t travel = range < 1 ? 0 : int64_t{TrackLength()} * topIndex_ / range;
    const int32_t thumbTop = Clamp32(int64_t{top} + sh + travel);
    ScrollBar bar;
    bar.upArrow = {x, top, x + sw, Clamp32(int64_t{top} + sh)};
    bar.downArrow = {x, Clamp32(int64_t{bottom} - sh), x + sw, bottom};
    bar.thumb = {x, thumbTop, x + sw, Clamp32(int64_t{thumbTop} + sh)};
    bar.upperTrack = {x, bar.upArrow.Bottom, x + sw, thumbTop};
    bar.lowerTrack = {x, bar.thumb.Bottom, x + sw, bar.downArrow.Top};
    return bar;
}

int32_t TKivoCustomListBox::ItemAt(int32_t x, int32_t y) const {
    const TRect in = Inner();
    const Frame f = FrameExtents();
    const int64_t scrollWidth = rowCount_ < Count() ? scroll_.width / kScrollPieces : 0;
    const int64_t y0 = int64_t{in.Top} + f.top + marginY_;
    const int64_t reach = std::min(lineSpace_ / 2, marginY_);
    const int64_t left = int64_t{in.Left} + f.left;
    const int64_t right = int64_t{in.Right} - f.right - scrollWidth;
    const int64_t top = y0 - reach;
    const int64_t bottom = int64_t{in.Bottom} - f.bottom - marginY_ + reach;
    if (x < left || x >= right || y < top || y >= bottom) return -1;
    // The rows whose starts (half the line space above their tops) lie at or above the point;
    // the last of them holds it. The count never reaches past the last item.
    const int64_t pitch = int64_t{RowHeight()} + lineSpace_;
    const int64_t lastRow = std::min<int64_t>(rowCount_, int64_t{Count()} - topIndex_) - 1;
    if (lastRow < 0) return -1;
    int64_t row = 0;
    if (pitch > 0) {
        const int64_t below = y - (y0 - lineSpace_ / 2);
        row = below < 0 ? 0 : std::min(below / pitch, lastRow);
    } else {
        row = lastRow;
    }
    const int64_t item = topIndex_ + row;
    return item >= 0 && item < Count() ? static_cast<int32_t>(item) : -1;
}

TRect TKivoCustomListBox::CellRect(int32_t cell, const Frame& f) const {
    const TRect in = Inner();
    const Cell& c = cells_[static_cast<size_t>(cell)];
    const int32_t column = cell % 3, row = cell / 3;
    int64_t left = 0, right = 0, top = 0, bottom = 0;
    switch (column) {
        case 0:
            left = int64_t{in.Left} + f.left - c.width;
            right = int64_t{in.Left} + f.left;
            break;
        case 1:
            left = int64_t{in.Left} + f.left;
            right = int64_t{in.Right} - f.right;
            break;
        default:
            left = int64_t{in.Right} - f.right;
            right = left + c.width;
            break;
    }
    switch (row) {
        case 0:
            top = int64_t{in.Top} + f.top - c.height;
            bottom = int64_t{in.Top} + f.top;
            break;
        case 1:
            top = int64_t{in.Top} + f.top;
            bottom = int64_t{in.Bottom} - f.bottom;
            break;
        default:
            // A list box lower than its top row has no room for the bottom one.
            if (in.Height() < f.top) return {};
            top = int64_t{in.Bottom} - f.bottom;
            bottom = top + c.height;
            break;
    }
    if (cell == 4 && rowCount_ < Count()) right -= scroll_.width / kScrollPieces;
    top = std::max<int64_t>(top, in.Top);
    bottom = std::min<int64_t>(bottom, in.Bottom);
    return {Clamp32(left), Clamp32(top), Clamp32(right), Clamp32(bottom)};
}

// ---- Input ----

void TKivoCustomListBox::SetHovered(int32_t item) {
    if (item >= Count()) item = -1;
    if (item < 0) item = -1;
    if (item == hovered_) return;
    if (item < 0) {
        PostEvent(PR_ONMAPOUT, mapOutHandler_, {ItemText(hovered_), std::to_string(hovered_)},
                  true);
        hovered_ = -1;
        selectedIndex_ = -1;
    } else {
        PostEvent(PR_ONMAPIN, mapInHandler_, {ItemText(item), std::to_string(item)}, true);
        hovered_ = item;
    }
    Invalidate();
}

void TKivoCustomListBox::Select() {
    if (hovered_ < 0 || hovered_ >= Count()) return;
    selectedIndex_ = hovered_;
    const std::string text = ItemText(hovered_);
    Root().SetSelection(text, hovered_);
    PostEvent(PR_ONSELECT, selectHandler_, {text, std::to_string(hovered_)}, true);
}

void TKivoCustomListBox::FireLeftDown(int32_t x, int32_t y) {
    if (paused_) {
        TKivoControl::FireLeftDown(x, y);
        return;
    }
    LayOutIfNeeded();
    press_ = Press::Item;
    if (ScrollBarShown()) {
        const ScrollBar bar = ScrollBarRects();
        if (bar.thumb.Contains(x, y)) {
            press_ = Press::Thumb;
            dragOffset_ = Clamp32(int64_t{y} - bar.thumb.Top - scroll_.height / 2);
        } else if (bar.upArrow.Contains(x, y)) {
            press_ = Press::UpArrow;
        } else if (bar.downArrow.Contains(x, y)) {
            press_ = Press::DownArrow;
        } else if (bar.upperTrack.Contains(x, y)) {
            press_ = Press::PageUp;
        } else if (bar.lowerTrack.Contains(x, y)) {
            press_ = Press::PageDown;
        }
    }
    ConsumePress(true);
    CaptureLeft();
    if (press_ != Press::Thumb && press_ != Press::Item) {
        onPart_ = true;
        StepHeldPart();
        repeatTimer_ = kRepeatDelayMs;
        lastClock_ = Root().State().gameClock;
    }
    Invalidate();
}

void TKivoCustomListBox::FireLeftUp(int32_t x, int32_t y) {
    if (paused_) {
        TKivoControl::FireLeftUp(x, y);
        return;
    }
    if (!Busy() && press_ == Press::Item && hovered_ >= 0) Select();
    press_ = Press::None;
    onPart_ = false;
    Invalidate();
}

void TKivoCustomListBox::FireMouseMove(int32_t x, int32_t y) {
    if (paused_) {
        TKivoControl::FireMouseMove(x, y);
        return;
    }
    if (press_ == Press::Thumb) {
        const int32_t length = TrackLength();
        // A track with no length has no position to follow.
        if (length <= 0) return;
        const Frame f = FrameExtents();
        const int64_t trackStart =
            int64_t{AbsTop()} + borderWidth_ + f.top + scroll_.height + scroll_.height / 2;
        const double travel = static_cast<double>(int64_t{y} - dragOffset_ - trackStart);
        const double top = std::nearbyint(ScrollRange() * travel / length);
        SetTopIndex(static_cast<int32_t>(std::clamp(top, 0.0, static_cast<double>(ScrollRange()))));
    } else if (press_ == Press::Item || press_ == Press::None) {
        SetHovered(ItemAt(x, y));
        TKivoControl::FireMouseMove(x, y);
    }
}

void TKivoCustomListBox::FireMouseOut() {
    if (!paused_ && IgnoreMouse() != 1) SetHovered(-1);
    TKivoControl::FireMouseOut();
}

bool TKivoCustomListBox::OnHeldPart(int32_t x, int32_t y) const {
    const ScrollBar bar = ScrollBarRects();
    switch (press_) {
        case Press::UpArrow:
            return bar.upArrow.Contains(x, y);
        case Press::DownArrow:
            return bar.downArrow.Contains(x, y);
        case Press::PageUp:
            return bar.upperTrack.Contains(x, y);
        case Press::PageDown:
            return bar.lowerTrack.Contains(x, y);
        case Press::None:
        case Press::Thumb:
        case Press::Item:
            return false;
    }
    return false;
}

void TKivoCustomListBox::StepHeldPart() {
    switch (press_) {
        case Press::UpArrow:
            SetTopIndex(topIndex_ - 1);
            break;
        case Press::DownArrow:
            if (int64_t{topIndex_} + rowCount_ < Count()) SetTopIndex(topIndex_ + 1);
            break;
        case Press::PageUp:
            SetTopIndex(Clamp32(int64_t{topIndex_} - rowCount_));
            break;
        case Press::PageDown:
            SetTopIndex(Clamp32(std::min<int64_t>(int64_t{topIndex_} + rowCount_, ScrollRange())));
            break;
        case Press::None:
        case Press::Thumb:
        case Press::Item:
            break;
    }
}

void TKivoCustomListBox::Drag(int32_t x, int32_t y) {
    if (press_ == Press::None || press_ == Press::Thumb || press_ == Press::Item) return;
    const bool onPart = OnHeldPart(x, y);
    if (onPart != onPart_) {
        onPart_ = onPart;
        Invalidate();
    }
    const int32_t now = Root().State().gameClock;
    repeatTimer_ = Clamp32(int64_t{repeatTimer_} - (int64_t{now} - lastClock_));
    lastClock_ = now;
    if (repeatTimer_ > 0) return;
    repeatTimer_ += kRepeatIntervalMs;
    if (onPart_) StepHeldPart();
}

void TKivoCustomListBox::FireKeyRepeat() {
    const KeyboardState& keys = Root().Keys();
    const int32_t count = Count();
    const int32_t last = count - 1;
    int32_t next = hovered_;
    if (count > 0) {
        if (keys.Repeating(kKeyUp)) {
            next = hovered_ > 0 ? hovered_ - 1 : hovered_ < 0 ? last : hovered_;
        } else if (keys.Repeating(kKeyDown)) {
            next = hovered_ < 0 ? 0 : hovered_ < last ? hovered_ + 1 : hovered_;
        } else if (keys.Repeating(kKeyPageUp)) {
            next = hovered_ > 0   ? Clamp32(std::max<int64_t>(0, int64_t{hovered_} - rowCount_))
                   : hovered_ < 0 ? last
                                  : hovered_;
        } else if (keys.Repeating(kKeyPageDown)) {
            next =
                hovered_ < 0 ? 0 : Clamp32(std::min<int64_t>(last, int64_t{hovered_} + rowCount_));
        }
    }
    if (next != hovered_) {
        SetHovered(next);
        ScrollToHovered();
    }
    TKivoControl::FireKeyRepeat();
}

void TKivoCustomListBox::ScrollToHovered() {
    if (hovered_ < 0) return;
    if (hovered_ < topIndex_) {
        SetTopIndex(hovered_);
    } else if (int64_t{hovered_} >= int64_t{topIndex_} + rowCount_) {
        SetTopIndex(Clamp32(int64_t{hovered_} - rowCount_ + 1));
    }
}

// ---- Frame work ----

bool TKivoCustomListBox::Update() {
    LayOutIfNeeded();
    const int32_t delta = Root().State().frameDelta;
    TKivoBase* layer = Layer();
    const Frame f = FrameExtents();
    for (int32_t cell = 0; cell < kCellCount; ++cell) {
        if (cells_[static_cast<size_t>(cell)].Animate(delta) && layer != nullptr && Visible()) {
            layer->AddDirty(CellRect(cell, f));
        }
    }
    return TKivoControl::Update();
}

void TKivoCustomListBox::Draw(TDrawContext& context) {
    LayOutIfNeeded();
    const TRect bounds = BoundsRect();
    const TRect area = Intersect(context.DrawingRect(), bounds);
    if (alpha_ > 0 && Width() > 0 && Height() > 0 && !area.IsEmpty()) {
        // Rows and cells never reach past the list box, even while a menu grows.
        const std::optional<TRect> outer = context.ClipRect();
        context.SetClipRect(area);
        const Frame f = FrameExtents();
        DrawFrame(context);
        DrawCells(context, f);
        if (ScrollBarShown()) DrawScrollBar(context);
        DrawRows(context, f);
        if (outer) {
            context.SetClipRect(*outer);
        } else {
            context.ResetClip();
        }
    }
    TKivoControl::Draw(context);
}

void TKivoCustomListBox::DrawFrame(TDrawContext& context) {
    if (borderWidth_ > 0 && borderColor_ != -1 && Height() >= borderWidth_) {
        FrameRectByAlpha(context, BoundsRect(), borderWidth_, borderColor_, alpha_);
    }
    if (Color() != -1) FillRectByAlpha(context, Inner(), Color(), alpha_);
}

void TKivoCustomListBox::DrawCells(TDrawContext& context, const Frame& f) {
    for (int32_t cell = 0; cell < kCellCount; ++cell) {
        const Cell& c = cells_[static_cast<size_t>(cell)];
        if (c.picture == nullptr) continue;
        const TRect rect = CellRect(cell, f);
        if (rect.IsEmpty()) continue;
        const bool middleColumn = cell % 3 == 1, middleRow = cell / 3 == 1;
        const int32_t shiftX = middleColumn ? AlignShift(c.halign, rect.Width(), c.width) : 0;
        const int32_t shiftY = middleRow ? AlignShift(c.valign, rect.Height(), c.height) : 0;
        TilePicturePiece(context, c.Current(), {0, 0, c.width, c.height}, rect, shiftX, shiftY,
                         alpha_);
    }
}

void TKivoCustomListBox::DrawScrollBar(TDrawContext& context) {
    if (scroll_.picture == nullptr) return;
    const ScrollBar bar = ScrollBarRects();
    const PictureFrame frame = scroll_.Current();
    const auto piece = [this](int32_t n) {
        return StripPiece(scroll_.width, scroll_.height, kScrollPieces, n);
    };
    const auto held = [this](Press part) { return press_ == part && onPart_; };
    DrawPicturePiece(context, frame, piece(held(Press::UpArrow) ? 1 : 0), bar.upArrow.Left,
                     bar.upArrow.Top, alpha_);
    DrawPicturePiece(context, frame, piece(held(Press::DownArrow) ? 3 : 2), bar.downArrow.Left,
                     bar.downArrow.Top, alpha_);
    // Both tracks continue one pattern that starts below the up arrow.
    TilePicturePiece(context, frame, piece(held(Press::PageUp) ? 5 : 4), bar.upperTrack, 0, 0,
                     alpha_);
    TilePicturePiece(context, frame, piece(held(Press::PageDown) ? 5 : 4), bar.lowerTrack, 0,
                     Clamp32(int64_t{bar.upperTrack.Top} - bar.lowerTrack.Top), alpha_);
    DrawPicturePiece(context, frame, piece(6), bar.thumb.Left, bar.thumb.Top, alpha_);
}

void TKivoCustomListBox::DrawRows(TDrawContext& context, const Frame& f) {
    const TRect in = Inner();
    const int32_t checkWidth = check_.width / kCheckPieces;
    const int64_t scrollWidth = rowCount_ < Count() ? scroll_.width / kScrollPieces : 0;
    const int64_t x0 = int64_t{in.Left} + f.left + marginX_ + checkWidth;
    const int64_t y0 = int64_t{in.Top} + f.top + marginY_;
    const int64_t textWidth = int64_t{in.Right} - f.right - marginX_ - x0 - scrollWidth;
    const int64_t rowHeight = RowHeight();
    const int64_t reach = std::min(lineSpace_ / 2, marginY_);
    const int32_t barColor = HoverBarColor();
    const TRect drawing = context.DrawingRect();
    for (int64_t row = 0; row < rowCount_ && topIndex_ + row < Count(); ++row) {
        const int32_t item = static_cast<int32_t>(topIndex_ + row);
        const int64_t rowTop = y0 + row * (rowHeight + lineSpace_);
        if (rowTop - reach >= drawing.Bottom) break;
        if (rowTop + rowHeight + reach <= drawing.Top) continue;
        const bool hovered = item == hovered_;
        if (hovered && barColor != -1) {
            const int64_t barLeft = int64_t{in.Left} + f.left + 1;
            const int64_t barWidth = 2 * int64_t{marginX_} + textWidth + checkWidth - 2;
            FillRectByAlpha(context,
                            {Clamp32(barLeft), Clamp32(rowTop - reach), Clamp32(barLeft + barWidth),
                             Clamp32(rowTop + rowHeight + reach)},
                            barColor, alpha_);
        }
        TTpLabelList& list = hovered ? hoverLabels_ : labels_;
        const int64_t labelWidth = list.Strip(static_cast<size_t>(item)).Width();
        int64_t x = x0;
        if (itemAlign_ == 1) x += (textWidth - labelWidth) / 2;
        if (itemAlign_ == 2) x += textWidth - labelWidth;
        list.Draw(static_cast<size_t>(item), context, Clamp32(x), Clamp32(rowTop));
        if (Checked(item) && check_.picture != nullptr) {
            DrawPicturePiece(context, check_.Current(),
                             StripPiece(check_.width, check_.height, kCheckPieces, hovered ? 1 : 0),
                             Clamp32(x0 - checkWidth),
                             Clamp32(rowTop + (rowHeight - check_.height) / 2), alpha_);
        }
    }
}

// ---- Property map ----

namespace {

using ListBox = TKivoCustomListBox;

[[nodiscard]] const ListBox& AsList(const TKivoObject& object) {
    return static_cast<const ListBox&>(object);
}
[[nodiscard]] ListBox& AsList(TKivoObject& object) {
    return static_cast<ListBox&>(object);
}

// A style field of one label list (or of both, for the font name and height).
enum class Lists { Normal, Hover, Both };

template <auto Field, Lists Which>
PropertyAccess StyleField() {
    PropertyAccess access;
    access.get = [](const TKivoObject& o, int32_t) -> PropertyValue {
        return AsList(o).Style(Which == Lists::Hover).*Field;
    };
    access.set = [](TKivoObject& o, const PropertyValue& v, int32_t) {
        using T = std::remove_cvref_t<decltype(LabelStyle{}.*Field)>;
        for (const bool hover : {false, true}) {
            if ((Which == Lists::Normal && hover) || (Which == Lists::Hover && !hover)) continue;
            LabelStyle style = AsList(o).Style(hover);
            if constexpr (std::is_same_v<T, std::string>) {
                style.*Field = std::get<std::string>(v);
            } else {
                // Style sets keep their four bits: bold, italic, underline, strike-out.
                const int32_t value = std::get<int32_t>(v);
                style.*Field = static_cast<T>(std::is_same_v<T, uint8_t> ? value & 0x0F : value);
            }
            AsList(o).SetStyle(hover, style);
        }
    };
    return access;
}

PropertyMap BuildListBoxMap() {
    PropertyMap m = TKivoControl::ClassProperties();
    m[PR_TEXT] = Accessor<&ListBox::Text, &ListBox::SetText>();
    m[PR_COUNT] = Accessor<&ListBox::Count>();
    m[PR_INDEX] = Accessor<&ListBox::SelectedIndex>();
    m[PR_LINESPACE] = Accessor<&ListBox::LineSpace, &ListBox::SetLineSpace>();
    m[PR_ALPHA] = Accessor<&ListBox::Alpha, &ListBox::SetAlpha>();
    m[PR_MARGINX] = Accessor<&ListBox::MarginX, &ListBox::SetMarginX>();
    m[PR_MARGINY] = Accessor<&ListBox::MarginY, &ListBox::SetMarginY>();
    m[PR_BORDERWIDTH] = Accessor<&ListBox::BorderWidth, &ListBox::SetBorderWidth>();
    m[PR_BORDERCOLOR] = Accessor<&ListBox::BorderColor, &ListBox::SetBorderColor>();
    m[PR_ROWCOUNT] = Accessor<&ListBox::RowCount, &ListBox::SetRowCount>();
    m[PR_TOPINDEX] = Accessor<&ListBox::TopIndex, &ListBox::SetTopIndex>();
    m[PR_HALIGN] = Accessor<&ListBox::ItemAlign, &ListBox::SetItemAlign>();
    m[PR_SCROLLSOURCE] = Accessor<&ListBox::ScrollSource, &ListBox::SetScrollSource>();
    m[PR_CHECKSOURCE] = Accessor<&ListBox::CheckSource, &ListBox::SetCheckSource>();
    m[PR_PAUSED] = Accessor<&ListBox::Paused, &ListBox::SetPaused>();
    m[PR_ONIDLE] = Accessor<&ListBox::IdleHandler, &ListBox::SetIdleHandler>();
    m[PR_ONSELECT] = Accessor<&ListBox::SelectHandler, &ListBox::SetSelectHandler>();
    m[PR_ONMAPIN] = Accessor<&ListBox::MapInHandler, &ListBox::SetMapInHandler>();
    m[PR_ONMAPOUT] = Accessor<&ListBox::MapOutHandler, &ListBox::SetMapOutHandler>();

    m[PR_FONTNAME] = StyleField<&LabelStyle::face, Lists::Both>();
    m[PR_FONTHEIGHT] = StyleField<&LabelStyle::fontHeight, Lists::Both>();
    m[PR_FONTSTYLE] = StyleField<&LabelStyle::style, Lists::Normal>();
    m[PR_FONTCOLOR] = StyleField<&LabelStyle::color, Lists::Normal>();
    m[PR_FONTBORDERCOLOR] = StyleField<&LabelStyle::borderColor, Lists::Normal>();
    m[PR_FONTSHADOWCOLOR] = StyleField<&LabelStyle::shadowColor, Lists::Normal>();
    m[PR_FONTBORDER] = StyleField<&LabelStyle::borderWidth, Lists::Normal>();
    m[PR_FONTSHADOW] = StyleField<&LabelStyle::shadowWidth, Lists::Normal>();
    m[PR_FONTHOVERSTYLE] = StyleField<&LabelStyle::style, Lists::Hover>();
    m[PR_FONTHOVERCOLOR] = StyleField<&LabelStyle::color, Lists::Hover>();
    m[PR_FONTHOVERBORDER] = StyleField<&LabelStyle::borderWidth, Lists::Hover>();
    m[PR_FONTHOVERBORDERCOLOR] = StyleField<&LabelStyle::borderColor, Lists::Hover>();
    m[PR_FONTHOVERSHADOW] = StyleField<&LabelStyle::shadowWidth, Lists::Hover>();
    m[PR_FONTHOVERSHADOWCOLOR] = StyleField<&LabelStyle::shadowColor, Lists::Hover>();
    m[PR_ANTIALIAS].get = [](const TKivoObject& o, int32_t) -> PropertyValue {
        return AsList(o).Style(false).antiAlias != 0;
    };
    m[PR_ANTIALIAS].set = [](TKivoObject& o, const PropertyValue& v, int32_t) {
        // Smooth text is the finest level the glyph cache draws.
        LabelStyle style = AsList(o).Style(false);
        style.antiAlias = std::get<bool>(v) ? 3 : 0;
        AsList(o).SetStyle(false, style);
    };

    for (int32_t cell = 0; cell < ListBox::kCellCount; ++cell) {
        PropertyAccess& access = m[PR_BORDERSOURCETL + cell];
        access.cell = cell;
        access.get = [](const TKivoObject& o, int32_t c) -> PropertyValue {
            return AsList(o).CellSource(c);
        };
        access.set = [](TKivoObject& o, const PropertyValue& v, int32_t c) {
            AsList(o).SetCellSource(c, std::get<std::string>(v));
        };
    }
    // The horizontal alignments of the middle column and the vertical ones of the middle row.
    constexpr std::array<std::pair<PropertyId, int32_t>, 3> kHorizontal{
        {{PR_BORDERHALIGNT, 1}, {PR_BORDERHALIGNC, 4}, {PR_BORDERHALIGNB, 7}}};
    constexpr std::array<std::pair<PropertyId, int32_t>, 3> kVertical{
        {{PR_BORDERVALIGNL, 3}, {PR_BORDERVALIGNC, 4}, {PR_BORDERVALIGNR, 5}}};
    for (const auto& [id, cell] : kHorizontal) {
        m[id].cell = cell;
        m[id].get = [](const TKivoObject& o, int32_t c) -> PropertyValue {
            return AsList(o).CellAlign(c, false);
        };
        m[id].set = [](TKivoObject& o, const PropertyValue& v, int32_t c) {
            AsList(o).SetCellAlign(c, false, std::get<int32_t>(v));
        };
    }
    for (const auto& [id, cell] : kVertical) {
        m[id].cell = cell;
        m[id].get = [](const TKivoObject& o, int32_t c) -> PropertyValue {
            return AsList(o).CellAlign(c, true);
        };
        m[id].set = [](TKivoObject& o, const PropertyValue& v, int32_t c) {
            AsList(o).SetCellAlign(c, true, std::get<int32_t>(v));
        };
    }
    return m;
}

}  // namespace

const PropertyMap& TKivoCustomListBox::ClassProperties() {
    static const PropertyMap map = BuildListBoxMap();
    return map;
}

// ---- Save record ----

void TKivoCustomListBox::Save(ByteWriter& writer) const {
    TKivoControl::Save(writer);
    // Saving the styles measures nothing; the lists are only read.
    const_cast<TTpLabelList&>(labels_).SaveStyle(writer);
    const_cast<TTpLabelList&>(hoverLabels_).SaveStyle(writer);
    writer.WriteCountedString(text_);
    for (int32_t value :
         {lineSpace_, alpha_, marginX_, marginY_, borderWidth_, borderColor_, rowCount_}) {
        writer.WriteI32(value);
    }
    for (const Cell& cell : cells_) {
        writer.WriteCountedString(cell.source);
        writer.WriteU8(cell.halign);
        writer.WriteU8(cell.valign);
    }
    writer.WriteCountedString(scroll_.source);
    writer.WriteCountedString(check_.source);
    writer.WriteI32(topIndex_);
    writer.WriteU8(itemAlign_);
    for (uint8_t check : checks_)
        writer.WriteU8(check);
    writer.WriteCountedString(selectHandler_);
    writer.WriteBool(paused_);
    writer.WriteI32(selectedIndex_);
    writer.WriteI32(Phase());
    writer.WriteCountedString(idleHandler_);
    writer.WriteCountedString(mapInHandler_);
    writer.WriteCountedString(mapOutHandler_);
}

void TKivoCustomListBox::Load(ByteReader& reader, int32_t version) {
    TKivoControl::Load(reader, version);
    labels_.LoadStyle(reader, version);
    hoverLabels_.LoadStyle(reader, version);
    SetText(reader.ReadCountedString());
    for (int32_t* field :
         {&lineSpace_, &alpha_, &marginX_, &marginY_, &borderWidth_, &borderColor_, &rowCount_}) {
        *field = reader.ReadI32();
    }
    for (int32_t cell = 0; cell < kCellCount; ++cell) {
        SetCellSource(cell, reader.ReadCountedString());
        Cell& c = cells_[static_cast<size_t>(cell)];
        c.halign = reader.ReadU8();
        c.valign = reader.ReadU8();
    }
    SetScrollSource(reader.ReadCountedString());
    SetCheckSource(reader.ReadCountedString());
    const int32_t top = reader.ReadI32();
    // Old records keep a byte here that nothing reads any more.
    if (version < kSaveVersionSubPriority) (void)reader.ReadU8();
    itemAlign_ = reader.ReadU8();
    for (uint8_t& check : checks_)
        check = reader.ReadU8() != 0 ? 1 : 0;
    selectHandler_ = reader.ReadCountedString();
    paused_ = reader.ReadBool();
    selectedIndex_ = reader.ReadI32();
    if (selectedIndex_ < -1 || selectedIndex_ >= Count()) selectedIndex_ = -1;
    SetPhase(reader.ReadI32());
    if (version > kSaveVersionPlus) idleHandler_ = reader.ReadCountedString();
    if (version >= kSaveVersionMapHandlers) {
        mapInHandler_ = reader.ReadCountedString();
        mapOutHandler_ = reader.ReadCountedString();
    }
    LayOut();
    topIndex_ = std::clamp(top, 0, std::max(0, ScrollRange()));
}

}  // namespace kivo
