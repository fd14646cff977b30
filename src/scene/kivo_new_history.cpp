#include "scene/kivo_new_history.h"

#include <algorithm>

#include "base/sjis.h"

#include "text/text_math.h"

namespace kivo {

TKivoNewHistory::TKivoNewHistory() {
    // Backlog text is never revealed: it is laid out and shown whole.
    word_.settings.paging = true;
}

TKivoNewHistory::~TKivoNewHistory() {
    Detach();
}

void TKivoNewHistory::Attach(const TextWorld& world) {
    Detach();
    world_ = world;
    world_.Equip(word_);
    if (world_.variables != nullptr) {
        world_.variables->RegisterProvider(SystemVariable::HistoryCount, this);
        world_.variables->RegisterProvider(SystemVariable::HistoryMaxCount, this);
    }
}

void TKivoNewHistory::Detach() {
    if (TParamCollection* variables = world_.variables) {
        for (SystemVariable id : {SystemVariable::HistoryCount, SystemVariable::HistoryMaxCount}) {
            if (variables->Provider(id) == this) variables->RegisterProvider(id, nullptr);
        }
    }
    world_ = TextWorld{};
    world_.Equip(word_);
    cache_.Clear();
}

int32_t TKivoNewHistory::FormatValue(Format which) const {
    if (world_.variables != nullptr) return world_.variables->backlogFormat[which];
    const TextBoxSettings& s = word_.settings;
    switch (which) {
        case FontHeight:
            return s.defaultSize;
        case BorderWidth:
            return s.defaultBorderWidth;
        case ShadowWidth:
            return s.defaultShadowWidth;
        case Width:
            return s.layoutWidth;
        case Height:
            return s.pageHeight;
        case LineSpacing:
            return s.lineSpacing;
    }
    return 0;
}

bool TKivoNewHistory::ScreenMode() const {
    return FormatValue(Width) != 0;
}

void TKivoNewHistory::TakeFormat() {
    TextBoxSettings& s = word_.settings;
    s.defaultSize = FormatValue(FontHeight);
    s.defaultBorderWidth = FormatValue(BorderWidth);
    s.defaultShadowWidth = FormatValue(ShadowWidth);
    s.layoutWidth = FormatValue(Width);
    s.pageHeight = FormatValue(Height);
    s.lineSpacing = FormatValue(LineSpacing);
}

void TKivoNewHistory::Record(PendingEntry entry) {
    if (ScreenMode() && screens_.empty()) TakeFormat();
    pending_ = std::move(entry);
}

void TKivoNewHistory::Commit(std::string_view window) {
    if (!pending_ || pending_->window != window) return;
    const PendingEntry entry = std::move(*pending_);
    pending_.reset();
    if (ScreenMode()) {
        CommitScreens(entry);
    } else {
        entries_.push_back(
            THistoryOldData{entry.pageFile, entry.command, entry.page, entry.width, entry.height});
    }
    Trim();
}

void TKivoNewHistory::CommitScreens(const PendingEntry& entry) {
    if (!ScenarioExists(world_, entry.pageFile)) return;
    const TTpWord* source = cache_.Find(world_, entry.pageFile, entry.command);
    if (source == nullptr) return;
    word_.Clear();
    word_.CopyGlyphs(*source, 0, -1);
    word_.frozenValues = sjis::SplitLines(entry.frozenValues);
    const TWdGlyph* startGlyph = entry.start > 0 ? word_.GlyphAt(entry.start) : nullptr;
    const int32_t first = startGlyph != nullptr ? word_.IndexOf(startGlyph) : 0;
    const TWdGlyph* endGlyph = entry.end >= 0 ? word_.GlyphAt(entry.end) : nullptr;
    const int32_t last = endGlyph != nullptr ? word_.IndexOf(endGlyph) : -1;
    word_.ExpandVars(first, last);
    // Expanding inserted glyphs after the fields; the end is found again by position.
    PageList pages;
    word_.Layout(pages, first, entry.end);
    const int32_t boxHeight = word_.settings.pageHeight;
    for (const std::unique_ptr<TWdPage>& page : pages) {
        const auto [start, end] = PageTextRange(word_, *page);
        HistPiece piece{entry.pageFile,
                        entry.command,
                        start,
                        end,
                        text_math::Add(page->Height(), word_.settings.lineSpacing),
                        entry.frozenValues};
        const bool fits =
            !screens_.empty() && int64_t{screens_.back().TotalHeight()} + piece.height <= boxHeight;
        if (!fits) screens_.emplace_back();
        screens_.back().pieces.push_back(std::move(piece));
    }
    pages.clear();
    word_.CollapseVars(0, -1);
}

void TKivoNewHistory::Trim() {
    if (maxCount_ <= 0) return;
    const auto cap = static_cast<size_t>(maxCount_);
    if (screens_.size() > cap) {
        screens_.erase(screens_.begin(), screens_.end() - static_cast<ptrdiff_t>(cap));
    }
    if (entries_.size() > cap) {
        entries_.erase(entries_.begin(), entries_.end() - static_cast<ptrdiff_t>(cap));
    }
}

void TKivoNewHistory::Clear() {
    screens_.clear();
    entries_.clear();
    pending_.reset();
    word_.Clear();
    cache_.Clear();
}

int32_t TKivoNewHistory::Count() const {
    return static_cast<int32_t>(ScreenMode() ? screens_.size() : entries_.size());
}

int32_t TKivoNewHistory::Size() const {
    if (!ScreenMode()) return static_cast<int32_t>(entries_.size());
    int64_t total = 0;
    for (const TKivoHistData& screen : screens_)
        total += screen.TotalHeight();
    return text_math::Saturate(total);
}

int32_t TKivoNewHistory::Fill(int32_t start, int32_t count, TKivoNewMesData& data) const {
    data.Clear();
    if (count <= 0 || start < 0) return 0;
    if (!ScreenMode()) {
        const auto first = static_cast<size_t>(start);
        const size_t last = std::min(entries_.size(), first + static_cast<size_t>(count));
        for (size_t i = first; i < last; ++i)
            data.references.push_back(entries_[i]);
        return 0;
    }
    // Walk the pieces of every screen with their running tops in backlog pixels.
    const int64_t from = start;
    const int64_t to = from + count;
    int64_t top = 0;
    int64_t offset = 0;
    bool started = false;
    for (size_t s = 0; s < screens_.size(); ++s) {
        const std::vector<HistPiece>& pieces = screens_[s].pieces;
        const int64_t screenTop = top;
        const int64_t screenEnd = screenTop + screens_[s].TotalHeight();
        const bool lastScreen = screenEnd >= to || s + 1 == screens_.size();
        for (size_t p = 0; p < pieces.size(); ++p) {
            const int64_t pieceTop = top;
            top += pieces[p].height;
            if (!started) {
                if (screenEnd <= from || top <= from) continue;
                started = true;
                offset = pieceTop - from;
            }
            data.pieces.pieces.push_back(pieces[p]);
            if (lastScreen && (top >= to || p + 1 == pieces.size())) {
                return text_math::Saturate(offset);
            }
        }
        if (lastScreen && started) break;
    }
    return text_math::Saturate(offset);
}

// ---- Stream ------------------------------------------------------------------------------------

void TKivoNewHistory::Save(ByteWriter& writer) const {
    StoredNames names;
    writer.WriteI32(static_cast<int32_t>(entries_.size()));
    for (const THistoryOldData& entry : entries_) {
        writer.WriteCountedString(names.Compress(entry.pageFile));
        writer.WriteI32(entry.command);
        writer.WriteI32(entry.page);
        writer.WriteI32(entry.width);
        writer.WriteI32(entry.height);
    }
    const PendingEntry pending = pending_.value_or(PendingEntry{});
    writer.WriteCountedString(pending.pageFile);
    writer.WriteI32(pending.command);
    writer.WriteI32(pending.page);
    writer.WriteI32(pending.width);
    writer.WriteI32(pending.height);
    writer.WriteCountedString(pending.window);
    const TextBoxSettings& s = word_.settings;
    for (int32_t value : {maxCount_, s.defaultSize, s.defaultBorderWidth, s.defaultShadowWidth,
                          s.layoutWidth, s.pageHeight, s.lineSpacing, pending.start, pending.end}) {
        writer.WriteI32(value);
    }
    writer.WriteI32(static_cast<int32_t>(screens_.size()));
    for (const TKivoHistData& screen : screens_)
        screen.Save(writer);
    writer.WriteCountedString(pending.frozenValues);
}

void TKivoNewHistory::Load(ByteReader& reader, int32_t version) {
    std::vector<THistoryOldData> entries;
    StoredNames names;
    if (version < kSaveVersionBacklogScreens) {
        // The old form: a string nothing reads, then the fields as parallel arrays.
        (void)reader.ReadCountedString();
        const uint32_t count = reader.ReadCount(4 + 16);
        entries.resize(count);
        for (THistoryOldData& entry : entries)
            entry.pageFile = names.Expand(reader.ReadCountedString());
        for (THistoryOldData& entry : entries)
            entry.command = reader.ReadI32();
        for (THistoryOldData& entry : entries)
            entry.page = reader.ReadI32();
        for (THistoryOldData& entry : entries) {
            entry.width = reader.ReadI32();
            entry.height = reader.ReadI32();
        }
    } else {
        const uint32_t count = reader.ReadCount(4 + 16);
        entries.resize(count);
        for (THistoryOldData& entry : entries) {
            entry.pageFile = names.Expand(reader.ReadCountedString());
            entry.command = reader.ReadI32();
            entry.page = reader.ReadI32();
            entry.width = reader.ReadI32();
            entry.height = reader.ReadI32();
        }
    }
    PendingEntry pending;
    pending.pageFile = reader.ReadCountedString();
    pending.command = reader.ReadI32();
    pending.page = reader.ReadI32();
    pending.width = reader.ReadI32();
    pending.height = reader.ReadI32();
    pending.window = reader.ReadCountedString();
    int32_t maxCount = maxCount_;
    TextBoxSettings settings = word_.settings;
    std::vector<TKivoHistData> screens;
    if (version >= kSaveVersionBacklogScreens) {
        maxCount = reader.ReadI32();
        settings.defaultSize = reader.ReadI32();
        settings.defaultBorderWidth = reader.ReadI32();
        settings.defaultShadowWidth = reader.ReadI32();
        settings.layoutWidth = reader.ReadI32();
        settings.pageHeight = reader.ReadI32();
        settings.lineSpacing = reader.ReadI32();
        pending.start = reader.ReadI32();
        pending.end = reader.ReadI32();
        // A screen takes its piece count and total height at least.
        screens.resize(reader.ReadCount(8));
        for (TKivoHistData& screen : screens)
            screen.Load(reader, version);
    }
    if (version >= kSaveVersionBacklogValues) pending.frozenValues = reader.ReadCountedString();

    entries_ = std::move(entries);
    screens_ = std::move(screens);
    maxCount_ = maxCount;
    word_.Clear();
    word_.settings = settings;
    cache_.Clear();
    // An entry without a window or a page file was never pending.
    if (pending.window.empty() || pending.pageFile.empty()) {
        pending_.reset();
    } else {
        pending_ = std::move(pending);
    }
}

// ---- System variables --------------------------------------------------------------------------

SystemValue TKivoNewHistory::Read(SystemVariable id, int32_t /*element*/) const {
    if (id == SystemVariable::HistoryMaxCount) return maxCount_;
    return Size();
}

void TKivoNewHistory::Write(SystemVariable id, const SystemValue& value) {
    if (id != SystemVariable::HistoryMaxCount) return;
    if (const int32_t* count = std::get_if<int32_t>(&value)) maxCount_ = *count;
}

}  // namespace kivo
