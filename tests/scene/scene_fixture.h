#pragma once
// A scene root on a headless clock, and helpers to build small scenes of boxes, read their
// pictures as text and see what they queued.

#include <gtest/gtest.h>

#include <map>
#include <string>
#include <vector>

#include "base/player_state.h"
#include "scene/kivo_base_list.h"
#include "scene/kivo_box.h"
#include "scene/kivo_motion.h"

namespace kivo::test {

// Script colours (0x00BBGGRR) of the letters pictures are written with; '.' is black.
inline const std::map<char, int32_t> kPictureColors{
    {'.', 0x000000}, {'R', 0x0000FF}, {'G', 0x00FF00}, {'B', 0xFF0000},
    {'W', 0xFFFFFF}, {'Y', 0x00FFFF}, {'M', 0xFF00FF}, {'C', 0xFFFF00},
};

// A control that answers like a kind with a picture of its own, for the placement rules that
// depend on one.
class PictureControl : public TKivoControl {
  public:
    using TKivoControl::TKivoControl;
    [[nodiscard]] int32_t ZoomX() const override { return zoom; }
    [[nodiscard]] int32_t ZoomY() const override { return zoom; }
    [[nodiscard]] bool FlipH() const override { return flipH; }
    [[nodiscard]] int32_t SurfaceWidth() const override { return surfaceWidth; }
    [[nodiscard]] int32_t SurfaceHeight() const override { return surfaceHeight; }
    [[nodiscard]] bool Paused() const override { return paused; }
    [[nodiscard]] bool Busy() const override { return busy; }

    int32_t zoom = 256;
    bool flipH = false;
    int32_t surfaceWidth = 0;
    int32_t surfaceHeight = 0;
    bool paused = false;
    bool busy = false;
};

// An object without a rectangle (the kinds that are one come later).
class PlainComponent : public TKivoComponent {
  public:
    using TKivoComponent::TKivoComponent;
};

// A film of some frames that records what it was asked to show.
class RecordingFilm : public MotionFilm {
  public:
    struct Applied {
        int32_t frame, originX, originY;
        friend bool operator==(const Applied&, const Applied&) = default;
    };

    RecordingFilm(int32_t frames, int32_t loopStart = 0, bool relative = false)
        : frames_(frames), loopStart_(loopStart), relative_(relative) {}

    int32_t FrameCount() const override { return frames_; }
    int32_t LoopStart() const override { return loopStart_; }
    bool PositionRelative() const override { return relative_; }
    void SetBasePriority(int32_t priority) override { basePriority = priority; }
    void ApplyFrame(TKivoControl& target, int32_t frame, int32_t originX,
                    int32_t originY) override {
        applied.push_back({frame, originX, originY});
        target.SetMotionX(originX + frame);
    }

    std::vector<Applied> applied;
    int32_t basePriority = -1;

  private:
    int32_t frames_;
    int32_t loopStart_;
    bool relative_;
};

// A window that records what the scene asked of it, with three display modes.
class RecordingWindow : public SceneWindow {
  public:
    void ShowCursor(std::string_view fileName) override { cursors.emplace_back(fileName); }
    void MovePointer(int32_t x, int32_t y) override { moves.emplace_back(x, y); }
    bool FullScreen() const override { return fullScreen; }
    void SetFullScreen(bool value) override { fullScreen = value; }
    int32_t DisplayModeCount() const override { return 3; }
    int32_t DisplayModeIndex() const override { return modeIndex; }
    void SetDisplayModeIndex(int32_t index) override { modeIndex = index; }

    std::vector<std::string> cursors;
    std::vector<std::pair<int32_t, int32_t>> moves;
    bool fullScreen = false;
    int32_t modeIndex = -1;
};

class SceneTest : public ::testing::Test {
  protected:
    SceneTest() {
        state.frameDelta = 16;
        root.SetSize(16, 12);
    }

    // A named box of that colour under parent (the shown layer when none).
    TKivoBox& Box(std::string name, int32_t left, int32_t top, int32_t width, int32_t height,
                  int32_t color = 0x0000FF, TKivoControl* parent = nullptr) {
        TKivoBox& box = root.Create<TKivoBox>();
        box.Rename(std::move(name));
        box.SetBounds(left, top, width, height);
        box.SetColor(color);
        box.SetParent(parent != nullptr ? parent : &root.ActiveLayer());
        return box;
    }

    // The objects films and emitters made (system-named) in the scene.
    int32_t FilmObjects() const {
        int32_t count = 0;
        for (int32_t i = 0; i < root.ObjectCount(); ++i)
            count += root.ObjectAt(i).IsSystem() ? 1 : 0;
        return count;
    }

    // Draws and returns the back buffer as rows of picture letters ('?' for other colours).
    std::vector<std::string> Picture() {
        std::vector<TRect> dirty;
        (void)root.Draw(dirty);
        root.ClearDirty();
        return PictureOf(root.BackBuffer());
    }

    static std::vector<std::string> PictureOf(TCustomDIBX& surface) {
        std::vector<std::string> rows;
        for (int32_t y = 0; y < surface.Height(); ++y) {
            std::string row;
            for (int32_t x = 0; x < surface.Width(); ++x) {
                char letter = '?';
                for (const auto& [name, color] : kPictureColors) {
                    if (surface.ColorToPixel(color) == surface.GetPixel(x, y)) letter = name;
                }
                row += letter;
            }
            rows.push_back(row);
        }
        return rows;
    }

    // The queued events as "name:code(args)".
    std::vector<std::string> Queue() const {
        std::vector<std::string> out;
        TTimerList& events = const_cast<TKivoBaseList&>(root).Events();
        for (size_t i = 0; i < events.Count(); ++i) {
            const TTimerData& entry = events[i];
            std::string text =
                root.NameOf(entry.sender).value_or("?") + ":" + std::to_string(entry.kind);
            if (!entry.arguments.empty()) {
                text += "(";
                for (size_t a = 0; a < entry.arguments.size(); ++a) {
                    text += (a > 0 ? "," : "") + entry.arguments[a];
                }
                text += ")";
            }
            out.push_back(text);
        }
        return out;
    }

    // One frame's input: the pointer moves to (x, y), then the input pass runs.
    void PointerFrame(int32_t x, int32_t y) {
        root.SetPointer(x, y);
        root.InputPass();
    }

    PlayerState state;
    TKivoBaseList root{state};
};

}  // namespace kivo::test
