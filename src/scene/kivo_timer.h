#pragma once
// A timer: queues its ONNOTIFY handler every interval of game time (every frame for an
// interval of 0, never for a negative one). It never has two events queued: a firing while the
// last one still waits or runs is dropped, and the interval goes on counting from where it
// stood, so a long frame is caught up one interval per frame. With auto-scrap the timer goes
// once its first event has been handled.

#include <cstdint>
#include <string>

#include "scene/kivo_object.h"

namespace kivo {

// The save version that added the auto-scrap and fired flags (read above 103).
inline constexpr int32_t kSaveVersionTimerScrap = 104;

class TKivoTimer final : public TKivoComponent {
  public:
    explicit TKivoTimer(TKivoBaseList& root);

    [[nodiscard]] int32_t Kind() const override { return LT_TIMER; }
    [[nodiscard]] std::string_view ClassName() const override { return "TKivoTimer"; }
    [[nodiscard]] bool Paused() const override { return paused_; }
    [[nodiscard]] bool Update() override;

    [[nodiscard]] const std::string& Handler() const { return handler_; }
    void SetHandler(std::string handler);
    [[nodiscard]] int32_t Interval() const { return interval_; }
    void SetInterval(int32_t ms);
    void SetPaused(bool paused);
    [[nodiscard]] bool AutoScrap() const { return autoScrap_; }
    void SetAutoScrap(bool autoScrap) { autoScrap_ = autoScrap; }
    [[nodiscard]] bool Fired() const { return fired_; }

    [[nodiscard]] const PropertyMap& Properties() const override { return ClassProperties(); }
    [[nodiscard]] static const PropertyMap& ClassProperties();
    void Save(ByteWriter& writer) const override;
    void Load(ByteReader& reader, int32_t version) override;

  private:
    // Drops this timer's waiting events and counts the interval from now.
    void Restart();
    void Fire();

    std::string handler_;
    int32_t interval_ = 0;
    bool paused_ = false;
    bool autoScrap_ = false;
    bool fired_ = false;
    int32_t startTime_ = 0;
};

}  // namespace kivo
