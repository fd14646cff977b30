#pragma once
// states.dat: the player's save states, snapshots of a running game that the person at the
// screen takes and restores with the Alt keys. They are the player's own and never go into the
// game's save.dat.
//
// The file is "KVSTATE1" and then one record per slot:
//   u32 slot (1 ... 9), u32 body size, u32 CRC-32 of the body, body
// and a body is
//   i32 year, month, day, hour, minute, second (when it was taken), u64 project hash,
//   i32 game clock, u32 size + the game entry, u32 size + the status entry.
// Every record is checked on its own, so a damaged one costs that slot only; a record whose
// size runs past the end ends the reading there. Integers are little-endian.

#include <array>
#include <cstdint>
#include <filesystem>
#include <functional>
#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <vector>

namespace kivo {

inline constexpr std::string_view kStateFileName = "states.dat";
inline constexpr int32_t kStateSlotCount = 9;

struct SaveState {
    // When it was taken, by the player's calendar.
    int32_t year = 0, month = 0, day = 0, hour = 0, minute = 0, second = 0;
    // Identifies the project file the game ran with; a state of another one is not restored.
    uint64_t projectHash = 0;
    // The game clock when it was taken. Waits, transitions and timers count from readings of
    // that clock kept in the game entry, so it goes back with them.
    int32_t gameClock = 0;
    std::vector<uint8_t> gameEntry;
    std::vector<uint8_t> statusEntry;
};

// What reading a states.dat found: the slots that read well, and one line per damaged part.
struct StateFileContents {
    std::array<std::optional<SaveState>, kStateSlotCount> slots;
    std::vector<std::string> damage;
};

// Reads the bytes of a states.dat; source names the file in the damage lines. Never throws on
// bad data: what cannot be read is listed in damage.
[[nodiscard]] StateFileContents ParseStateFile(std::span<const uint8_t> bytes,
                                               const std::string& source);
// The bytes of a states.dat holding the given slots.
[[nodiscard]] std::vector<uint8_t> StateFileBytes(
    const std::array<std::optional<SaveState>, kStateSlotCount>& slots);

// states.dat in one folder: read once, then rewritten whole through a temporary file beside it
// whenever a slot changes, so a failed write leaves the old file as it was.
class TStateFile {
  public:
    // Writes the whole new file over path; raises KivoError naming path when it cannot.
    using Writer = std::function<void(const std::filesystem::path&, std::span<const uint8_t>)>;

    explicit TStateFile(std::filesystem::path file);

    [[nodiscard]] const std::filesystem::path& Path() const { return file_; }
    // Reads the file (a missing one holds no states). Returns the damage lines; a file with
    // damage is copied to "states.dat.bad" before it is first rewritten.
    [[nodiscard]] std::vector<std::string> Read();
    [[nodiscard]] const std::optional<SaveState>& Slot(int32_t slot) const;
    // Stores state in slot (1 ... 9) and rewrites the file; raises KivoError when the file
    // cannot be written, and the slots are then as they were.
    void Store(int32_t slot, SaveState state);

    // Replaces how whole files are written (tests simulate a full disk through it).
    void SetWriter(Writer writer) { writer_ = std::move(writer); }

  private:
    std::filesystem::path file_;
    std::array<std::optional<SaveState>, kStateSlotCount> slots_;
    bool damaged_ = false;
    Writer writer_;
};

}  // namespace kivo
