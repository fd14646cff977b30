#pragma once
// The preview menu: a panel of named picture buttons designed as a whole and stored in a
// preview-menu file (cont_sel_list.h). Each button is an animated image (TKivoPrevImages) that
// the menu makes as a system child of its own, so it is never saved: the menu's record keeps
// the file name and the buttons' enabled and visible flags, and loading builds the buttons
// again from the file.
//
// A button shows its hover picture while hovered and may play a leave picture once when the
// pointer goes; overlays (pictures above the buttons, at one place in the panel) play while
// hovering and after a click. A click plays the click picture and overlay; while they play,
// the hover stays where it is, and once the last of them ends the menu closes (auto-scrap) or
// queues its play-end handler. Every picture any button can show is taken from the image cache
// when the file is read and held while the menu lives, so none is decoded mid-animation.

#include <cstdint>
#include <memory>
#include <string>
#include <string_view>
#include <unordered_set>
#include <vector>

#include "scene/cont_sel_list.h"
#include "scene/kivo_control.h"
#include "scene/kivo_images.h"

namespace kivo {

class TGaleItem;
class TKivoPrevMenu;

// The pictures of one button, with the names resolved against the menu file's folder.
struct TKivoPrevMenuData {
    std::string normal, hover, leave, click, disabled, disabledHover, disabledLeave;
    std::string hoverOverlay, leaveOverlay, clickOverlay, disabledHoverOverlay,
        disabledLeaveOverlay;
    int32_t overlayX = 0;
    int32_t overlayY = 0;
    std::string name;
    int32_t index = 0;
};

// The image class of the buttons and their overlays. A new picture starts from a plain state
// (opaque, unzoomed, unturned, unflipped, unclipped); a picture that does not repeat reports
// its end to the menu instead of finishing.
class TKivoPrevImages final : public TKivoImages {
  public:
    using TKivoImages::TKivoImages;

    [[nodiscard]] bool AutoNamed() const override { return false; }
    [[nodiscard]] std::string_view ClassName() const override { return "TKivoPrevImages"; }

    // Shows the picture of the name; a different name first resets the drawing state. A
    // picture the game lacks leaves the image empty.
    void ShowPicture(const std::string& name);
    // The picture plays once (false) or in a loop; either way it starts to play afresh.
    void SetPlayOnce(bool once);

    [[nodiscard]] bool Update() override;

  private:
    bool endReported_ = false;
};

class TKivoPrevMenu final : public TKivoControl {
  public:
    // Save records from these versions on carry the enabled and the visible flags.
    static constexpr int32_t kSaveVersionEnabled = 127;
    static constexpr int32_t kSaveVersionVisible = 132;

    explicit TKivoPrevMenu(TKivoBaseList& root);
    ~TKivoPrevMenu() override;

    [[nodiscard]] int32_t Kind() const override { return LT_PREVMENU; }
    [[nodiscard]] std::string_view ClassName() const override { return "TKivoPrevMenu"; }

    // ---- The file ----

    [[nodiscard]] const std::string& Source() const { return source_; }
    // A different name drops the buttons and reads the file; a file the game lacks leaves the
    // menu empty and 0 x 0. A damaged file raises its error and leaves the menu empty.
    void SetSource(std::string source);
    [[nodiscard]] int32_t Count() const { return static_cast<int32_t>(buttons_.size()); }
    // The button names, one a line (CR LF between them).
    [[nodiscard]] std::string Text() const;
    [[nodiscard]] TKivoPrevImages* ButtonImage(int32_t index) const;
    [[nodiscard]] TKivoPrevImages* OverlayImage(int32_t index) const;
    [[nodiscard]] const TKivoPrevMenuData* ButtonData(int32_t index) const;
    // The cache names the menu holds, upper-cased.
    [[nodiscard]] const std::vector<std::string>& PreloadedNames() const { return preloaded_; }

    // ---- Buttons ----

    // The index a script names a button by: a decimal number, else the first button of
    // exactly that name; -1 when none.
    [[nodiscard]] int32_t IndexOf(std::string_view text) const;
    [[nodiscard]] bool ButtonEnabled(int32_t index) const;
    void SetButtonEnabled(int32_t index, bool enabled);
    [[nodiscard]] bool ButtonVisible(int32_t index) const;
    void SetButtonVisible(int32_t index, bool visible);
    [[nodiscard]] int32_t Hovered() const { return hovered_; }
    // Pictures still playing from the last click.
    [[nodiscard]] int32_t PendingAnimations() const { return pending_; }
    // Called by a button or overlay whose picture played once to its end.
    void AnimationEnded(const TKivoPrevImages& image);

