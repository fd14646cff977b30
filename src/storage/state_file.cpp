#include "storage/state_file.h"

#include <system_error>

#include "base/byte_io.h"
#include "base/error.h"
#include "platform/host_files.h"
#include "storage/vr_file_collection.h"

namespace kivo {

namespace {

constexpr std::string_view kMagic = "KVSTATE1";
constexpr size_t kRecordHeaderSize = 12;

std::span<const uint8_t> AsBytes(std::string_view text) {
    return {reinterpret_cast<const uint8_t*>(text.data()), text.size()};
}

std::vector<uint8_t> ReadCounted(ByteReader& reader) {
    const uint32_t size = reader.ReadU32();
    if (size > reader.Remaining()) reader.Fail("an entry runs past the end of its record");
    const std::span<const uint8_t> bytes = reader.ReadBytes(size);
    return {bytes.begin(), bytes.end()};
}

void WriteCounted(ByteWriter& writer, std::span<const uint8_t> bytes) {
    writer.WriteU32(static_cast<uint32_t>(bytes.size()));
    writer.WriteBytes(bytes);
}

SaveState ReadBody(std::span<const uint8_t> body, const std::string& source) {
    ByteReader reader(body, source);
    SaveState state;
    state.year = reader.ReadI32();
    state.month = reader.ReadI32();
    state.day = reader.ReadI32();
    state.hour = reader.ReadI32();
    state.minute = reader.ReadI32();
    state.second = reader.ReadI32();
    state.projectHash = reader.ReadU64();
    state.gameClock = reader.ReadI32();
    state.gameEntry = ReadCounted(reader);
    state.statusEntry = ReadCounted(reader);
    if (!reader.AtEnd()) reader.Fail("a save state has bytes after its end");
    return state;
}

std::string SlotText(uint32_t slot) {
    return "save state " + std::to_string(slot);
}

}  // namespace

StateFileContents ParseStateFile(std::span<const uint8_t> bytes, const std::string& source) {
    StateFileContents contents;
    if (bytes.size() < kMagic.size() || !std::equal(kMagic.begin(), kMagic.end(), bytes.begin())) {
        contents.damage.push_back(source + ": not a save state file");
        return contents;
    }
    size_t pos = kMagic.size();
    while (pos < bytes.size()) {
        if (bytes.size() - pos < kRecordHeaderSize) {
            contents.damage.push_back(source + ": the file is cut short after " +
                                      std::to_string(pos) + " bytes");
            break;
        }
        const uint32_t slot = LoadLE32(bytes.data() + pos);
        const uint32_t size = LoadLE32(bytes.data() + pos + 4);
        const uint32_t crc = LoadLE32(bytes.data() + pos + 8);
        pos += kRecordHeaderSize;
        if (size > bytes.size() - pos) {
            contents.damage.push_back(source + ": " + SlotText(slot) + " is cut short");
            break;
        }
        const std::span<const uint8_t> body = bytes.subspan(pos, size);
        pos += size;
        if (slot < 1 || slot > static_cast<uint32_t>(kStateSlotCount)) {
            contents.damage.push_back(source + ": a record names slot " + std::to_string(slot));
            continue;
        }
        if (Crc32(body) != crc) {
            contents.damage.push_back(source + ": " + SlotText(slot) + " is damaged");
            continue;
        }
        try {
            contents.slots[slot - 1] = ReadBody(body, source);
        } catch (const KivoError& error) {
            contents.damage.push_back(SlotText(slot) + ": " + error.what());
        }
    }
    return contents;
}

std::vector<uint8_t> StateFileBytes(
    const std::array<std::optional<SaveState>, kStateSlotCount>& slots) {
    ByteWriter writer;
    writer.WriteBytes(AsBytes(kMagic));
    for (int32_t slot = 1; slot <= kStateSlotCount; ++slot) {
        const std::optional<SaveState>& state = slots[static_cast<size_t>(slot - 1)];
        if (!state) continue;
        ByteWriter body;
        for (int32_t field :
             {state->year, state->month, state->day, state->hour, state->minute, state->second}) {
            body.WriteI32(field);
        }
        body.WriteU64(state->projectHash);
        body.WriteI32(state->gameClock);
        WriteCounted(body, state->gameEntry);
        WriteCounted(body, state->statusEntry);
        const std::vector<uint8_t> bytes = body.Take();
        writer.WriteU32(static_cast<uint32_t>(slot));
        writer.WriteU32(static_cast<uint32_t>(bytes.size()));
        writer.WriteU32(Crc32(bytes));
        writer.WriteBytes(bytes);
    }
    return writer.Take();
}

TStateFile::TStateFile(std::filesystem::path file)
    : file_(std::move(file)), writer_(host::WriteFileBytes) {}

std::vector<std::string> TStateFile::Read() {
    slots_ = {};
    damaged_ = false;
    std::error_code error;
    if (!std::filesystem::exists(file_, error)) return {};
    std::vector<uint8_t> bytes;
    try {
        bytes = host::ReadFileBytes(file_);
    } catch (const KivoError& failure) {
        damaged_ = true;
        return {failure.what()};
    }
    StateFileContents contents = ParseStateFile(bytes, file_.string());
    slots_ = std::move(contents.slots);
    damaged_ = !contents.damage.empty();
    return contents.damage;
}

const std::optional<SaveState>& TStateFile::Slot(int32_t slot) const {
    static const std::optional<SaveState> kNone;
    if (slot < 1 || slot > kStateSlotCount) return kNone;
    return slots_[static_cast<size_t>(slot - 1)];
}

void TStateFile::Store(int32_t slot, SaveState state) {
    if (slot < 1 || slot > kStateSlotCount) throw KivoError(file_.string(), "no such state slot");
    std::array<std::optional<SaveState>, kStateSlotCount> next = slots_;
    next[static_cast<size_t>(slot - 1)] = std::move(state);
    std::error_code error;
    std::filesystem::create_directories(file_.parent_path(), error);
    if (damaged_) {
        // The rewrite drops what could not be read; the old bytes stay beside it for rescue.
        std::filesystem::path bad = file_;
        bad += ".bad";
        std::filesystem::copy_file(file_, bad, std::filesystem::copy_options::overwrite_existing,
                                   error);
        damaged_ = false;
    }
    writer_(file_, StateFileBytes(next));
    slots_ = std::move(next);
}

}  // namespace kivo
