// Feeds arbitrary bytes to the film reader, then plays what it read on a stage that only hands
// out objects, at the frames where tracks start, join and end, in both kinds of scene list and
// in motion mode.

#include <cstddef>
#include <cstdint>
#include <memory>
#include <set>
#include <span>
#include <string>
#include <vector>

#include "imaging/film_manager.h"

namespace {

using namespace kivo;

class OnePicture : public TFilmPicture {
  public:
    OnePicture() : frames_{{.DelayMs = 30}, {.DelayMs = 0, .OffsetX = 2}, {.DelayMs = 70}} {}
    [[nodiscard]] const std::vector<TFilmPictureFrame>& Frames() const override { return frames_; }

  private:
    std::vector<TFilmPictureFrame> frames_;
};

// Every name but those ending in "x" has the same three-frame picture.
class FuzzPictures : public TFilmPictureSource {
  public:
    [[nodiscard]] std::shared_ptr<const TFilmPicture> Acquire(std::string_view name) override {
        if (name.ends_with('x')) return nullptr;
        return std::make_shared<OnePicture>();
    }
};

class NullStage : public TFilmStage {
  public:
    [[nodiscard]] TFilmObjectId CreateObject(TFilmTrackKind, int32_t) override {
        live_.insert(++next_);
        return next_;
    }
    void RemoveObject(TFilmObjectId object) override {
        // Removing an object twice, or one never made, is a fault of the film.
        if (live_.erase(object) != 1) __builtin_trap();
    }
    void SetProperty(TFilmObjectId, PropertyId, int32_t) override {}
    void SetFloatProperty(TFilmObjectId, PropertyId, double) override {}
    void SetStringProperty(TFilmObjectId, PropertyId, std::string_view) override {}
    [[nodiscard]] int32_t GetProperty(TFilmObjectId, PropertyId) override { return 0; }
    void SetPicture(TFilmObjectId, const TFilmPicture& picture, int32_t frameIndex) override {
        if (frameIndex < 0 || static_cast<size_t>(frameIndex) >= picture.Frames().size())
            __builtin_trap();
    }
    void SetMotionPosition(TFilmObjectId, int32_t, int32_t) override {}
    void SetSubPriority(TFilmObjectId, int32_t) override {}
    void SetEmission(TFilmObjectId, const TFilmEmission&) override {}
    void PlaySound(TFilmObjectId) override {}
    void RunTransition(const TFilmTransition&, int32_t, int32_t, bool) override {}
    void EndTransition() override {}
    void ShowLayer(int32_t) override {}

    [[nodiscard]] size_t Live() const { return live_.size(); }

  private:
    TFilmObjectId next_ = 0;
    std::set<TFilmObjectId> live_;
};

std::vector<int32_t> FramesWorthApplying(const TFilmManager& film) {
    std::vector<int32_t> frames{
        0, 1, film.LoopStart(), film.Duration() / 2, film.Duration() - 1, film.Duration()};
    for (const auto& track : film.Tracks()) {
        for (const int64_t frame : {int64_t{track->Start}, int64_t{track->Start} + 1,
                                    int64_t{track->End()} - 1, int64_t{track->End()}}) {
            if (frame >= INT32_MIN && frame <= INT32_MAX)
                frames.push_back(static_cast<int32_t>(frame));
        }
        if (frames.size() > 256) break;
    }
    frames.push_back(0);  // back to the start, as a loop would
    return frames;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const std::span<const uint8_t> bytes(data, size);
    FuzzPictures pictures;
    for (const int mode : {0, 1, 2}) {
        NullStage stage;
        {
            TFilmManager film;
            if (!film.LoadFromBytes(bytes, "films/fuzz.kcn", &pictures)) {
                if (film.LoadError().empty() || !film.Tracks().empty()) __builtin_trap();
                return 0;
            }
            (void)film.ImageNames();
            film.SetStage(&stage, mode == 1);
            if (mode == 2) film.SetMotionMode(stage.CreateObject(TFilmTrackKind::Image, 0), 5, 7);
            film.SetVolume(INT32_MAX);
            for (const int32_t frame : FramesWorthApplying(film))
                film.ApplyFrame(frame);
        }
        // The film removes everything it made; in motion mode only the driven object is left.
        if (stage.Live() != (mode == 2 ? 1u : 0u)) __builtin_trap();
    }
    return 0;
}
