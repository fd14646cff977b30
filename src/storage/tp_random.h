#pragma once
// The small linear congruential generator of the player. Archives scramble their names and
// offsets with its keystream, GAL images permute rows with its deck, and the dither
// transition draws cells from it; every use depends on the exact sequence, so the recurrence
// must never change.

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

}  // namespace kivo
