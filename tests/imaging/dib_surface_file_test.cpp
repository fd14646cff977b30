// TDIBSurface files: the format chosen by extension, alpha moved into the mask, the icon
// picker, and files left whole when loading or saving fails.

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <sstream>

#include "base/error.h"
#include "imaging/bitmap_readback.h"
#include "imaging/dib_surface.h"
#include "platform/headless/headless_platform.h"
#include "platform/host_files.h"
#include "support/bitmap_fixtures.h"

namespace kivo {
namespace {

using test::Colors;
using test::MaskValues;

// A 3 x 2 picture of distinct colours at the given depth.
TDIBSurface Picture(int bits) {
    TDIBSurface bitmap(3, 2, bits);
    const uint32_t colors[] = {0x0000FF, 0x00FF00, 0xFF0000, 0xFFFFFF, 0x000000, 0x808080};
    if (bitmap.IsPalettised()) {
        for (size_t i = 0; i < 6; ++i) {
            bitmap.Palette()[i] = {static_cast<uint8_t>(colors[i] >> 16),
                                   static_cast<uint8_t>(colors[i] >> 8),
                                   static_cast<uint8_t>(colors[i]), 0};
        }
    }
    for (int32_t i = 0; i < 6; ++i) {
        bitmap.SetPixel(i % 3, i / 3, static_cast<uint32_t>(bitmap.ColorToPixel(colors[i])));
    }
    return bitmap;
}

void AddMask(TDIBSurface& bitmap, std::vector<uint32_t> values) {
    TDIBSurface& mask = bitmap.CreateMask();
    for (size_t i = 0; i < values.size(); ++i) {
        const auto x = static_cast<int32_t>(i % static_cast<size_t>(bitmap.Width()));
        const auto y = static_cast<int32_t>(i / static_cast<size_t>(bitmap.Width()));
        mask.SetPixel(x, y, values[i]);
    }
}

class DibSurfaceFile : public ::testing::Test {
  protected:
    void SetUp() override {
        const auto* info = ::testing::UnitTest::GetInstance()->current_test_info();
        dir_ = std::filesystem::temp_directory_path() /
               ("dib-surface-file-" + std::string(info->name()) + "-" +
                std::to_string(::testing::UnitTest::GetInstance()->random_seed()));
        std::filesystem::create_directories(dir_);
    }
    void TearDown() override { std::filesystem::remove_all(dir_); }

    [[nodiscard]] std::filesystem::path Path(const char* name) const { return dir_ / name; }

    void Write(const std::filesystem::path& path, const std::vector<uint8_t>& bytes) const {
        std::ofstream(path, std::ios::binary)
            .write(reinterpret_cast<const char*>(bytes.data()),
                   static_cast<std::streamsize>(bytes.size()));
    }

