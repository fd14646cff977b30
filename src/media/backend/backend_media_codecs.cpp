#include "media/backend/backend_media_codecs.h"

#include "media/backend/av_input.h"
#include "media/backend/av_sound_decoder.h"
#include "media/backend/av_video_decoder.h"
#include "media/backend/resampled_decoder.h"
#include "media/backend/vorbis_decoder.h"
#include "media/riff_wave.h"

namespace kivo {

BackendMediaCodecs::BackendMediaCodecs() {
    QuietMediaLibraries();
}

std::unique_ptr<SoundDecoder> BackendMediaCodecs::OpenSound(std::unique_ptr<TStream> stream,
                                                            SoundContainer container) {
    switch (container) {
        case SoundContainer::Ogg:
            return OpenVorbis(std::move(stream));
        case SoundContainer::Wave: {
            const RiffWave wave = ReadRiffWave(*stream);
            if (wave.IsPcm()) return std::make_unique<RiffPcmDecoder>(std::move(stream), wave);
            return OpenCodedWave(std::move(stream), wave);
        }
        case SoundContainer::Media:
            return OpenContainerSound(std::move(stream));
    }
    return nullptr;
}

std::unique_ptr<SoundDecoder> BackendMediaCodecs::ToStereo16(std::unique_ptr<SoundDecoder> source,
                                                             int32_t rate,
                                                             const std::string& fileName) {
    return ResampleToStereo16(std::move(source), rate, fileName);
}

std::unique_ptr<VideoDecoder> BackendMediaCodecs::OpenVideo(std::unique_ptr<TStream> stream) {
    return OpenContainerVideo(std::move(stream));
}

}  // namespace kivo