    // ---- Flags and handlers ----

    [[nodiscard]] bool Paused() const override { return paused_; }
    void SetPaused(bool paused) { paused_ = paused; }
    [[nodiscard]] bool AutoScrap() const override { return autoScrap_; }
    void SetAutoScrap(bool autoScrap) { autoScrap_ = autoScrap; }
    [[nodiscard]] bool RightClickScrapFlag() const { return rightClickScrap_; }
    void SetRightClickScrap(bool scrap) { rightClickScrap_ = scrap; }
    [[nodiscard]] const std::string& SelectHandler() const { return selectHandler_; }
    void SetSelectHandler(std::string handler) { selectHandler_ = std::move(handler); }
    [[nodiscard]] const std::string& MapInHandler() const { return mapInHandler_; }
    void SetMapInHandler(std::string handler) { mapInHandler_ = std::move(handler); }
    [[nodiscard]] const std::string& MapOutHandler() const { return mapOutHandler_; }
    void SetMapOutHandler(std::string handler) { mapOutHandler_ = std::move(handler); }
    [[nodiscard]] std::string IdleHandler() const override { return idleHandler_; }
    void SetIdleHandler(std::string handler) { idleHandler_ = std::move(handler); }
    [[nodiscard]] std::string PlayEndHandler() const override { return playEndHandler_; }
    void SetPlayEndHandler(std::string handler) { playEndHandler_ = std::move(handler); }

    // ---- Input and frame work ----

    [[nodiscard]] std::string DisplayCursor() const override;
    [[nodiscard]] TKivoControl* HitTest(int32_t x, int32_t y, IgnoreMouseMask mask) override;
    void FireMouseMove(int32_t x, int32_t y) override;
    void FireMouseOut() override;
    void FireLeftDown(int32_t x, int32_t y) override;
    void FireLeftUp(int32_t x, int32_t y) override;
    void FireRightDown(int32_t x, int32_t y) override;
    void FireKeyRepeat() override;
    // The menu finishes by scheduling its own destruction, never through its update.
    [[nodiscard]] bool Update() override;

    [[nodiscard]] const PropertyMap& Properties() const override { return ClassProperties(); }
    [[nodiscard]] static const PropertyMap& ClassProperties();
    void Save(ByteWriter& writer) const override;
    void Load(ByteReader& reader, int32_t version) override;

  private:
    struct Button {
        ObjectHandle image;
        ObjectHandle overlay;
        TKivoPrevMenuData data;
        bool enabled = true;
        bool visible = true;
    };

    void Clear();
    void ReleasePreloaded();
    void Build(const TContSelList& list, const std::string& fileName);
    // A new image under the menu with the next free system name of the menu.
    TKivoPrevImages& MakeImage();
    void Preload(const std::string& name, std::unordered_set<std::string>& visiting);
    [[nodiscard]] bool ValidIndex(int32_t index) const { return index >= 0 && index < Count(); }
    [[nodiscard]] Button& At(int32_t index) { return buttons_[static_cast<size_t>(index)]; }
    [[nodiscard]] const std::string& RestingPicture(const Button& button) const {
        return button.enabled ? button.data.normal : button.data.disabled;
    }
    void SetOverlay(int32_t index, const std::string& name, int32_t priority, bool repeat);
    void DropOverlay(Button& button);
    void ChangeHover(int32_t index);
    void Select();
    void Finish();
    [[nodiscard]] std::vector<std::string> ArgumentsOf(int32_t index) const;
    [[nodiscard]] int32_t ButtonAt(int32_t x, int32_t y) const;

    std::string source_;
    bool paused_ = false;
    bool autoScrap_ = false;
    bool rightClickScrap_ = false;
    std::string selectHandler_;
    std::string mapInHandler_;
    std::string mapOutHandler_;
    std::string idleHandler_;
    std::string playEndHandler_;
    std::vector<Button> buttons_;
    std::vector<std::string> preloaded_;
    std::vector<TGaleItem*> preloadedItems_;
    ObjectHandle preloadUser_;
    int32_t hovered_ = -1;
    int32_t pressed_ = -1;
    int32_t pending_ = 0;
};

}  // namespace kivo