  private:
    std::filesystem::path dir_;
};

enum class Written { Bmp, Tga, Icon, Cursor };

// What the bytes on disk are, whatever the file is called.
Written FormatOf(const std::vector<uint8_t>& bytes) {
    if (bytes.size() > 2 && bytes[0] == 'B' && bytes[1] == 'M') return Written::Bmp;
    if (bytes.size() > 4 && bytes[0] == 0 && bytes[1] == 0 && bytes[2] == 1 && bytes[3] == 0)
        return Written::Icon;
    if (bytes.size() > 4 && bytes[0] == 0 && bytes[1] == 0 && bytes[2] == 2 && bytes[3] == 0)
        return Written::Cursor;
    return Written::Tga;  // the only one without a leading signature; checked by its footer
}

TEST_F(DibSurfaceFile, ExtensionChoosesTheFormatAndEachRoundTrips) {
    struct Case {
        const char* name;
        int bits;
        bool mask;
        Written format;
        int loadedBits;  // what the file gives back
    };
    const Case cases[] = {
        // BMP keeps depth and colours; the mask is not written.
        {"pic.bmp", 8, true, Written::Bmp, 8},
        {"pic.BMP", 24, false, Written::Bmp, 24},
        {"pic.Bmp", 32, true, Written::Bmp, 24},
        {"pic.dat", 16, false, Written::Bmp, 16},
        {"pic", 4, false, Written::Bmp, 4},
        // TGA: a mask makes 32 bits with alpha, read back into the mask at 24 bits.
        {"pic.tga", 24, true, Written::Tga, 24},
        {"pic.TGA", 8, false, Written::Tga, 8},
        {"pic.tga.tga", 8, true, Written::Tga, 24},
        {"pic.tga", 32, false, Written::Tga, 24},
        // Icons and cursors: one 32-bit image, read back at 24 bits with the mask.
        {"pic.ico", 24, true, Written::Icon, 24},
        {"pic.ICO", 8, false, Written::Icon, 24},
        {"pic.cur", 15, true, Written::Cursor, 24},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(std::string(c.name) + " at " + std::to_string(c.bits));
        TDIBSurface original = Picture(c.bits);
        if (c.mask) AddMask(original, {0, 255, 128, 255, 0, 7});
        // The fourth byte of 32-bit pixels is not alpha; no file may bring it back as such.
        if (c.bits == 32) original.ScanLine(0)[3] = 0x40;
        BitmapFileInfo saved;
        saved.TransparentValue = original.ColorToPixel(0x00FF00);
        saved.HotspotX = 2;
        saved.HotspotY = 1;
        original.SaveToFile(Path(c.name), saved);
        EXPECT_EQ(FormatOf(host::ReadFileBytes(Path(c.name))), c.format);

        TDIBSurface loaded(9, 9, 32);
        const BitmapFileInfo info = loaded.LoadFromFile(Path(c.name), true);
        EXPECT_EQ(loaded.BitCount(), c.loadedBits);
        EXPECT_EQ(Colors(loaded), Colors(original));
        const bool keepsMask = c.mask && c.format != Written::Bmp;
        const bool maskFromAlpha = c.format == Written::Icon || c.format == Written::Cursor ||
                                   (c.format == Written::Bmp && c.bits == 32);
        if (keepsMask) {
            EXPECT_EQ(MaskValues(loaded), MaskValues(original));
        } else if (maskFromAlpha) {
            EXPECT_EQ(MaskValues(loaded), std::vector<uint32_t>(6, 255));  // opaque
        } else {
            EXPECT_FALSE(loaded.HasMask());
        }
        if (c.format == Written::Tga) {
            ASSERT_GE(info.TransparentValue, 0);
            EXPECT_EQ(loaded.PixelToColor(static_cast<uint32_t>(info.TransparentValue)), 0x00FF00u);
        } else {
            EXPECT_EQ(info.TransparentValue, -1);
        }
        EXPECT_EQ(info.IsCursor, c.format == Written::Cursor);
        EXPECT_EQ(info.HotspotX, c.format == Written::Cursor ? 2 : 0);
        EXPECT_EQ(info.HotspotY, c.format == Written::Cursor ? 1 : 0);
    }
}

TEST_F(DibSurfaceFile, AlphaMovesIntoTheMaskOnlyWhenAsked) {
    // Two pixels: alpha 0x80 and 0; an all-zero fourth byte makes an opaque BMP instead.
    const std::vector<uint8_t> bmpAlpha = test::WriteBmp(
        {.width = 2, .height = 1, .bits = 32, .pixels = {1, 2, 3, 0x80, 4, 5, 6, 0}});
    const std::vector<uint8_t> bmpNoAlpha =
        test::WriteBmp({.width = 2, .height = 1, .bits = 32, .pixels = {1, 2, 3, 0, 4, 5, 6, 0}});
    const std::vector<uint8_t> tgaAlpha = test::WriteTga({.width = 2,
                                                          .height = 1,
                                                          .depth = 32,
                                                          .descriptor = 0x28,
                                                          .pixels = {1, 2, 3, 0x80, 4, 5, 6, 0}});
    struct Case {
        const char* name;
        const std::vector<uint8_t>& bytes;
        std::vector<uint32_t> mask;
        std::vector<uint32_t> fourthBytes;  // when not asked: the 32-bit pixels keep them
    };
    const Case cases[] = {
        {"alpha.bmp", bmpAlpha, {0x80, 0}, {0x80, 0}},
        {"opaque.bmp", bmpNoAlpha, {255, 255}, {255, 255}},
        {"alpha.tga", tgaAlpha, {0x80, 0}, {0x80, 0}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        Write(Path(c.name), c.bytes);
        TDIBSurface asked;
        (void)asked.LoadFromFile(Path(c.name), true);
        EXPECT_EQ(asked.BitCount(), 24);
        EXPECT_EQ(Colors(asked), (std::vector<uint32_t>{0x010203, 0x040506}));
        EXPECT_EQ(MaskValues(asked), c.mask);

        TDIBSurface plain;
        (void)plain.LoadFromFile(Path(c.name));
        EXPECT_EQ(plain.BitCount(), 32);
        EXPECT_FALSE(plain.HasMask());
        EXPECT_EQ(plain.GetPixel(0, 0) >> 24, c.fourthBytes[0]);
        EXPECT_EQ(plain.GetPixel(1, 0) >> 24, c.fourthBytes[1]);
    }
}

// An icon image of size x size pixels in one colour, 24 bits, nothing transparent.
test::IcoImage SolidIconImage(uint8_t size, uint8_t blue) {
    const auto side = static_cast<size_t>(size);
    const size_t colourStride = (side * 3 + 3) / 4 * 4;
    std::vector<uint8_t> rows(colourStride * side, 0);
    for (size_t y = 0; y < side; ++y) {
        for (size_t x = 0; x < side; ++x)
            rows[y * colourStride + x * 3] = blue;
    }
    std::vector<uint8_t> data =
        test::WriteDib({.width = size, .height = 2 * size, .bits = 24, .pixels = std::move(rows)});
    data.resize(data.size() + (side + 31) / 32 * 4 * side, 0);  // AND mask: all opaque
    return {.width = size, .height = size, .field6 = 24, .data = std::move(data)};
}

TEST_F(DibSurfaceFile, SeveralIconImagesAskTheChooserOnceOnly) {
    Write(Path("three.ico"),
          test::WriteIco(1, {SolidIconImage(1, 10), SolidIconImage(2, 20), SolidIconImage(3, 30)}));
    Write(Path("one.cur"), test::WriteIco(2, {SolidIconImage(2, 40)}));
    std::ostringstream log;
    ScriptedDialogs dialogs(log);

    dialogs.QueueChoice(2);
    TDIBSurface icon;
    BitmapFileInfo info = icon.LoadFromFile(Path("three.ico"), false, &dialogs);
    EXPECT_EQ(info.ImageIndex, 2u);
    EXPECT_EQ(icon.Width(), 3);
    EXPECT_EQ(icon.PixelToColor(icon.GetPixel(0, 0)), 30u << 16);
    EXPECT_EQ(log.str(),
              "[list] Select One from Multiple Icons -> 2\n"
              "  000 : 1 x 1  24 bpp\n"
              "  001 : 2 x 2  24 bpp\n"
              "  002 : 3 x 3  24 bpp\n");

    // Unanswered, and without a chooser, the first image is taken.
    info = icon.LoadFromFile(Path("three.ico"), false, &dialogs);
    EXPECT_EQ(info.ImageIndex, 0u);
    EXPECT_EQ(icon.Width(), 1);
    dialogs.QueueChoice(1);
    info = icon.LoadFromFile(Path("three.ico"));
    EXPECT_EQ(icon.Width(), 1);
    EXPECT_EQ(dialogs.ListsShown(), 2);

    // A single image never asks; the queued choice stays for the next list.
    info = icon.LoadFromFile(Path("one.cur"), false, &dialogs);
    EXPECT_EQ(dialogs.ListsShown(), 2);
    EXPECT_TRUE(info.IsCursor);
    EXPECT_EQ(icon.Width(), 2);

    // A chooser that answers past the end gets the first image.
    class WildChooser final : public MessageDialogs {
      public:
        DialogAnswer Show(std::string_view, std::string_view, DialogIcon, DialogButtons) override {
            return DialogAnswer::Ok;
        }
        size_t ChooseFromList(std::string_view, std::span<const std::string>,
                              std::string_view) override {
            return 99;
        }
    } wild;
    info = icon.LoadFromFile(Path("three.ico"), false, &wild);
    EXPECT_EQ(info.ImageIndex, 0u);
    EXPECT_EQ(icon.Width(), 1);
}

TEST_F(DibSurfaceFile, DamagedFilesRaiseNamingTheFileAndLeaveTheBitmapAlone) {
    TDIBSurface good = Picture(24);
    AddMask(good, {1, 2, 3, 4, 5, 6});
    good.SaveToFile(Path("good.bmp"));
    good.SaveToFile(Path("good.tga"));
    good.SaveToFile(Path("good.ico"));
    // 30 bytes hold each header (or directory) but not the pixels behind it.
    auto cut = [&](const char* from, const char* to) {
        std::vector<uint8_t> bytes = host::ReadFileBytes(Path(from));
        bytes.resize(30);
        Write(Path(to), bytes);
    };
    cut("good.bmp", "cut.bmp");
    cut("good.tga", "cut.tga");
    cut("good.ico", "cut.ico");
    // The extension decides: a good TGA under a BMP name is not read as TGA.
    std::filesystem::copy_file(Path("good.tga"), Path("tga.bmp"));
    const char* names[] = {"cut.bmp", "cut.tga", "cut.ico", "tga.bmp", "missing.bmp"};
    for (const char* name : names) {
        SCOPED_TRACE(name);
        TDIBSurface kept = good;
        try {
            (void)kept.LoadFromFile(Path(name), true);
            ADD_FAILURE() << "loaded a damaged file";
        } catch (const KivoError& error) {
            EXPECT_EQ(error.File(), Path(name).string());
        }
        EXPECT_EQ(kept.BitCount(), 24);
        EXPECT_EQ(Colors(kept), Colors(good));
        EXPECT_EQ(MaskValues(kept), MaskValues(good));
    }
}

TEST_F(DibSurfaceFile, FailedSavesLeaveTheOldFileWhole) {
    const TDIBSurface old = Picture(24);
    old.SaveToFile(Path("keep.ico"));
    old.SaveToFile(Path("keep.bmp"));
    const std::vector<uint8_t> oldIcon = host::ReadFileBytes(Path("keep.ico"));
    const std::vector<uint8_t> oldBmp = host::ReadFileBytes(Path("keep.bmp"));

    const TDIBSurface tooLarge(257, 1, 24);  // icons hold at most 256 pixels a side
    const TDIBSurface empty;
    const std::pair<const TDIBSurface*, const char*> failures[] = {{&tooLarge, "keep.ico"},
                                                                   {&empty, "keep.bmp"}};
    for (const auto& [bitmap, name] : failures) {
        SCOPED_TRACE(name);
        try {
            bitmap->SaveToFile(Path(name));
            ADD_FAILURE() << "saved";
        } catch (const KivoError& error) {
            EXPECT_EQ(error.File(), Path(name).string());
        }
    }
    EXPECT_EQ(host::ReadFileBytes(Path("keep.ico")), oldIcon);
    EXPECT_EQ(host::ReadFileBytes(Path("keep.bmp")), oldBmp);
    // Nothing was left beside them either.
    size_t files = 0;
    for ([[maybe_unused]] const auto& entry : std::filesystem::directory_iterator(Path("")))
        ++files;
    EXPECT_EQ(files, 2u);
}

}  // namespace
}  // namespace kivo
