// Films written by the tests' film writer: every kind of track, chained and layered, in the
// versions whose gates change the layout, and a motion.

#include <string>

#include "corpus_seeds.h"
#include "support/film_writer.h"

namespace kivo::corpus {

namespace {

using namespace kivo::test;

FilmFile EveryKind(int32_t version) {
    FilmFile film{.version = version,
                  .width = 320,
                  .height = 240,
                  .background = 0,
                  .relative = true,
                  .originX = 10,
                  .originY = 20,
                  .loopStart = 15};
    const FilmImageBlock block{.move = {.ex = 100, .ey = 50, .modeX = 1, .modeY = 2},
                               .endAngle = 90,
                               .endZoomX = 2.0,
                               .startAlpha = 0,
                               .clip = {.sw = 10, .sh = 10, .ew = 20, .eh = 20},
                               .endZoomY = 0.5};
    film.tracks.push_back(FilmImageTrack{.base = {.length = 30}, .block = block, .file = "a.gal"});
    film.tracks.push_back(
        FilmImageTrack{.base = {.parent = 0, .length = 20}, .block = block, .file = "..\\b.gal"});
    film.tracks.push_back(FilmLabelTrack{.base = {.length = 10}, .block = block, .text = "hi"});
    film.tracks.push_back(FilmBoxTrack{.base = {.length = 40, .start = 5}, .endColor = 0xFF8040});
    film.tracks.push_back(FilmWipeTrack{
        .base = {.length = 10, .start = 20}, .kind = 5, .ruleFile = "rule.gal", .param0 = 1});
    film.tracks.push_back(FilmSoundTrack{.base = {.length = 60}, .file = "bgm.ogg"});
    film.tracks.push_back(FilmTileTrack{.base = {.length = 30},
                                        .block = block,
                                        .file = "t.gal",
                                        .endWidth = 64,
                                        .endHeight = 64,
                                        .endScrollX = 8});
    film.tracks.push_back(FilmParticleTrack{.base = {.length = 30},
                                            .file = "snow.gal",
                                            .mode = 1,
                                            .intervalBaseStart = 10,
                                            .param0End = 1.5,
                                            .endWidth = 320});
    film.tracks.push_back(FilmFireTrack{.base = {.length = 20},
                                        .startWidth = 64,
                                        .startHeight = 48,
                                        .endWidth = 32,
                                        .endHeight = 24});
    film.tracks.push_back(FilmFireTrack{.base = {.parent = 8, .length = 20}, .power = 200});
    return film;
}

}  // namespace

void FilmSeeds(SeedFolder& seeds) {
    for (const int32_t version : {100, 101, 102, 103, 104, 105, 106, 107, 108})
        seeds.Add("every_kind_" + std::to_string(version) + ".kcn", WriteFilm(EveryKind(version)));
    FilmFile motion = EveryKind(108);
    motion.signature = "KivoMotion";
    seeds.Add("motion.kmt", WriteFilm(motion));
}

}  // namespace kivo::corpus
