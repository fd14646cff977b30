#pragma once
// Sound decoded by the codec library: the audio stream of a media container (Windows Media
// audio, FLAC and the like), and the coded data of WAVE files that are not PCM (ADPCM,
// compressed formats). Both give 16-bit PCM at the sound's own rate, in mono or stereo (more
// channels are mixed down to two).

#include <memory>

#include "media/riff_wave.h"
#include "media/sound_decoder.h"

namespace kivo {

// The first audio stream of the container in stream. Raises KivoError naming the file when
// there is none that can be decoded.
[[nodiscard]] std::unique_ptr<SoundDecoder> OpenContainerSound(std::unique_ptr<TStream> stream);

// The data chunk of a WAVE file in a coding other than PCM, as wave describes it. Raises
// KivoError naming the file when the coding is unknown.
[[nodiscard]] std::unique_ptr<SoundDecoder> OpenCodedWave(std::unique_ptr<TStream> stream,
                                                          const RiffWave& wave);

}  // namespace kivo
