// Feeds arbitrary bytes to the save system as a saved game (even first byte) or as the status
// data (odd first byte) of a running game, then runs frames on and saves whatever it accepted:
// damaged entries must fail with KivoError or leave a game that works.

#include <cstddef>
#include <cstdint>
#include <span>
#include <sstream>

#include "base/error.h"
#include "fuzz_game.h"
#include "scene/kivo_base_list.h"
#include "scene/kivo_new_history.h"
#include "scene/kivo_read_list.h"
#include "script/save_manager.h"

namespace {

class SceneSection final : public kivo::SaveSection {
  public:
    explicit SceneSection(kivo::TKivoBaseList& scene) : scene_(scene) {}
    void Save(kivo::ByteWriter& writer) const override { scene_.Save(writer); }
    void Load(kivo::ByteReader& reader, int32_t version) override { scene_.Load(reader, version); }

  private:
    kivo::TKivoBaseList& scene_;
};

class DitherSection final : public kivo::SaveSection {
  public:
    explicit DitherSection(kivo::TKivoBaseList& scene) : scene_(scene) {}
    void Save(kivo::ByteWriter& writer) const override { scene_.Images().Save(writer); }
    void Load(kivo::ByteReader& reader, int32_t version) override {
        scene_.Images().Load(reader, version);
    }

  private:
    kivo::TKivoBaseList& scene_;
};

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    if (size < 1) return 0;
    kivo::fuzz::FuzzGame world;
    kivo::TKivoBaseList scene(world.player, nullptr, &world.events);
    SceneSection sceneRecord(scene);
    auto history = std::make_unique<kivo::TKivoNewHistory>();
    auto marks = std::make_unique<kivo::TKivoReadList>();
    kivo::KeeperSaveSection<kivo::TKivoNewHistory> backlog(history);
    kivo::KeeperSaveSection<kivo::TKivoReadList> readMarks(marks);
    DitherSection dither(scene);
    std::ostringstream warnings;
    kivo::TSaveManager saves({world.player, world.variables, world.tables, world.dialogs,
                              sceneRecord, backlog, readMarks, dither, warnings},
                             kivo::TSaveFile("/nonexistent-kivo-fuzz/save.dat"));
    kivo::NullSceneCommands sceneCommands;
    kivo::TProject game(world.Services(sceneCommands, saves, &scene, &saves));
    if (game.Interpreter() == nullptr) return 0;
    const std::span<const uint8_t> entry(data + 1, size - 1);
    try {
        if (data[0] & 1) {
            saves.RestoreStatus(entry, "fuzz.sav");
        } else {
            saves.RestoreGame(entry, "fuzz.sav");
        }
    } catch (const kivo::KivoError&) {
    }
    // Whatever was restored before an error must be a game that runs and saves again.
    std::vector<kivo::TRect> dirty;
    for (int frame = 0; frame < 2; ++frame) {
        world.player.gameClock += 16;
        scene.InputPass();
        game.RunFrame();
        scene.FrameAdvance();
        (void)scene.Draw(dirty);
        scene.ClearDirty();
    }
    (void)saves.GameEntry("fuzz", "", 0);
    (void)saves.StatusEntry();
    return 0;
}
