#pragma once
// The entry of the codec module (kivo_av.so): the decoders that need the ffmpeg libraries,
// which the player opens on the first sound or video that needs them. Ogg, PCM WAVE and MIDI
// never load it.

#include <cstdint>
#include <memory>

#include "media/riff_wave.h"
#include "media/sound_decoder.h"

namespace kivo {

inline constexpr const char* kAvModuleFile = "kivo_av.so";
inline constexpr const char* kAvModuleEntry = "kivo_av_codecs";
// Raised whenever the table below changes, so a stale module left from another build is
// refused by name instead of being called with the wrong layout.
inline constexpr uint32_t kAvModuleVersion = 1;

struct AvCodecTable {
    uint32_t version;
    std::unique_ptr<SoundDecoder> (*openContainerSound)(std::unique_ptr<TStream> stream);
    std::unique_ptr<SoundDecoder> (*openCodedWave)(std::unique_ptr<TStream> stream,
                                                   const RiffWave& wave);
    std::unique_ptr<VideoDecoder> (*openContainerVideo)(std::unique_ptr<TStream> stream);
};

}  // namespace kivo

extern "C" {
// The module's one export; the first call also quiets the libraries' own logging.
const kivo::AvCodecTable* kivo_av_codecs();
}
