#include "platform/audio_output.h"

#include <algorithm>
#include <array>

namespace kivo {

void RenderStereoAs(AudioSource& source, int16_t* out, size_t frames, int32_t channels) {
    constexpr size_t kChunkFrames = 256;
    std::array<int16_t, kChunkFrames * 2> stereo{};
    const auto width = static_cast<size_t>(std::max(channels, 1));
    for (size_t done = 0; done < frames;) {
        const size_t chunk = std::min(kChunkFrames, frames - done);
        source.Render(stereo.data(), chunk, 2);
        for (size_t i = 0; i < chunk; ++i) {
            int16_t* frame = out + (done + i) * width;
            const int16_t left = stereo[2 * i];
            const int16_t right = stereo[2 * i + 1];
            if (width == 1) {
                frame[0] = static_cast<int16_t>((left + right) / 2);
                continue;
            }
            frame[0] = left;
            frame[1] = right;
            std::fill(frame + 2, frame + width, int16_t{0});
        }
        done += chunk;
    }
}

}  // namespace kivo
