#pragma once
// The backlog's and the read marks' parts of saved games and of the status data, for a player
// whose message windows do not keep a backlog or read marks yet. They write the forms of an
// empty backlog and of an empty read-mark list, and read (and check, and drop) the parts that
// saved games of any version carry, so that save files stay exchangeable with players that
// keep both.

#include "script/save_port.h"

namespace kivo {

// Save versions of the backlog stream that changed its form.
inline constexpr int32_t kSaveVersionBacklogEntryRecords = 113;  // entries as records, layout
inline constexpr int32_t kSaveVersionFrozenValues = 124;         // frozen variable values
// Status versions of the read-mark stream.
inline constexpr int32_t kStatusVersionReadMarks = 100;

class TBacklogStandIn final : public SaveSection {
  public:
    void Save(ByteWriter& writer) const override;
    void Load(ByteReader& reader, int32_t version) override;
};

class TReadMarkStandIn final : public SaveSection {
  public:
    void Save(ByteWriter& writer) const override;
    // Status versions below 100 carry no read marks.
    void Load(ByteReader& reader, int32_t version) override;
};

}  // namespace kivo
