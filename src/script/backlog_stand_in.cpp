#include "script/backlog_stand_in.h"

namespace kivo {

namespace {

constexpr size_t kIntBytes = 4;

void SkipStrings(ByteReader& reader, uint32_t count) {
    for (uint32_t i = 0; i < count; ++i)
        (void)reader.ReadCountedString();
}

void SkipInts(ByteReader& reader, uint64_t count) {
    if (count > reader.Remaining() / kIntBytes) reader.Fail("count beyond the data");
    reader.Skip(static_cast<size_t>(count * kIntBytes));
}

// One backlog screen: its pieces and their total height.
void SkipScreen(ByteReader& reader, int32_t version) {
    const uint32_t pieces = reader.ReadCount(kIntBytes * 5);
    for (uint32_t i = 0; i < pieces; ++i) {
        (void)reader.ReadCountedString();  // stored page file name
        SkipInts(reader, 4);               // command index, start, end, height
        if (version >= kSaveVersionFrozenValues) (void)reader.ReadCountedString();
    }
    SkipInts(reader, 1);  // total height
}

}  // namespace

void TBacklogStandIn::Save(ByteWriter& writer) const {
    writer.WriteI32(0);             // entries
    writer.WriteCountedString({});  // pending page file
    writer.WriteI32(0);             // pending command index
    writer.WriteI32(0);             // pending page index
    writer.WriteI32(0);             // pending box width
    writer.WriteI32(0);             // pending box height
    writer.WriteCountedString({});  // pending window name
    for (int i = 0; i < 7; ++i)     // maximum count and the backlog layout: none set
        writer.WriteI32(0);
    writer.WriteI32(0);             // pending start
    writer.WriteI32(0);             // pending end
    writer.WriteI32(0);             // screens
    writer.WriteCountedString({});  // pending frozen values
}

void TBacklogStandIn::Load(ByteReader& reader, int32_t version) {
    if (version < kSaveVersionBacklogEntryRecords) {
        // Older saves kept the entries as parallel arrays after one string of no use.
        (void)reader.ReadCountedString();
        const uint32_t entries = reader.ReadCount(kIntBytes * 5);
        SkipStrings(reader, entries);
        SkipInts(reader, uint64_t{entries} * 4);
    } else {
        const uint32_t entries = reader.ReadCount(kIntBytes * 5);
        for (uint32_t i = 0; i < entries; ++i) {
            (void)reader.ReadCountedString();
            SkipInts(reader, 4);
        }
    }
    (void)reader.ReadCountedString();  // pending page file
    SkipInts(reader, 4);               // pending command index, page index, box size
    (void)reader.ReadCountedString();  // pending window name
    if (version < kSaveVersionBacklogEntryRecords) return;
    SkipInts(reader, 9);  // maximum count, layout, pending start and end
    const uint32_t screens = reader.ReadCount(kIntBytes * 2);
    for (uint32_t i = 0; i < screens; ++i)
        SkipScreen(reader, version);
    if (version >= kSaveVersionFrozenValues) (void)reader.ReadCountedString();
}

void TReadMarkStandIn::Save(ByteWriter& writer) const {
    writer.WriteI32(0);             // pages with marks
    writer.WriteCountedString({});  // pending page file
    writer.WriteI32(0);             // pending command index
    writer.WriteI32(0);             // pending page index
    writer.WriteCountedString({});  // pending window name
}

void TReadMarkStandIn::Load(ByteReader& reader, int32_t version) {
    if (version < kStatusVersionReadMarks) return;
    const uint32_t pages = reader.ReadCount(kIntBytes * 2);
    for (uint32_t i = 0; i < pages; ++i) {
        (void)reader.ReadCountedString();
        const uint32_t marks = reader.ReadCount(kIntBytes * 2);
        SkipInts(reader, uint64_t{marks} * 2);
    }
    (void)reader.ReadCountedString();
    SkipInts(reader, 2);
    (void)reader.ReadCountedString();
}

}  // namespace kivo
