#pragma once
// What the script layer asks of the scene root: the object and text commands (BoxNew ...
// Movie, GetProp, SetProp, ObjDel, Flip, the cabinets) and the scene functions (Exists,
// GetProp, SetProp, ListCompo, InPrimary ...) reach the scene through this interface and
// nothing else. The scene root implements it; until it exists the player puts a stand-in in
// its place that holds no objects.
//
// Objects are named by handles (object_handle.h): a handle to an object that is gone resolves
// to nothing, and every operation on it does nothing or answers "none". All calls are made on
// the main thread, by commands while the interpreter runs and by system functions while an
// expression is evaluated; none of them runs an event handler: events are queued and run by
// the interpreter between commands.
//
// Kept to what the commands and functions need today; the scene adds the operations of the
// commands it brings (transitions and their masks, menu items, focus) as it builds them.

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "imaging/dib_surface.h"
#include "scene/message_commands.h"
#include "scene/object_handle.h"

namespace kivo {

class TCustomParam;
class TKivoParser;

class SceneCommands : public ObjectDirectory {
  public:
    // ---- Finding (FindByName and NameOf come from ObjectDirectory) ----
    //
    // FindByName follows the root's rule for components: the empty name or layer 0's reserved
    // name give the active layer, the name of code 1 or layer 1's reserved name the other
    // layer, anything else the first registered object of that exact name not scheduled for
    // destruction.

    // The control of that name, for parents and focus: as FindByName, but layer 0's and layer
    // 1's reserved names give those fixed layers, and only controls are found.
    [[nodiscard]] virtual ObjectHandle FindControl(std::string_view name) const = 0;
    // The object's kind code (LT_), or nothing once it is gone.
    [[nodiscard]] virtual std::optional<int32_t> KindOf(ObjectHandle object) const = 0;
    // The object's parent, the null handle for a layer or an object that is gone.
    [[nodiscard]] virtual ObjectHandle ParentOf(ObjectHandle object) const = 0;
    // The direct children in drawing order (first drawn first).
    [[nodiscard]] virtual std::vector<ObjectHandle> ChildrenOf(ObjectHandle object) const = 0;
    // The names of the registered objects in registration order, only those of kind when it is
    // given and only the direct children of parent when it is given.
    [[nodiscard]] virtual std::vector<std::string> ListNames(
        std::optional<int32_t> kind, std::optional<ObjectHandle> parent) const = 0;

    // ---- Objects ----

    // A new object of kind (LT_ code), the last child of parent (the null handle: the active
    // layer), registered under name, or under a free name when name is empty. The null handle
    // for a kind the scene does not make.
    [[nodiscard]] virtual ObjectHandle Create(int32_t kind, ObjectHandle parent,
                                              std::string_view name) = 0;
    // Tells the object that the commands wrote all its creation properties.
    virtual void CompleteCreation(ObjectHandle object) = 0;
    // Gives the object its own copy of a creating command's expression for the property,
    // which the object evaluates again later (where particles appear). Kinds that keep none
    // ignore it.
    virtual void KeepExpression(ObjectHandle /*object*/, int32_t /*prId*/,
                                const TKivoParser& /*expression*/) {}
    // Moves the object, with its children, to the end of parent's children (cabinets, Flip's
    // object lists).
    virtual void MoveTo(ObjectHandle object, ObjectHandle parent) = 0;
    // Deletes the object and its children; it is gone for the scripts at once and freed after
    // the update pass.
    virtual void Delete(ObjectHandle object) = 0;
    // Sets the object's play state (0 open or play, 1 with its animation or fade, 2 close or
    // stop, 3 with its animation or fade); kinds without one ignore it.
    virtual void SetPlayState(ObjectHandle object, int32_t state) = 0;
    // The check mark of a menu item; objects without items, and indexes that are no item,
    // read false and ignore writes.
    [[nodiscard]] virtual bool ItemChecked(ObjectHandle object, int32_t index) const = 0;
    virtual void SetItemChecked(ObjectHandle object, int32_t index, bool checked) = 0;
    // The enabled or visible flag of an item named by index text: a decimal number, or for a
    // preview menu also a button's name. Objects without items answer true; an object that is
    // gone, and an index that is no item, answer false; writes to them do nothing.
    enum class ItemFlag : uint8_t { Enabled, Visible };
    [[nodiscard]] virtual bool ItemFlagOf(ObjectHandle /*object*/, std::string_view /*index*/,
                                          ItemFlag /*flag*/) const {
        return false;
    }
    virtual void SetItemFlag(ObjectHandle /*object*/, std::string_view /*index*/, ItemFlag /*flag*/,
                             bool /*on*/) {}

    // ---- Properties by PR id ----

    // Whether the object lies in the shown layer and is not parked in a cabinet.
    [[nodiscard]] virtual bool InPrimary(ObjectHandle object) const = 0;

