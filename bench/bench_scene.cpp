// The scene at 1280 x 720: drawing 500 boxes with dirty rectangles against repainting the
// whole frame with the same fills, hit tests through an object tree against a reverse scan of
// a flat list of rectangles, creating objects and resetting the scene at two counts (the time
// per object must not grow with the count), and a frame of a text menu at two item counts
// (scrolling a page, following the pointer and drawing must cost the same for 100 and for 10,000
// items).

#include <benchmark/benchmark.h>

#include <cstdio>
#include <cstring>
#include <string>
#include <vector>

#include "base/player_state.h"
#include "imaging/draw_context.h"
#include "ratio_reporter.h"
#include "scene/kivo_base_list.h"
#include "scene/kivo_box.h"
#include "scene/kivo_menu.h"
#include "scene/scene_root.h"
#include "script/param.h"

namespace kivo {
namespace {

constexpr int32_t kWidth = 1280;
constexpr int32_t kHeight = 720;
constexpr int32_t kBoxCount = 500;
constexpr int32_t kBoxSide = 64;
constexpr int32_t kBackground = 0x202020;

// A fixed sequence of pseudo-random numbers, the same in every run.
class Sequence {
  public:
    int32_t Next(int32_t below) {
        state_ = state_ * 1103515245u + 12345u;
        return static_cast<int32_t>((state_ >> 8) % static_cast<uint32_t>(below));
    }

  private:
    uint32_t state_ = 1;
};

int32_t BoxColor(int32_t i) {
    return (i * 0x3B17 + 0x40) & 0xFFFFFF;
}

// Copies the rectangles of the back buffer into a frame of the window's memory, as a present
// does.
void Present(const FrameView& frame, const std::vector<TRect>& rects, std::vector<uint32_t>& out) {
    for (const TRect& rect : rects) {
        const size_t bytes = static_cast<size_t>(rect.Width()) * 4;
        for (int32_t y = rect.Top; y < rect.Bottom; ++y) {
            const size_t offset = static_cast<size_t>(y) * static_cast<size_t>(frame.stride) +
                                  static_cast<size_t>(rect.Left);
            std::memcpy(out.data() + offset, frame.pixels + offset, bytes);
        }
    }
}

struct BoxScene {
    BoxScene() {
        scene.SetSize(kWidth, kHeight);
        scene.ActiveLayer().SetColor(kBackground);
        Sequence places;
        for (int32_t i = 0; i < kBoxCount; ++i) {
            TKivoBox& box = scene.Create<TKivoBox>();
            box.SetParent(&scene.ActiveLayer());
            box.SetBounds(places.Next(kWidth - kBoxSide), places.Next(kHeight - kBoxSide), kBoxSide,
                          kBoxSide);
            box.SetColor(BoxColor(i));
            boxes.push_back(&box);
        }
        DrawFrame();
    }

    void DrawFrame() {
        const FrameView frame = scene.Draw(dirty);
        Present(frame, dirty, window);
        scene.ClearDirty();
    }

    PlayerState state;
    TKivoBaseList scene{state};
    std::vector<TKivoBox*> boxes;
    std::vector<TRect> dirty;
    std::vector<uint32_t> window = std::vector<uint32_t>(size_t{kWidth} * kHeight);
    Sequence random;
};

void BM_Ours_MoveOneBox(benchmark::State& state) {
    BoxScene s;
    size_t next = 0;
    for (auto _ : state) {
        TKivoBox& box = *s.boxes[next];
        next = (next + 1) % s.boxes.size();
        box.SetLeft(s.random.Next(kWidth - kBoxSide));
        box.SetTop(s.random.Next(kHeight - kBoxSide));
        s.DrawFrame();
    }
}

void BM_Ours_MoveAllBoxes(benchmark::State& state) {
    BoxScene s;
    for (auto _ : state) {
        for (TKivoBox* box : s.boxes) {
            box->SetLeft(s.random.Next(kWidth - kBoxSide));
            box->SetTop(s.random.Next(kHeight - kBoxSide));
        }
        s.DrawFrame();
    }
}

void BM_Ref_Repaint(benchmark::State& state) {
    TDIBX back(kWidth, kHeight, 32);
    std::vector<uint32_t> window(size_t{kWidth} * kHeight);
    Sequence random;
    std::vector<TRect> rects;
    for (int32_t i = 0; i < kBoxCount; ++i) {
        const int32_t x = random.Next(kWidth - kBoxSide), y = random.Next(kHeight - kBoxSide);
        rects.push_back({x, y, x + kBoxSide, y + kBoxSide});
    }
    for (auto _ : state) {
        TDrawContext draw(back);
        draw.FillRect({0, 0, kWidth, kHeight}, back.ColorToPixel(kBackground));
        for (int32_t i = 0; i < kBoxCount; ++i) {
            draw.FillRect(rects[static_cast<size_t>(i)], back.ColorToPixel(BoxColor(i)));
        }
        std::memcpy(window.data(), back.Bitmap().Bits().data(), window.size() * 4);
        benchmark::DoNotOptimize(window.data());
    }
}

// ---- Hit tests ----

constexpr int32_t kHitTests = 10000;

// Ten top-level boxes in a 5 x 2 grid, nine children each in a 3 x 3 grid, ten grandchildren
// each in a 5 x 2 grid: 1,000 objects. The flat list holds their absolute rectangles in
// drawing order.
struct TreeScene {
    TreeScene() {
        scene.SetSize(kWidth, kHeight);
        auto grid = [&](TKivoControl& parent, int32_t columns, int32_t rows, int32_t width,
                        int32_t height) {
            std::vector<TKivoBox*> made;
            for (int32_t row = 0; row < rows; ++row) {
                for (int32_t column = 0; column < columns; ++column) {
                    TKivoBox& box = scene.Create<TKivoBox>();
                    box.SetParent(&parent);
                    // A gap of two pixels between cells leaves points that hit the parent.
                    box.SetBounds(column * width + 1, row * height + 1, width - 2, height - 2);
                    made.push_back(&box);
                }
            }
            return made;
        };
        for (TKivoBox* top : grid(scene.ActiveLayer(), 5, 2, 256, 360)) {
            flat.push_back(top->BoundsRect());
            for (TKivoBox* child : grid(*top, 3, 3, 84, 119)) {
                flat.push_back(child->BoundsRect());
                for (TKivoBox* grandchild : grid(*child, 5, 2, 16, 58)) {
                    flat.push_back(grandchild->BoundsRect());
                }
            }
        }
        Sequence random;
        for (int32_t i = 0; i < kHitTests; ++i) {
            points.emplace_back(random.Next(kWidth), random.Next(kHeight));
        }
    }

