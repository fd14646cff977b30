#pragma once
// Hand-built archive bytes, written field by field without the player's own writer so that
// the reader is checked against the format rather than against the writer.
//
//   std::vector<uint8_t> bytes = BuildArchive(102, {{"a\\one.txt", Bytes("first")},
//                                                   {"two.ks", ZlibOf("second"), 0}});

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace kivo::test {

inline constexpr uint32_t kSeed = 0x4B69766F;

struct FixtureEntry {
    std::string name;
    std::vector<uint8_t> stored;  // the bytes as they lie in the archive
    uint8_t storedFlag = 1;
    int32_t timestamp = 0;
    int32_t checksum = 0;
    uint8_t rawChecksum = 0;
};

[[nodiscard]] std::vector<uint8_t> Bytes(std::string_view text);
// The text deflated at level 1, as the archive writer stores compressed entries.
[[nodiscard]] std::vector<uint8_t> ZlibOf(std::string_view text);

void Put32(std::vector<uint8_t>& out, uint32_t v);
void Put64(std::vector<uint8_t>& out, uint64_t v);

// The keystream of names and offsets: state = state * 5 + seed, starting from 0.
struct Keystream {
    uint32_t state = 0;
    uint32_t Next() { return state = state * 5 + kSeed; }
};

// An archive of the given version (0, 100, 101, 102) with the entry data right after the
// directory. With a dataOffset the offsets say the data starts there instead (relative to the
// archive start) and only the directory is returned; the caller places the data.
[[nodiscard]] std::vector<uint8_t> BuildArchive(int version,
                                                const std::vector<FixtureEntry>& entries,
                                                std::optional<uint64_t> dataOffset = std::nullopt);

}  // namespace kivo::test