    // Where the object's client origin lies on its layer; nothing for an object without a
    // place on the screen (a component) or one that is gone.
    struct LayerPoint {
        int32_t x = 0;
        int32_t y = 0;
    };
    [[nodiscard]] virtual std::optional<LayerPoint> ClientOrigin(ObjectHandle /*object*/) const {
        return std::nullopt;
    }

    // Reads the property into value, which converts it to its own type; false (value
    // untouched) when the object is gone. An id outside 0..161 raises "GetPropエラー"; a
    // property the object's kind lacks reads as its default.
    virtual bool ReadProperty(ObjectHandle object, int32_t prId, TCustomParam& value) const = 0;
    // Writes the property from value, read as the property's own type. Read-only properties,
    // those the kind lacks and ids outside 0..161 are ignored.
    virtual void WriteProperty(ObjectHandle object, int32_t prId, const TCustomParam& value) = 0;

    // ---- Layers ----

    [[nodiscard]] virtual int32_t ActiveLayer() const = 0;
    [[nodiscard]] virtual ObjectHandle Layer(int32_t index) const = 0;
    // Makes layer index the one shown; with a transition kind (≥ 0) the change runs as that
    // transition over duration ms, its parameters p1 and p2 set.
    virtual void SetActiveLayer(int32_t index, int32_t transition, int32_t duration, bool force,
                                int32_t p1, int32_t p2) = 0;
    // ---- Transitions (the stand-in has none) ----

    // Starts a transition of the style code from the picture on screen to the other layer over
    // duration ms, with the style's own parameters; a running one is replaced only with force.
    // False when none started (code 0 or unknown, or one runs).
    virtual bool StartTransition(int32_t /*code*/, int32_t /*duration*/, bool /*force*/) {
        return false;
    }
    // Parameter 0 or 1 and the rule picture of the running transition; nothing without one.
    virtual void SetTransitionParam(int32_t /*index*/, int32_t /*value*/) {}
    virtual void SetTransitionMask(std::string_view /*name*/) {}
    // Moves the running transition to elapsed ms after its start.
    virtual void SetTransitionElapsed(int32_t /*elapsed*/) {}
    // Draws the scene and puts a picture of it on top of the shown layer (see the root).
    virtual ObjectHandle CreateSnapshot() { return {}; }

    // The scene size in pixels.
    [[nodiscard]] virtual int32_t Width() const = 0;
    [[nodiscard]] virtual int32_t Height() const = 0;

    // The Reset command: every object, both layers' contents and the event queue go.
    virtual void Reset() = 0;

    // Message windows, the backlog and the read marks; null where the scene shows no text.
    [[nodiscard]] virtual MessageCommands* Messages() { return nullptr; }
    // Draws the shown layer (the other one when back) and copies its picture, scene-sized at
    // 32 bits, into picture; false when there is no scene to take it from.
    virtual bool CaptureLayer(bool /*back*/, TDIBSurface& /*picture*/) { return false; }
};

// The scene of a player whose scene root does not exist yet: it holds no objects, so every
// lookup finds nothing and every change is lost. Tests derive fakes from it.
class NullSceneCommands : public SceneCommands {
  public:
    [[nodiscard]] std::optional<std::string> NameOf(ObjectHandle) const override { return {}; }
    [[nodiscard]] ObjectHandle FindByName(std::string_view) const override { return {}; }
    [[nodiscard]] ObjectHandle FindControl(std::string_view) const override { return {}; }
    [[nodiscard]] std::optional<int32_t> KindOf(ObjectHandle) const override { return {}; }
    [[nodiscard]] ObjectHandle ParentOf(ObjectHandle) const override { return {}; }
    [[nodiscard]] std::vector<ObjectHandle> ChildrenOf(ObjectHandle) const override { return {}; }
    [[nodiscard]] std::vector<std::string> ListNames(std::optional<int32_t>,
                                                     std::optional<ObjectHandle>) const override {
        return {};
    }
    [[nodiscard]] ObjectHandle Create(int32_t, ObjectHandle, std::string_view) override {
        return {};
    }
    void CompleteCreation(ObjectHandle) override {}
    void MoveTo(ObjectHandle, ObjectHandle) override {}
    void Delete(ObjectHandle) override {}
    void SetPlayState(ObjectHandle, int32_t) override {}
    [[nodiscard]] bool ItemChecked(ObjectHandle, int32_t) const override { return false; }
    void SetItemChecked(ObjectHandle, int32_t, bool) override {}
    [[nodiscard]] bool InPrimary(ObjectHandle) const override { return false; }
    bool ReadProperty(ObjectHandle, int32_t, TCustomParam&) const override { return false; }
    void WriteProperty(ObjectHandle, int32_t, const TCustomParam&) override {}
    [[nodiscard]] int32_t ActiveLayer() const override { return 0; }
    [[nodiscard]] ObjectHandle Layer(int32_t) const override { return {}; }
    void SetActiveLayer(int32_t, int32_t, int32_t, bool, int32_t, int32_t) override {}
    [[nodiscard]] int32_t Width() const override { return 0; }
    [[nodiscard]] int32_t Height() const override { return 0; }
    void Reset() override {}
};

}  // namespace kivo
