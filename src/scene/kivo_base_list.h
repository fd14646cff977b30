#pragma once
// The scene root: owner of every scene object, the two layers, the event queue, the keyboard
// state and the keyboard focus. The shell hands it the window's input and drives its three
// frame phases: the input pass (pointer, wheel and keys become events on objects), the frame
// advance (objects update; finished and deleted objects are freed) and the draw (the layers
// draw their dirty rectangles into the back buffer, which the shell presents).
//
// Objects never free themselves: the root frees them, at once when nothing walks its registry
// and at the end of the frame advance otherwise. Freeing an object forgets every reference the
// root keeps to it and its descendants (focus, hover and capture, the right-click list, its
// pending events) and marks its area for redrawing.

#include <array>
#include <cstdint>
#include <memory>
#include <string>
#include <string_view>
#include <unordered_map>
#include <vector>

#include "base/byte_io.h"
#include "base/frame_view.h"
#include "base/player_state.h"
#include "imaging/custom_wipe.h"
#include "imaging/dibx.h"
#include "scene/gale_collection.h"
#include "scene/keyboard_state.h"
#include "scene/kivo_base.h"
#include "scene/object_handle.h"
#include "scene/scene_services.h"
#include "scene/scene_window.h"
#include "scene/text_world.h"
#include "scene/timer_list.h"
#include "script/param_collection.h"
#include "storage/tp_random.h"

namespace kivo {

class ControlPictureSource;
class FontEngine;
class TFontPixelManager;
class HttpClient;
class SceneMedia;

// The last save version that kept no focus name in the root record.
inline constexpr int32_t kSaveVersionNoFocusName = 118;

class TKivoBaseList final : public ObjectDirectory, public SystemVariableProvider {
  public:
    // The largest scene side a saved game may ask for.
    static constexpr int32_t kMaxSceneSide = 4096;
    // How deep saved children may nest.
    static constexpr int32_t kMaxLoadNesting = 256;

    // state gives the frame delta the keyboard and the objects run by; window, when given,
    // shows cursors and answers the display questions; events, when given, is the queue the
    // interpreter runs (the root keeps its own otherwise). All must outlive the root.
    explicit TKivoBaseList(const PlayerState& state, SceneWindow* window = nullptr,
                           TTimerList* events = nullptr);
    ~TKivoBaseList() override;
    TKivoBaseList(const TKivoBaseList&) = delete;
    TKivoBaseList& operator=(const TKivoBaseList&) = delete;

    [[nodiscard]] const PlayerState& State() const { return state_; }

    // What objects reach beyond the scene; the services must outlive the root.
    void SetServices(const SceneServices& services) { services_ = services; }
    [[nodiscard]] const SceneServices& Services() const { return services_; }
    // The player's random generator, or the root's own when none was handed over.
    [[nodiscard]] TProcessRandom& Random() {
        return services_.random != nullptr ? *services_.random : ownRandom_;
    }

    // ---- Size and surfaces ----

    [[nodiscard]] int32_t Width() const { return width_; }
    [[nodiscard]] int32_t Height() const { return height_; }
    // Resizes the back buffer and both layers; everything is drawn again.
    void SetSize(int32_t width, int32_t height);
    // The 32-bit picture of the scene the active layer draws into.
    [[nodiscard]] TDIBX& BackBuffer() { return backBuffer_; }
    // Whether the layer draws straight into the back buffer (not while a transition mixes
    // the layers' own surfaces into it).
    [[nodiscard]] bool LayerShown(const TKivoBase& layer) const {
        return layer.Index() == activeIndex_ && !transitionShown_;
    }

    // The image cache the picture objects share; it outlives every object of the root.
    [[nodiscard]] TGaleCollection& Images() {
        return sharedImages_ != nullptr ? *sharedImages_ : images_;
    }
    // Makes the root's objects use another root's cache (a film's own scene list uses the
    // main scene's, so that a picture is decoded once); that cache must outlive this root.
    void ShareImages(TGaleCollection& images) { sharedImages_ = &images; }

    // ---- Layers ----

