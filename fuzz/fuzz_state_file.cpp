// Feeds arbitrary bytes to the save-state file reader (even first byte) or the volume setting
// (odd first byte): neither may crash, and every slot the reader accepts writes back as a file
// that reads the same slots without damage.

#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <span>
#include <string_view>

#include "shell/player_comforts.h"
#include "storage/state_file.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    if (size == 0) return 0;
    const std::span<const uint8_t> rest(data + 1, size - 1);
    if (data[0] % 2 == 1) {
        const auto volume = kivo::ParseVolumeSetting(
            std::string_view(reinterpret_cast<const char*>(rest.data()), rest.size()));
        if (volume && (*volume < 0 || *volume > 100)) std::abort();
        return 0;
    }
    const kivo::StateFileContents contents = kivo::ParseStateFile(rest, "states.dat");
    const kivo::StateFileContents again =
        kivo::ParseStateFile(kivo::StateFileBytes(contents.slots), "states.dat");
    if (!again.damage.empty()) std::abort();
    for (size_t i = 0; i < contents.slots.size(); ++i) {
        if (contents.slots[i].has_value() != again.slots[i].has_value()) std::abort();
    }
    return 0;
}
