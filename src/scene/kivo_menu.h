#pragma once
// A text menu: a list box that opens by growing to its full height over its delay and closes
// by shrinking, raising its opening, opened, closing and closed events on the way. Choosing
// an item with auto-scrap closes and ends it; with right-click-scrap a right click anywhere
// (or Escape while it has the focus) closes it without a choice.
//
// The opening and closing run as numbered phases stepped once per update: 0 open and idle;
// 10 close requested; 100..102 opening; 200..201 closing with its animation; 300..302 ending
// (the root destroys the menu once its closing and closed events have run).

#include <cstdint>
#include <string>

#include "scene/kivo_custom_list_box.h"

namespace kivo {

class TKivoMenu final : public TKivoCustomListBox {
  public:
    // Play states, as the Menu and MenuClose commands and save data give them.
    static constexpr int32_t kOpen = 0;
    static constexpr int32_t kOpening = 1;
    static constexpr int32_t kClosed = 2;
    static constexpr int32_t kClosing = 3;

    explicit TKivoMenu(TKivoBaseList& root);

    [[nodiscard]] int32_t Kind() const override { return LT_MENU; }
    [[nodiscard]] std::string_view ClassName() const override { return "TKivoMenu"; }

    [[nodiscard]] int32_t PlayState() const { return playState_; }
    void SetPlayState(int32_t state) override;
    // The Menu command opens a menu once its properties are written.
    void CreationComplete() override { SetPlayState(kOpening); }

    [[nodiscard]] int32_t Delay() const { return delay_; }
    void SetDelay(int32_t delay) { delay_ = delay; }
    [[nodiscard]] int32_t HoverColor() const { return hoverColor_; }
    void SetHoverColor(int32_t color);
    [[nodiscard]] bool AutoScrap() const override { return autoScrap_; }
    void SetAutoScrap(bool autoScrap) { autoScrap_ = autoScrap; }
    [[nodiscard]] bool RightClickScrap() const override { return rightClickScrap_; }
    void SetRightClickScrap(bool scrap);
    [[nodiscard]] bool Busy() const override { return busy_; }
    // The height it opens to while it opens or closes, else its height.
    [[nodiscard]] int32_t OrigHeight() const;
    [[nodiscard]] int32_t CurrentPhase() const { return phase_; }

    [[nodiscard]] const std::string& OpeningHandler() const { return handlers_[0]; }
    void SetOpeningHandler(std::string handler) { handlers_[0] = std::move(handler); }
    [[nodiscard]] const std::string& OpenedHandler() const { return handlers_[1]; }
    void SetOpenedHandler(std::string handler) { handlers_[1] = std::move(handler); }
    [[nodiscard]] const std::string& ClosingHandler() const { return handlers_[2]; }
    void SetClosingHandler(std::string handler) { handlers_[2] = std::move(handler); }
    [[nodiscard]] const std::string& ClosedHandler() const { return handlers_[3]; }
    void SetClosedHandler(std::string handler) { handlers_[3] = std::move(handler); }

    [[nodiscard]] bool Update() override;
    void FireRightDown(int32_t x, int32_t y) override;
    void FireKeyRepeat() override;
    bool CloseByRightClick() override;

    [[nodiscard]] const PropertyMap& Properties() const override { return ClassProperties(); }
    [[nodiscard]] static const PropertyMap& ClassProperties();
    void Save(ByteWriter& writer) const override;
    void Load(ByteReader& reader, int32_t version) override;

  protected:
    [[nodiscard]] int32_t HoverBarColor() const override { return hoverColor_; }
    [[nodiscard]] bool Animating() const override { return phase_ != 0; }
    [[nodiscard]] int32_t Phase() const override { return phase_; }
    void SetPhase(int32_t phase) override { phase_ = phase; }
    void Select() override;

  private:
    // Opening and closing events: queued while the menu is busy too, since they are what its
    // closing consists of, and never merged with an earlier one of the same code.
    void PostLifecycle(uint8_t code, const std::string& handler);
    [[nodiscard]] bool LifecycleQueued() const;
    void TakeFocusIfAble();
    void LeaveFocus();
    // The height at elapsed ms of an opening (or, reversed, closing) of the full height.
    [[nodiscard]] int32_t AnimatedHeight(int64_t elapsed) const;

    int32_t playState_ = kClosed;
    int32_t phase_ = 0;
    int32_t delay_ = 0;
    int32_t fullHeight_ = 0;
    int32_t start_ = 0;
    bool busy_ = false;
    bool autoScrap_ = false;
    bool rightClickScrap_ = false;
    int32_t hoverColor_ = 0;
    std::array<std::string, 4> handlers_;
};

}  // namespace kivo
