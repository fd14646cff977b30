// Pictures on the scene against pixman, side by side on 1280 x 720 pixels:
//   an image object at alpha 128 (blend)            against pixman OVER through a solid 0x80
//   an image object at alpha 384 (additive, 128)    against pixman ADD through a solid 0x80
//   an image object of 640 x 360 sized to the frame against pixman SRC with a 2x nearest scale
//   a Ripple frame half way (the costliest style)   against pixman SRC with a turn (nearest),
//                                                   the same gather of one source pixel each
// The objects read their pictures from GAL files through the image cache and draw with their
// own Draw, as the layer does each frame.

#include <benchmark/benchmark.h>
#include <pixman.h>

#include <cmath>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "base/player_state.h"
#include "imaging/custom_wipe.h"
#include "imaging/draw_context.h"
#include "pixman_reference.h"
#include "ratio_reporter.h"
#include "scene/gale_collection.h"
#include "scene/kivo_base_list.h"
#include "scene/kivo_images.h"
#include "storage/tp_random.h"
#include "support/gal_builder.h"

namespace kivo {
namespace {

using bench::PixmanImage;
using bench::RandomColours;
using bench::Wrap;

constexpr int32_t kWidth = 1280;
constexpr int32_t kHeight = 720;

// A 24-bit GAL picture of random colours.
std::vector<uint8_t> RandomPicture(int32_t width, int32_t height, uint32_t seed) {
    const auto colours = RandomColours(width, height, seed);
    std::vector<uint32_t> pixels;
    pixels.reserve(static_cast<size_t>(width * height));
    for (int32_t y = 0; y < height; ++y) {
        for (int32_t x = 0; x < width; ++x)
            pixels.push_back(colours->GetPixel(x, y) & 0xFFFFFF);
    }
    test::GalFile file;
    file.frames.push_back(test::RgbFrame(width, height, pixels));
    return test::WriteGal(file);
}

// The image cache's files: one picture.
class OnePicture final : public PictureFiles {
  public:
    explicit OnePicture(std::vector<uint8_t> bytes) : bytes_(std::move(bytes)) {}
    std::optional<std::vector<uint8_t>> Load(std::string_view name) override {
        if (name != "pic.gal") return std::nullopt;
        return bytes_;
    }
    int32_t IdentificationCode() const override { return 0; }

  private:
    std::vector<uint8_t> bytes_;
};

// A scene whose one image object shows a picture of the given size at the given alpha, sized
// to the whole frame.
struct PictureScene {
    PictureScene(int32_t pictureWidth, int32_t pictureHeight, int32_t alpha)
        : pictures(RandomPicture(pictureWidth, pictureHeight, 1)),
          target(RandomColours(kWidth, kHeight, 2)) {
        scene.Images().SetFiles(&pictures);
        scene.SetServices({.random = &random});
        scene.SetSize(kWidth, kHeight);
        image = static_cast<TKivoImages*>(scene.CreateObject(LT_IMAGES));
        image->SetParent(&scene.ActiveLayer());
        image->SetSource("pic.gal");
        image->SetAlpha(alpha);
        // An explicit size stretches the picture.
        if (pictureWidth != kWidth || pictureHeight != kHeight) {
            image->SetWidth(kWidth);
            image->SetHeight(kHeight);
        }
        // The scene's first frame loads the picture and sizes the object.
        scene.FrameAdvance();
        std::vector<TRect> dirty;
        (void)scene.Draw(dirty);
        scene.ClearDirty();
    }

