#pragma once
// Writer of films ("KivoCinema" and "KivoMotion" files). Every field is written as given, in
// the layout of the film's version (fields a version lacks are left out; times and volumes are
// stored as they are, so an old film holds what an old editor wrote), which lets tests and the
// demo's build write both whole films and what a damaged one holds.
//
//   FilmFile film{.width = 320, .height = 240};
//   film.tracks.push_back(FilmImageTrack{.base = {.length = 30},
//                                        .block = {.move = {.ex = 100}},
//                                        .file = "a.gal"});
//   std::vector<uint8_t> bytes = WriteFilm(film);

#include <cstdint>
#include <optional>
#include <string>
#include <variant>
#include <vector>

namespace kivo::test {

struct FilmBase {
    int32_t parent = -1;
    int32_t length = 1;
    int32_t reserved = 0;
    int32_t start = 0;
    int32_t cycle = 0;
    int32_t priority = 0;
    bool flipH = false;
    bool flipV = false;
    bool otherSide = false;
};

// A point from (sx, sy) to (ex, ey).
struct FilmMove {
    int32_t sx = 0, sy = 0, ex = 0, ey = 0;
    uint8_t modeX = 0, modeY = 0;
};

// A clip rectangle from (sl, st, sw, sh) to (el, et, ew, eh).
struct FilmClip {
    int32_t sl = 0, st = 0, sw = 0, sh = 0, el = 0, et = 0, ew = 0, eh = 0;
    uint8_t modeX = 0, modeY = 0;
};

// The block image, tile and label tracks begin with.
struct FilmImageBlock {
    int32_t anchorX = 0, anchorY = 0;
    FilmMove move = {};
    int32_t startAngle = 0, endAngle = 0;
    double startZoomX = 1.0, endZoomX = 1.0;
    uint8_t zoomXMode = 0;
    int32_t startAlpha = 255, endAlpha = 255;
    uint8_t angleMode = 0;
    FilmClip clip = {};                       // version 101 and above
    double startZoomY = 1.0, endZoomY = 1.0;  // version 105 and above
    uint8_t zoomYMode = 0;
};

struct FilmImageTrack {
    FilmBase base = {};
    FilmImageBlock block = {};
    std::string file = {};
};

struct FilmTileTrack {
    FilmBase base = {};
    FilmImageBlock block = {};
    std::string file = {};
    int32_t startWidth = 0, startHeight = 0, endWidth = 0, endHeight = 0;
    int32_t startScrollX = 0, startScrollY = 0, endScrollX = 0, endScrollY = 0;
    uint8_t scrollXMode = 0, scrollYMode = 0;
    int32_t spacingX = 0, spacingY = 0;
    FilmClip clip = {};  // version 101 and above
};

struct FilmLabelTrack {
    FilmBase base = {};
    FilmImageBlock block = {};
    std::string text = {};
    bool antiAlias = false;
    std::string fontName = {};
    int32_t fontHeight = 16;
    int32_t lineSpacing = 0;  // four unused bytes below version 103
    uint8_t fontStyle = 0;
    int32_t fontColor = 0;
    uint8_t align = 0;  // version 103 and above
};

struct FilmBoxTrack {
    FilmBase base = {};
    FilmMove move = {};
    int32_t startAlpha = 255, endAlpha = 255;
    int32_t startWidth = 100, startHeight = 100, endWidth = 100, endHeight = 100;
    int32_t startColor = 0, endColor = 0;
    int32_t startBorderWidth = 0, endBorderWidth = 0;
    int32_t startBorderColor = -1, endBorderColor = -1;
    FilmClip clip = {};  // version 101 and above
};

struct FilmFireTrack {
    FilmBase base = {};
    FilmMove move = {};
    int32_t startWidth = 0, startHeight = 0, endWidth = 0, endHeight = 0;
    FilmClip clip = {};
    double startZoomX = 4.0, startZoomY = 4.0, endZoomX = 4.0, endZoomY = 4.0;
    uint8_t zoomXMode = 0, zoomYMode = 0;
    int32_t power = 100;
};

struct FilmParticleTrack {
    FilmBase base = {};
    std::string file = {};  // empty: the record ends here
    uint8_t mode = 0;
    int32_t index = 0;
    int32_t intervalBaseStart = 0, intervalBaseEnd = 0, intervalRangeStart = 0,
            intervalRangeEnd = 0;
    int32_t xBaseStart = 0, yBaseStart = 0, xBaseEnd = 0, yBaseEnd = 0;
    int32_t xRangeStart = 0, yRangeStart = 0, xRangeEnd = 0, yRangeEnd = 0;
    uint8_t xBaseMode = 0, yBaseMode = 0;
    double param0Start = 0, param1Start = 0, param2Start = 0;
    double param0End = 0, param1End = 0, param2End = 0;
    FilmMove move = {};
    int32_t startWidth = 0, startHeight = 0, endWidth = 0, endHeight = 0;
    FilmClip clip = {};
    int32_t startAlpha = 255, endAlpha = 255;
};

struct FilmWipeTrack {
    FilmBase base = {};
    uint8_t kind = 0;
    std::string ruleFile = {};  // this and the rest: version 101 and above
    int32_t param0 = 0, param1 = 0;
    bool flag = false;
};

struct FilmSoundTrack {
    FilmBase base = {};
    std::string file = {};
    int32_t startVolume = 1000, endVolume = 1000;  // hundredths of decibels up to version 107
    int32_t startBalance = 0, endBalance = 0;
    uint8_t volumeMode = 0, balanceMode = 0;
};

// A kind byte the reader does not know, then raw bytes.
struct FilmUnknownTrack {
    uint8_t kind = 0x7F;
    std::vector<uint8_t> bytes = {};
};

using FilmTrack =
    std::variant<FilmImageTrack, FilmLabelTrack, FilmBoxTrack, FilmWipeTrack, FilmSoundTrack,
                 FilmTileTrack, FilmParticleTrack, FilmFireTrack, FilmUnknownTrack>;

struct FilmFile {
    std::string signature = "KivoCinema";  // or "KivoMotion"
    int32_t version = 108;                 // written as three digits
    int32_t width = 0, height = 0;
    int32_t background = -1;
    bool relative = false;             // version 102 and above
    int32_t originX = 0, originY = 0;  // version 104 and above
    int32_t loopStart = 0;             // version 106 and above
    // The track count written; the number of tracks when not set.
    std::optional<int32_t> trackCount = {};
    // Ored into every kind byte (the reader uses the low seven bits).
    uint8_t kindFlags = 0;
    std::vector<FilmTrack> tracks = {};
};

[[nodiscard]] std::vector<uint8_t> WriteFilm(const FilmFile& film);

}  // namespace kivo::test
