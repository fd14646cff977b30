// Particles in the scene against bare drawing, side by side:
//   1,000 particles of 16 x 16 masked pictures, each frame updated, drawn and their dirty
//   areas merged                   against 1,000 DrawMask calls of the same pictures at the
//                                  same places

#include <benchmark/benchmark.h>

#include <optional>
#include <string_view>
#include <vector>

#include "base/player_state.h"
#include "imaging/draw_context.h"
#include "imaging/gale_frame_list.h"
#include "ratio_reporter.h"
#include "scene/kivo_base_list.h"
#include "scene/kivo_particle.h"
#include "storage/vr_file_manager.h"
#include "support/gal_builder.h"

namespace kivo {
namespace {

constexpr int32_t kWidth = 640;
constexpr int32_t kHeight = 480;
constexpr int32_t kParticles = 1000;
constexpr int32_t kSide = 16;

// A 16 x 16 picture with a round mask.
std::vector<uint8_t> DotPicture() {
    std::vector<uint32_t> colour(kSide * kSide), mask(kSide * kSide);
    for (int32_t y = 0; y < kSide; ++y) {
        for (int32_t x = 0; x < kSide; ++x) {
            const int32_t dx = 2 * x - kSide + 1, dy = 2 * y - kSide + 1;
            colour[static_cast<size_t>(y * kSide + x)] = 0xFFE0C0 - static_cast<uint32_t>(x * 4);
            const int32_t d = dx * dx + dy * dy;
            mask[static_cast<size_t>(y * kSide + x)] =
                d < kSide * kSide ? 255 - static_cast<uint32_t>(d * 255 / (kSide * kSide)) : 0;
        }
    }
    test::GalFile file;
    test::GalLayer layer{.alphaFlag = 1,
                         .colour = test::PaddedRows(kSide, kSide, 24, colour),
                         .mask = test::PaddedRows(kSide, kSide, 8, mask)};
    file.frames.push_back({.width = kSide, .height = kSide, .bits = 24, .layers = {layer}});
    return test::WriteGal(file);
}

// The one picture of the scene's image cache.
class DotFiles final : public PictureFiles {
  public:
    std::optional<std::vector<uint8_t>> Load(std::string_view name) override {
        if (name != "dot.gal") return std::nullopt;
        return DotPicture();
    }
    int32_t IdentificationCode() const override { return 0; }
};

// A scene whose emitter has sent out 1,000 swaying particles and sends no more.
struct ParticleScene {
    ParticleScene() {
        player.frameDelta = 16;
        scene.Images().SetFiles(&pictures);
        scene.SetServices({.files = &files, .random = &random});
        scene.SetSize(kWidth, kHeight);
        scene.ActiveLayer().SetColor(0x102030);
        auto& emitter = *static_cast<TKivoParticle*>(scene.CreateObject(LT_PARTICLE));
        emitter.Rename("snow");
        emitter.SetParent(&scene.ActiveLayer());
        emitter.SetBounds(0, 0, kWidth, kHeight);
        emitter.SetSource("dot.gal");
        emitter.SetMode(1);
        emitter.SetParam(0, 0.001);  // a pixel down in a thousand steps
        emitter.SetParam(1, 20);     // twenty pixels of sway
        emitter.SetEmission({.XRange = kWidth, .YRange = kHeight - kSide, .IntervalBase = 2});
        emitter.SetPreRun(kParticles * 2 * player.frameInterval / 16);
        scene.FrameAdvance();
        emitter.SetEmission({.IntervalBase = 1 << 30});
        std::vector<TRect> dirty;
        (void)scene.Draw(dirty);
        scene.ClearDirty();
        count = emitter.LiveParticles();
    }

    PlayerState player;
    DotFiles pictures;
    TVrFileManager files;
    TProcessRandom random{3};
    TKivoBaseList scene{player};
    int32_t count = 0;
};

void BM_Ours_Particles(benchmark::State& state) {
    ParticleScene s;
    std::vector<TRect> dirty;
    for (auto _ : state) {
        s.scene.FrameAdvance();
        benchmark::DoNotOptimize(s.scene.Draw(dirty));
        s.scene.ClearDirty();
    }
    state.counters["particles"] = s.count;
}

void BM_Ref_DrawMask(benchmark::State& state) {
    TGaleFrameList list;
    list.LoadFromBytes(DotPicture(), "dot.gal");
    TDIBX picture, mask;
    CopyFrameToSurface(*list.Frames[0], picture);
    CopyMaskToSurface(*list.Frames[0], mask);
    TDIBX target(kWidth, kHeight, 32);
    std::vector<std::pair<int32_t, int32_t>> places;
    TProcessRandom random(3);
    for (int32_t i = 0; i < kParticles; ++i)
        places.emplace_back(random.Below(kWidth), random.Below(kHeight - kSide));
    TDrawContext context(target);
    for (auto _ : state) {
        for (const auto& [x, y] : places)
            context.DrawMask(x, y, mask, false, false, picture.ClientRect(), picture);
        benchmark::ClobberMemory();
    }
}

BENCHMARK(BM_Ours_Particles)->Unit(benchmark::kMicrosecond);
BENCHMARK(BM_Ref_DrawMask)->Unit(benchmark::kMicrosecond);

}  // namespace
}  // namespace kivo

int main(int argc, char** argv) {
    kivo::bench::RatioReporter reporter({
        {"1,000 particles: update, draw, dirty merge / 1,000 DrawMask", "BM_Ours_Particles",
         "BM_Ref_DrawMask", "at most 2"},
    });
    return kivo::bench::RunWithRatios(argc, argv, reporter);
}
