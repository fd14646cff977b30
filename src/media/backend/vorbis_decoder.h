#pragma once
// Ogg Vorbis sound read straight from a stream of the virtual file system through
// libvorbisfile's callbacks: no work file, no copy of the whole file.

#include <memory>

#include "media/sound_decoder.h"

namespace kivo {

// Opens the Ogg Vorbis data of stream. Raises KivoError naming the stream's file when it is not
// Ogg Vorbis or cannot be read.
[[nodiscard]] std::unique_ptr<SoundDecoder> OpenVorbis(std::unique_ptr<TStream> stream);

}  // namespace kivo
