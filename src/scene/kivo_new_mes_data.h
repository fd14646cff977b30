#pragma once
// Where a message window's text comes from when it is not markup: references to text records
// of scenario pages (TextIns commands), named by page file and command index instead of
// copied, and the rebuild of the window's pages from them. Two forms exist. The first lists
// whole records with a page index and the box they were laid out in (old backlog entries);
// the second lists pieces of records between two text positions (the text a TextIns shows,
// or the pieces of one backlog screen). A small cache keeps the pages and texts loaded last.

#include <cstdint>
#include <list>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "base/byte_io.h"
#include "scene/text_world.h"
#include "script/page_file.h"
#include "text/tp_word.h"
#include "text/wd_page.h"

namespace kivo {

// The save version from which the pieces keep the values their variable fields showed.
inline constexpr int32_t kSaveVersionPieceValues = 124;

using PageList = std::vector<std::unique_ptr<TWdPage>>;

// One piece of text of a record.
struct HistPiece {
    std::string pageFile;  // always the full name in memory; streams leave out repeats
    int32_t command = 0;
    int32_t start = 0;  // text positions; end -1 runs to the end of the record
    int32_t end = -1;
    int32_t height = 0;
    std::string frozenValues;  // "expression=value" lines joined with CR LF

    friend bool operator==(const HistPiece&, const HistPiece&) = default;
};

// One backlog screen, or the second form of a window's references.
class TKivoHistData {
  public:
    std::vector<HistPiece> pieces;

    // The sum of the pieces' heights.
    [[nodiscard]] int32_t TotalHeight() const;
    void Save(ByteWriter& writer) const;
    // Damaged data raises an error; the pieces are replaced only when all were read.
    void Load(ByteReader& reader, int32_t version);
};

// A whole record shown at one of its pages in a box of a given size: the first form of a
// window's references and the backlog entries of entry mode.
struct THistoryOldData {
    std::string pageFile;
    int32_t command = 0;
    int32_t page = -1;  // -1: every page
    int32_t width = 0;
    int32_t height = 0;

    friend bool operator==(const THistoryOldData&, const THistoryOldData&) = default;
};

// Names in streams: a piece or entry stores its page file only when it differs, ignoring
// ASCII case, from the last name stored before it; an empty stored name repeats that name.
class StoredNames {
  public:
    [[nodiscard]] std::string Compress(const std::string& name);
    [[nodiscard]] std::string Expand(std::string stored);

  private:
    std::string last_;
};

// The text of a TextIns record: its glyph stream, or its markup read with the text delay in
// force. Null when the record is not a TextIns command.
[[nodiscard]] std::unique_ptr<TTpWord> LoadTextRecord(const TextWorld& world,
                                                      const CommandRecord& record,
                                                      const std::string& pageFile);

// The text positions of a page's first and last glyph that count, (0, -1) for none.
[[nodiscard]] std::pair<int32_t, int32_t> PageTextRange(const TTpWord& word, const TWdPage& page);

// The lines of marked-up text; a final line break is kept as an empty last line, since
// markup reads its lines joined by line breaks.
[[nodiscard]] std::vector<std::string> MarkupLines(std::string_view text);

// The four most recently used scenario pages, each with the sixteen texts of its records
// loaded last, most recent first.
class TMesDataCacheList {
  public:
    static constexpr size_t kPages = 4;
    static constexpr size_t kTexts = 16;

    // The text of the record at command in the page file; null when the file is missing or
    // damaged or the command is no TextIns record. Valid until the next Find or Clear.
    [[nodiscard]] const TTpWord* Find(const TextWorld& world, std::string_view pageFile,
                                      int32_t command);
    void Clear() { pages_.clear(); }

  private:
    struct CachedText {
        int32_t command;
        std::unique_ptr<TTpWord> word;
    };
    struct CachedPage {
        std::string name;
        PageFile file;
        std::list<CachedText> texts;
    };
    std::list<CachedPage> pages_;
};

// Whether the game's files hold the page file.
[[nodiscard]] bool ScenarioExists(const TextWorld& world, std::string_view pageFile);

class TKivoNewMesData {
  public:
    std::vector<THistoryOldData> references;  // the first form
    TKivoHistData pieces;                     // the second form; used whenever it holds any
    TMesDataCacheList cache;

    [[nodiscard]] bool Empty() const { return references.empty() && pieces.pieces.empty(); }
    void Clear() {
        references.clear();
        pieces.pieces.clear();
    }

    // Lays the referenced text out into pages of word (emptied first). backlogOffset is where
    // a backlog screen's first piece starts; compact closes up old backlog entries.
    void Rebuild(const TextWorld& world, TTpWord& word, PageList& pages, int32_t backlogOffset,
                 bool compact);

    // The references of the save record; frozen, when given, replaces every piece's values.
    void Save(ByteWriter& writer, const std::string* frozen = nullptr) const;
    void Load(ByteReader& reader, int32_t version);

  private:
    // Appends the glyphs of the piece's text to word; the index of the first one appended,
    // or -1 when there was nothing to append.
    int32_t AppendPiece(const TextWorld& world, TTpWord& word, const std::string& pageFile,
                        int32_t command, int32_t start, int32_t end, const std::string& frozen);
    void RebuildPieces(const TextWorld& world, TTpWord& word, PageList& pages,
                       int32_t backlogOffset);
    void RebuildEntries(const TextWorld& world, TTpWord& word, PageList& pages, bool compact);
};

}  // namespace kivo
