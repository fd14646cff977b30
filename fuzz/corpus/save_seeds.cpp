// Seeds of the save entries: saved games of the versions on either side of the gates (an even
// first byte) and status data of each status version (an odd one), written by the fixture
// writers.

#include "corpus_seeds.h"
#include "scene/kivo_base_list.h"
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

}  // namespace kivo::corpus
