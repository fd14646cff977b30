#pragma once
// Handles to scene objects. Whatever must refer to an object across frames (event queue
// entries, call frames, capture, hover, focus, running commands) holds a handle instead of a
// pointer: the object's owner registers it in a handle table and releases it when the object
// is freed, after which every handle to it resolves to nothing. A released slot is reused with
// a new generation, so an old handle never finds the object that took its place.

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace kivo {

struct ObjectHandle {
    uint32_t slot = 0;
    uint32_t generation = 0;  // 0 is "no object"; registered objects never get it

    [[nodiscard]] bool IsNull() const { return generation == 0; }
    friend bool operator==(const ObjectHandle&, const ObjectHandle&) = default;
};

// Slots of registered objects. The table only maps handles to objects; it owns nothing.
template <typename T>
class HandleTable {
  public:
    [[nodiscard]] ObjectHandle Register(T& object) {
        uint32_t slot;
        if (!free_.empty()) {
            slot = free_.back();
            free_.pop_back();
        } else {
            slot = static_cast<uint32_t>(slots_.size());
            slots_.push_back({});
        }
        Slot& entry = slots_[slot];
        entry.object = &object;
        return {slot, entry.generation};
    }

    // Forgets the object of handle; later resolutions of any handle to it give nothing.
    void Release(ObjectHandle handle) {
        if (Resolve(handle) == nullptr) return;
        Slot& entry = slots_[handle.slot];
        entry.object = nullptr;
        // Generation 0 is the null handle, so the counter skips it when it wraps.
        entry.generation = entry.generation == UINT32_MAX ? 1 : entry.generation + 1;
        free_.push_back(handle.slot);
    }

    [[nodiscard]] T* Resolve(ObjectHandle handle) const {
        if (handle.IsNull() || handle.slot >= slots_.size()) return nullptr;
        const Slot& entry = slots_[handle.slot];
        return entry.generation == handle.generation ? entry.object : nullptr;
    }

  private:
    struct Slot {
        T* object = nullptr;
        uint32_t generation = 1;
    };
    std::vector<Slot> slots_;
    std::vector<uint32_t> free_;
};

// What code above the scene needs to know about the objects it holds handles to: whether one
// still exists and what it is called, and which object bears a name (save data refers to
// objects by name and looks them up again after loading). The scene root implements it.
class ObjectDirectory {
  public:
    virtual ~ObjectDirectory() = default;

    // The object's name, or nothing once the object is gone.
    [[nodiscard]] virtual std::optional<std::string> NameOf(ObjectHandle handle) const = 0;
    // The object of that name in the scene, or the null handle.
    [[nodiscard]] virtual ObjectHandle FindByName(std::string_view name) const = 0;
};

}  // namespace kivo
