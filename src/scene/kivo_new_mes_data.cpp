#include "scene/kivo_new_mes_data.h"

#include <algorithm>

#include "base/error.h"
#include "base/sjis.h"
#include "storage/vr_file_manager.h"
#include "text/text_math.h"

namespace kivo {

// ---- Pieces and names ------------------------------------------------------------------------

int32_t TKivoHistData::TotalHeight() const {
    int64_t total = 0;
    for (const HistPiece& piece : pieces)
        total += piece.height;
    return text_math::Saturate(total);
}

std::string StoredNames::Compress(const std::string& name) {
    if (name.empty()) return {};
    if (sjis::ToLowerAscii(name) == sjis::ToLowerAscii(last_)) return {};
    last_ = name;
    return name;
}

std::string StoredNames::Expand(std::string stored) {
    if (stored.empty()) return last_;
    last_ = stored;
    return stored;
}

void TKivoHistData::Save(ByteWriter& writer) const {
    StoredNames names;
    writer.WriteI32(static_cast<int32_t>(pieces.size()));
    for (const HistPiece& piece : pieces) {
        writer.WriteCountedString(names.Compress(piece.pageFile));
        writer.WriteI32(piece.command);
        writer.WriteI32(piece.start);
        writer.WriteI32(piece.end);
        writer.WriteI32(piece.height);
        writer.WriteCountedString(piece.frozenValues);
    }
    writer.WriteI32(TotalHeight());
}

void TKivoHistData::Load(ByteReader& reader, int32_t version) {
    const bool withValues = version >= kSaveVersionPieceValues;
    const uint32_t count = reader.ReadCount(withValues ? 24 : 20);
    std::vector<HistPiece> loaded(count);
    StoredNames names;
    for (HistPiece& piece : loaded) {
        piece.pageFile = names.Expand(reader.ReadCountedString());
        piece.command = reader.ReadI32();
        piece.start = reader.ReadI32();
        piece.end = reader.ReadI32();
        piece.height = reader.ReadI32();
        if (withValues) piece.frozenValues = reader.ReadCountedString();
    }
    // The stored total is the sum of the heights; it is worked out again from them.
    (void)reader.ReadI32();
    pieces = std::move(loaded);
}

std::vector<std::string> MarkupLines(std::string_view text) {
    std::vector<std::string> lines = sjis::SplitLines(text);
    if (!text.empty() && (text.back() == '\r' || text.back() == '\n')) lines.emplace_back();
    return lines;
}

// ---- Records -----------------------------------------------------------------------------------

std::unique_ptr<TTpWord> LoadTextRecord(const TextWorld& world, const CommandRecord& record,
                                        const std::string& pageFile) {
    if (record.Code() != CommandCode::TextIns) return nullptr;
    auto word = std::make_unique<TTpWord>();
    world.Equip(*word);
    std::span<const uint8_t> text = record.Blob("text");
    try {
        if (IsGlyphStream(text, world.expressions)) {
            word->LoadGlyphs(text, pageFile);
        } else {
            const std::vector<std::string> lines =
                MarkupLines({reinterpret_cast<const char*>(text.data()), text.size()});
            word->Parse(lines, world.TextDelay());
        }
    } catch (const KivoError&) {
        // A damaged stream appends nothing, bad markup keeps what was read before the fault:
        // the window shows what there is rather than nothing at all.
    }
    return word;
}

std::pair<int32_t, int32_t> PageTextRange(const TTpWord& word, const TWdPage& page) {
    int32_t first = -1, last = -1;
    for (size_t r = 0; r < page.RowCount(); ++r) {
        for (const TWdGlyph* glyph : page.Row(r)->Children()) {
            if (glyph->TextCount() <= 0 || glyph->IsExpanded()) continue;
            const int32_t position = word.PositionOf(glyph);
            if (position < 0) continue;
            if (first < 0) first = position;
            last = position;
        }
    }
    return first < 0 ? std::pair{0, -1} : std::pair{first, last};
}

bool ScenarioExists(const TextWorld& world, std::string_view pageFile) {
    return world.files != nullptr && !pageFile.empty() && world.files->FileExists(pageFile);
}

const TTpWord* TMesDataCacheList::Find(const TextWorld& world, std::string_view pageFile,
                                       int32_t command) {
    const std::string key = sjis::ToLowerAscii(pageFile);
    auto page = std::find_if(pages_.begin(), pages_.end(),
                             [&](const CachedPage& p) { return p.name == key; });
    if (page != pages_.end()) {
        pages_.splice(pages_.begin(), pages_, page);
    } else {
        if (!ScenarioExists(world, pageFile)) return nullptr;
        try {
            std::vector<uint8_t> bytes = world.files->Load(pageFile);
            pages_.push_front(CachedPage{key, PageFile::Read(bytes, std::string(pageFile)), {}});
        } catch (const KivoError&) {
            return nullptr;
        }
        if (pages_.size() > kPages) pages_.pop_back();
    }
    CachedPage& cached = pages_.front();
    auto text = std::find_if(cached.texts.begin(), cached.texts.end(),
                             [&](const CachedText& t) { return t.command == command; });
    if (text != cached.texts.end()) {
        cached.texts.splice(cached.texts.begin(), cached.texts, text);
        return cached.texts.front().word.get();
    }
    if (command < 0 || static_cast<size_t>(command) >= cached.file.commands.size()) {
        return nullptr;
    }
    std::unique_ptr<TTpWord> word = LoadTextRecord(
        world, cached.file.commands[static_cast<size_t>(command)], std::string(pageFile));
    if (word == nullptr) return nullptr;
    cached.texts.push_front(CachedText{command, std::move(word)});
    if (cached.texts.size() > kTexts) cached.texts.pop_back();
    return cached.texts.front().word.get();
}

// ---- Rebuilding --------------------------------------------------------------------------------

namespace {

// The glyph index of the glyph at a text position; fallback when no glyph starts there.
int32_t IndexAtPosition(const TTpWord& word, int32_t position, int32_t fallback) {
    if (position <= 0 && position != -1) return 0;
    const TWdGlyph* glyph = word.GlyphAt(position);
    return glyph != nullptr ? word.IndexOf(glyph) : fallback;
}

// Moves the rows of page into combined, each lowered by y; returns the bottom of the last.
int64_t MoveRows(TWdPage& page, TWdPage& combined, int64_t y) {
    int64_t bottom = y;
    for (std::unique_ptr<TWdRow>& row : page.TakeRows()) {
        const int32_t top = text_math::Saturate(int64_t{row->Y()} + y);
        row->SetBounds(row->X(), top, row->Width(), row->Height());
        bottom = int64_t{top} + row->Height();
        combined.AddRow(std::move(row));
    }
    return bottom;
}

}  // namespace

int32_t TKivoNewMesData::AppendPiece(const TextWorld& world, TTpWord& word,
                                     const std::string& pageFile, int32_t command, int32_t start,
                                     int32_t end, const std::string& frozen) {
    const TTpWord* source = cache.Find(world, pageFile, command);
    if (source == nullptr || source->GlyphCount() == 0) return -1;
    const int32_t first = IndexAtPosition(*source, start, -1);
    if (first < 0) return -1;
    const int32_t last = end < 0 ? -1 : IndexAtPosition(*source, end, -1);
    const auto appendedAt = static_cast<int32_t>(word.GlyphCount());
    word.CopyGlyphs(*source, first, last);
    if (word.GlyphCount() == static_cast<size_t>(appendedAt)) return -1;
    word.frozenValues = sjis::SplitLines(frozen);
    word.ExpandVars(appendedAt, -1);
    return appendedAt;
}

void TKivoNewMesData::Rebuild(const TextWorld& world, TTpWord& word, PageList& pages,
                              int32_t backlogOffset, bool compact) {
    pages.clear();
    word.Clear();
    if (!pieces.pieces.empty()) {
        if (pieces.pieces.size() == 1 && pieces.pieces.front().height == 0) {
            const HistPiece& piece = pieces.pieces.front();
            if (AppendPiece(world, word, piece.pageFile, piece.command, piece.start, piece.end,
                            piece.frozenValues) >= 0) {
                word.Layout(pages, 0, -1);
            }
            return;
        }
        RebuildPieces(world, word, pages, backlogOffset);
        return;
    }
    if (references.size() == 1 && references.front().page == -1) {
        const THistoryOldData& reference = references.front();
        if (AppendPiece(world, word, reference.pageFile, reference.command, 0, -1, {}) >= 0) {
            word.settings.layoutWidth = reference.width;
            word.settings.pageHeight = reference.height;
            word.Layout(pages, 0, -1);
        }
        return;
    }
    if (!references.empty()) RebuildEntries(world, word, pages, compact);
}

void TKivoNewMesData::RebuildPieces(const TextWorld& world, TTpWord& word, PageList& pages,
                                    int32_t backlogOffset) {
    auto combined = std::make_unique<TWdPage>(word);
    int64_t y = backlogOffset;
    for (const HistPiece& piece : pieces.pieces) {
        if (!ScenarioExists(world, piece.pageFile)) break;
        const int32_t first = AppendPiece(world, word, piece.pageFile, piece.command, piece.start,
                                          piece.end, piece.frozenValues);
        if (first < 0) continue;
        PageList scratch;
        word.Layout(scratch, first, -1);
        if (scratch.empty() || scratch.front()->RowCount() == 0) continue;
        y = MoveRows(*scratch.front(), *combined, y) + word.settings.lineSpacing;
    }
    combined->Arrange();
    pages.push_back(std::move(combined));
}

void TKivoNewMesData::RebuildEntries(const TextWorld& world, TTpWord& word, PageList& pages,
                                     bool compact) {
    const int32_t width = word.settings.layoutWidth;
    const int32_t height = word.settings.pageHeight;
    auto combined = std::make_unique<TWdPage>(word);
    int64_t y = 0;
    for (const THistoryOldData& reference : references) {
        const int32_t first =
            AppendPiece(world, word, reference.pageFile, reference.command, 0, -1, {});
        if (first < 0) continue;
        word.settings.layoutWidth = reference.width;
        word.settings.pageHeight = reference.height;
        PageList scratch;
        word.Layout(scratch, first, -1);
        const bool held =
            reference.page >= 0 && static_cast<size_t>(reference.page) < scratch.size();
        int64_t bottom = y;
        if (held) bottom = MoveRows(*scratch[static_cast<size_t>(reference.page)], *combined, y);
        y = compact ? bottom + word.settings.lineSpacing : y + reference.height;
    }
    word.settings.layoutWidth = width;
    word.settings.pageHeight = height;
    combined->Arrange();
    pages.push_back(std::move(combined));
}

// ---- Save record -------------------------------------------------------------------------------

void TKivoNewMesData::Save(ByteWriter& writer, const std::string* frozen) const {
    writer.WriteI32(static_cast<int32_t>(references.size()));
    for (const THistoryOldData& reference : references)
        writer.WriteCountedString(reference.pageFile);
    for (const THistoryOldData& reference : references)
        writer.WriteI32(reference.command);
    for (const THistoryOldData& reference : references)
        writer.WriteI32(reference.page);
    for (const THistoryOldData& reference : references) {
        writer.WriteI32(reference.width);
        writer.WriteI32(reference.height);
    }
    if (frozen == nullptr) {
        pieces.Save(writer);
        return;
    }
    TKivoHistData copy = pieces;
    for (HistPiece& piece : copy.pieces)
        piece.frozenValues = *frozen;
    copy.Save(writer);
}

void TKivoNewMesData::Load(ByteReader& reader, int32_t version) {
    // Each reference takes a name count and four int32 at least.
    const uint32_t count = reader.ReadCount(4 + 16);
    std::vector<THistoryOldData> loaded(count);
    for (THistoryOldData& reference : loaded)
        reference.pageFile = reader.ReadCountedString();
    for (THistoryOldData& reference : loaded)
        reference.command = reader.ReadI32();
    for (THistoryOldData& reference : loaded)
        reference.page = reader.ReadI32();
    for (THistoryOldData& reference : loaded) {
        reference.width = reader.ReadI32();
        reference.height = reader.ReadI32();
    }
    TKivoHistData loadedPieces;
    loadedPieces.Load(reader, version);
    references = std::move(loaded);
    pieces = std::move(loadedPieces);
    cache.Clear();
}

}  // namespace kivo
