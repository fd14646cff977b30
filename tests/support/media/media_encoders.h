#pragma once
// Fixture writers for compressed media, made at test time with the Debian libraries' encoders:
// Ogg Vorbis sound, and Windows Media files (an ASF container with a picture of one solid
// colour per frame and, if asked, a sine sound). Only the media tests link them.

#include <cstdint>
#include <vector>

namespace kivo::test {

// Interleaved 16-bit samples of channels at rate, as Ogg Vorbis.
[[nodiscard]] std::vector<uint8_t> EncodeOgg(const std::vector<int16_t>& samples,
                                             uint16_t channels, uint32_t rate);

struct FilmSpec {
    int32_t width = 64;
    int32_t height = 48;
    int32_t framesPerSecond = 10;
    int32_t frames = 10;
    // Frame k is filled with FrameColor(k).
    bool withVideo = true;
    // A sine of this many hertz at rate, mono, as long as the frames (0: no sound).
    double soundHz = 0;
    uint32_t soundRate = 22050;
};

// The colour of frame k: 0x00RRGGBB, far apart for neighbouring frames.
[[nodiscard]] uint32_t FrameColor(int32_t k);

// A Windows Media file (ASF, WMV2 pictures, WMA sound) as FilmSpec says.
[[nodiscard]] std::vector<uint8_t> EncodeFilm(const FilmSpec& shape);

}  // namespace kivo::test
