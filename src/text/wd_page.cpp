#include "text/wd_page.h"

#include <algorithm>

#include "base/error.h"
#include "imaging/draw_context.h"
#include "text/text_math.h"
#include "text/tp_word.h"

namespace kivo {
namespace {

// Text surfaces are never made larger than this on a side, whatever a stored box size says.
constexpr int32_t kMaxSurfaceSide = 16384;
constexpr int64_t kBudgetLimit = int64_t{1} << 62;

}  // namespace

TWdPage::TWdPage(TTpWord& word) : TWdComposite(word) {}

int32_t TWdPage::Width() const {
    return Word().settings.layoutWidth;
}

TWdRow* TWdPage::Row(size_t index) const {
    return index < children_.size() ? static_cast<TWdRow*>(children_[index]) : nullptr;
}

TWdRow& TWdPage::AddRow(std::unique_ptr<TWdRow> row) {
    TWdRow& added = *row;
    Own(std::move(row));
    return added;
}

void TWdPage::DropLastRow() {
    if (children_.empty()) return;
    TWdGlyph* last = children_.back();
    children_.pop_back();
    std::erase_if(owned_, [last](const auto& owned) { return owned.get() == last; });
}

std::vector<std::unique_ptr<TWdRow>> TWdPage::TakeRows() {
    std::vector<std::unique_ptr<TWdRow>> rows;
    for (TWdGlyph* child : children_) {
        auto owned = std::find_if(owned_.begin(), owned_.end(),
                                  [child](const auto& o) { return o.get() == child; });
        if (owned == owned_.end()) continue;
        owned->release();
        child->SetParent(nullptr);
        rows.emplace_back(static_cast<TWdRow*>(child));
    }
    children_.clear();
    owned_.clear();
    hovered_ = nullptr;
    return rows;
}

void TWdPage::Arrange() {
    int32_t bottom = 0;
    for (TWdGlyph* child : children_) {
        auto* row = static_cast<TWdRow*>(child);
        row->Arrange();
        bottom = std::max(bottom, text_math::Add(row->Y(), row->Height()));
    }
    SetBounds(0, 0, Width(), bottom);
}

int32_t TWdPage::PageScreenX() const {
    return Word().settings.originX;
}

int32_t TWdPage::PageScreenY() const {
    const TextBoxSettings& s = Word().settings;
    return s.paging ? s.originY : text_math::Add(s.originY, -int64_t{scroll_});
}

std::vector<TWdGlyph*> TWdPage::Glyphs() const {
    std::vector<TWdGlyph*> glyphs;
    for (TWdGlyph* row : children_) {
        const auto& rowGlyphs = static_cast<TWdRow*>(row)->Children();
        glyphs.insert(glyphs.end(), rowGlyphs.begin(), rowGlyphs.end());
    }
    return glyphs;
}

// ---- Drawing -----------------------------------------------------------------------------------

void TWdPage::RenderPage() {
    int32_t width = std::clamp(Word().settings.layoutWidth, 0, kMaxSurfaceSide);
    int32_t height = std::clamp(Height(), 0, kMaxSurfaceSide);
    TDIBX& colour = Word().TextSurface();
    TDIBX& mask = Word().MaskSurface();
    try {
        colour.SetSize(width, height, 32);
        mask.SetSize(width, height, 8);
    } catch (const KivoError&) {
        // A box too large for its pictures (a script's or a saved game's size) shows no text
        // rather than ending the frame.
        colour.SetSize(0, 0, 32);
        mask.SetSize(0, 0, 8);
        hovered_ = nullptr;
        return;
    }
    TDrawContext(colour).Fill(0);
    TDrawContext(mask).Fill(0);
    hovered_ = nullptr;
    if (colour.IsEmpty()) return;
    for (TWdGlyph* glyph : Glyphs())
        glyph->Render(true);
}

void TWdPage::ComposePage() {
    TCustomDIBX* destination = Word().Destination();
    if (destination == nullptr) return;
    const TextBoxSettings& s = Word().settings;
    TRect box{s.originX, s.originY, text_math::Add(s.originX, s.layoutWidth),
              text_math::Add(s.originY, s.pageHeight)};
    const TRect& clip = Word().DestinationClip();
    if (!clip.IsEmpty()) box = Intersect(box, clip);
    if (box.IsEmpty()) return;
    for (TWdGlyph* child : children_) {
        TRect rowRect{child->ScreenX(), child->ScreenY(),
                      text_math::Add(child->ScreenX(), child->Width()),
                      text_math::Add(child->ScreenY(), child->Height())};
        if (Intersect(rowRect, box).IsEmpty()) continue;
        for (TWdGlyph* glyph : static_cast<TWdRow*>(child)->Children()) {
            glyph->Compose(*destination, box);
        }
    }
}

// ---- Reveal ------------------------------------------------------------------------------------

TWdGlyph* TWdPage::NextGlyph() const {
    TWdRow* row = Row(rowIndex_);
    return row != nullptr ? row->Child(glyphIndex_) : nullptr;
}

void TWdPage::Advance() {
    TWdRow* row = Row(rowIndex_);
    if (row == nullptr) return;
    if (++glyphIndex_ >= row->ChildCount()) {
        ++rowIndex_;
        glyphIndex_ = 0;
    }
}

void TWdPage::ResetReveal() {
    rowIndex_ = glyphIndex_ = 0;
    budget_ = fadeAccumulator_ = 0;
    fading_.clear();
    animated_.clear();
    finished_ = false;
    eventSeen_ = false;
    pendingEvents_.clear();
    startCountdown_ = Word().settings.fadeDuration > 0 ? 1 : 0;
    // Glyphs not reached yet stay hidden.
    for (TWdGlyph* glyph : Glyphs())
        glyph->SetAlpha(0);
}

void TWdPage::RestartTiming() {
    budget_ = fadeAccumulator_ = 0;
    startCountdown_ = Word().settings.fadeDuration > 0 ? 1 : 0;
}

bool TWdPage::MoreToReveal() const {
    const TextBoxSettings& s = Word().settings;
    if (!fading_.empty()) return true;
    if (s.paging) return RowsRemain() && !s.paused;
    TWdRow* row = Row(rowIndex_);
    return row != nullptr && int64_t{row->Y()} + row->Height() - scroll_ <= int64_t{s.pageHeight};
}

RevealTick TWdPage::Tick(int32_t elapsedMs) {
    RevealTick result;
    Word().ClearDirty();
    if (!finished_ && !RowsRemain() && fading_.empty()) {
        finished_ = true;
        result.finishedNow = true;
    }
    if (startCountdown_ > 0) {
        --startCountdown_;
        return result;
    }
    const TextBoxSettings& s = Word().settings;
    int64_t elapsed = std::max(0, elapsedMs);
    if (RowsRemain() && !s.paused && pendingEvents_.empty()) {
        if (rowIndex_ == 0 && glyphIndex_ == 0) {
            elapsed = 0;
            budget_ = fadeAccumulator_ = 0;
        }
        if (eventSeen_) {
            elapsed = 0;
            eventSeen_ = false;
        }
        budget_ = std::max(budget_ - elapsed, -kBudgetLimit);
        bool stop = false;
        while (RowsRemain() && budget_ <= 0 && !stop)
            RevealNext(result, stop);
    }
    Fade(elapsed);
    for (TWdGlyph* glyph : animated_) {
        if (glyph->Animate(elapsedMs)) glyph->Invalidate();
    }
    if (!pendingEvents_.empty() && fading_.empty()) FireEvents();
    return result;
}

void TWdPage::RevealNext(RevealTick& result, bool& stop) {
    const TextBoxSettings& s = Word().settings;
    if (int64_t{Row(rowIndex_)->Y()} - scroll_ > s.pageHeight) {
        stop = true;
        return;
    }
    TWdGlyph* glyph = NextGlyph();
    glyph->SetAlpha(0);
    fading_.push_back(glyph);
    if (glyph->IsAnimated()) animated_.push_back(glyph);

    // Waits are scaled by the box's wait scale; a negative wait is a fixed delay that a
    // negative scale (skipping) still cancels. 64 bits: a wait times a scale exceeds 32.
    int64_t wait = glyph->Wait();
    if (wait >= 0) {
        budget_ += wait * std::max(0, s.waitScale) / 256;
    } else if (s.waitScale >= 0) {
        budget_ += -wait;
    }
    budget_ = std::min(budget_, kBudgetLimit);

    Advance();
    MoveCaret(*glyph);
    if (glyph->Kind() == GlyphKind::Event && s.eventsEnabled) {
        if (!pendingEvents_.empty()) pendingEvents_ += '\t';
        pendingEvents_ += glyph->Value();
        eventSeen_ = true;
        TWdGlyph* next = NextGlyph();
        bool chained = !static_cast<TWdOpeEvent*>(glyph)->IsEnd() && next != nullptr &&
                       next->Kind() == GlyphKind::Event;
        if (!chained) stop = true;
    }
    if (glyph->Kind() == GlyphKind::Char) result.revealed += glyph->ShownText();
    if (glyph->Kind() == GlyphKind::Image) result.revealed += '*';
}

void TWdPage::MoveCaret(const TWdGlyph& revealed) {
    TextBoxSettings& s = Word().settings;
    int32_t scroll = s.paging ? 0 : scroll_;
    if (TWdGlyph* next = NextGlyph()) {
        s.caretX = next->SurfaceX();
        s.caretY = text_math::Add(next->SurfaceY(), -int64_t{scroll});
        Word().caretHeight = Row(rowIndex_)->Height();
        return;
    }
    s.caretX = text_math::Add(revealed.SurfaceX(), revealed.Width());
    s.caretY = text_math::Add(revealed.SurfaceY(), -int64_t{scroll});
    Word().caretHeight = revealed.Parent() != nullptr ? revealed.Parent()->Height() : 0;
}

void TWdPage::Fade(int64_t elapsedMs) {
    int32_t duration = Word().settings.fadeDuration;
    fadeAccumulator_ = std::min(fadeAccumulator_ + elapsedMs * 256, kBudgetLimit);
    int64_t step = duration > 0 ? fadeAccumulator_ / duration : 255;
    if (step <= 0) return;
    fadeAccumulator_ %= std::max(duration, 1);
    for (size_t i = fading_.size(); i-- > 0;) {
        TWdGlyph* glyph = fading_[i];
        glyph->SetAlpha(static_cast<int32_t>(std::min<int64_t>(255, glyph->Alpha() + step)));
        glyph->Invalidate();
        if (glyph->Alpha() > 254) fading_.erase(fading_.begin() + static_cast<ptrdiff_t>(i));
    }
}

void TWdPage::FireEvents() {
    std::string pending = std::move(pendingEvents_);
    pendingEvents_.clear();
    if (!Word().onEvent) return;
    size_t start = 0;
    while (true) {
        size_t tab = pending.find('\t', start);
        Word().onEvent(std::string_view(pending).substr(start, tab - start));
        if (tab == std::string::npos) break;
        start = tab + 1;
    }
}

// ---- Pointer -----------------------------------------------------------------------------------

TWdGlyph* TWdPage::HitTest(int32_t x, int32_t y) const {
    const TextBoxSettings& s = Word().settings;
    int64_t px = int64_t{x} - s.originX, py = int64_t{y} - s.originY;
    if (px < 0 || py < 0 || px >= s.layoutWidth || py >= s.pageHeight) return nullptr;
    int64_t rowY = py + scroll_;
    for (TWdGlyph* child : children_) {
        if (rowY < child->Y() || rowY >= int64_t{child->Y()} + child->Height()) continue;
        for (TWdGlyph* glyph : static_cast<TWdRow*>(child)->Children()) {
            int64_t gx = int64_t{child->X()} + glyph->X(), gy = int64_t{child->Y()} + glyph->Y();
            bool inside =
                px >= gx && px < gx + glyph->Width() && rowY >= gy && rowY < gy + glyph->Height();
            if (inside && glyph->Alpha() > 254) return glyph;
        }
    }
    return nullptr;
}

std::vector<TWdGlyph*> TWdPage::LinkRun(TWdGlyph* first) const {
    std::vector<TWdGlyph*> run;
    if (first == nullptr) return run;
    std::vector<TWdGlyph*> glyphs = Glyphs();
    auto it = std::find(glyphs.begin(), glyphs.end(), first);
    for (; it != glyphs.end() && (*it)->LinkText() == first->LinkText(); ++it)
        run.push_back(*it);
    return run;
}

bool TWdPage::HoverAt(int32_t x, int32_t y) {
    TWdGlyph* first = HitTest(x, y);
    if (first != nullptr && first->LinkText().empty()) first = nullptr;
    if (first != nullptr) {
        std::vector<TWdGlyph*> glyphs = Glyphs();
        auto it = std::find(glyphs.begin(), glyphs.end(), first);
        while (it != glyphs.begin() && (*(it - 1))->LinkText() == first->LinkText())
            --it;
        first = *it;
    }
    if (first == hovered_) return false;
    std::vector<TWdGlyph*> oldRun = LinkRun(hovered_);
    std::vector<TWdGlyph*> newRun = LinkRun(first);
    for (TWdGlyph* glyph : oldRun)
        glyph->SetHover(false);
    for (TWdGlyph* glyph : newRun)
        glyph->SetHover(true);
    hovered_ = first;
    RepaintRun(oldRun);
    RepaintRun(newRun);
    return true;
}

// A repainted run takes the glyph after it along: its border may overlap the run.
void TWdPage::RepaintRun(const std::vector<TWdGlyph*>& run) {
    if (run.empty()) return;
    std::vector<TWdGlyph*> glyphs = Glyphs();
    std::vector<TWdGlyph*> repaint = run;
    auto after = std::find(glyphs.begin(), glyphs.end(), run.back());
    if (after != glyphs.end() && after + 1 != glyphs.end()) repaint.push_back(*(after + 1));
    for (TWdGlyph* glyph : repaint)
        glyph->Erase();
    for (TWdGlyph* glyph : repaint) {
        glyph->Render(false);
        glyph->Invalidate();
    }
}

std::string TWdPage::HoveredLink() const {
    return hovered_ != nullptr ? hovered_->LinkText() : std::string();
}

std::string TWdPage::HoveredText() const {
    std::string text;
    for (TWdGlyph* glyph : LinkRun(hovered_))
        text += glyph->CharText();
    return text;
}

// ---- Frozen values and state -------------------------------------------------------------------

void TWdPage::StoreFrozenValues() {
    std::vector<std::string> lines;
    for (TWdGlyph* glyph : Glyphs()) {
        if (glyph->Kind() != GlyphKind::Var) continue;
        std::string line = static_cast<TWdOpeVar*>(glyph)->ValueLine();
        std::string prefix = glyph->Value() + "=";
        bool known = std::any_of(lines.begin(), lines.end(),
                                 [&](const std::string& l) { return l.starts_with(prefix); });
        if (!known) lines.push_back(std::move(line));
    }
    frozen_.clear();
    for (const std::string& line : lines) {
        if (!frozen_.empty()) frozen_ += "\r\n";
        frozen_ += line;
    }
}

void TWdPage::SaveState(ByteWriter& writer) const {
    writer.WriteI32(scroll_);
    writer.WriteI32(static_cast<int32_t>(rowIndex_));
    writer.WriteI32(static_cast<int32_t>(glyphIndex_));
    writer.WriteBool(finished_);
    writer.WriteCountedString(pendingEvents_);
    for (TWdGlyph* glyph : Glyphs()) {
        if (glyph->IsExpanded()) continue;
        if (glyph->IsReal()) {
            bool fading = std::find(fading_.begin(), fading_.end(), glyph) != fading_.end();
            writer.WriteI32(fading ? 255 : glyph->Alpha());
        } else if (glyph->Kind() == GlyphKind::Var) {
            const auto& expanded = static_cast<TWdOpeVar*>(glyph)->Expanded();
            writer.WriteI32(expanded.empty() ? 0 : expanded.front()->Alpha());
        }
    }
}

void TWdPage::LoadState(ByteReader& reader) {
    int32_t scroll = reader.ReadI32();
    int32_t row = reader.ReadI32();
    int32_t glyph = reader.ReadI32();
    bool finished = reader.ReadBool();
    std::string pending = reader.ReadCountedString();
    std::vector<TWdGlyph*> glyphs = Glyphs();
    std::vector<int32_t> alphas;
    for (TWdGlyph* g : glyphs) {
        if (!g->IsExpanded() && (g->IsReal() || g->Kind() == GlyphKind::Var)) {
            alphas.push_back(reader.ReadI32());
        }
    }
    // A state saved for another layout must not point past the rows.
    if (row < 0 || static_cast<size_t>(row) >= children_.size()) {
        row = static_cast<int32_t>(children_.size());
        glyph = 0;
    } else if (glyph < 0 ||
               static_cast<size_t>(glyph) >= Row(static_cast<size_t>(row))->ChildCount()) {
        glyph = 0;
    }
    scroll_ = scroll;
    rowIndex_ = static_cast<size_t>(row);
    glyphIndex_ = static_cast<size_t>(glyph);
    finished_ = finished;
    pendingEvents_ = std::move(pending);
    fading_.clear();
    animated_.clear();
    size_t next = 0;
    for (TWdGlyph* g : glyphs) {
        if (g->IsExpanded() || !(g->IsReal() || g->Kind() == GlyphKind::Var)) continue;
        int32_t alpha = alphas[next++];
        g->SetAlpha(alpha);
        if (g->Kind() == GlyphKind::Var) {
            for (TWdGlyph* shown : static_cast<TWdOpeVar*>(g)->Expanded())
                shown->SetAlpha(alpha);
        }
        if (g->IsAnimated() && g->Alpha() > 0) animated_.push_back(g);
    }
}

}  // namespace kivo
