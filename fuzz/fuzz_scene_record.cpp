// Feeds arbitrary bytes to the scene root as a saved scene record, then runs frames on and
// saves whatever it accepted: damaged records must fail with KivoError or load a scene that
// works.

#include <cstddef>
#include <cstdint>
#include <span>
#include <vector>

#include "base/error.h"
#include "base/player_state.h"
#include "scene/kivo_base_list.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    if (size < 1) return 0;
    // The first byte picks a save version on either side of the gates of the records.
    constexpr int32_t kVersions[] = {101, 103, 113, 117, 119, 129, 134, 134};
    const int32_t version = kVersions[data[0] & 7];
    kivo::PlayerState player;
    player.frameDelta = 16;
    kivo::TKivoBaseList scene(player);
    kivo::ByteReader reader(std::span<const uint8_t>(data + 1, size - 1), "fuzz.sav");
    try {
        scene.Load(reader, version);
    } catch (const kivo::KivoError&) {
    }
    // Whatever was read before an error must be a scene that works.
    std::vector<kivo::TRect> dirty;
    for (int frame = 0; frame < 2; ++frame) {
        scene.SetPointer(frame * 7, frame * 5);
        scene.SetClicks(frame == 0, frame == 1);
        scene.InputPass();
        scene.FrameAdvance();
        (void)scene.Draw(dirty);
        scene.ClearDirty();
    }
    kivo::ByteWriter writer;
    scene.Save(writer);
    return 0;
}
