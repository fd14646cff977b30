// Loading surfaces from BMP, PNG and GAL bytes, and the ".bmp"-only file round trip.

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdlib>
#include <filesystem>

#include "base/error.h"
#include "imaging/bmp_codec.h"
#include "imaging/dibx_wave.h"
#include "imaging/draw_context.h"
#include "imaging/gale_frame_list.h"
#include "imaging/png_codec.h"
#include "imaging/raster_fixture.h"

namespace kivo {
namespace {

using test::MakeSurface;
using test::Pixels;

// A 2 x 1 24-bit picture: red, then blue.
TDIBSurface RedBlue() {
    TDIBSurface bitmap(2, 1, 24);
    bitmap.SetPixel(0, 0, 0xFF0000);
    bitmap.SetPixel(1, 0, 0x0000FF);
    return bitmap;
}

const std::vector<uint32_t> kRedBlue32{0x00FF0000, 0x000000FF};

std::filesystem::path OutputDir() {
    const char* env = std::getenv("KIVO_TEST_OUTPUT");
    std::filesystem::path dir =
        env ? std::filesystem::path(env) : std::filesystem::temp_directory_path();
    dir /= "raster_file_test";
    std::filesystem::create_directories(dir);
    return dir;
}

TEST(RasterFile, LoadFromStreamRecognisesEachFormat) {
    TGaleFrameList gal(7);
    gal.AssignPicture(RedBlue(), -1);
    gal.IdentificationCode = 7;
    const std::pair<const char*, std::vector<uint8_t>> inputs[] = {
        {"bmp", EncodeBmp(RedBlue())},
        {"png", EncodePng(RedBlue())},
        {"keyed gal", gal.SaveToBytes(GaleEncoding::Raw)},
    };
    for (const auto& [name, bytes] : inputs) {
        auto s = MakeSurface(5, 5);
        EXPECT_TRUE(s->LoadFromStream(bytes, 7, name)) << name;
        EXPECT_EQ(s->Width(), 2) << name;
        EXPECT_EQ(s->BitCount(), 32) << name;
        EXPECT_EQ(Pixels(*s), kRedBlue32) << name;
    }

    auto s = MakeSurface(1, 1, {5});
    const std::vector<uint8_t> junk{'J', 'U', 'N', 'K', 0, 0};
    EXPECT_FALSE(s->LoadFromStream(junk, 0));
    EXPECT_EQ(Pixels(*s), (std::vector<uint32_t>{5}));
    const std::vector<uint8_t> truncated{'B', 'M', 0, 0};
    EXPECT_THROW((void)s->LoadFromStream(truncated, 0, "short.bmp"), KivoError);
}

TEST(RasterFile, OnlyBmpFilesAreSavedAndLoaded) {
    const std::filesystem::path dir = OutputDir();
    auto s = MakeSurface(2, 1, kRedBlue32);
    s->SaveToFile(dir / "pair.BMP");
    s->SaveToFile(dir / "pair.png");
    EXPECT_TRUE(std::filesystem::exists(dir / "pair.BMP"));
    EXPECT_FALSE(std::filesystem::exists(dir / "pair.png"));

    auto loaded = MakeSurface(1, 1, {5});
    loaded->LoadFromFile(dir / "pair.BMP");
    EXPECT_EQ(Pixels(*loaded), kRedBlue32);

    auto untouched = MakeSurface(1, 1, {5});
    untouched->LoadFromFile(dir / "missing.bmp");
    std::filesystem::copy_file(dir / "pair.BMP", dir / "pair.dat",
                               std::filesystem::copy_options::overwrite_existing);
    untouched->LoadFromFile(dir / "pair.dat");
    EXPECT_EQ(Pixels(*untouched), (std::vector<uint32_t>{5}));

    // An 8-bit surface is saved through its colour table.
    auto grey = MakeSurface(1, 1, {255}, 8);
    grey->SaveToFile(dir / "grey.bmp");
    auto back = MakeSurface(1, 1);
    back->LoadFromFile(dir / "grey.bmp");
    EXPECT_EQ(back->GetPixel(0, 0), 0x00FFFFFFu);
}

TEST(RasterFile, MemorySurfacesPresentTheirPixelsStretched) {
    std::vector<uint32_t> frame(4, 0xEEEEEEEE);
    const MutableFrameView dc{frame.data(), 4, 1, 4};
    auto surface = MakeSurface(2, 1, {0x00112233, 0x00445566});
    surface->StretchToDC(dc, {0, 0, 4, 1}, {0, 0, 2, 1});
    EXPECT_EQ(frame, (std::vector<uint32_t>{0x00112233, 0x00112233, 0x00445566, 0x00445566}));

    // A cleared surface and a proxy without pixels of its own present nothing.
    std::fill(frame.begin(), frame.end(), 0xEEEEEEEE);
    surface->Clear();
    surface->StretchToDC(dc, {0, 0, 4, 1}, {0, 0, 2, 1});
    TDIBXWave wave{TDrawContext(*surface)};
    wave.SetSize(2, 1, 32);
    wave.StretchToDC(dc, {0, 0, 4, 1}, {0, 0, 2, 1});
    EXPECT_EQ(frame, std::vector<uint32_t>(4, 0xEEEEEEEE));
}

}  // namespace
}  // namespace kivo
