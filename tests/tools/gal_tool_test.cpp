// kivo-gal end to end: the built program run on pictures made in the test.

#include <sys/wait.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "imaging/gale_frame_list.h"
#include "imaging/png_codec.h"
#include "support/gal_builder.h"

namespace kivo {
namespace {

namespace fs = std::filesystem;

// The tool sits in the build tree at src/tools/ beside the tests/ folder of this program.
fs::path ToolPath() {
    return fs::read_symlink("/proc/self/exe").parent_path().parent_path() / "src" / "tools" /
           "kivo-gal";
}

std::vector<uint8_t> ReadAll(const fs::path& path) {
    std::ifstream in(path, std::ios::binary);
    return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

void WriteAll(const fs::path& path, const std::vector<uint8_t>& bytes) {
    std::ofstream out(path, std::ios::binary);
    out.write(reinterpret_cast<const char*>(bytes.data()),
              static_cast<std::streamsize>(bytes.size()));
}

class GalTool : public ::testing::Test {
  protected:
    void SetUp() override {
        ASSERT_TRUE(fs::exists(ToolPath())) << "build kivo-gal first: " << ToolPath();
        folder_ =
            fs::temp_directory_path() /
            ("kivo-gal-test-" + std::to_string(::testing::UnitTest::GetInstance()->random_seed()) +
             "-" + ::testing::UnitTest::GetInstance()->current_test_info()->name());
        fs::remove_all(folder_);
        fs::create_directories(folder_);
    }
    void TearDown() override { fs::remove_all(folder_); }

    // Runs the tool; returns its exit status and keeps its output in out_.
    int Run(const std::string& args) {
        const std::string command = "'" + ToolPath().string() + "' " + args + " > '" +
                                    (folder_ / "out.txt").string() + "' 2>&1";
        const int status = std::system(command.c_str());
        const std::vector<uint8_t> text = ReadAll(folder_ / "out.txt");
        out_.assign(text.begin(), text.end());
        return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
    }
    std::string P(const char* name) const { return "'" + (folder_ / name).string() + "'"; }

    fs::path folder_;
    std::string out_;
};

TEST_F(GalTool, InfoToPngAndFromPngKeepPixelsAndAlpha) {
    // Two 2 x 1 frames at 24 bits; the second keys out pure green.
    test::GalFile file;
    file.frames.push_back(
        {.width = 2,
         .height = 1,
         .bits = 24,
         .layers = {{.colour = test::PaddedRows(2, 1, 24, {0xFF0000, 0x00FF00})}}});
    file.frames.push_back(
        {.name = "Frame2",
         .transparentValue = 0x00FF00,
         .delay = 40,
         .width = 2,
         .height = 1,
         .bits = 24,
         .layers = {{.colour = test::PaddedRows(2, 1, 24, {0x0000FF, 0x00FF00})}}});
    WriteAll(folder_ / "a.gal", test::WriteGal(file));

    ASSERT_EQ(Run("info " + P("a.gal")), 0) << out_;
    EXPECT_NE(out_.find("version: 106\n"), std::string::npos) << out_;
    EXPECT_NE(out_.find("frames: 2\n"), std::string::npos) << out_;
    EXPECT_NE(out_.find("2: 2 x 1, 24 bits, 1 layer, delay 40, key 65280"), std::string::npos)
        << out_;

    ASSERT_EQ(Run("to-png " + P("a.gal") + " --frame 2 -o " + P("b.png")), 0) << out_;
    const PngPicture png = DecodePng(ReadAll(folder_ / "b.png"), "b.png");
    EXPECT_EQ(png.Bitmap.GetPixel(0, 0), 0x0000FFu);
    ASSERT_TRUE(png.Bitmap.HasMask());
    EXPECT_EQ(png.Bitmap.Mask()->GetPixel(0, 0), 255u);
    EXPECT_EQ(png.Bitmap.Mask()->GetPixel(1, 0), 0u);  // the key became transparency

    for (const char* encoding : {"0", "1", "2"}) {
        for (const char* code : {"0", "-9"}) {
            const std::string args = "from-png " + P("b.png") + " -o " + P("c.gal") +
                                     " --encoding " + encoding + " --code " + code;
            ASSERT_EQ(Run(args), 0) << out_;
            TGaleFrameList list(std::atoi(code));
            list.LoadFromBytes(ReadAll(folder_ / "c.gal"), "c.gal");
            ASSERT_EQ(list.Count(), 1u);
            EXPECT_EQ(list.Keyed, std::string(code) != "0");
            ASSERT_TRUE(list[0].Bitmap.HasMask());
            EXPECT_EQ(list[0].Bitmap.Mask()->GetPixel(1, 0), 0u);
            if (std::string(encoding) != "2" || std::string(code) != "0") {
                EXPECT_EQ(list[0].Bitmap.GetPixel(0, 0), 0x0000FFu) << encoding << code;
            }
        }
    }
}

TEST_F(GalTool, FromPngMakesOneFramePerPictureInOrder) {
    for (const uint32_t colour : {0x0000FFu, 0x00FF00u, 0xFF0000u}) {
        TDIBSurface bitmap(2, 1, 24);
        bitmap.Fill(colour);
        const std::string name = "f" + std::to_string(colour) + ".png";
        WriteAll(folder_ / name, EncodePng(bitmap));
    }
    ASSERT_EQ(Run("from-png " + P("f255.png") + " " + P("f65280.png") + " " + P("f16711680.png") +
                  " -o " + P("anim.gal") + " --delay 40"),
              0)
        << out_;
    TGaleFrameList list;
    list.LoadFromBytes(ReadAll(folder_ / "anim.gal"), "anim.gal");
    ASSERT_EQ(list.Count(), 3u);
    const uint32_t expected[] = {0x0000FF, 0x00FF00, 0xFF0000};
    for (size_t i = 0; i < 3; ++i) {
        EXPECT_EQ(list[i].Bitmap.GetPixel(1, 0), expected[i]) << i;
        EXPECT_EQ(list[i].Delay, 40) << i;
    }

    // A picture of another size is refused by name and nothing is written.
    WriteAll(folder_ / "big.png", EncodePng(TDIBSurface(3, 1, 24)));
    EXPECT_EQ(Run("from-png " + P("f255.png") + " " + P("big.png") + " -o " + P("bad.gal")), 1);
    EXPECT_NE(out_.find("big.png"), std::string::npos) << out_;
    EXPECT_FALSE(fs::exists(folder_ / "bad.gal"));
    EXPECT_EQ(Run("to-png " + P("anim.gal") + " " + P("anim.gal")), 2);
    EXPECT_EQ(Run("from-png " + P("f255.png") + " -o " + P("x.gal") + " --delay -1"), 2);
}

TEST_F(GalTool, ErrorsNameTheFileAndLeaveNothingBehind) {
    WriteAll(folder_ / "bad.gal", {'G', 'a', 'l', 'e', '1', '0', '6', 40, 0});
    EXPECT_EQ(Run("to-png " + P("bad.gal") + " -o " + P("x.png")), 1);
    EXPECT_NE(out_.find("bad.gal"), std::string::npos) << out_;
    EXPECT_FALSE(fs::exists(folder_ / "x.png"));
    EXPECT_EQ(Run("info"), 2);
    EXPECT_EQ(Run("from-png " + P("bad.gal")), 2);  // no -o
    EXPECT_EQ(Run("to-png " + P("bad.gal") + " --frame x"), 2);
    EXPECT_EQ(Run("--help"), 0);
    EXPECT_NE(out_.find("usage: kivo-gal"), std::string::npos);
    // Only the files the test made remain: no temporaries.
    size_t files = 0;
    for ([[maybe_unused]] const auto& entry : fs::directory_iterator(folder_))
        ++files;
    EXPECT_EQ(files, 2u);  // bad.gal and out.txt
}

}  // namespace
}  // namespace kivo
