#pragma once
// Any decoded sound as 16-bit stereo at the mix's rate: resampled, and mixed down or up to two
// channels, by the resampling library.

#include <memory>

#include "media/sound_decoder.h"

namespace kivo {

// Whether sound in format plays in a mix at rate as it is.
[[nodiscard]] inline bool IsStereo16At(const WaveFormat& format, int32_t rate) {
    return format.channels == 2 && format.bitsPerSample == 16 &&
           format.samplesPerSec == static_cast<uint32_t>(rate);
}

// source as 16-bit stereo at rate; source itself when it is that already. Raises KivoError
// naming the file when its format cannot be converted.
[[nodiscard]] std::unique_ptr<SoundDecoder> ResampleToStereo16(std::unique_ptr<SoundDecoder> source,
                                                               int32_t rate,
                                                               const std::string& name);

}  // namespace kivo
