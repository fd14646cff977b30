// Feeds arbitrary bytes to the preview-menu reader, then builds a menu from what it accepted
// and drives it with the pointer and the keys: a damaged file must fail with KivoError and a
// file read whole must give a menu that works, whatever names and places its buttons have.

#include <cstddef>
#include <cstdint>
#include <span>
#include <vector>

#include "base/error.h"
#include "base/player_state.h"
#include "scene/cont_sel_list.h"
#include "scene/kivo_base_list.h"
#include "scene/kivo_prev_menu.h"
#include "storage/stream.h"
#include "storage/vr_file_manager.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const std::span<const uint8_t> bytes(data, size);
    try {
        const kivo::TContSelList list = kivo::TContSelList::Parse(bytes, "MENU\\fuzz.kpm");
        if (list.buttons.size() > 64) return 0;  // a menu that large only slows the fuzzer
    } catch (const kivo::KivoError&) {
        return 0;
    }
    kivo::PlayerState player;
    player.frameDelta = 16;
    kivo::TVrFileManager files;
    files.MemoryCollection()
        .AddMemoryEntry("MENU\\fuzz.kpm")
        .memory->Assign(std::vector<uint8_t>(bytes.begin(), bytes.end()));
    kivo::TKivoBaseList scene(player);
    scene.SetSize(64, 48);
    scene.SetServices({.files = &files});
    auto& menu = scene.Create<kivo::TKivoPrevMenu>();
    menu.Rename("m");
    menu.SetParent(&scene.ActiveLayer());
    menu.SetHandleKey(true);
    menu.SetSource("MENU\\fuzz.kpm");
    for (int32_t i = 0; i < menu.Count(); ++i)
        menu.SetButtonEnabled(i, i % 2 == 0);
    std::vector<kivo::TRect> dirty;
    for (int frame = 0; frame < 6; ++frame) {
        scene.SetPointer(frame * 11 % 64, frame * 7 % 48);
        scene.SetButtonsHeld(frame % 2 == 0, false);
        scene.SetClicks(frame % 2 == 0, false);
        scene.SetKeyDown(39, frame == 3);
        if (frame == 3) scene.MarkKeyPressed(39);
        scene.InputPass();
        scene.FrameAdvance();
        (void)scene.Draw(dirty);
        scene.ClearDirty();
    }
    kivo::ByteWriter writer;
    scene.Save(writer);
    return 0;
}
