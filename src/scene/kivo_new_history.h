#pragma once
// The backlog, one for the program. A message window showing text records with read marks
// records each page it shows as the pending entry; the entry is committed when the window
// leaves the page. Two modes: entry mode keeps one entry per page (the record, the page index
// and the window's box); screen mode, in force once FormatHist gave the backlog a layout
// width, lays each page out again with the backlog's own settings and packs the results into
// screens no taller than the backlog box. CallHist shows a range of the backlog in a window.
//
// @HistoryCount reads the size (entries, or pixels in screen mode); @HistoryMaxCount caps the
// number of entries or screens (0: no cap). The backlog is saved with each game.

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "base/byte_io.h"
#include "scene/kivo_new_mes_data.h"
#include "script/param_collection.h"
#include "text/tp_word.h"

namespace kivo {

// Save versions that changed the backlog stream.
inline constexpr int32_t kSaveVersionBacklogScreens = 113;  // entries as records, screens
inline constexpr int32_t kSaveVersionBacklogValues = 124;   // the pending entry's values

// The page a window records as pending.
struct PendingEntry {
    std::string window;
    std::string pageFile;
    int32_t command = 0;
    int32_t page = 0;
    int32_t start = 0;
    int32_t end = -1;
    int32_t width = 0;
    int32_t height = 0;
    std::string frozenValues;
};

class TKivoNewHistory final : public SystemVariableProvider {
  public:
    // The six backlog format values, in the order FormatHist copies them.
    enum Format : size_t { FontHeight, BorderWidth, ShadowWidth, Width, Height, LineSpacing };

    TKivoNewHistory();
    ~TKivoNewHistory() override;
    TKivoNewHistory(const TKivoNewHistory&) = delete;
    TKivoNewHistory& operator=(const TKivoNewHistory&) = delete;

    // The files, variables and services records are loaded and laid out with; the world's
    // variables, when set, are served @HistoryCount and @HistoryMaxCount until Detach.
    void Attach(const TextWorld& world);
    void Detach();

    // Screen mode: the backlog format gives a layout width.
    [[nodiscard]] bool ScreenMode() const;

    void Record(PendingEntry entry);
    [[nodiscard]] bool HasPending() const { return pending_.has_value(); }
    [[nodiscard]] const std::optional<PendingEntry>& Pending() const { return pending_; }
    // Commits the pending entry when it belongs to that window; it is cleared either way.
    void Commit(std::string_view window);
    // The ClrHist command (and Reset): every entry, screen and the pending entry go.
    void Clear();

    // Entries (entry mode) or screens (screen mode).
    [[nodiscard]] int32_t Count() const;
    // @HistoryCount: entries, or the pixels of all screens.
    [[nodiscard]] int32_t Size() const;
    [[nodiscard]] int32_t MaxCount() const { return maxCount_; }
    void SetMaxCount(int32_t count) { maxCount_ = count; }
    [[nodiscard]] const std::vector<THistoryOldData>& Entries() const { return entries_; }
    [[nodiscard]] const std::vector<TKivoHistData>& Screens() const { return screens_; }

    // Fills a window's references with the backlog from start for count (entries, or pixels
    // in screen mode), already clamped by the caller; returns the backlog offset, where the
    // first piece starts relative to the window's top (0 or negative).
    int32_t Fill(int32_t start, int32_t count, TKivoNewMesData& data) const;

    // The backlog stream of a saved game.
    void Save(ByteWriter& writer) const;
    // Replaces the backlog with a stream of that save version. Damaged data raises an error
    // and leaves the backlog as it was.
    void Load(ByteReader& reader, int32_t version);

    // ---- SystemVariableProvider ----
    [[nodiscard]] SystemValue Read(SystemVariable id, int32_t element) const override;
    void Write(SystemVariable id, const SystemValue& value) override;

  private:
    void CommitScreens(const PendingEntry& entry);
    void Trim();
    [[nodiscard]] int32_t FormatValue(Format which) const;
    void TakeFormat();

    TextWorld world_;
    TTpWord word_;
    TMesDataCacheList cache_;
    std::vector<TKivoHistData> screens_;
    std::vector<THistoryOldData> entries_;
    std::optional<PendingEntry> pending_;
    int32_t maxCount_ = 0;
};

}  // namespace kivo