    [[nodiscard]] TKivoBase& Layer(int32_t index) { return *layers_[index == 0 ? 0 : 1]; }
    [[nodiscard]] int32_t ActiveIndex() const { return activeIndex_; }
    [[nodiscard]] TKivoBase& ActiveLayer() { return *layers_[static_cast<size_t>(activeIndex_)]; }
    [[nodiscard]] TKivoBase& InactiveLayer() {
        return *layers_[static_cast<size_t>(1 - activeIndex_)];
    }
    // Shows the layer of index (0 or 1). Any change of the shown layer, or force, draws both
    // layers again whole. The focus leaves a layer that is no longer shown. Transitions
    // between the layers join here when the flip command passes its style.
    void SetActiveLayer(int32_t index, bool force = false);
    // Whether the object lies in the shown layer and is not parked in a cabinet.
    [[nodiscard]] bool InPrimary(const TKivoObject& object);

    // ---- Transitions (kivo_base_list_transition.cpp) ----

    // Starts a transition of the style code (with its default parameters) from the picture
    // on screen to the other layer, over duration (at least 1) units of the game clock. The
    // shown layer draws into its own surface while it runs. A running transition is replaced
    // only with force. Unknown codes (and 0) start nothing. Returns whether one started.
    bool StartTransition(int32_t code, int32_t duration, bool force);
    [[nodiscard]] TCustomWipe* Transition() const { return transition_.get(); }
    // Sets a parameter of the running transition; nothing without one.
    void SetTransitionParam(int32_t index, int32_t value);
    // The rule picture of the mask styles, from the image cache.
    void SetTransitionMask(const std::string& name);
    // Moves the running transition to that time since its start.
    void SetTransitionElapsed(int64_t elapsed);
    // Ends the transition; the layers draw on their own again, wholly.
    void EndTransition();
    // A picture of the screen as the shown layer's topmost child, named kSnapshotName and as
    // large as the scene, which keeps showing the old picture while a flip moves children.
    TKivoControl& CreateSnapshot();

    // ---- Objects ----

    // A new object of the kind code (the low 7 bits count), registered and named "object" plus
    // a free number; null for codes without an object class.
    TKivoObject* CreateObject(int32_t kind);
    // A new object of a class, registered and named like CreateObject.
    template <typename T>
    T& Create() {
        auto object = std::make_unique<T>(*this);
        T& created = *object;
        Adopt(std::move(object), created.AutoNamed());
        return created;
    }

    [[nodiscard]] int32_t ObjectCount() const {
        return static_cast<int32_t>(registry_.size() - freedInRegistry_);
    }
    // Registered objects in registration order (the layers are not among them); index is
    // below ObjectCount().
    [[nodiscard]] TKivoObject& ObjectAt(int32_t index) const;
    // The object's place in the registry, -1 when it is not registered.
    [[nodiscard]] int32_t IndexOf(const TKivoObject& object) const;
    [[nodiscard]] TKivoObject* Resolve(ObjectHandle handle) const {
        return handles_.Resolve(handle);
    }
    [[nodiscard]] TKivoControl* ResolveControl(ObjectHandle handle) const;

    // Scripts' lookup: the empty name is the shown layer and the one-character name of code 1
    // the other; the reserved layer names are the fixed layers; otherwise the first registered
    // object of exactly that name that is not about to be destroyed.
    [[nodiscard]] TKivoObject* FindComponent(std::string_view name);
    // The same lookup restricted to controls (parents and the saved focus).
    [[nodiscard]] TKivoControl* FindControl(std::string_view name);
    // Every registered object holding the name, in registration order.
    [[nodiscard]] std::vector<TKivoObject*> ObjectsNamed(std::string_view name) const;
    // Appends the names of registered objects, of one kind only unless kind is negative, and
    // only the direct children of parent when one is given. Returns how many it appended.
    int32_t ListCompo(std::vector<std::string>& names, int32_t kind = -1,
                      const TKivoControl* parent = nullptr) const;

    // Frees the object and its descendants now, or at the end of the frame advance while
    // the root walks its objects.
    void Destroy(TKivoObject& object);
    // Frees the object at the end of the frame advance.
    void ScheduleDestroy(TKivoObject& object);
    [[nodiscard]] bool IsScheduled(const TKivoObject& object) const { return object.scheduled_; }

    // ---- Names (for the objects' renaming) ----

    void SetObjectName(TKivoObject& object, std::string name);
    // The first of base_2, base_3, ... that no registered object holds, where base is name
    // without a trailing "_k" for a number k above 1.
    [[nodiscard]] std::string FreeSuffixedName(std::string_view name) const;
    // "object" plus the smallest number no registered object uses.
    [[nodiscard]] std::string FreeObjectName();

    // ---- Events and focus ----

