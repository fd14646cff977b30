// Reads arbitrary bytes as the player's own text inputs: a game.ini and a scripted input file.
// Damaged input must raise KivoError or keep the defaults, never crash; the sound delay always
// ends up inside the range the wave output accepts.
#include <cstdint>
#include <cstdlib>
#include <string_view>

#include "base/error.h"
#include "shell/game_ini.h"
#include "shell/input_script.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const std::string_view text(reinterpret_cast<const char*>(data), size);
    try {
        kivo::PlayerState state;
        kivo::ApplyGameIni(text, "game.ini", state);
        if (state.soundDelay < 100 || state.soundDelay > 500) std::abort();
    } catch (const kivo::KivoError&) {
    }
    try {
        (void)kivo::ParseInputScript(text, "input.txt");
    } catch (const kivo::KivoError&) {
    }
    return 0;
}
