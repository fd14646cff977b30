// Preview menus written by the tests' writer: one of every version, with every picture name
// set so that each version's gates show, and an empty menu.

#include <string>

#include "corpus_seeds.h"
#include "support/prev_menu_writer.h"

namespace kivo::corpus {

void PrevMenuSeeds(SeedFolder& seeds) {
    using kivo::test::PrevMenuButton;
    using kivo::test::PrevMenuFile;
    const PrevMenuButton full{4,         6,        "n.gal",  true,          "save",
                              "h.gal",   "l.gal",  "c.gal",  "d.gal",       "dh.gal",
                              "dl.gal",  "ho.gal", "lo.gal", "co.kmt",      "dho.gal",
                              "dlo.gal", 30,       2,        "..\\hand.cur"};
    PrevMenuButton plain;
    plain.x = 20;
    plain.y = 6;
    plain.normal = "n.gal";
    plain.name = "load";
    for (const char* version : {"100", "101", "102", "103"}) {
        PrevMenuFile menu;
        menu.version = version;
        menu.width = 64;
        menu.height = 32;
        menu.buttons = {full, plain};
        seeds.Add(std::string("menu_") + version + ".kpm", kivo::test::WritePrevMenu(menu));
    }
    seeds.Add("empty.kpm", kivo::test::WritePrevMenu(PrevMenuFile{}));
}

}  // namespace kivo::corpus
