// Feeds arbitrary bytes to the MIDI file reader, then plays what it accepts through the
// sequencer with no device, from the start and from the middle, looping.

#include <cstddef>
#include <cstdint>
#include <memory>
#include <span>
#include <vector>

#include "base/error.h"
#include "media/midi_play_v.h"

namespace {

class NoPorts final : public kivo::MidiPortProvider {
  public:
    std::vector<std::string> HostPortNames() override { return {}; }
    std::unique_ptr<kivo::MidiOutPort> OpenMapper(int32_t) override { return nullptr; }
    std::unique_ptr<kivo::MidiOutPort> OpenHostPort(size_t) override { return nullptr; }
};

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    NoPorts ports;
    kivo::TMidiPlayV sequencer(ports, 44100);
    try {
        sequencer.LoadFromStream(std::span<const uint8_t>(data, size), "fuzz.mid");
    } catch (const kivo::KivoError&) {
    }
    std::vector<int16_t> buffer(2 * 4096);
    sequencer.SetLooping(true);
    sequencer.PlayFrom(sequencer.SongLength() / 2);
    for (int i = 0; i < 8; ++i)
        sequencer.Render(buffer.data(), 4096, 2);
    sequencer.PlayFrom(0);
    sequencer.Render(buffer.data(), 4096, 2);
    (void)sequencer.IsAtEnd();
    return 0;
}
