#pragma once
// Fixture writer for the entries of save.dat: a saved game and the status data, laid out part
// by part from bytes the other fixture writers give (variable lists, interpreter states), so
// that the save system's framing is checked against the format rather than its own writer.
//
//   SavedGame game{.caption = "one", .interpreter = WriteInterpreterState(state, 134),
//                  .variables = list.GameBytes(134)};
//   std::vector<uint8_t> entry = WriteGameEntry(game);

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

namespace kivo::test {

// The backlog of a game that never showed text, in the form of that save version.
[[nodiscard]] std::vector<uint8_t> EmptyBacklog(int32_t version);
// No read marks and no pending mark.
[[nodiscard]] std::vector<uint8_t> EmptyReadMarks();
// A table stream without tables; the game form ends with the active table's name.
[[nodiscard]] std::vector<uint8_t> NoTables(bool gameForm, const std::string& active = {});

struct SavedGame {
    int32_t version = 134;
    std::string caption = {};
    std::string resumePage = {};
    int32_t resumeIndex = 0;
    std::vector<uint8_t> scene = {};
    std::optional<std::vector<uint8_t>> backlog = {};  // unset: EmptyBacklog(version)
    std::vector<uint8_t> interpreter = {};
    std::vector<uint8_t> variables = {};
    // Written only for versions above 122; unset: NoTables(true).
    std::optional<std::vector<uint8_t>> tables = {};
};
[[nodiscard]] std::vector<uint8_t> WriteGameEntry(const SavedGame& game);

struct SavedStatus {
    // The nine header bytes, or none at all (an entry of the oldest players).
    std::string header = "Status103";
    std::vector<uint8_t> variables = {};
    std::optional<std::vector<uint8_t>> readMarks = {};  // unset: EmptyReadMarks()
    std::optional<uint8_t> dither = uint8_t{0};          // unset: no byte
    std::optional<std::vector<uint8_t>> tables = {};     // unset: no tables part
};
[[nodiscard]] std::vector<uint8_t> WriteStatusEntry(const SavedStatus& status);

}  // namespace kivo::test