    [[nodiscard]] TTimerList& Events() { return events_; }
    [[nodiscard]] TKivoControl* FocusedControl() const { return ResolveControl(focus_); }
    // Moves the keyboard focus, queueing the old focus's focus-out and the new one's focus-in.
    void SetFocus(TKivoControl* control);
    // Takes the focus away (its owner queues focus-out) and asks for it to be found again.
    void DropFocus();
    // The next input pass gives the focus to the shown layer's candidate.
    void RequestFocusRecompute() { focusRecompute_ = true; }
    [[nodiscard]] bool FocusRecomputeRequested() const { return focusRecompute_; }
    // Objects that close on a right click anywhere (menus); no duplicates.
    void AddRightClickScrap(TKivoControl& control);
    void RemoveRightClickScrap(const TKivoControl& control);
    [[nodiscard]] KeyboardState& Keys() { return keys_; }
    // The selection result scripts read as @SelStr and @SelIndex (menus and list boxes set it).
    void SetSelection(std::string text, int32_t index);

    // ---- What objects draw with ----

    // The glyph cache of text strips and the pictures of controls; both borrowed and set by
    // the player before objects are made. Without a glyph cache text measures and draws
    // nothing; without a picture source every picture is missing.
    void SetGlyphs(TFontPixelManager* glyphs) { glyphs_ = glyphs; }
    [[nodiscard]] TFontPixelManager& Glyphs();
    void SetPictures(ControlPictureSource* pictures) { pictures_ = pictures; }
    [[nodiscard]] ControlPictureSource* Pictures() const { return pictures_; }

    // ---- What the window hands over ----

    void SetKeyDown(int32_t key, bool down) { keys_.SetKey(key, down); }
    void MarkKeyPressed(int32_t key) { keys_.MarkPressed(key); }
    // Held buttons go to both layers.
    void SetButtonsHeld(bool left, bool right);
    // Presses go to the shown layer.
    void SetClicks(bool left, bool right);
    // The pointer in scene pixels, given to both layers.
    void SetPointer(int32_t x, int32_t y);
    void SetWheelDown() { ActiveLayer().Pointer().wheelDownPending = true; }
    void SetWheelUp() { ActiveLayer().Pointer().wheelUpPending = true; }
    // The window lost the focus: held keys and buttons are forgotten without events (their
    // releases happen elsewhere), and so is the capture.
    void FocusLost();

    // ---- Frame phases ----

    void InputPass();
    void FrameAdvance();
    // Draws both layers and returns the back buffer with the rectangles of the shown layer
    // that changed. The view stays valid until the next call on the root.
    [[nodiscard]] FrameView Draw(std::vector<TRect>& dirty);
    // Forgets both layers' dirty rectangles after a present.
    void ClearDirty();

    // ---- Text ----

    // The services message windows reach outside the scene; borrowed, set by the shell.
    void SetTextWorld(const TextWorld& world) { text_ = world; }
    [[nodiscard]] const TextWorld& Text() const { return text_; }

    // ---- Save record ----

    // Size, shown layer, both layers with their objects, the components, the event queue and
    // the focus name.
    void Save(ByteWriter& writer) const;
    // Resets the scene and rebuilds it from a saved record. Damaged data raises an error; the
    // scene then holds what was read before it.
    void Load(ByteReader& reader, int32_t version);
    // Once a loaded game's variables are in place: message windows show their text again.
    void RebuildAfterLoad();
    // Frees every object and the queue's entries and makes fresh layers of the same size.
    void Reset();

    // Nesting of saved children being read; too deep a record is damaged.
    class LoadNesting {
      public:
        LoadNesting(TKivoBaseList& root, ByteReader& reader);
        ~LoadNesting() { --root_.loadNesting_; }
        LoadNesting(const LoadNesting&) = delete;
        LoadNesting& operator=(const LoadNesting&) = delete;

      private:
        TKivoBaseList& root_;
    };
    // An unnamed object of a saved kind code; an unknown code is damaged data.
    TKivoObject* CreateForLoad(uint8_t kind, ByteReader& reader);

    // ---- Media and network ----

    // The media layer's items for sound objects, and the HTTP client of HTTP objects; null
    // (the default) plays and fetches nothing. Each must outlive the objects that use it.
    void SetMedia(SceneMedia* media) { media_ = media; }
    [[nodiscard]] SceneMedia* Media() const { return media_; }
    void SetHttp(HttpClient* http) { http_ = http; }
    [[nodiscard]] HttpClient* Http() const { return http_; }

    // ---- ObjectDirectory: names in save data ----

