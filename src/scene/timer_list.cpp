#include "scene/timer_list.h"

#include <algorithm>

namespace kivo {

TTimerData* TTimerList::FirstPending() {
    for (TTimerData& entry : entries_) {
        if (entry.level == 0) return &entry;
    }
    return nullptr;
}

template <typename Pred>
void TTimerList::RemoveIf(Pred pred) {
    entries_.erase(std::remove_if(entries_.begin(), entries_.end(), pred), entries_.end());
}

void TTimerList::Remove(const TTimerData* entry) {
    RemoveIf([entry](const TTimerData& e) { return &e == entry; });
}

void TTimerList::RemoveLevel(int32_t level) {
    RemoveIf([level](const TTimerData& entry) { return entry.level == level; });
}

void TTimerList::RemoveLevels(int32_t low, int32_t high) {
    RemoveIf([low, high](const TTimerData& e) { return e.level >= low && e.level <= high; });
}

void TTimerList::RemoveStarted() {
    RemoveIf([](const TTimerData& entry) { return entry.level != 0; });
}

}  // namespace kivo
