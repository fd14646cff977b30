// Reads arbitrary bytes as a message window's save record, the backlog stream or the
// read-mark stream. The first byte chooses: its low two bits the form (0 and 3 the window,
// 1 the backlog, 2 the read marks), the rest the save version. Damaged input must raise
// KivoError and leave the backlog and the read marks as they were; whatever loads must tick,
// save, and read back from what it saved.
#include <array>
#include <cstdint>
#include <cstdlib>
#include <span>

#include "base/byte_io.h"
#include "base/error.h"
#include "base/player_state.h"
#include "scene/kivo_base_list.h"
#include "scene/kivo_mes.h"
#include "scene/kivo_new_history.h"
#include "scene/kivo_read_list.h"

namespace {

constexpr std::array<int32_t, 11> kVersions{99, 103, 104, 110, 112, 113, 119, 120, 123, 124, 134};

void Window(std::span<const uint8_t> bytes, int32_t version) {
    kivo::PlayerState state;
    state.frameDelta = 16;
    kivo::TKivoBaseList root(state);
    root.SetSize(64, 64);
    kivo::TKivoMes& mes = root.Create<kivo::TKivoMes>();
    kivo::ByteReader reader(bytes, "fuzz.dat");
    try {
        mes.Load(reader, version);
    } catch (const kivo::KivoError&) {
        return;
    }
    // As after a game's variables are loaded: the display is made again from the record.
    mes.RebuildAfterLoad();
    mes.SetParent(&root.ActiveLayer());
    for (int frame = 0; frame < 3; ++frame)
        root.FrameAdvance();
    std::vector<kivo::TRect> dirty;
    (void)root.Draw(dirty);
    kivo::ByteWriter writer;
    mes.Save(writer);
    const std::vector<uint8_t> saved = writer.Take();
    kivo::TKivoMes& again = root.Create<kivo::TKivoMes>();
    kivo::ByteReader back(saved, "saved");
    again.Load(back, kivo::kSaveVersionCurrent);
    if (!back.AtEnd()) std::abort();
}

void Backlog(std::span<const uint8_t> bytes, int32_t version) {
    kivo::TKivoNewHistory history;
    history.Record(kivo::PendingEntry{"mes", "keep.ksb", 1, 0, 0, -1, 10, 10, {}});
    history.Commit("mes");
    kivo::ByteReader reader(bytes, "fuzz.dat");
    try {
        history.Load(reader, version);
    } catch (const kivo::KivoError&) {
        if (history.Entries().size() != 1 || history.Entries()[0].pageFile != "keep.ksb") {
            std::abort();
        }
        return;
    }
    kivo::TKivoNewMesData data;
    (void)history.Fill(0, history.Size(), data);
    kivo::ByteWriter writer;
    history.Save(writer);
    const std::vector<uint8_t> saved = writer.Take();
    kivo::TKivoNewHistory again;
    kivo::ByteReader back(saved, "saved");
    again.Load(back, kivo::kSaveVersionCurrent);
    if (again.Entries() != history.Entries() || !back.AtEnd()) std::abort();
}

void ReadMarks(std::span<const uint8_t> bytes, int32_t version) {
    kivo::TKivoReadList marks;
    marks.SetPending("mes", "keep.ksb", 0, 1);
    marks.Commit("mes");
    kivo::ByteReader reader(bytes, "fuzz.dat");
    try {
        marks.Load(reader, version);
    } catch (const kivo::KivoError&) {
        if (!marks.IsRead("keep.ksb", 1, 0)) std::abort();
        return;
    }
    kivo::ByteWriter writer;
    marks.Save(writer);
    const std::vector<uint8_t> saved = writer.Take();
    kivo::TKivoReadList again;
    kivo::ByteReader back(saved, "saved");
    again.Load(back, kivo::kSaveVersionCurrent);
    if (again.FileCount() != marks.FileCount() || !back.AtEnd()) std::abort();
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    if (size == 0) return 0;
    const int32_t version = kVersions[static_cast<size_t>(data[0] >> 2) % kVersions.size()];
    const std::span<const uint8_t> bytes(data + 1, size - 1);
    switch (data[0] & 3) {
        case 1:
            Backlog(bytes, version);
            break;
        case 2:
            ReadMarks(bytes, version);
            break;
        default:
            Window(bytes, version);
            break;
    }
    return 0;
}