    PlayerState state;
    TKivoBaseList scene{state};
    std::vector<TRect> flat;
    std::vector<std::pair<int32_t, int32_t>> points;
};

void BM_Ours_HitTestTree(benchmark::State& state) {
    TreeScene s;
    TKivoBase& layer = s.scene.ActiveLayer();
    for (auto _ : state) {
        for (const auto& [x, y] : s.points) {
            benchmark::DoNotOptimize(layer.HitTest(x, y, kPointerModes));
        }
    }
}

void BM_Ref_HitTestFlat(benchmark::State& state) {
    TreeScene s;
    // Drawing order is parents before children, so the last rectangle containing the point is
    // the topmost object.
    for (auto _ : state) {
        for (const auto& [x, y] : s.points) {
            int32_t found = -1;
            for (size_t i = s.flat.size(); i-- > 0;) {
                if (s.flat[i].Contains(x, y)) {
                    found = static_cast<int32_t>(i);
                    break;
                }
            }
            benchmark::DoNotOptimize(found);
        }
    }
}

// ---- Creation ----

void BM_CreateObjects(benchmark::State& state) {
    PlayerState player;
    TKivoBaseList scene(player);
    scene.SetSize(kWidth, kHeight);
    const auto count = static_cast<int32_t>(state.range(0));
    for (auto _ : state) {
        for (int32_t i = 0; i < count; ++i) {
            scene.Create<TKivoBox>().SetParent(&scene.ActiveLayer());
        }
        // Reading the layer's children sorts them, as the next draw would.
        benchmark::DoNotOptimize(scene.ActiveLayer().Children().data());
        state.PauseTiming();
        scene.Reset();
        state.ResumeTiming();
    }
    state.SetItemsProcessed(state.iterations() * count);
}

// ---- Menus ----

void BM_MenuFrame(benchmark::State& state) {
    PlayerState player;
    player.frameDelta = 16;
    TKivoBaseList scene(player);
    scene.SetSize(kWidth, kHeight);
    const auto count = static_cast<int32_t>(state.range(0));
    TKivoMenu& menu = scene.Create<TKivoMenu>();
    menu.Rename("menu");
    menu.SetParent(&scene.ActiveLayer());
    menu.SetRowCount(10);
    menu.SetMarginX(40);
    menu.SetLineSpace(4);
    menu.SetColor(0x302010);
    menu.SetHoverColor(0x806040);
    std::string text;
    for (int32_t i = 0; i < count; ++i)
        text += "item " + std::to_string(i) + "\r\n";
    menu.SetText(text);
    menu.SetPlayState(TKivoMenu::kOpen);
    std::vector<TRect> dirty;
    int32_t frame = 0;
    for (auto _ : state) {
        // A page further down, the pointer on another row, then the frame's update and draw.
        menu.SetTopIndex((frame * 10) % std::max(1, count - 10));
        scene.SetPointer(20, 4 + (frame % 10) * 16);
        scene.InputPass();
        scene.FrameAdvance();
        benchmark::DoNotOptimize(scene.Draw(dirty).pixels);
        scene.ClearDirty();
        ++frame;
    }
}

// The way a script's BoxNew makes them: through the scene's commands, placed, sized and
// named when asked.
void BM_CreateLikeScripts(benchmark::State& state) {
    PlayerState player;
    TTimerList events;
    SceneRoot scene(player, events, nullptr);
    scene.SetSize(kWidth, kHeight);
    const auto count = static_cast<int32_t>(state.range(0));
    Sequence places;
    const std::unique_ptr<TCustomParam> value = CreateParam(PT_INT);
    const std::unique_ptr<TCustomParam> name = CreateParam(PT_STR);
    for (auto _ : state) {
        for (int32_t i = 0; i < count; ++i) {
            const ObjectHandle box = scene.Create(LT_BOX, {}, {});
            value->SetInteger(places.Next(kWidth));
            scene.WriteProperty(box, PR_LEFT, *value);
            value->SetInteger(places.Next(kHeight));
            scene.WriteProperty(box, PR_TOP, *value);
            value->SetInteger(8);
            scene.WriteProperty(box, PR_WIDTH, *value);
            scene.WriteProperty(box, PR_HEIGHT, *value);
            name->SetString("box" + std::to_string(i));
            scene.WriteProperty(box, PR_NAME, *name);
            scene.CompleteCreation(box);
        }
        state.PauseTiming();
        scene.Reset();
        state.ResumeTiming();
    }
    state.SetItemsProcessed(state.iterations() * count);
}

void BM_ResetObjects(benchmark::State& state) {
    PlayerState player;
    TKivoBaseList scene(player);
    scene.SetSize(kWidth, kHeight);
    const auto count = static_cast<int32_t>(state.range(0));
    for (auto _ : state) {
        state.PauseTiming();
        for (int32_t i = 0; i < count; ++i)
            scene.Create<TKivoBox>().SetParent(&scene.ActiveLayer());
        state.ResumeTiming();
        scene.Reset();
    }
    state.SetItemsProcessed(state.iterations() * count);
}

// Every object posting its idle event once, each checked against the queue for a duplicate
// first, as objects do.
void BM_PostEvents(benchmark::State& state) {
    const auto count = static_cast<uint32_t>(state.range(0));
    for (auto _ : state) {
        TTimerList events;
        for (uint32_t i = 0; i < count; ++i) {
            const ObjectHandle sender{i, 1};
            if (!events.Contains(sender, 1)) events.Post({"idle.ksb", sender, 1, 0, {}});
        }
        benchmark::DoNotOptimize(events.Count());
    }
    state.SetItemsProcessed(state.iterations() * count);
}

BENCHMARK(BM_Ours_MoveOneBox);
BENCHMARK(BM_Ours_MoveAllBoxes);
BENCHMARK(BM_Ref_Repaint);
BENCHMARK(BM_Ours_HitTestTree)->Unit(benchmark::kMicrosecond);
BENCHMARK(BM_Ref_HitTestFlat)->Unit(benchmark::kMicrosecond);
BENCHMARK(BM_CreateObjects)->Arg(1000)->Arg(10000)->Unit(benchmark::kMicrosecond);
BENCHMARK(BM_MenuFrame)->Arg(100)->Arg(10000)->Unit(benchmark::kMicrosecond);
BENCHMARK(BM_CreateLikeScripts)->Arg(1000)->Arg(10000)->Unit(benchmark::kMicrosecond);
BENCHMARK(BM_PostEvents)->Arg(1000)->Arg(10000)->Unit(benchmark::kMicrosecond);
BENCHMARK(BM_ResetObjects)->Arg(1000)->Arg(10000)->Unit(benchmark::kMicrosecond);

}  // namespace
}  // namespace kivo

