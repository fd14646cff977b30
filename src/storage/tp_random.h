#pragma once
// The player's two small linear congruential generators. TTpRandom makes keystreams from a
// fixed seed: archives scramble their names and offsets with it, GAL images permute rows with
// its deck, and the dither transition draws cells from it. TProcessRandom is the generator of
// the running game (the Random function, random block orders), seeded once at start-up. Every
// use depends on the exact sequences, so neither recurrence may ever change.

#include <cstdint>
#include <vector>

namespace kivo {

class TTpRandom {
  public:
    // increment is the seed: the state starts at 0 and advances by state * 5 + increment.
    explicit TTpRandom(int32_t increment) : increment_(static_cast<uint32_t>(increment)) {}

    // Advances the state and returns it.
    int32_t Next() {
        state_ = state_ * 5 + increment_;
        return static_cast<int32_t>(state_);
    }

    // Fills the deck with 0, 1, ..., n - 1.
    void Shuffle(int32_t n);
    // Removes and returns a deck value chosen by the next state; the deck must not be empty.
    int32_t Draw();

    [[nodiscard]] int32_t DeckSize() const { return deckSize_; }
    [[nodiscard]] int32_t DeckCount() const { return static_cast<int32_t>(deck_.size()); }

  private:
    uint32_t increment_;
    uint32_t state_ = 0;
    std::vector<int32_t> deck_;
    int32_t deckSize_ = 0;
};

// The process generator: seed := seed * 134775813 + 1 (mod 2^32) per draw. Owned by the
// player; headless runs seed it from --seed so that games that roll dice replay exactly.
class TProcessRandom {
  public:
    explicit TProcessRandom(uint32_t seed = 0) : seed_(seed) {}

    void SetSeed(uint32_t seed) { seed_ = seed; }
    [[nodiscard]] uint32_t Seed() const { return seed_; }

    // A number from 0 to n - 1: the high 32 bits of the 64-bit product of the new seed and n,
    // both unsigned. n = 0 gives 0 (the seed still moves on).
    int32_t Below(int32_t n) {
        seed_ = seed_ * 134775813u + 1u;
        return static_cast<int32_t>((uint64_t{seed_} * static_cast<uint32_t>(n)) >> 32);
    }

  private:
    uint32_t seed_;
};

}  // namespace kivo
