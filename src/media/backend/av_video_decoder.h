#pragma once
// Video frames decoded by the codec library and converted to the scene's 32-bit pixels by the
// scaling library.

#include <memory>

#include "media/sound_decoder.h"

namespace kivo {

// The first video stream of the container in stream. Raises KivoError naming the file when it
// has none that can be decoded.
[[nodiscard]] std::unique_ptr<VideoDecoder> OpenContainerVideo(std::unique_ptr<TStream> stream);

}  // namespace kivo
