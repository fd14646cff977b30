#pragma once
// The scene as the player runs it: the scene root (TKivoBaseList) seen through the two
// interfaces the layers above use, the shell's ScenePort (input, frame phases, dumps) and the
// script layer's SceneCommands (objects, properties and layers by handle). It owns the root and
// translates handles and names; the rules themselves live in the root and its objects.

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "base/player_state.h"
#include "scene/gale_pictures.h"
#include "scene/kivo_base_list.h"
#include "scene/scene_commands.h"
#include "scene/scene_port.h"

namespace kivo {

class TKivoMes;

class SceneRoot final : public ScenePort, public SceneCommands, public MessageCommands {
  public:
    // events is the queue the interpreter runs; variables, when given, is the table the root
    // serves its system variables in; window, when given, shows cursors and answers the display
    // questions. All must outlive the scene.
    SceneRoot(const PlayerState& state, TTimerList& events, TParamCollection* variables,
              SceneWindow* window = nullptr);
    ~SceneRoot() override;
    SceneRoot(const SceneRoot&) = delete;
    SceneRoot& operator=(const SceneRoot&) = delete;

    [[nodiscard]] TKivoBaseList& Root() { return root_; }
    [[nodiscard]] const TKivoBaseList& Root() const { return root_; }

    // ---- ScenePort ----

    void SetSize(int32_t width, int32_t height) override { root_.SetSize(width, height); }
    // Save data and event senders: an empty name is no object here.
    [[nodiscard]] const ObjectDirectory& Objects() const override { return root_; }
    [[nodiscard]] SceneCommands& Commands() override { return *this; }
    void ReleaseVariables() override { root_.DetachVariables(); }
    void SetTextWorld(const TextWorld& world) override { root_.SetTextWorld(world); }
    // The image cache reads through files, and buttons and list boxes take their pictures
    // from it from now on.
    void SetPictureFiles(PictureFiles* files) override;
    [[nodiscard]] GlyphImageSource* InlineImages() override { return &pictures_; }
    // A script rewrote the picture file name.
    void ForgetPicture(std::string_view name) override { root_.Images().Invalidate(name); }
    void SetKeyDown(int32_t key, bool down) override { root_.SetKeyDown(key, down); }
    void MarkKeyPressed(int32_t key) override { root_.MarkKeyPressed(key); }
    void SetButtonsHeld(bool left, bool right) override { root_.SetButtonsHeld(left, right); }
    void SetClicks(bool left, bool right) override { root_.SetClicks(left, right); }
    void SetPointer(int32_t x, int32_t y) override { root_.SetPointer(x, y); }
    void SetWheelDown() override { root_.SetWheelDown(); }
    void SetWheelUp() override { root_.SetWheelUp(); }
    void FocusLost() override { root_.FocusLost(); }
    void InputPass() override { root_.InputPass(); }
    void FrameAdvance() override { root_.FrameAdvance(); }
    [[nodiscard]] FrameView Draw(std::vector<TRect>& dirty) override { return root_.Draw(dirty); }
    void ClearDirty() override { root_.ClearDirty(); }
    void DumpScene(SceneDump& dump) const override;
    void SaveRecord(ByteWriter& writer) const override { root_.Save(writer); }
    void LoadRecord(ByteReader& reader, int32_t version) override { root_.Load(reader, version); }
    void FinishLoadRecord() override { root_.RebuildAfterLoad(); }
    [[nodiscard]] TKivoBaseList* ObjectRoot() override { return &root_; }

    // ---- SceneCommands ----

