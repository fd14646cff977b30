#include "media/backend/resample_module.h"

#include "media/backend/resampled_decoder.h"

const kivo::ResampleTable* kivo_resample_sound() {
    static const kivo::ResampleTable table{kivo::kResampleModuleVersion, kivo::ResampleToStereo16};
    return &table;
}
