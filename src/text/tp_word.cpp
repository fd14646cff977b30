#include "text/tp_word.h"

#include <algorithm>
#include <array>

#include "base/error.h"
#include "base/sjis.h"
#include "text/text_math.h"

namespace kivo {
namespace {

// Characters that may not start a line: closing brackets and punctuation.
constexpr std::array<uint32_t, 14> kLineStartForbidden = {0x8142, 0x8141, 0xA3,   0x8176, 0x8178,
                                                          0x29,   0x816A, 0xA4,   0xA1,   0x21,
                                                          0x3F,   0x8149, 0x8148, 0x817A};
// Characters that may not end a line: opening brackets.
constexpr std::array<uint32_t, 8> kLineEndForbidden = {0xA2, 0x8175, 0x8177, 0x8169,
                                                       0x28, 0x5B,   0x3C,   0x8179};

bool IsChar(const TWdGlyph& g) {
    return g.Kind() == GlyphKind::Char;
}
bool IsSpace(const TWdGlyph& g) {
    return IsChar(g) && g.Code() == 0x20;
}
bool IsReturn(const TWdGlyph& g) {
    return g.Kind() == GlyphKind::Return;
}
bool IsSingleByteWordChar(const TWdGlyph& g) {
    return IsChar(g) && g.Code() >= 33 && g.Code() <= 255;
}
template <size_t N>
bool IsCharIn(const TWdGlyph& g, const std::array<uint32_t, N>& table) {
    return IsChar(g) && std::find(table.begin(), table.end(), g.Code()) != table.end();
}
// Alignment, indent and undent act on the layout state and never join a word.
bool IsLayoutOperation(const TWdGlyph& g) {
    return g.Kind() == GlyphKind::Align || g.Kind() == GlyphKind::Indent ||
           g.Kind() == GlyphKind::Undent;
}

bool MayBreakBetween(const TWdGlyph& before, const TWdGlyph& next) {
    if (before.NoBreak() && next.NoBreak()) return false;
    if (!next.Ruby().empty() && next.Ruby() == before.Ruby()) return false;
    if (IsSingleByteWordChar(before) && IsSingleByteWordChar(next)) return false;
    if (!IsSpace(before) && IsSpace(next)) return false;
    return !IsCharIn(next, kLineStartForbidden);
}

}  // namespace

TTpWord::TTpWord() = default;

TTpWord::~TTpWord() {
    // Variable fields point at their expanded glyphs; free those first.
    glyphs_.clear();
}

void TTpWord::Clear() {
    glyphs_.clear();
    decorations_.Clear();
    frozenValues.clear();
}

int32_t TTpWord::IndexOf(const TWdGlyph* glyph) const {
    for (size_t i = 0; i < glyphs_.size(); ++i) {
        if (glyphs_[i].get() == glyph) return static_cast<int32_t>(i);
    }
    return -1;
}

void TTpWord::AppendGlyph(std::unique_ptr<TWdGlyph> glyph) {
    glyphs_.push_back(std::move(glyph));
}

int32_t TTpWord::PositionOf(const TWdGlyph* glyph) const {
    int64_t position = 0;
    for (const auto& g : glyphs_) {
        if (g.get() == glyph) return text_math::Saturate(position);
        position += g->TextCount();
    }
    return -1;
}

TWdGlyph* TTpWord::GlyphAt(int32_t position) const {
    if (position < 0) return nullptr;
    int64_t at = 0;
    for (const auto& g : glyphs_) {
        if (at == position && g->TextCount() > 0) return g.get();
        at += g->TextCount();
        if (at > position) break;
    }
    return nullptr;
}

// ---- Variable fields ---------------------------------------------------------------------------

void TTpWord::InsertExpansion(size_t index, TWdOpeVar& var) {
    std::optional<std::string> value = var.CurrentValue();
    if (!value) return;
    std::vector<std::unique_ptr<TWdGlyph>> made;
    DecorateValues decoration = var.DecorationValues();
    sjis::ForEachChar(*value, [&](size_t pos, size_t len) {
        uint32_t code = sjis::CharCode(*value, pos);
        if (len == 1 && code == '\r') {
            made.push_back(std::make_unique<TWdVarReturn>(*this));
            return;
        }
        if (len == 1 && code < 0x20) return;
        auto shown = std::make_unique<TWdVarChar>(*this, code, decoration);
        shown->SetLinkText(var.LinkText());
        shown->SetWait(var.Wait());
        made.push_back(std::move(shown));
    });
    std::vector<TWdGlyph*> expanded;
    for (const auto& glyph : made)
        expanded.push_back(glyph.get());
    var.SetExpanded(std::move(expanded));
    glyphs_.insert(glyphs_.begin() + static_cast<ptrdiff_t>(index) + 1,
                   std::make_move_iterator(made.begin()), std::make_move_iterator(made.end()));
}

void TTpWord::RemoveExpansion(TWdOpeVar& var) {
    const std::vector<TWdGlyph*>& expanded = var.Expanded();
    std::erase_if(glyphs_, [&](const auto& g) {
        return std::find(expanded.begin(), expanded.end(), g.get()) != expanded.end();
    });
    var.SetExpanded({});
}

void TTpWord::ExpandVars(int32_t first, int32_t last) {
    if (glyphs_.empty()) return;
    int64_t end = last < 0 ? static_cast<int64_t>(glyphs_.size()) - 1
                           : std::min<int64_t>(last, static_cast<int64_t>(glyphs_.size()) - 1);
    for (int64_t i = end; i >= std::max(0, first); --i) {
        auto* var = dynamic_cast<TWdOpeVar*>(glyphs_[static_cast<size_t>(i)].get());
        if (var == nullptr) continue;
        RemoveExpansion(*var);
        InsertExpansion(static_cast<size_t>(i), *var);
    }
}

void TTpWord::CollapseVars(int32_t first, int32_t last) {
    if (glyphs_.empty()) return;
    int64_t end = last < 0 ? static_cast<int64_t>(glyphs_.size()) - 1
                           : std::min<int64_t>(last, static_cast<int64_t>(glyphs_.size()) - 1);
    for (int64_t i = end; i >= std::max(0, first); --i) {
        if (static_cast<size_t>(i) >= glyphs_.size()) continue;
        auto* var = dynamic_cast<TWdOpeVar*>(glyphs_[static_cast<size_t>(i)].get());
        if (var != nullptr) RemoveExpansion(*var);
    }
}

// ---- Layout ------------------------------------------------------------------------------------

namespace {

// Cuts glyphs into rows and pages: one pass over the glyphs with the alignment, indent, row
// and page in force.
class LayoutPass {
  public:
    LayoutPass(TTpWord& word, std::vector<std::unique_ptr<TWdPage>>& pages)
        : word_(word), s_(word.settings), pages_(pages), firstNewPage_(pages.size()) {}

