// Feeds arbitrary bytes to the GAL reader, keyed and not, whole and first frame only.

#include <cstddef>
#include <cstdint>
#include <span>

#include "base/error.h"
#include "imaging/gale_frame_list.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const std::span<const uint8_t> bytes(data, size);
    (void)kivo::TGaleFrameList::IsKeyed(bytes);
    for (int32_t code : {0, 1}) {
        kivo::TGaleFrameList list(code);
        // Keep each run small; the reader refuses files that need more.
        list.MaxLoadBytes = 64 << 20;
        try {
            list.LoadFromBytes(bytes, "fuzz.gal", code == 1);
            list.MakeMasks();
            for (auto& frame : list.Frames)
                (void)frame->Trim();
        } catch (const kivo::KivoError&) {
        }
    }
    return 0;
}
