// Seeds of the save entries: saved games of the versions on either side of the gates (an even
// first byte) and status data of each status version (an odd one), written by the fixture
// writers. Also the player's save states (states.dat, an even first byte) and its remembered
// volume (an odd one).

#include <array>
#include <optional>
#include <vector>

#include "corpus_seeds.h"
#include "scene/kivo_base_list.h"
#include "storage/state_file.h"
#include "support/interpreter_state_builder.h"
#include "support/save_entry_builder.h"
#include "support/variable_list_builder.h"

namespace kivo::corpus {

namespace {

// The record of an empty scene of 64 x 48 as the scene root writes it.
std::vector<uint8_t> EmptySceneRecord() {
    PlayerState player;
    TKivoBaseList scene(player);
    scene.SetSize(64, 48);
    ByteWriter writer;
    scene.Save(writer);
    return writer.Take();
}

// A state as the player takes it: a saved game of the current version and its status data.
SaveState StateAt(int32_t minute, int32_t gameClock) {
    test::VariableListBuilder list;
    list.Int("score", {gameClock}).Str("name", {"seed"});
    test::VariableListBuilder status;
    status.Int("volume", {80}, {}, {.status = 1});
    const test::SavedGame game{
        .caption = "state",
        .resumePage = "start.ksb",
        .resumeIndex = 1,
        .scene = EmptySceneRecord(),
        .interpreter = test::WriteInterpreterState({.page = "start.ksb", .pc = 2}, 134),
        .variables = list.GameBytes(134)};
    return {.year = 2026,
            .month = 12,
            .day = 10,
            .hour = 21,
            .minute = minute,
            .second = 5,
            .projectHash = 0x0123456789ABCDEFull,
            .gameClock = gameClock,
            .gameEntry = test::WriteGameEntry(game),
            .statusEntry = test::WriteStatusEntry({.variables = status.StatusBytes()})};
}

}  // namespace

void SaveEntrySeeds(SeedFolder& seeds) {
    const std::vector<uint8_t> scene = EmptySceneRecord();
    test::VariableListBuilder list;
    list.Int("score", {7}).Str("names", {"a", "b"}, {2}).Ref("alias", "score");
    for (int32_t version : {107, 112, 122, 123, 134}) {
        const test::SavedGame game{
            .version = version,
            .caption = "seed",
            .resumePage = version == 134 ? "start.ksb" : "",
            .resumeIndex = 1,
            .scene = scene,
            .interpreter = test::WriteInterpreterState({.page = "start.ksb", .pc = 1}, version),
            .variables = list.GameBytes(version)};
        seeds.AddSelected("game_" + std::to_string(version) + ".sav", 0,
                          test::WriteGameEntry(game));
    }
    test::VariableListBuilder status;
    status.Int("volume", {80}, {}, {.status = 1});
    const struct {
        const char* header;
        bool readMarks, dither, tables;
    } forms[] = {{"Status103", true, true, true},
                 {"Status102", true, true, false},
                 {"Status100", true, false, false},
                 {"", false, false, false}};
    int index = 0;
    for (const auto& form : forms) {
        test::SavedStatus entry{.header = form.header, .variables = status.StatusBytes()};
        if (!form.readMarks) entry.readMarks = std::vector<uint8_t>{};
        if (!form.dither) entry.dither.reset();
        if (form.tables) entry.tables = test::NoTables(false);
        seeds.AddSelected("status_" + std::to_string(index++) + ".sav", 1,
                          test::WriteStatusEntry(entry));
    }
}

void StateFileSeeds(SeedFolder& seeds) {
    std::array<std::optional<SaveState>, kStateSlotCount> slots;
    seeds.AddSelected("states_empty.dat", 0, StateFileBytes(slots));
    slots[0] = StateAt(0, 1000);
    seeds.AddSelected("states_one.dat", 0, StateFileBytes(slots));
    for (int32_t slot = 2; slot <= kStateSlotCount; ++slot)
        slots[static_cast<size_t>(slot - 1)] = StateAt(slot, slot * 1000);
    seeds.AddSelected("states_full.dat", 0, StateFileBytes(slots));

    // One damaged record amid good ones: the reader goes on to the next slot.
    std::array<std::optional<SaveState>, kStateSlotCount> three;
    three[1] = StateAt(1, 100);
    three[4] = StateAt(2, 200);
    three[8] = StateAt(3, 300);
    std::vector<uint8_t> damaged = StateFileBytes(three);
    damaged[damaged.size() / 2] ^= 0x5A;
    seeds.AddSelected("states_damaged.dat", 0, damaged);

    seeds.AddText("volume.txt", "\x01volume=70\n");
    seeds.AddText("volume_crlf.txt", "\x01volume=100\r\n");
}

}  // namespace kivo::corpus