    void Run(size_t first, size_t last) {
        for (size_t i = first; i <= last; ++i)
            word_.Glyph(i)->Measure();
        size_t i = first;
        while (i <= last)
            i = Place(i, last);
        Finish();
    }

  private:
    size_t Place(size_t i, size_t last) {
        TWdGlyph& glyph = *word_.Glyph(i);
        switch (glyph.Kind()) {
            case GlyphKind::Align:
                align_ = glyph.Alignment();
                if (row_ != nullptr && !row_->HoldsReal()) row_->SetAlignment(align_);
                return i + 1;
            case GlyphKind::Indent:
                if (row_ != nullptr) indent_ = row_->Width();
                return i + 1;
            case GlyphKind::Undent:
                indent_ = 0;
                return i + 1;
            case GlyphKind::Composite:
            case GlyphKind::Char:
            case GlyphKind::Return:
            case GlyphKind::Event:
            case GlyphKind::Var:
            case GlyphKind::Image:
                break;
        }
        if (row_ == nullptr) OpenRow();
        size_t end = GatherWord(i, last);
        int64_t wordWidth = 0;
        for (size_t k = i; k < end; ++k)
            wordWidth += word_.Glyph(k)->Width();
        if (s_.layoutWidth != 0 && row_->HoldsReal() &&
            row_->Width() + wordWidth > int64_t{row_->RightLimit()} - row_->LeftLimit()) {
            CloseRow();
            return i;
        }
        for (size_t k = i; k < end; ++k)
            AddToRow(*word_.Glyph(k));
        int32_t height = row_->FillingHeight();
        if (s_.paging && page_->RowCount() > 1 && y_ + height > s_.pageHeight) {
            return MoveRowToNewPage();
        }
        row_->SetBounds(0, row_->Y(), text_math::Add(row_->Width(), wordWidth), height);
        const TWdGlyph& ending = *word_.Glyph(end - 1);
        if (IsReturn(ending)) {
            CloseRow();
            if (ending.Clears()) page_ = nullptr;
        }
        return end;
    }

