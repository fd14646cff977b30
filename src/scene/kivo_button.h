#pragma once
// A picture button: four states, each with its own picture list (normal, hover, pressed and
// clicked), driven by the pointer and by Enter or Space while it has the focus. A click queues
// the notify handler. Buttons of one group index under one parent are exclusive: at most one
// is selected (shown pressed), and unless all may be up, one always is.
//
// The clicked state plays its picture once and then returns to the state the button would
// have taken meanwhile, or ends the button when it scraps itself. A button without a clicked
// picture and with auto-scrap ends in the update after its click.
//
// A state's source may instead name a motion file: entering the state runs that motion on the
// button from its first frame (the clicked state's animation ends when its motion does), and
// the button shows the pictures the motion's image tracks name. Leaving the state ends the
// motion and puts the button back in its place.

#include <array>
#include <cstdint>
#include <memory>
#include <string>

#include "scene/control_picture.h"
#include "scene/kivo_control.h"
#include "scene/kivo_film_stage.h"

namespace kivo {

class TFilmManager;

class TKivoButton final : public TKivoControl, public FilmPictureShow {
  public:
    enum State : int32_t { kNone = -1, kNormal = 0, kHover = 1, kPressed = 2, kClicked = 3 };
    static constexpr int32_t kStateCount = 4;

    using TKivoControl::TKivoControl;

    [[nodiscard]] int32_t Kind() const override { return LT_BUTTON; }
    [[nodiscard]] std::string_view ClassName() const override { return "TKivoButton"; }

    // ---- Pictures ----

    // The picture list (".gal") or motion file (".kmt") of a state by virtual file name; any
    // other name leaves the state without a picture.
    [[nodiscard]] const std::string& Source(int32_t state) const;
    void SetSource(int32_t state, std::string source);
    // Whether the state has a picture list or a motion to show.
    [[nodiscard]] bool HasPicture(int32_t state) const;
    [[nodiscard]] int32_t Alpha() const { return alpha_; }
    void SetAlpha(int32_t alpha) { ChangeArea(alpha_, alpha); }
    // The frame count and frame shown of the current state's picture. With a motion the count
    // is the motion's, and setting the index moves the motion to that frame's time.
    [[nodiscard]] int32_t FrameCount() const;
    [[nodiscard]] int32_t FrameIndex() const { return frameIndex_; }
    void SetFrameIndex(int32_t index);
    // The current state's motion shows frame frameIndex of a picture.
    void ShowFilmPicture(const std::string& fileName, int32_t frameIndex) override;

    // ---- States ----

    [[nodiscard]] int32_t StateShown() const { return state_; }
    [[nodiscard]] int32_t RememberedState() const { return remembered_; }
    // While the clicked state plays, the new state is only remembered; a state without a
    // picture is not taken.
    void SetState(int32_t state);
    [[nodiscard]] int32_t PressPhase() const { return pressPhase_; }

    // ---- Groups ----

    [[nodiscard]] int32_t GroupIndex() const { return groupIndex_; }
    void SetGroupIndex(int32_t index);
    [[nodiscard]] bool Selected() const { return selected_; }
    // Selects or deselects within the group and gives every member its picture.
    void SetSelected(bool selected);
    [[nodiscard]] bool AllowAllUp() const { return allowAllUp_; }
    // Given to every member of the group.
    void SetAllowAllUp(bool allow);

    // ---- Flags and handlers ----

    // Every state repeats its animation but the clicked one, which plays once.
    [[nodiscard]] bool Repeat() const override { return state_ != kClicked; }
    [[nodiscard]] bool AutoScrap() const override { return autoScrap_; }
    void SetAutoScrap(bool autoScrap) { autoScrap_ = autoScrap; }
    [[nodiscard]] bool Paused() const override { return paused_; }
    // Unpausing shows the normal picture again.
    void SetPaused(bool paused);
    [[nodiscard]] const std::string& NotifyHandler() const { return notifyHandler_; }
    void SetNotifyHandler(std::string handler) { notifyHandler_ = std::move(handler); }
    [[nodiscard]] std::string IdleHandler() const override { return idleHandler_; }
    void SetIdleHandler(std::string handler) { idleHandler_ = std::move(handler); }
    [[nodiscard]] std::string PlayEndHandler() const override { return playEndHandler_; }
    void SetPlayEndHandler(std::string handler) { playEndHandler_ = std::move(handler); }

    // ---- Frame work and input ----

    // Queues the notify handler and plays the clicked state or toggles the selection.
    void Click();
    [[nodiscard]] bool Update() override;
    void Draw(TDrawContext& context) override;
    void FireLeftDown(int32_t x, int32_t y) override;
    void FireLeftUp(int32_t x, int32_t y) override;
    void FireMouseMove(int32_t x, int32_t y) override;
    void FireMouseOut() override;
    void FireKeyRepeat() override;

    [[nodiscard]] const PropertyMap& Properties() const override { return ClassProperties(); }
    [[nodiscard]] static const PropertyMap& ClassProperties();
    void Save(ByteWriter& writer) const override;
    void Load(ByteReader& reader, int32_t version) override;

  private:
    struct StatePicture {
        std::string source;
        std::unique_ptr<ControlPicture> picture;
        std::shared_ptr<TFilmManager> film;
    };

    [[nodiscard]] const ControlPicture* CurrentPicture() const;
    // Shows the first frame of the current state and takes its picture's size.
    void RestartAnimation();
    // Advances the current state's frames; true when a clicked state has played out.
    bool Animate();
    // The buttons of this one's group under its parent, in child order.
    [[nodiscard]] std::vector<TKivoButton*> GroupMembers() const;
    // Keeps keep selected (or, when null, the first selected member, or the first member
    // when all may not be up) and deselects the rest.
    void ApplyGroup(TKivoButton* keep);

    std::array<StatePicture, kStateCount> pictures_;
    // The picture a state's motion shows, and its file.
    std::unique_ptr<ControlPicture> motionPicture_;
    std::string motionPictureName_;
    int32_t alpha_ = 255;
    int32_t frameIndex_ = -1;
    int32_t frameTime_ = 0;
    int32_t state_ = kNormal;
    int32_t remembered_ = kNormal;
    int32_t pressPhase_ = 0;
    int32_t groupIndex_ = 0;
    bool selected_ = false;
    bool allowAllUp_ = false;
    bool autoScrap_ = false;
    bool paused_ = false;
    // Set by loading: the group is made exclusive again in the first update, once every
    // sibling has been read.
    bool groupPending_ = false;
    std::string notifyHandler_;
    std::string idleHandler_;
    std::string playEndHandler_;
};

}  // namespace kivo
