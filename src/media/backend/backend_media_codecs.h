#pragma once
// The decoders of the player: Ogg Vorbis through libvorbisfile, WAVE files through our RIFF
// reader (other codings through the codec library), Windows Media, FLAC and video through the
// media container library, all read from the virtual file system's streams. The container and
// codec libraries live in the codec module, opened on the first sound or video that needs it;
// the resampler lives in the resampling module, opened in the background from construction.

#include <filesystem>
#include <future>
#include <string_view>
#include <vector>

#include "media/sound_decoder.h"

namespace kivo {

struct AvCodecTable;
struct ResampleTable;

class BackendMediaCodecs final : public MediaCodecs {
  public:
    // The modules are looked for in the program's module folders.
    BackendMediaCodecs();
    explicit BackendMediaCodecs(std::vector<std::filesystem::path> moduleFolders);
    ~BackendMediaCodecs() override;
    BackendMediaCodecs(const BackendMediaCodecs&) = delete;
    BackendMediaCodecs& operator=(const BackendMediaCodecs&) = delete;

    [[nodiscard]] std::unique_ptr<SoundDecoder> OpenSound(std::unique_ptr<TStream> stream,
                                                          SoundContainer container) override;
    [[nodiscard]] std::unique_ptr<SoundDecoder> ToStereo16(std::unique_ptr<SoundDecoder> source,
                                                           int32_t rate,
                                                           const std::string& fileName) override;
    [[nodiscard]] std::unique_ptr<VideoDecoder> OpenVideo(std::unique_ptr<TStream> stream) override;

  private:
    // The codec module, opened on first use. Raises KivoError naming fileName, the module and
    // feature when it cannot be opened; the next use tries again.
    [[nodiscard]] const AvCodecTable& AvCodecs(const std::string& fileName,
                                               std::string_view feature);
    // The resampling module; waits for the opening started at construction the first time.
    // Raises KivoError naming fileName as AvCodecs does.
    [[nodiscard]] const ResampleTable& Resampler(const std::string& fileName);

    std::vector<std::filesystem::path> moduleFolders_;
    const AvCodecTable* avCodecs_ = nullptr;
    const ResampleTable* resampler_ = nullptr;
    // Started at construction: loading the resampling libraries takes several milliseconds,
    // which the first sound at another rate would otherwise cost the frame that starts it.
    std::future<const ResampleTable*> resamplerOpening_;
};

}  // namespace kivo
