#pragma once
// The root classes of everything in the scene. TKivoObject carries what every object has: the
// scene root it is registered with, its handle, its name, tag and drawing priorities, the
// property map of its class, and its save record. TKivoComponent is an object without a place
// on the screen (sounds, timers, property motions, HTTP requests); TKivoControl (kivo_control.h)
// adds the rectangle, the children and input.
//
// Objects are created and destroyed only by the scene root (kivo_base_list.h), which owns
// them. Whatever refers to an object across frames holds its Handle().

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "base/byte_io.h"
#include "scene/object_handle.h"
#include "scene/property_table.h"

namespace kivo {

class TKivoBaseList;
class TKivoControl;
class TKivoParser;

// Save versions that added fields to the object records. Older records leave them out.
inline constexpr int32_t kSaveVersionMouseIn = 102;      // the mouse-in handler
inline constexpr int32_t kSaveVersionSubPriority = 104;  // sub-priority, clip, animation pause
inline constexpr int32_t kSaveVersionKeyHandlers = 118;  // handle-key, key and focus handlers
inline constexpr int32_t kSaveVersionTag = 120;
inline constexpr int32_t kSaveVersionPlus = 130;  // motion position and plus

// Names that begin with the character of code 1 belong to the system: they draw before the
// ordinary children and are never saved. Two such characters name the picture a layer flip
// shows while it runs, which draws above everything.
inline constexpr std::string_view kSnapshotName = "\x01\x01";
[[nodiscard]] inline bool IsSystemName(std::string_view name) {
    return !name.empty() && name.front() == '\x01';
}

class TKivoObject {
  public:
    explicit TKivoObject(TKivoBaseList& root) : root_(root) {}
    virtual ~TKivoObject() = default;
    TKivoObject(const TKivoObject&) = delete;
    TKivoObject& operator=(const TKivoObject&) = delete;

    [[nodiscard]] TKivoBaseList& Root() const { return root_; }
    // Null until the root registers the object and after it is freed.
    [[nodiscard]] ObjectHandle Handle() const { return handle_; }

    [[nodiscard]] const std::string& Name() const { return name_; }
    // Takes the name (compared exactly; the same name changes nothing). Another registered
    // object that holds it gives it up by the rule of this object's kind.
    virtual void Rename(std::string name);
    [[nodiscard]] bool IsSystem() const { return IsSystemName(name_); }

    [[nodiscard]] const std::string& Tag() const { return tag_; }
    void SetTag(std::string tag) { tag_ = std::move(tag); }
    [[nodiscard]] int32_t Priority() const { return priority_; }
    // A script's priority: the sub-priority a motion gave goes back to 0.
    virtual void SetPriority(int32_t priority);
    [[nodiscard]] int32_t SubPriority() const { return subPriority_; }
    virtual void SetSubPriority(int32_t subPriority);
    // The sum that orders siblings; 64 bits, since both parts take any int32.
    [[nodiscard]] int64_t DrawingPriority() const { return int64_t{priority_} + subPriority_; }

    // The LT_ kind code; 0 for the base classes and the layers, which are never saved as such.
    [[nodiscard]] virtual int32_t Kind() const { return 0; }
    // The class name the scene dump shows.
    [[nodiscard]] virtual std::string_view ClassName() const { return "TKivoObject"; }
    [[nodiscard]] virtual TKivoControl* AsControl() { return nullptr; }
    [[nodiscard]] const TKivoControl* AsControl() const {
        return const_cast<TKivoObject*>(this)->AsControl();
    }
    // Whether a new object of the kind is named "object" plus a free number.
    [[nodiscard]] virtual bool AutoNamed() const { return true; }
    // A busy object raises no events at all.
    [[nodiscard]] virtual bool Busy() const { return false; }
    [[nodiscard]] virtual bool Paused() const { return false; }
    // Objects parked in a cabinet are neither updated nor shown and raise no events.
    [[nodiscard]] virtual bool InsideCabinet() const { return false; }
    // The handler queued once per frame while the object idles (empty: none).
    [[nodiscard]] virtual std::string IdleHandler() const { return {}; }

    // The object's work of one frame (animations, motions, polling). True when the object
    // has finished and the root is to destroy it.
    [[nodiscard]] virtual bool Update() { return false; }
    // Called by the creating command once every initial property is written.
    virtual void CreationComplete() {}
    // Takes a copy of the creating command's expression for the property, to evaluate again
    // later; kinds that keep none ignore it.
    virtual void KeepExpression(int32_t /*prId*/, const TKivoParser& /*expression*/) {}
    // The play-state operation of the kinds that open, play or close (LP_ codes: 0 play or
    // open, 1 with a fade or animation, 2 stop or close, 3 with a fade or animation); other
    // kinds ignore it.
    virtual void SetPlayState(int32_t /*state*/) {}

    // The property slots of the object's class.
    [[nodiscard]] virtual const PropertyMap& Properties() const { return ClassProperties(); }
    [[nodiscard]] static const PropertyMap& ClassProperties();

    // Save record: name, priority, sub-priority and tag; kinds append their fields.
    virtual void Save(ByteWriter& writer) const;
    // Reads a record written by a game of that save version. Damaged data raises an error.
    virtual void Load(ByteReader& reader, int32_t version);

    // Queues the handler with this object as sender. Nothing is queued for an empty handler,
    // a busy object or one parked in a cabinet; with noDuplicate, also nothing while an entry
    // of this object and code is queued. Returns whether an entry was queued.
    bool PostEvent(uint8_t code, const std::string& handler,
                   std::vector<std::string> arguments = {}, bool noDuplicate = false);

  protected:
    // What happens to another registered object that holds the name this object takes.
    virtual void ResolveNameCollision(TKivoObject& holder) = 0;

  private:
    friend class TKivoBaseList;

    TKivoBaseList& root_;
    ObjectHandle handle_;
    uint64_t serial_ = 0;  // registration order, which decides among objects of one name
    size_t registryIndex_ = 0;
    bool scheduled_ = false;
    std::string name_;
    std::string tag_;
    int32_t priority_ = 0;
    int32_t subPriority_ = 0;
};

// An object without a rectangle. Taking a name held by another object ends that object: it is
// scheduled for destruction and loses the name at once.
class TKivoComponent : public TKivoObject {
  public:
    using TKivoObject::TKivoObject;

  protected:
    void ResolveNameCollision(TKivoObject& holder) override;
};

}  // namespace kivo
