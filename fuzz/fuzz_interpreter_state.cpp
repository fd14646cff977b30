// Feeds arbitrary bytes to the interpreter as a saved interpreter state, then runs frames on
// whatever it accepted: damaged states must fail with KivoError or run without harm.

#include <cstddef>
#include <cstdint>
#include <span>

#include "base/error.h"
#include "fuzz_game.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    if (size < 1) return 0;
    kivo::fuzz::FuzzGame world;
    kivo::NullSceneCommands scene;
    kivo::NullSavePort saves;
    kivo::TProject game(world.Services(scene, saves));
    kivo::TCallMan* interpreter = game.Interpreter();
    if (interpreter == nullptr) return 0;
    // The first byte picks a save version below or above the one that added the level.
    int32_t version = data[0] & 1 ? 134 : 115;
    kivo::ByteReader reader(std::span<const uint8_t>(data + 1, size - 1), "fuzz.sav");
    try {
        interpreter->LoadState(reader, version);
    } catch (const kivo::KivoError&) {
        return 0;
    }
    for (int frame = 0; frame < 3; ++frame) {
        world.player.gameClock += 16;
        world.player.frameDelta = 16;
        world.events.Post({"start.ksb:here", {}, 33, 0, {}});
        game.RunFrame();
    }
    return 0;
}
