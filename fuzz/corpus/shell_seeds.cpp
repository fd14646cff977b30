// Seeds of the player's own text inputs: game.ini files and scripted input files (the target
// reads each input both ways).

#include "corpus_seeds.h"

namespace kivo::corpus {

void PlayerSettingsSeeds(SeedFolder& seeds) {
    seeds.AddText("game.ini", "[Sound]\r\nDirectSound=1\r\nDelayTime=300\r\n");
    seeds.AddText("game_hex.ini",
                  "; settings\n[Other]\nDelayTime=1\n[ sound ]\ndirectsound = $0\n"
                  "DELAYTIME=0x1F4\n");
    seeds.AddText("game_bad_values.ini", "[Sound]\nDelayTime=-50\nDirectSound=yes\n=3\n[Sound");
    seeds.AddText("input.txt",
                  "0 move 10 20\n1 ldown\n2 lup\n3 rdown\n4 rup\n5 wheelup\n6 wheeldown\n"
                  "7 keydown 13\n8 keyup 13\n9 answer ok\n10 answer cancel\n11 answer yes\n"
                  "12 answer no\n13 choose 2\n");
    seeds.AddText("input_spaces.txt", "# comment\n\n  20   move   0  0  \r\n21 keydown 255\r\n");
}

}  // namespace kivo::corpus
