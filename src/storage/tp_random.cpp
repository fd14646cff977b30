#include "storage/tp_random.h"

#include <cassert>
#include <cstddef>

namespace kivo {

void TTpRandom::Shuffle(int32_t n) {
    deckSize_ = n;
    deck_.clear();
    if (n <= 0) return;
    deck_.reserve(static_cast<std::size_t>(n));
    for (int32_t i = 0; i < n; ++i)
        deck_.push_back(i);
}

int32_t TTpRandom::Draw() {
    assert(!deck_.empty());
    state_ = state_ * 5 + increment_;
    std::size_t index = state_ % deck_.size();
    int32_t value = deck_[index];
    deck_.erase(deck_.begin() + static_cast<std::ptrdiff_t>(index));
    return value;
}

}  // namespace kivo
