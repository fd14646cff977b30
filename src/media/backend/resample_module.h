#pragma once
// The entry of the resampling module (kivo_resample.so): sound converted to 16-bit stereo at the
// mix's rate by the resampling library. Its libraries pull in the hardware video and OpenCL
// stacks, so the player opens it beside the window at start instead of linking it; sound that
// is already in the mix's format never waits for it.

#include <cstdint>
#include <memory>
#include <string>

#include "media/sound_decoder.h"

namespace kivo {

inline constexpr const char* kResampleModuleFile = "kivo_resample.so";
inline constexpr const char* kResampleModuleEntry = "kivo_resample_sound";
// Raised whenever the table below changes, so a stale module left from another build is
// refused by name instead of being called with the wrong layout.
inline constexpr uint32_t kResampleModuleVersion = 1;

struct ResampleTable {
    uint32_t version;
    std::unique_ptr<SoundDecoder> (*toStereo16)(std::unique_ptr<SoundDecoder> source, int32_t rate,
                                                const std::string& name);
};

}  // namespace kivo

extern "C" {
// The module's one export.
const kivo::ResampleTable* kivo_resample_sound();
}
