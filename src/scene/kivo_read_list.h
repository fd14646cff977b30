#pragma once
// The read marks, one table for the program: for every scenario page file, the pages of its
// text records (command index, page index) that a message window has shown to their end.
// A window sets the mark of the page it shows as pending and commits it when the page has
// been revealed whole (or is left fully revealed); a page shown again asks IsRead to tell its
// play-start handler whether the player has read it before. The marks persist across games in
// the status data.

#include <cstdint>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "base/byte_io.h"
#include "storage/hash_collection.h"

namespace kivo {

// The oldest status-data version that holds the read marks.
inline constexpr int32_t kSaveVersionReadMarks = 100;

// The marks of one scenario page file, in the order they were set.
class TKivoRead final : public THashCollectionItem {
  public:
    [[nodiscard]] bool Contains(int32_t command, int32_t page) const;
    void Add(int32_t command, int32_t page);
    [[nodiscard]] const std::vector<std::pair<int32_t, int32_t>>& Marks() const { return marks_; }

  private:
    std::vector<std::pair<int32_t, int32_t>> marks_;
};

class TKivoReadList {
  public:
    [[nodiscard]] bool IsRead(std::string_view pageFile, int32_t command, int32_t page) const;
    void SetPending(std::string window, std::string pageFile, int32_t page, int32_t command);
    // Commits the pending mark when it belongs to that window; the pending mark is cleared.
    void Commit(std::string_view window);
    // Drops the pending mark of the window without committing it.
    void DropPending(std::string_view window);
    // The ClrRead command: every mark and the pending one go.
    void Clear();

    [[nodiscard]] int32_t FileCount() const { return items_.Count(); }
    [[nodiscard]] const TKivoRead& File(int32_t index) const { return items_.At(index); }
    [[nodiscard]] bool HasPending() const { return pending_; }

    // The read-mark stream of the status data.
    void Save(ByteWriter& writer) const;
    // Replaces the marks with a stream of that status version (none below 100). Damaged data
    // raises an error and leaves the marks as they were.
    void Load(ByteReader& reader, int32_t version);

  private:
    HashCollection<TKivoRead> items_;
    bool pending_ = false;
    std::string pendingFile_;
    int32_t pendingCommand_ = 0;
    int32_t pendingPage_ = 0;
    std::string pendingWindow_;
};

}  // namespace kivo
