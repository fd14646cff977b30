// states.dat: slots written and read back, a failed write that leaves the file and the slots
// as they were, and damaged files that cost only the damaged slots.

#include <gtest/gtest.h>

#include <algorithm>
#include <array>
#include <fstream>
#include <functional>

#include "base/error.h"
#include "storage/state_file.h"
#include "support/scratch_folder.h"

namespace kivo {
namespace {

SaveState StateWith(uint8_t mark) {
    SaveState state;
    state.year = 2026;
    state.month = 12;
    state.day = 10;
    state.hour = 21;
    state.minute = 30;
    state.second = mark;
    state.projectHash = 0x1122334455667788u + mark;
    state.gameClock = 1000 * mark;
    state.gameEntry = {mark, 1, 2, 3};
    state.statusEntry = {mark, 9};
    return state;
}

std::vector<uint8_t> Bytes(const std::filesystem::path& path) {
    const std::string text = test::ReadWholeFile(path);
    return {text.begin(), text.end()};
}

class StateFileTest : public ::testing::Test {
  protected:
    const test::ScratchFolder folder_{"kivo_state_file_test"};
    const std::filesystem::path path_ = folder_ / "sub" / "states.dat";
};

TEST_F(StateFileTest, StoredSlotsReadBackWithEveryField) {
    TStateFile file(path_);
    EXPECT_TRUE(file.Read().empty());
    file.Store(1, StateWith(1));
    file.Store(9, StateWith(9));
    TStateFile again(path_);
    EXPECT_TRUE(again.Read().empty());
    for (const int32_t slot : {1, 9}) {
        const std::optional<SaveState>& state = again.Slot(slot);
        ASSERT_TRUE(state.has_value()) << slot;
        const SaveState expected = StateWith(static_cast<uint8_t>(slot));
        EXPECT_EQ(state->second, expected.second);
        EXPECT_EQ(state->projectHash, expected.projectHash);
        EXPECT_EQ(state->gameClock, expected.gameClock);
        EXPECT_EQ(state->gameEntry, expected.gameEntry);
        EXPECT_EQ(state->statusEntry, expected.statusEntry);
    }
    EXPECT_FALSE(again.Slot(2).has_value());
    EXPECT_FALSE(again.Slot(0).has_value());
    EXPECT_FALSE(again.Slot(10).has_value());
    EXPECT_THROW(again.Store(10, StateWith(1)), KivoError);
}

TEST_F(StateFileTest, AFailedWriteLeavesTheFileAndTheSlotsAsTheyWere) {
    TStateFile file(path_);
    file.Store(1, StateWith(1));
    const std::vector<uint8_t> before = Bytes(path_);
    file.SetWriter([](const std::filesystem::path& path, std::span<const uint8_t>) {
        throw KivoError(path.string(), "no space left on device");
    });
    EXPECT_THROW(file.Store(2, StateWith(2)), KivoError);
    EXPECT_THROW(file.Store(1, StateWith(7)), KivoError);
    EXPECT_EQ(Bytes(path_), before);
    EXPECT_FALSE(file.Slot(2).has_value());
    EXPECT_EQ(file.Slot(1)->second, 1);
}

TEST_F(StateFileTest, DamageCostsOnlyTheDamagedSlots) {
    std::array<std::optional<SaveState>, kStateSlotCount> slots;
    slots[0] = StateWith(1);
    slots[1] = StateWith(2);
    slots[2] = StateWith(3);
    const std::vector<uint8_t> good = StateFileBytes(slots);
    // Each record: 12 header bytes and a body of 24 + 8 + 4 + (4 + 4) + (4 + 2) = 50 bytes.
    constexpr size_t kRecord = 12 + 50;
    constexpr size_t kFirst = 8;
    struct Case {
        const char* name;
        std::function<void(std::vector<uint8_t>&)> damage;
        std::vector<int32_t> readable;
        const char* report;
    };
    const Case cases[] = {
        {"a body byte of slot 2",
         [](auto& b) { b[kFirst + kRecord + 20] ^= 1; },
         {1, 3},
         "save state 2 is damaged"},
        {"cut inside slot 3",
         [](auto& b) { b.resize(b.size() - 5); },
         {1, 2},
         "save state 3 is cut short"},
        {"cut inside a header",
         [](auto& b) { b.resize(kFirst + kRecord + 6); },
         {1},
         "cut short after"},
        {"slot 2 names slot 12",
         [](auto& b) { b[kFirst + kRecord] = 12; },
         {1, 3},
         "names slot 12"},
        {"an entry size past the body",
         [](auto& b) { b[kFirst + 12 + 36] = 0xFF; },
         {2, 3},
         "save state 1 is damaged"},
        {"not a state file", [](auto& b) { b[0] = 'X'; }, {}, "not a save state file"},
        {"empty", [](auto& b) { b.clear(); }, {}, "not a save state file"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        std::vector<uint8_t> bytes = good;
        c.damage(bytes);
        const StateFileContents contents = ParseStateFile(bytes, "states.dat");
        ASSERT_EQ(contents.damage.size(), 1u);
        EXPECT_NE(contents.damage[0].find(c.report), std::string::npos) << contents.damage[0];
        for (int32_t slot = 1; slot <= kStateSlotCount; ++slot) {
            const bool wanted = std::count(c.readable.begin(), c.readable.end(), slot) > 0;
            EXPECT_EQ(contents.slots[static_cast<size_t>(slot - 1)].has_value(), wanted) << slot;
        }
    }
}

TEST_F(StateFileTest, ADamagedFileIsKeptAsideBeforeItIsFirstRewritten) {
    std::array<std::optional<SaveState>, kStateSlotCount> slots;
    slots[0] = StateWith(1);
    slots[1] = StateWith(2);
    std::vector<uint8_t> bytes = StateFileBytes(slots);
    bytes[8 + 12 + 20] ^= 1;
    std::filesystem::create_directories(path_.parent_path());
    std::ofstream(path_, std::ios::binary)
        .write(reinterpret_cast<const char*>(bytes.data()),
               static_cast<std::streamsize>(bytes.size()));

    TStateFile file(path_);
    EXPECT_EQ(file.Read().size(), 1u);
    file.Store(3, StateWith(3));
    std::filesystem::path bad = path_;
    bad += ".bad";
    EXPECT_EQ(Bytes(bad), bytes);
    TStateFile again(path_);
    EXPECT_TRUE(again.Read().empty());
    EXPECT_FALSE(again.Slot(1).has_value());
    EXPECT_TRUE(again.Slot(2).has_value());
    EXPECT_TRUE(again.Slot(3).has_value());
}

}  // namespace
}  // namespace kivo
