// GAL decoding (zlib encoding) of a 1280 x 720 picture against libpng decoding the same
// pixels from a PNG, in the same run; the ratio of times is printed at the end.

#include <png.h>

#include <benchmark/benchmark.h>

#include <cmath>
#include <cstdio>
#include <map>
#include <random>
#include <string>
#include <vector>

#include "imaging/gale_frame_list.h"
#include "imaging/png_codec.h"
#include "ratio_reporter.h"

namespace {

using kivo::TDIBSurface;

// A picture with the smooth areas, edges and grain of game artwork.
TDIBSurface Artwork() {
    TDIBSurface bitmap(1280, 720, 24);
    std::mt19937 random(42);
    for (int32_t y = 0; y < 720; ++y) {
        uint8_t* row = bitmap.ScanLine(y);
        for (int32_t x = 0; x < 1280; ++x) {
            const double shade = 0.5 + 0.5 * std::sin(x / 90.0) * std::cos(y / 70.0);
            const bool inside = (x - 640) * (x - 640) + (y - 360) * (y - 360) < 200 * 200;
            const int grain = static_cast<int>(random() % 5);
            row[x * 3 + 0] = static_cast<uint8_t>((inside ? 200 : 60 + shade * 120) + grain);
            row[x * 3 + 1] = static_cast<uint8_t>(shade * 180 + grain);
            row[x * 3 + 2] = static_cast<uint8_t>((x / 5) % 256);
        }
    }
    return bitmap;
}

struct Inputs {
    std::vector<uint8_t> gal;
    std::vector<uint8_t> png;
    Inputs() {
        kivo::TGaleFrameList list;
        list.AssignPicture(Artwork(), -1);
        gal = list.SaveToBytes(kivo::GaleEncoding::Zlib);
        png = kivo::EncodePng(list[0].Bitmap);
    }
};

const Inputs& SharedInputs() {
    static const Inputs inputs;
    return inputs;
}

void Ours_GalDecodeZlib(benchmark::State& state) {
    const Inputs& in = SharedInputs();
    for (auto _ : state) {
        kivo::TGaleFrameList list;
        list.LoadFromBytes(in.gal, "bench.gal");
        benchmark::DoNotOptimize(list[0].Bitmap.Bits().data());
    }
    state.SetBytesProcessed(state.iterations() * 1280 * 720 * 3);
    state.counters["file_bytes"] = static_cast<double>(in.gal.size());
}
BENCHMARK(Ours_GalDecodeZlib)->Unit(benchmark::kMillisecond);

void Ref_LibpngDecode(benchmark::State& state) {
    const Inputs& in = SharedInputs();
    std::vector<uint8_t> pixels(1280 * 720 * 3);
    for (auto _ : state) {
        png_image image{};
        image.version = PNG_IMAGE_VERSION;
        png_image_begin_read_from_memory(&image, in.png.data(), in.png.size());
        image.format = PNG_FORMAT_BGR;
        png_image_finish_read(&image, nullptr, pixels.data(), 0, nullptr);
        benchmark::DoNotOptimize(pixels.data());
    }
    state.SetBytesProcessed(state.iterations() * 1280 * 720 * 3);
    state.counters["file_bytes"] = static_cast<double>(in.png.size());
}
BENCHMARK(Ref_LibpngDecode)->Unit(benchmark::kMillisecond);

// Prints the usual table, then our CPU time as a ratio to the reference's (CPU time, because
// the machine running the benchmarks is often shared).
}  // namespace

int main(int argc, char** argv) {
    kivo::bench::RatioReporter reporter(
        {{"GAL decode / libpng decode", "Ours_GalDecodeZlib", "Ref_LibpngDecode", "at most 1.0"}});
    return kivo::bench::RunWithRatios(argc, argv, reporter);
}