    [[nodiscard]] std::optional<std::string> NameOf(ObjectHandle object) const override {
        return root_.NameOf(object);
    }
    // The scripts' lookup: the empty name is the shown layer.
    [[nodiscard]] ObjectHandle FindByName(std::string_view name) const override;
    [[nodiscard]] ObjectHandle FindControl(std::string_view name) const override;
    [[nodiscard]] std::optional<int32_t> KindOf(ObjectHandle object) const override;
    [[nodiscard]] ObjectHandle ParentOf(ObjectHandle object) const override;
    [[nodiscard]] std::vector<ObjectHandle> ChildrenOf(ObjectHandle object) const override;
    [[nodiscard]] std::vector<std::string> ListNames(
        std::optional<int32_t> kind, std::optional<ObjectHandle> parent) const override;
    [[nodiscard]] ObjectHandle Create(int32_t kind, ObjectHandle parent,
                                      std::string_view name) override;
    void CompleteCreation(ObjectHandle object) override;
    void KeepExpression(ObjectHandle object, int32_t prId, const TKivoParser& expression) override;
    void MoveTo(ObjectHandle object, ObjectHandle parent) override;
    void Delete(ObjectHandle object) override;
    void SetPlayState(ObjectHandle object, int32_t state) override;
    [[nodiscard]] bool ItemChecked(ObjectHandle object, int32_t index) const override;
    void SetItemChecked(ObjectHandle object, int32_t index, bool checked) override;
    [[nodiscard]] bool ItemFlagOf(ObjectHandle object, std::string_view index,
                                  ItemFlag flag) const override;
    void SetItemFlag(ObjectHandle object, std::string_view index, ItemFlag flag, bool on) override;
    [[nodiscard]] bool InPrimary(ObjectHandle object) const override;
    [[nodiscard]] std::optional<LayerPoint> ClientOrigin(ObjectHandle object) const override;
    bool ReadProperty(ObjectHandle object, int32_t prId, TCustomParam& value) const override;
    void WriteProperty(ObjectHandle object, int32_t prId, const TCustomParam& value) override;
    [[nodiscard]] int32_t ActiveLayer() const override { return root_.ActiveIndex(); }
    [[nodiscard]] ObjectHandle Layer(int32_t index) const override;
    void SetActiveLayer(int32_t index, int32_t transition, int32_t duration, bool force, int32_t p1,
                        int32_t p2) override;
    bool StartTransition(int32_t code, int32_t duration, bool force) override;
    void SetTransitionParam(int32_t index, int32_t value) override {
        root_.SetTransitionParam(index, value);
    }
    void SetTransitionMask(std::string_view name) override {
        root_.SetTransitionMask(std::string(name));
    }
    void SetTransitionElapsed(int32_t elapsed) override { root_.SetTransitionElapsed(elapsed); }
    ObjectHandle CreateSnapshot() override { return root_.CreateSnapshot().Handle(); }
    [[nodiscard]] int32_t Width() const override { return root_.Width(); }
    [[nodiscard]] int32_t Height() const override { return root_.Height(); }
    void Reset() override { root_.Reset(); }
    [[nodiscard]] MessageCommands* Messages() override { return this; }

    // ---- MessageCommands ----

    [[nodiscard]] bool IsMessageWindow(ObjectHandle window) const override;
    void ShowRecord(ObjectHandle window, std::string_view pageFile, int32_t command,
                    bool readMarks) override;
    [[nodiscard]] bool Revealing(ObjectHandle window) const override;
    void ClearText(ObjectHandle window) override;
    [[nodiscard]] int32_t HistorySize() const override;
    void ShowHistory(ObjectHandle window, int32_t start, int32_t count, bool compact) override;
    void ClearHistory() override;
    void ClearReadMarks() override;
    [[nodiscard]] std::optional<std::array<int32_t, 6>> HistoryFormatOf(
        ObjectHandle window) const override;

    bool CaptureLayer(bool back, TDIBSurface& picture) override;

  private:
    [[nodiscard]] TKivoMes* MessageWindow(ObjectHandle window) const;

    // The root answers lookups through non-const members; looking never changes the scene.
    [[nodiscard]] TKivoBaseList& Mutable() const { return const_cast<TKivoBaseList&>(root_); }

    TKivoBaseList root_;
    // Over root_'s cache, so it is declared after it.
    TGalePictures pictures_{root_.Images()};
};

}  // namespace kivo
