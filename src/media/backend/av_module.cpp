#include "media/backend/av_module.h"

#include "media/backend/av_input.h"
#include "media/backend/av_sound_decoder.h"
#include "media/backend/av_video_decoder.h"

const kivo::AvCodecTable* kivo_av_codecs() {
    static const kivo::AvCodecTable table = [] {
        kivo::QuietMediaLibraries();
        return kivo::AvCodecTable{kivo::kAvModuleVersion, kivo::OpenContainerSound,
                                  kivo::OpenCodedWave, kivo::OpenContainerVideo};
    }();
    return &table;
}