    OnePicture pictures;
    PlayerState player;
    TProcessRandom random{3};
    TKivoBaseList scene{player};
    TKivoImages* image = nullptr;
    std::unique_ptr<TDIBX> target;
};

void DrawImage(benchmark::State& state, int32_t pictureWidth, int32_t pictureHeight,
               int32_t alpha) {
    PictureScene s(pictureWidth, pictureHeight, alpha);
    if (s.image->Width() != kWidth || s.image->Height() != kHeight) {
        state.SkipWithError(
            ("the image object does not cover the frame: " + std::to_string(s.image->Width()) +
             " x " + std::to_string(s.image->Height()))
                .c_str());
        return;
    }
    TDrawContext context(*s.target);
    for (auto _ : state) {
        s.image->Draw(context);
        benchmark::ClobberMemory();
    }
}

void Composite(benchmark::State& state, pixman_op_t op, pixman_image_t* source,
               pixman_image_t* mask, TDIBX& target) {
    const PixmanImage d = Wrap(target, PIXMAN_a8r8g8b8);
    for (auto _ : state) {
        pixman_image_composite32(op, source, mask, d.get(), 0, 0, 0, 0, 0, 0, kWidth, kHeight);
        benchmark::ClobberMemory();
    }
}

PixmanImage HalfMask() {
    const pixman_color_t half{0, 0, 0, 0x8080};
    return PixmanImage(pixman_image_create_solid_fill(&half));
}

// ---- Blend and additive ----

void Ours_Blend(benchmark::State& state) {
    DrawImage(state, kWidth, kHeight, 128);
}
BENCHMARK(Ours_Blend);

void Ref_Blend_pixman_over(benchmark::State& state) {
    auto source = RandomColours(kWidth, kHeight, 1), target = RandomColours(kWidth, kHeight, 2);
    const PixmanImage s = Wrap(*source, PIXMAN_a8r8g8b8);
    Composite(state, PIXMAN_OP_OVER, s.get(), HalfMask().get(), *target);
}
BENCHMARK(Ref_Blend_pixman_over);

void Ours_Additive(benchmark::State& state) {
    DrawImage(state, kWidth, kHeight, 384);
}
BENCHMARK(Ours_Additive);

void Ref_Additive_pixman_add(benchmark::State& state) {
    auto source = RandomColours(kWidth, kHeight, 1), target = RandomColours(kWidth, kHeight, 2);
    const PixmanImage s = Wrap(*source, PIXMAN_x8r8g8b8);
    Composite(state, PIXMAN_OP_ADD, s.get(), HalfMask().get(), *target);
}
BENCHMARK(Ref_Additive_pixman_add);

// ---- Stretched ----

void Ours_Stretch(benchmark::State& state) {
    DrawImage(state, kWidth / 2, kHeight / 2, 255);
}
BENCHMARK(Ours_Stretch);

// A nearest-sampling source under a transform that maps destination to source points.
void Transformed(benchmark::State& state, TDIBX& source, const pixman_transform_t& transform) {
    auto target = RandomColours(kWidth, kHeight, 2);
    const PixmanImage s = Wrap(source, PIXMAN_x8r8g8b8);
    pixman_image_set_transform(s.get(), &transform);
    pixman_image_set_filter(s.get(), PIXMAN_FILTER_NEAREST, nullptr, 0);
    Composite(state, PIXMAN_OP_SRC, s.get(), nullptr, *target);
}

void Ref_Stretch_pixman_scale(benchmark::State& state) {
    auto source = RandomColours(kWidth / 2, kHeight / 2, 1);
    pixman_transform_t half;
    pixman_transform_init_scale(&half, pixman_double_to_fixed(0.5), pixman_double_to_fixed(0.5));
    Transformed(state, *source, half);
}
BENCHMARK(Ref_Stretch_pixman_scale);

// ---- The costliest transition ----

void Ours_RippleFrame(benchmark::State& state) {
    auto from = RandomColours(kWidth, kHeight, 1), to = RandomColours(kWidth, kHeight, 2),
         dest = RandomColours(kWidth, kHeight, 3);
    TTpRandom random(17);
    auto wipe = CreateWipe(WP_RIPPLE, *dest, *from, *to, random);
    wipe->SetDuration(1000);
    wipe->Init();
    wipe->SetElapsed(500);
    for (auto _ : state) {
        benchmark::DoNotOptimize(wipe->Step());
        benchmark::ClobberMemory();
    }
}
BENCHMARK(Ours_RippleFrame);

void Ref_Turn_pixman(benchmark::State& state) {
    auto source = RandomColours(kWidth, kHeight, 1);
    // A tenth of a turn about the centre: every destination pixel samples a source pixel of
    // its own, as the ripple does inside its ring.
    pixman_transform_t turn;
    pixman_transform_init_translate(&turn, pixman_int_to_fixed(-kWidth / 2),
                                    pixman_int_to_fixed(-kHeight / 2));
    pixman_transform_rotate(&turn, nullptr, pixman_double_to_fixed(std::cos(0.1)),
                            pixman_double_to_fixed(std::sin(0.1)));
    pixman_transform_translate(&turn, nullptr, pixman_int_to_fixed(kWidth / 2),
                               pixman_int_to_fixed(kHeight / 2));
    Transformed(state, *source, turn);
}
BENCHMARK(Ref_Turn_pixman);

}  // namespace
}  // namespace kivo

int main(int argc, char** argv) {
    const std::string target = "at most 1.0", gather = "at most 2.0";
    kivo::bench::RatioReporter reporter({
        {"image blend 128 / pixman OVER", "Ours_Blend", "Ref_Blend_pixman_over", target},
        {"image additive 384 / pixman ADD", "Ours_Additive", "Ref_Additive_pixman_add", target},
        {"image stretched 2x / pixman SRC scaled", "Ours_Stretch", "Ref_Stretch_pixman_scale",
         target},
        {"ripple frame / pixman SRC turned", "Ours_RippleFrame", "Ref_Turn_pixman", gather},
    });
    return kivo::bench::RunWithRatios(argc, argv, reporter);
}