int main(int argc, char** argv) {
    kivo::bench::RatioReporter reporter(
        {
            {"one box moves / full repaint", "BM_Ours_MoveOneBox", "BM_Ref_Repaint",
             "at most 0.15"},
            {"all boxes move / full repaint", "BM_Ours_MoveAllBoxes", "BM_Ref_Repaint",
             "at most 1.3"},
            {"hit tests in the tree / flat reverse scan", "BM_Ours_HitTestTree",
             "BM_Ref_HitTestFlat", "at most 3"},
        },
        [](const kivo::bench::RatioReporter& r) {
            // Time per object must not grow with the number of objects.
            const auto perObject = [&r](const char* what, const char* name) {
                const double small = r.Time(std::string(name) + "/1000");
                const double large = r.Time(std::string(name) + "/10000");
                if (small > 0 && large > 0) {
                    std::printf(
                        "ratio %s, time per object at 10000 / at 1000: %.2f (target at most 2)\n",
                        what, large / 10000 / (small / 1000));
                }
            };
            perObject("creating unnamed objects", "BM_CreateObjects");
            perObject("creating named objects as scripts do", "BM_CreateLikeScripts");
            perObject("resetting the scene", "BM_ResetObjects");
            perObject("posting events with the duplicate check", "BM_PostEvents");
            const double fewItems = r.Time("BM_MenuFrame/100"),
                         manyItems = r.Time("BM_MenuFrame/10000");
            if (fewItems > 0 && manyItems > 0) {
                std::printf("ratio menu frame, 10000 / 100 items: %.2f (target at most 1.5)\n",
                            manyItems / fewItems);
            }
        });
    return kivo::bench::RunWithRatios(argc, argv, reporter);
}
