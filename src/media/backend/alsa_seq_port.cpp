#include "media/backend/alsa_seq_port.h"

#include <alsa/asoundlib.h>

#include <chrono>
#include <thread>

namespace kivo {

struct AlsaSequencer::Client {
    snd_seq_t* seq = nullptr;
    int ownPort = -1;
    snd_midi_event_t* encoder = nullptr;

    ~Client() {
        if (encoder) snd_midi_event_free(encoder);
        if (seq) snd_seq_close(seq);
    }
};

std::shared_ptr<AlsaSequencer> AlsaSequencer::Open() {
    auto client = std::make_unique<Client>();
    if (snd_seq_open(&client->seq, "default", SND_SEQ_OPEN_OUTPUT, 0) < 0) {
        client->seq = nullptr;
        return nullptr;
    }
    snd_seq_set_client_name(client->seq, "kivoplay");
    client->ownPort = snd_seq_create_simple_port(
        client->seq, "MIDI out", SND_SEQ_PORT_CAP_READ | SND_SEQ_PORT_CAP_SUBS_READ,
        SND_SEQ_PORT_TYPE_MIDI_GENERIC | SND_SEQ_PORT_TYPE_APPLICATION);
    if (client->ownPort < 0) return nullptr;
    if (snd_midi_event_new(16, &client->encoder) < 0) {
        client->encoder = nullptr;
        return nullptr;
    }
    return std::shared_ptr<AlsaSequencer>(new AlsaSequencer(std::move(client)));
}

AlsaSequencer::AlsaSequencer(std::unique_ptr<Client> client) : client_(std::move(client)) {}

AlsaSequencer::~AlsaSequencer() = default;

std::vector<AlsaSequencer::PortAddress> AlsaSequencer::OutputPorts() {
    std::vector<PortAddress> ports;
    snd_seq_client_info_t* clientInfo = nullptr;
    snd_seq_port_info_t* portInfo = nullptr;
    if (snd_seq_client_info_malloc(&clientInfo) < 0) return ports;
    if (snd_seq_port_info_malloc(&portInfo) < 0) {
        snd_seq_client_info_free(clientInfo);
        return ports;
    }
    const int self = snd_seq_client_id(client_->seq);
    constexpr unsigned kWanted = SND_SEQ_PORT_CAP_WRITE | SND_SEQ_PORT_CAP_SUBS_WRITE;
    snd_seq_client_info_set_client(clientInfo, -1);
    while (snd_seq_query_next_client(client_->seq, clientInfo) >= 0) {
        const int client = snd_seq_client_info_get_client(clientInfo);
        if (client == SND_SEQ_CLIENT_SYSTEM || client == self) continue;
        snd_seq_port_info_set_client(portInfo, client);
        snd_seq_port_info_set_port(portInfo, -1);
        while (snd_seq_query_next_port(client_->seq, portInfo) >= 0) {
            const unsigned caps = snd_seq_port_info_get_capability(portInfo);
            if ((caps & kWanted) != kWanted || (caps & SND_SEQ_PORT_CAP_NO_EXPORT) != 0) continue;
            ports.push_back({client, snd_seq_port_info_get_port(portInfo),
                             snd_seq_port_info_get_name(portInfo)});
        }
    }
    snd_seq_port_info_free(portInfo);
    snd_seq_client_info_free(clientInfo);
    return ports;
}

void AlsaSequencer::Send(const PortAddress& to, std::span<const uint8_t> message) {
    if (message.empty()) return;
    snd_seq_event_t event;
    snd_seq_ev_clear(&event);
    if (message[0] == 0xF0 || message[0] == 0xF7) {
        // A system-exclusive message goes as one event; an escaped packet without its F7.
        const std::span<const uint8_t> bytes = message[0] == 0xF7 ? message.subspan(1) : message;
        if (bytes.empty()) return;
        snd_seq_ev_set_sysex(&event, bytes.size(), const_cast<uint8_t*>(bytes.data()));
    } else {
        snd_midi_event_reset_encode(client_->encoder);
        const long used = snd_midi_event_encode(client_->encoder, message.data(),
                                                static_cast<long>(message.size()), &event);
        if (used <= 0 || event.type == SND_SEQ_EVENT_NONE) return;
    }
    snd_seq_ev_set_source(&event, client_->ownPort);
    snd_seq_ev_set_dest(&event, to.client, to.port);
    snd_seq_ev_set_direct(&event);
    snd_seq_event_output_direct(client_->seq, &event);
}

AlsaSeqPort::AlsaSeqPort(std::shared_ptr<AlsaSequencer> sequencer,
                         AlsaSequencer::PortAddress address)
    : sequencer_(std::move(sequencer)), address_(std::move(address)) {}

void AlsaSeqPort::SendShort(std::span<const uint8_t> message) {
    sequencer_->Send(address_, message);
}

void AlsaSeqPort::SendLong(std::span<const uint8_t> message) {
    sequencer_->Send(address_, message);
}

void AlsaSeqPort::Reset() {
    // As a device reset does: the sustain pedal up and every note off on every channel.
    for (uint8_t channel = 0; channel < 16; ++channel) {
        const uint8_t status = static_cast<uint8_t>(0xB0 | channel);
        const uint8_t sustainOff[] = {status, 64, 0};
        const uint8_t notesOff[] = {status, 123, 0};
        sequencer_->Send(address_, sustainOff);
        sequencer_->Send(address_, notesOff);
    }
}

void AlsaSeqPort::SettleAfterReset() {
    std::this_thread::sleep_for(std::chrono::milliseconds(10));
}

}  // namespace kivo
