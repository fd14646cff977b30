// The event queue's duplicate check must agree with its entries after every kind of removal
// and after a load, since objects skip posting an event the queue is believed to hold.

#include <gtest/gtest.h>

#include <map>

#include "scene/timer_list.h"

namespace kivo {
namespace {

constexpr ObjectHandle kA{1, 1};
constexpr ObjectHandle kB{2, 1};
constexpr ObjectHandle kOldA{1, 2};  // the slot of kA reused by another object
constexpr uint8_t kClick = 26;
constexpr uint8_t kNotify = 27;

TTimerData Entry(ObjectHandle sender, uint8_t kind, int32_t level) {
    return {"page.ksb", sender, kind, level, {}};
}

// A queue of two running entries (levels 1 and 2) and pending entries of both senders.
TTimerList Queue() {
    TTimerList queue;
    queue.Post(Entry(kA, kClick, 1));
    queue.Post(Entry(kB, kNotify, 2));
    queue.Post(Entry(kA, kNotify, 0));
    queue.Post(Entry(kB, kClick, 0));
    queue.Post(Entry(kA, kClick, 0));
    return queue;
}

// What the check must answer: a plain scan of the entries.
bool Scanned(const TTimerList& queue, ObjectHandle sender, uint8_t kind) {
    for (size_t i = 0; i < queue.Count(); ++i) {
        if (queue[i].sender == sender && queue[i].kind == kind) return true;
    }
    return false;
}

void ExpectCheckMatchesEntries(const TTimerList& queue) {
    for (const ObjectHandle sender : {kA, kB, kOldA}) {
        for (const uint8_t kind : {kClick, kNotify}) {
            EXPECT_EQ(queue.Contains(sender, kind), Scanned(queue, sender, kind))
                << "sender slot " << sender.slot << " generation " << sender.generation << " kind "
                << int{kind};
        }
    }
}

TEST(EventQueue, DuplicateCheckFollowsEveryRemoval) {
    using Change = void (*)(TTimerList&);
    const std::map<std::string, Change> changes = {
        {"remove first pending", [](TTimerList& q) { q.Remove(q.FirstPending()); }},
        {"remove level 1", [](TTimerList& q) { q.RemoveLevel(1); }},
        {"remove levels 1-2", [](TTimerList& q) { q.RemoveLevels(1, 2); }},
        {"remove started", [](TTimerList& q) { q.RemoveStarted(); }},
        {"remove pending of A", [](TTimerList& q) { q.RemovePending(kA); }},
        {"clear", [](TTimerList& q) { q.Clear(); }},
    };
    for (const auto& [name, change] : changes) {
        SCOPED_TRACE(name);
        TTimerList queue = Queue();
        change(queue);
        ExpectCheckMatchesEntries(queue);
        queue.Post(Entry(kOldA, kClick, 0));
        EXPECT_TRUE(queue.Contains(kOldA, kClick));
    }
}

TEST(EventQueue, OneOfTwoEqualEntriesGoneKeepsTheOther) {
    TTimerList queue = Queue();  // kA/kClick once running, once pending
    queue.RemovePending(kA);
    EXPECT_TRUE(queue.Contains(kA, kClick));
    queue.RemoveLevel(1);
    EXPECT_FALSE(queue.Contains(kA, kClick));
}

class Names final : public ObjectDirectory {
  public:
    [[nodiscard]] std::optional<std::string> NameOf(ObjectHandle handle) const override {
        if (handle == kA) return "a";
        if (handle == kB) return "b";
        return std::nullopt;
    }
    [[nodiscard]] ObjectHandle FindByName(std::string_view name) const override {
        return name == "a" ? kA : name == "b" ? kB : ObjectHandle{};
    }
};

TEST(EventQueue, LoadedQueueAnswersTheDuplicateCheck) {
    const Names names;
    ByteWriter writer;
    Queue().Save(writer, names);
    TTimerList loaded;
    loaded.Post(Entry(kOldA, kNotify, 0));  // replaced by the load
    ByteReader reader(writer.Bytes(), "save.dat");
    loaded.Load(reader, 134, names);
    EXPECT_EQ(loaded.Count(), 5U);
    EXPECT_FALSE(loaded.Contains(kOldA, kNotify));
    ExpectCheckMatchesEntries(loaded);
}

}  // namespace
}  // namespace kivo