    // The word starting at i: the glyphs up to the next place a line may break. A line break
    // ends the word and belongs to it; an opening bracket alone takes the next word along.
    size_t GatherWord(size_t i, size_t last) const {
        if (IsReturn(*word_.Glyph(i))) return i + 1;
        size_t end = JoinFollowing(i + 1, last);
        if (end == i + 1 && end <= last && IsCharIn(*word_.Glyph(i), kLineEndForbidden) &&
            !IsLayoutOperation(*word_.Glyph(end))) {
            end = JoinFollowing(end + 1, last);
        }
        return end;
    }

    size_t JoinFollowing(size_t j, size_t last) const {
        if (j > 0 && IsReturn(*word_.Glyph(j - 1))) return j;
        while (j <= last) {
            const TWdGlyph& next = *word_.Glyph(j);
            if (IsLayoutOperation(next)) break;
            if (IsReturn(next)) return j + 1;
            if (MayBreakBetween(*word_.Glyph(j - 1), next)) break;
            ++j;
        }
        return j;
    }

    void OpenRow() {
        if (page_ == nullptr) {
            pages_.push_back(std::make_unique<TWdPage>(word_));
            page_ = pages_.back().get();
            y_ = 0;
        }
        row_ = &page_->AddRow(std::make_unique<TWdRow>(word_, align_, 0, s_.layoutWidth));
        row_->SetBounds(0, text_math::Saturate(y_), indent_, 0);
        rowIndent_ = indent_;
        if (indent_ > 0) {
            auto filler = std::make_unique<TWdSpace>(word_);
            filler->SetBounds(0, 0, indent_, 0);
            row_->Own(std::move(filler));
        }
    }

    void AddToRow(TWdGlyph& glyph) {
        if (IsReturn(glyph)) {
            // A line break alone on its row keeps an empty line as tall as the text.
            int32_t height = row_->HoldsReal() ? 0 : s_.defaultSize;
            glyph.SetBounds(0, 0, 0, std::max(0, height));
        }
        row_->AddChild(&glyph);
    }

    void CloseRow() {
        y_ += int64_t{row_->FillingHeight()} + s_.lineSpacing;
        row_ = nullptr;
    }

    // The row does not fit under the rows before it: it is taken back and laid out again from
    // its first glyph on a new page, with the alignment and indent it started with.
    size_t MoveRowToNewPage() {
        size_t resume = 0;
        for (TWdGlyph* child : row_->Children()) {
            if (dynamic_cast<TWdSpace*>(child) == nullptr) {
                resume = static_cast<size_t>(word_.IndexOf(child));
                break;
            }
        }
        align_ = row_->Alignment();
        indent_ = rowIndent_;
        page_->DropLastRow();
        row_ = nullptr;
        page_ = nullptr;
        return resume;
    }

    void Finish() {
        if (s_.layoutWidth == 0) {
            // Unlimited width: rows align within the widest row, which becomes the width.
            int32_t widest = 0;
            for (size_t p = firstNewPage_; p < pages_.size(); ++p) {
                for (size_t r = 0; r < pages_[p]->RowCount(); ++r) {
                    widest = std::max(widest, pages_[p]->Row(r)->Width());
                }
            }
            for (size_t p = firstNewPage_; p < pages_.size(); ++p) {
                for (size_t r = 0; r < pages_[p]->RowCount(); ++r) {
                    pages_[p]->Row(r)->SetRightLimit(widest);
                }
            }
            s_.layoutWidth = widest;
        }
        for (size_t p = firstNewPage_; p < pages_.size(); ++p)
            pages_[p]->Arrange();
    }

