#pragma once
// The host's MIDI outputs: the ports of the ALSA sequencer that accept events (hardware ports,
// external or software synthesizers). One sequencer client of ours lists them and sends to the
// one that is open.

#include <memory>
#include <string>
#include <vector>

#include "media/midi_out_port.h"

namespace kivo {

class AlsaSequencer {
  public:
    struct PortAddress {
        int client = 0;
        int port = 0;
        std::string name;
    };

    // Null when the host has no sequencer (no sound hardware, a container).
    [[nodiscard]] static std::shared_ptr<AlsaSequencer> Open();
    ~AlsaSequencer();
    AlsaSequencer(const AlsaSequencer&) = delete;
    AlsaSequencer& operator=(const AlsaSequencer&) = delete;

    // Ports that take events, our own and the system's announcement ports left out.
    [[nodiscard]] std::vector<PortAddress> OutputPorts();
    // Sends the bytes of one message to the port at once.
    void Send(const PortAddress& to, std::span<const uint8_t> message);

  private:
    struct Client;
    explicit AlsaSequencer(std::unique_ptr<Client> client);
    std::unique_ptr<Client> client_;
};

class AlsaSeqPort final : public MidiOutPort {
  public:
    AlsaSeqPort(std::shared_ptr<AlsaSequencer> sequencer, AlsaSequencer::PortAddress address);
    void SendShort(std::span<const uint8_t> message) override;
    void SendLong(std::span<const uint8_t> message) override;
    void Reset() override;
    // A device gets 10 ms to carry out a GS reset before the next message.
    void SettleAfterReset() override;

  private:
    std::shared_ptr<AlsaSequencer> sequencer_;
    AlsaSequencer::PortAddress address_;
};

}  // namespace kivo
