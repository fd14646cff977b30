#pragma once
// What the shell needs from the scene root: its size, the object directory that code above
// the scene resolves handles through, the input state the shell hands over from window events,
// the frame phases it drives, and a dump of the object tree for people and tests. The scene
// root implements it; until it exists, BlankScene stands in its place and the window routes its
// input through this port unchanged, so the routing rules live in the shell whichever scene
// sits behind it.
//
// The shell creates the scene during start-up before the project is read (the project is
// handed Objects()) and sizes it once the project file is known. All calls are made on the
// main thread by TFormView: the setters from window event handlers, the phases from the frame
// step, once each per frame in the order InputPass, FrameAdvance, Draw, ClearDirty; DumpScene
// whenever a dump is asked for, between frames.

#include <cstdint>
#include <span>
#include <string_view>
#include <vector>

#include "base/byte_io.h"
#include "base/frame_view.h"
#include "base/rect.h"
#include "scene/object_handle.h"
#include "scene/scene_commands.h"
#include "scene/scene_dump.h"
#include "scene/text_world.h"
#include "script/param_collection.h"

namespace kivo {

class GlyphImageSource;
class PictureFiles;
class TKivoBaseList;

class ScenePort {
  public:
    virtual ~ScenePort() = default;

    // The scene size in pixels (the root's width and height, 8 x 8 until set). Called once the
    // project file is read, and again when the screen mode changes.
    virtual void SetSize(int32_t width, int32_t height) = 0;
    // The scene's objects as code above the scene sees them; valid as long as the port.
    [[nodiscard]] virtual const ObjectDirectory& Objects() const = 0;
    // What commands and system functions change the scene through; valid as long as the port.
    [[nodiscard]] virtual SceneCommands& Commands() = 0;
    // Stops serving system variables; called before the variable table is freed.
    virtual void ReleaseVariables() {}
    // Where the image cache reads pictures; it must outlive the port (null: nowhere).
    virtual void SetPictureFiles(PictureFiles* /*files*/) {}
    // Where message windows take their inline images from (the image cache); valid as long
    // as the port, null for a scene without one.
    [[nodiscard]] virtual GlyphImageSource* InlineImages() { return nullptr; }
    // Forgets the decoded pictures of the file name, which a script has just rewritten.
    virtual void ForgetPicture(std::string_view /*name*/) {}
    // The services message windows use (text_world.h); called at start-up once they exist and
    // with an empty set before they are freed.
    virtual void SetTextWorld(const TextWorld& /*world*/) {}

    // Key state by Windows virtual-key code (0..255).
    virtual void SetKeyDown(int32_t key, bool down) = 0;
    // Marks a key as pressed since the last input pass (the edge the scene turns into events).
    virtual void MarkKeyPressed(int32_t key) = 0;
    // Held buttons, given to both layers.
    virtual void SetButtonsHeld(bool left, bool right) = 0;
    // Click edges, given to the active layer.
    virtual void SetClicks(bool left, bool right) = 0;
    // The pointer in scene pixels, given to both layers.
    virtual void SetPointer(int32_t x, int32_t y) = 0;
    // Wheel edges, given to the active layer.
    virtual void SetWheelDown() = 0;
    virtual void SetWheelUp() = 0;
    // The window lost the focus.
    virtual void FocusLost() = 0;

    // Turns the gathered input into object events and queued script handlers.
    virtual void InputPass() = 0;
    // Steps every object's animations by the frame delta.
    virtual void FrameAdvance() = 0;
    // Draws the active layer into the back surface and returns it with the rectangles that
    // changed. The view stays valid until the next call on the port.
    [[nodiscard]] virtual FrameView Draw(std::vector<TRect>& dirty) = 0;
    // Forgets the dirty rectangles of both layers after a present.
    virtual void ClearDirty() = 0;

    // Fills dump with the two layers and every object below them, as they stand now.
    virtual void DumpScene(SceneDump& dump) const = 0;

    // The scene's part of a saved game, written and read between frames. Loading replaces the
    // whole scene; damaged data raise KivoError.
    virtual void SaveRecord(ByteWriter& writer) const = 0;
    virtual void LoadRecord(ByteReader& reader, int32_t version) = 0;
    // Called when the rest of the loaded game (the variables above all) is in place too.
    virtual void FinishLoadRecord() {}
    // The scene root whose objects the media layer drives (sounds, motions, HTTP objects);
    // null for a scene without objects.
    [[nodiscard]] virtual TKivoBaseList* ObjectRoot() { return nullptr; }
};

// The scene of a player without a scene root: two empty layers "\x01BASE0" (shown) and
// "\x01BASE1", a black back surface of the scene size, whole on the first draw and unchanged
// afterwards, no objects, and the routed input kept where tests can read it. Scripts read the
// pointer, the held buttons and the held keys through the system variables it serves
// (@MouseX, @MouseY, @LPush, @RPush, @KeyPush) until the scene root takes them over.
class BlankScene final : public ScenePort, public SystemVariableProvider, private ObjectDirectory {
  public:
    BlankScene();

    void SetSize(int32_t width, int32_t height) override;
    [[nodiscard]] const ObjectDirectory& Objects() const override { return *this; }
    [[nodiscard]] SceneCommands& Commands() override { return noCommands_; }

    // Serves its system variables from the table; the table must not outlive the scene.
    void ServeVariables(TParamCollection& variables);
    [[nodiscard]] SystemValue Read(SystemVariable id, int32_t element) const override;
    [[nodiscard]] int32_t ElementCount(SystemVariable id) const override;

    void SetKeyDown(int32_t key, bool down) override;
    void MarkKeyPressed(int32_t key) override;
    void SetButtonsHeld(bool left, bool right) override;
    void SetClicks(bool left, bool right) override;
    void SetPointer(int32_t x, int32_t y) override;
    void SetWheelDown() override { wheelDown = true; }
    void SetWheelUp() override { wheelUp = true; }
    void FocusLost() override { ++focusLosses; }
    void InputPass() override;
    void FrameAdvance() override {}
    [[nodiscard]] FrameView Draw(std::vector<TRect>& dirty) override;
    void ClearDirty() override { firstDraw_ = false; }
    void DumpScene(SceneDump& dump) const override;
    // A scene without objects has nothing to keep: its record is empty.
    void SaveRecord(ByteWriter&) const override {}
    void LoadRecord(ByteReader&, int32_t) override {}

    [[nodiscard]] int32_t Width() const { return width_; }
    [[nodiscard]] int32_t Height() const { return height_; }

    // The routed input as the scene root would keep it.
    bool keys[256] = {};
    bool pressed[256] = {};
    bool leftHeld = false;
    bool rightHeld = false;
    bool leftClick = false;
    bool rightClick = false;
    bool wheelDown = false;
    bool wheelUp = false;
    int32_t pointerX = 0;
    int32_t pointerY = 0;
    int32_t focusLosses = 0;
    int32_t inputPasses = 0;

  private:
    [[nodiscard]] std::optional<std::string> NameOf(ObjectHandle) const override { return {}; }
    [[nodiscard]] ObjectHandle FindByName(std::string_view) const override { return {}; }

    int32_t width_ = 8;
    int32_t height_ = 8;
    std::vector<uint32_t> pixels_;
    bool firstDraw_ = true;
    NullSceneCommands noCommands_;
};

}  // namespace kivo
