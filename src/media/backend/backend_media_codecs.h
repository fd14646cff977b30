#pragma once
// The decoders of the player: Ogg Vorbis through libvorbisfile, WAVE files through our RIFF
// reader (other codings through the codec library), Windows Media, FLAC and video through the
// media container library, all read from the virtual file system's streams.

#include "media/sound_decoder.h"

namespace kivo {

class BackendMediaCodecs final : public MediaCodecs {
  public:
    BackendMediaCodecs();

    [[nodiscard]] std::unique_ptr<SoundDecoder> OpenSound(std::unique_ptr<TStream> stream,
                                                          SoundContainer container) override;
    [[nodiscard]] std::unique_ptr<SoundDecoder> ToStereo16(std::unique_ptr<SoundDecoder> source,
                                                           int32_t rate,
                                                           const std::string& fileName) override;
    [[nodiscard]] std::unique_ptr<VideoDecoder> OpenVideo(std::unique_ptr<TStream> stream) override;
};

}  // namespace kivo
