#pragma once
// Transitions ("wipes"): a picture replaced by another over a given time in one of 38 styles.
//
// The scene root owns at most one running transition. It creates one with CreateWipe, gives it
// its duration, direction, parameters and rule picture, calls Init once, and then every frame
// moves its elapsed time on and calls Step, which draws the mixture of the two pictures
// straight into the destination (the screen buffer) and says when the transition is over.
// Every style is a pure function of the elapsed time: a Step at the same elapsed time draws
// the same picture. A transition never owns the destination or the two pictures; they must
// outlive it.
//
// Arguments come in two orders for historical reasons: CreateWipe takes (code, destination,
// from, to) while the style constructors take (destination, to, from).

#include <algorithm>
#include <array>
#include <cstdint>
#include <memory>
#include <string>

#include "base/rect.h"
#include "imaging/dibx.h"
#include "imaging/wipe_code.h"
#include "storage/tp_random.h"

namespace kivo {

namespace wipe {
class WipeRows;
}

class TCustomWipe {
  public:
    // The random generator is only read by Init (the crack and random-block styles draw their
    // orders from it); it must outlive that call.
    TCustomWipe(TCustomDIBX& destination, TCustomDIBX& toPicture, TCustomDIBX& fromPicture,
                TTpRandom& random);
    virtual ~TCustomWipe() = default;
    TCustomWipe(const TCustomWipe&) = delete;
    TCustomWipe& operator=(const TCustomWipe&) = delete;

    // ---- Set-up, before Init. ----
    // The direction (its meaning depends on the style).
    virtual void SetReverse(bool reverse) { reverse_ = reverse; }
    [[nodiscard]] bool Reverse() const { return reverse_; }
    // Parameters 0 and 1 of the style; other indexes read 0 and store nothing.
    [[nodiscard]] virtual int32_t GetParam(int32_t index) const;
    virtual void SetParam(int32_t index, int32_t value);
    // The name of the rule picture of the rule-image styles, kept for the caller that loads it.
    void SetMaskName(std::string name) { maskName_ = std::move(name); }
    [[nodiscard]] const std::string& MaskName() const { return maskName_; }
    // The loaded rule picture (any depth, read by luminance), or null when there is none; read
    // only by Init.
    void SetRulePicture(TCustomDIBX* picture) { rulePicture_ = picture; }
    // The length in the scene clock's units; below 1 counts as 1.
    void SetDuration(int32_t duration) { duration_ = std::max(duration, 1); }
    [[nodiscard]] int32_t Duration() const { return duration_; }
    // Prepares work surfaces and tables; called once after the parameters are set (the first
    // Step calls it when the caller did not).
    void Init();

    // ---- Running. ----
    // The time since the start; it never runs past the duration, nor below 0.
    void SetElapsed(int64_t elapsed);
    // Moves the elapsed time on by a frame's delta.
    void Advance(int32_t delta) { SetElapsed(elapsed_ + delta); }
    [[nodiscard]] int32_t Elapsed() const { return static_cast<int32_t>(elapsed_); }
    // Draws the frame of the elapsed time into the destination and returns false; once the
    // elapsed time reaches the duration (or the transition was abandoned) it draws nothing and
    // returns true.
    bool Step();
    [[nodiscard]] bool Finished() const { return abandoned_ || elapsed_ >= duration_; }
    // Ends the transition where it stands: nothing more is drawn and the work surfaces and
    // tables are freed at once.
    void Abandon();
    // The area the last Step changed: the whole destination.
    [[nodiscard]] const TRect& UpdateRect() const { return updateRect_; }

  protected:
    // The work of Init.
    virtual void Prepare() {}
    // Draws the frame of the elapsed time through the rows of the three surfaces; only called
    // while the transition runs, after Init, and while the surfaces cover the area.
    virtual void DrawStep(const wipe::WipeRows& rows) = 0;
    // Frees what Init made.
    virtual void ReleaseWork() {}

    [[nodiscard]] TCustomDIBX& Destination() const { return destination_; }
    [[nodiscard]] TCustomDIBX& FromPicture() const { return fromPicture_; }
    [[nodiscard]] TCustomDIBX& ToPicture() const { return toPicture_; }
    [[nodiscard]] TCustomDIBX* RulePicture() const { return rulePicture_; }
    [[nodiscard]] TTpRandom& Random() const { return random_; }
    [[nodiscard]] int32_t Param(int32_t index) const { return params_[static_cast<size_t>(index)]; }
    // The elapsed time and the duration (t and T of the formulas): 0 <= t < T while the
    // transition runs. Products with them are taken in 64 bits, since t x 4096 and the like
    // leave 32 bits after some minutes.
    [[nodiscard]] int64_t Now() const { return elapsed_; }
    [[nodiscard]] int64_t Total() const { return duration_; }
    // The area the three surfaces shared at creation, from (0, 0); the styles draw inside it.
    [[nodiscard]] int32_t W() const { return width_; }
    [[nodiscard]] int32_t H() const { return height_; }

  private:
    TCustomDIBX& destination_;
    TCustomDIBX& toPicture_;
    TCustomDIBX& fromPicture_;
    TTpRandom& random_;
    TCustomDIBX* rulePicture_ = nullptr;
    bool reverse_ = false;
    bool initialised_ = false;
    bool abandoned_ = false;
    std::string maskName_;
    int32_t width_ = 0;
    int32_t height_ = 0;
    int32_t duration_ = 1;
    int64_t elapsed_ = 0;
    std::array<int32_t, 2> params_{};
    TRect updateRect_;
};

// The styles that mix the pictures through an 8-bit mask redrawn from a level: the mask is
// redrawn and the destination composed only when the level changes. The mask's rows repeat
// down the destination every MaskHeight rows.
class TWipeMask : public TCustomWipe {
  public:
    using TCustomWipe::TCustomWipe;

    // Parameter 0 is kept at 2 or more and parameter 1 at 1 or more.
    void SetParam(int32_t index, int32_t value) override;

  protected:
    // Works out the level of the elapsed time; when it differs from the last one, stores it,
    // sets Hard and redraws the mask, and returns true.
    virtual bool UpdateMask() = 0;
    [[nodiscard]] virtual int32_t MaskHeight() const { return H(); }

    // Sizes the mask to the destination's width x MaskHeight, cleared to 0.
    void Prepare() override;
    void DrawStep(const wipe::WipeRows& rows) override;
    void ReleaseWork() override;

    // True when level differs from the last one, which it then replaces.
    bool TakeLevel(int64_t level);
    // Hard masks switch pixels outright: non-zero takes the new picture.
    void SetHard(bool hard) { hard_ = hard; }
    [[nodiscard]] const TDIBX& Mask() const { return mask_; }
    [[nodiscard]] TDIBX& MaskSurface() { return mask_; }
    [[nodiscard]] uint8_t* MaskRow(int32_t y) { return mask_.PixelAddress(0, y); }
    // Clears the mask to value.
    void ClearMask(uint8_t value);

  private:
    TDIBX mask_{1, 1, 8};
    int64_t lastLevel_ = -1;
    bool hard_ = false;
};

// A new transition of the style code, with the style's two default parameters set; null for
// WP_NONE and for codes out of range (negative ones included).
[[nodiscard]] std::unique_ptr<TCustomWipe> CreateWipe(int32_t code, TCustomDIBX& destination,
                                                      TCustomDIBX& fromPicture,
                                                      TCustomDIBX& toPicture, TTpRandom& random);

}  // namespace kivo
