#pragma once
// The event queue of the scene: objects post the handler string of the event property that
// fired, and the interpreter takes the entries one at a time between commands. An entry stays
// in the queue while its handler runs, marked with the nesting level it was started at, so that
// the interpreter can drop the entries of a level when its handler returns.

#include <cstdint>
#include <deque>
#include <map>
#include <string>
#include <tuple>
#include <vector>

#include "base/byte_io.h"
#include "scene/object_handle.h"

namespace kivo {

// The last save version that kept an entry's level in one byte.
inline constexpr int32_t kSaveVersionByteEventLevel = 113;

struct TTimerData {
    std::string handler;  // "page.ksb" or "page.ksb:label"
    ObjectHandle sender;  // the object that posted the event; resolves to nothing once it is gone
    uint8_t kind = 0;     // PR id of the event property that fired
    int32_t level = 0;    // 0 while pending, else the nesting level its handler started at
    std::vector<std::string> arguments;
};

class TTimerList {
  public:
    // Appends an entry in posting order.
    void Post(TTimerData entry);

    // The first entry still pending (level 0), or nullptr. The pointer is valid until the queue
    // is next changed.
    [[nodiscard]] TTimerData* FirstPending();

    // Removes one entry (a pointer from FirstPending).
    void Remove(const TTimerData* entry);
    // Removes every entry started at exactly this level.
    void RemoveLevel(int32_t level);
    // Removes every entry started at a level from low to high.
    void RemoveLevels(int32_t low, int32_t high);
    // Removes every entry that has started (level not 0), keeping the pending ones.
    void RemoveStarted();
    // Removes the pending entries an object posted (its running ones finish).
    void RemovePending(ObjectHandle sender);
    void Clear();

    // Whether the interpreter stands at a command that holds events back. The interpreter
    // sets it after each run; an object that waits for its own event to be taken must not
    // wait while it is set, since the event would never be taken.
    [[nodiscard]] bool Blocked() const { return blocked_; }
    void SetBlocked(bool blocked) { blocked_ = blocked; }

    // Whether an entry of this sender and kind is in the queue, pending or running.
    [[nodiscard]] bool Contains(ObjectHandle sender, uint8_t kind) const;

    // Queue record of a saved game: count, then per entry the handler, the sender's name
    // (empty once it is gone), the kind byte, the level and the arguments.
    void Save(ByteWriter& writer, const ObjectDirectory& objects) const;
    // Replaces the entries with a saved queue. Senders are found again by name; an empty or
    // unknown name gives an entry without sender. Games saved before version 114 kept the
    // level in one byte, any value but 0 meaning a started entry. Damaged data raises an
    // error and leaves the queue as it was.
    void Load(ByteReader& reader, int32_t version, const ObjectDirectory& objects);

    [[nodiscard]] size_t Count() const { return entries_.size(); }
    [[nodiscard]] const TTimerData& operator[](size_t index) const { return entries_[index]; }

  private:
    template <typename Pred>
    void RemoveIf(Pred pred);
    void CountIn(const TTimerData& entry);
    void CountOut(const TTimerData& entry);

    // (slot, generation, kind) of the entries in the queue and how many there are of each, so
    // that the duplicate check of every post does not scan a long queue of idle handlers.
    using SenderKind = std::tuple<uint32_t, uint32_t, uint8_t>;
    [[nodiscard]] static SenderKind KeyOf(ObjectHandle sender, uint8_t kind) {
        return {sender.slot, sender.generation, kind};
    }

    std::deque<TTimerData> entries_;
    std::map<SenderKind, uint32_t> counts_;
    bool blocked_ = false;
};

}  // namespace kivo
