#include "media/backend/backend_media_codecs.h"

#include "base/error.h"
#include "media/backend/av_module.h"
#include "media/backend/resample_module.h"
#include "media/backend/resampled_decoder.h"
#include "media/backend/vorbis_decoder.h"
#include "media/riff_wave.h"
#include "platform/shared_module.h"

namespace kivo {

BackendMediaCodecs::BackendMediaCodecs()
    : BackendMediaCodecs(SharedModule::ProgramModuleFolders()) {}

namespace {

const ResampleTable* OpenResampler(std::span<const std::filesystem::path> folders) {
    return &SharedModule::OpenTable<ResampleTable>(
        kResampleModuleFile, "sound at another rate or channel count", kResampleModuleEntry,
        kResampleModuleVersion, folders);
}

// Raises error again naming fileName.
[[noreturn]] void RaiseFor(const std::string& fileName, const KivoError& error) {
    throw KivoError(fileName, error.what());
}

}  // namespace

BackendMediaCodecs::BackendMediaCodecs(std::vector<std::filesystem::path> moduleFolders)
    : moduleFolders_(std::move(moduleFolders)),
      resamplerOpening_(std::async(
          std::launch::async, [folders = moduleFolders_] { return OpenResampler(folders); })) {}

// The future of the opening waits for it, so the thread never outlives the folders.
BackendMediaCodecs::~BackendMediaCodecs() = default;

std::unique_ptr<SoundDecoder> BackendMediaCodecs::OpenSound(std::unique_ptr<TStream> stream,
                                                            SoundContainer container) {
    switch (container) {
        case SoundContainer::Ogg:
            return OpenVorbis(std::move(stream));
        case SoundContainer::Wave: {
            const RiffWave wave = ReadRiffWave(*stream);
            if (wave.IsPcm()) return std::make_unique<RiffPcmDecoder>(std::move(stream), wave);
            const auto& codecs = AvCodecs(stream->SourceName(), "WAVE sound that is not PCM");
            return codecs.openCodedWave(std::move(stream), wave);
        }
        case SoundContainer::Media: {
            const auto& codecs = AvCodecs(stream->SourceName(), "Windows Media and FLAC sound");
            return codecs.openContainerSound(std::move(stream));
        }
    }
    return nullptr;
}

std::unique_ptr<SoundDecoder> BackendMediaCodecs::ToStereo16(std::unique_ptr<SoundDecoder> source,
                                                             int32_t rate,
                                                             const std::string& fileName) {
    if (IsStereo16At(source->Format(), rate)) return source;
    return Resampler(fileName).toStereo16(std::move(source), rate, fileName);
}

std::unique_ptr<VideoDecoder> BackendMediaCodecs::OpenVideo(std::unique_ptr<TStream> stream) {
    return AvCodecs(stream->SourceName(), "video").openContainerVideo(std::move(stream));
}

const AvCodecTable& BackendMediaCodecs::AvCodecs(const std::string& fileName,
                                                 std::string_view feature) {
    if (avCodecs_ != nullptr) return *avCodecs_;
    try {
        avCodecs_ = &SharedModule::OpenTable<AvCodecTable>(kAvModuleFile, feature, kAvModuleEntry,
                                                           kAvModuleVersion, moduleFolders_);
    } catch (const KivoError& error) {
        RaiseFor(fileName, error);
    }
    return *avCodecs_;
}

const ResampleTable& BackendMediaCodecs::Resampler(const std::string& fileName) {
    if (resampler_ != nullptr) return *resampler_;
    try {
        // After a failed opening the next use tries again here.
        resampler_ =
            resamplerOpening_.valid() ? resamplerOpening_.get() : OpenResampler(moduleFolders_);
    } catch (const KivoError& error) {
        RaiseFor(fileName, error);
    }
    return *resampler_;
}

}  // namespace kivo