    TTpWord& word_;
    TextBoxSettings& s_;
    std::vector<std::unique_ptr<TWdPage>>& pages_;
    size_t firstNewPage_;
    TextAlign align_ = TextAlign::Left;
    int32_t indent_ = 0;
    int32_t rowIndent_ = 0;
    int64_t y_ = 0;
    TWdRow* row_ = nullptr;
    TWdPage* page_ = nullptr;
};

}  // namespace

void TTpWord::Layout(std::vector<std::unique_ptr<TWdPage>>& pages, int32_t first,
                     int32_t lastPosition) {
    if (first < 0 || static_cast<size_t>(first) >= glyphs_.size()) return;
    size_t last = glyphs_.size() - 1;
    if (lastPosition >= 0) {
        if (TWdGlyph* at = GlyphAt(lastPosition)) last = static_cast<size_t>(IndexOf(at));
    }
    if (last < static_cast<size_t>(first)) return;
    LayoutPass(*this, pages).Run(static_cast<size_t>(first), last);
}

// ---- Copies and images -------------------------------------------------------------------------

void TTpWord::CopyGlyphs(const TTpWord& source, int32_t first, int32_t last) {
    if (source.glyphs_.empty()) return;
    size_t end = last < 0 || static_cast<size_t>(last) >= source.glyphs_.size()
                     ? source.glyphs_.size() - 1
                     : static_cast<size_t>(last);
    for (size_t i = static_cast<size_t>(std::max(0, first)); i <= end; ++i) {
        const TWdGlyph& glyph = *source.glyphs_[i];
        if (glyph.IsExpanded()) continue;
        if (auto copy = glyph.Clone(*this)) glyphs_.push_back(std::move(copy));
    }
}

void TTpWord::ReleaseImages() {
    for (const auto& glyph : glyphs_)
        glyph->ReleaseImages();
}

void TTpWord::ReloadImages() {
    for (const auto& glyph : glyphs_)
        glyph->ReloadImages();
}

// ---- Settings stream ---------------------------------------------------------------------------

void TTpWord::SaveSettings(ByteWriter& writer) const {
    const TextBoxSettings& s = settings;
    writer.WriteI32(s.originX);
    writer.WriteI32(s.originY);
    writer.WriteI32(s.defaultSize);
    writer.WriteCountedString(s.defaultFace);
    writer.WriteI32(s.defaultColor);
    writer.WriteI32(s.pageHeight);
    writer.WriteI32(s.layoutWidth);
    writer.WriteI32(s.antiAlias);
    writer.WriteI32(s.lineSpacing);
    writer.WriteBool(s.paging);
    writer.WriteI32(s.linkColor);
    writer.WriteI32(s.hoverColor);
    writer.WriteI32(s.fadeDuration);
    writer.WriteI32(s.borderColor);
    writer.WriteI32(s.imageAlpha);
    writer.WriteBool(s.paused);
    writer.WriteI32(s.caretX);
    writer.WriteI32(s.caretY);
    writer.WriteI32(s.waitScale);
    writer.WriteBool(s.eventsEnabled);
    writer.WriteI32(s.shadowColor);
    writer.WriteI32(s.defaultBorderWidth);
    writer.WriteI32(s.defaultShadowWidth);
}

void TTpWord::LoadSettings(ByteReader& reader, int32_t version) {
    TextBoxSettings s = settings;
    s.originX = reader.ReadI32();
    s.originY = reader.ReadI32();
    s.defaultSize = reader.ReadI32();
    s.defaultFace = reader.ReadCountedString();
    s.defaultColor = reader.ReadI32();
    s.pageHeight = reader.ReadI32();
    s.layoutWidth = reader.ReadI32();
    s.antiAlias = reader.ReadI32();
    s.lineSpacing = reader.ReadI32();
    s.paging = reader.ReadBool();
    s.linkColor = reader.ReadI32();
    s.hoverColor = reader.ReadI32();
    s.fadeDuration = reader.ReadI32();
    s.borderColor = reader.ReadI32();
    s.imageAlpha = reader.ReadI32();
    s.paused = reader.ReadBool();
    s.caretX = reader.ReadI32();
    s.caretY = reader.ReadI32();
    s.waitScale = reader.ReadI32();
    s.eventsEnabled = reader.ReadBool();
    if (version >= 110) s.shadowColor = reader.ReadI32();
    if (version > 110) {
        s.defaultBorderWidth = reader.ReadI32();
        s.defaultShadowWidth = reader.ReadI32();
    }
    settings = std::move(s);
}

}  // namespace kivo