    [[nodiscard]] std::optional<std::string> NameOf(ObjectHandle handle) const override;
    // An empty name is no object (it is not the shown layer here).
    [[nodiscard]] ObjectHandle FindByName(std::string_view name) const override;

    // ---- System variables of the mouse, keys, focus and screen ----

    // Registers the root as the provider of its variables. While attached, the table must not
    // be freed before the root; detaching first lets either go first.
    void AttachVariables(TParamCollection& variables);
    void DetachVariables();
    [[nodiscard]] SystemValue Read(SystemVariable id, int32_t element) const override;
    void Write(SystemVariable id, const SystemValue& value) override;
    [[nodiscard]] int32_t ElementCount(SystemVariable id) const override;

  private:
    TKivoObject& Adopt(std::unique_ptr<TKivoObject> object, bool autoName);
    [[nodiscard]] std::unique_ptr<TKivoObject> MakeObject(int32_t kind);
    void MakeLayers();
    void ReleaseTransitionRule();
    // Detaches the object and its descendants from the scene and frees them.
    void Free(TKivoObject& object);
    // Frees a control that no longer has a parent, with everything below it.
    void FreeDetached(TKivoControl& control);
    // Empties every list of children and forgets every parent, so that the objects can go in
    // any order without one reaching a freed neighbour.
    void CutAllLinks();
    void Forget(TKivoObject& object);
    // Closes the registry's gaps left by freed objects: always, or only once they are as many
    // as the live objects, so that freeing one object at a time costs no walk of the registry.
    void CompactRegistry(bool always = true);
    void FreeScheduled();
    void IndexName(TKivoObject& object);
    void UnindexName(TKivoObject& object);
    [[nodiscard]] TKivoObject* FirstLiveNamed(std::string_view name) const;
    [[nodiscard]] TKivoBase* ReservedLayer(std::string_view name);

    void ProcessPointer(TKivoBase& layer);
    bool OfferRightClick(TKivoBase& layer);
    void ShowCursorOf(TKivoBase& layer, const TKivoControl& hit);
    void SendKeyEvents();
    void SaveComponents(ByteWriter& writer) const;
    void LoadComponents(ByteReader& reader, int32_t version);

    const PlayerState& state_;
    SceneServices services_;
    TProcessRandom ownRandom_;
    SceneWindow* window_;
    TParamCollection* variables_ = nullptr;
    TextWorld text_;
    SceneMedia* media_ = nullptr;
    HttpClient* http_ = nullptr;
    bool soundOn_ = true;
    int32_t width_ = 8;
    int32_t height_ = 8;
    TDIBX backBuffer_;
    // Declared before the layers and the objects, which give their pictures back to it when
    // they are freed.
    TGaleCollection images_;
    TGaleCollection* sharedImages_ = nullptr;
    std::array<std::unique_ptr<TKivoBase>, 2> layers_;
    int32_t activeIndex_ = 0;
    // The running transition, its rule picture from the cache and the order of its random
    // styles (fixed, so that a transition draws the same picture in every run).
    std::unique_ptr<TCustomWipe> transition_;
    TGaleItem* transitionRule_ = nullptr;
    ObjectHandle transitionRuleUser_;
    TTpRandom transitionRandom_{12341};
    bool transitionShown_ = false;

    HandleTable<TKivoObject> handles_;
    // In registration order; freed objects leave null entries until the next compaction.
    std::vector<std::unique_ptr<TKivoObject>> registry_;
    size_t freedInRegistry_ = 0;
    uint64_t nextSerial_ = 1;
    std::unordered_map<std::string, std::vector<TKivoObject*>> names_;
    // Every "object" + n below this number is in use; freed numbers lower it again.
    int64_t nextObjectNumber_ = 0;
    std::vector<ObjectHandle> scheduled_;
    int32_t walking_ = 0;
    int32_t loadNesting_ = 0;

    TTimerList ownEvents_;
    TTimerList& events_;
    std::vector<ObjectHandle> rightClickScrap_;
    KeyboardState keys_;
    ObjectHandle focus_;
    bool focusRecompute_ = false;
    TFontPixelManager* glyphs_ = nullptr;
    // Stands in for a missing glyph cache: a font engine that opens no font.
    std::unique_ptr<FontEngine> noFonts_;
    std::unique_ptr<TFontPixelManager> noGlyphs_;
    ControlPictureSource* pictures_ = nullptr;
};

}  // namespace kivo
