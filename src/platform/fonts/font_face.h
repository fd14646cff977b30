#pragma once
// Outline fonts through FreeType, found through fontconfig. The player draws its own toolbar
// labels with them; the text subsystem's glyph engine builds on the same faces.

#include <cstdint>
#include <filesystem>
#include <memory>
#include <optional>
#include <string_view>

namespace kivo {

// A 32-bit canvas (bytes B, G, R, X) that text is drawn onto; borrowed, not owned.
struct FontCanvas {
    uint32_t* pixels = nullptr;
    int32_t width = 0;
    int32_t height = 0;
    int32_t stride = 0;  // in pixels
};

struct FontLocation {
    std::filesystem::path file;
    int32_t index = 0;
};

// Asks fontconfig for the best file for a family name ("IPAGothic"); nullopt when fontconfig
// knows no font at all. Called rarely (start-up); not cheap.
[[nodiscard]] std::optional<FontLocation> FindFont(std::string_view family);

// One FreeType face at one pixel size. Owns the FreeType library instance and the face and
// frees both when it goes. Not thread-safe: use it from one thread.
class FontFace {
  public:
    // Opens the face; nullptr when the file is not a font FreeType can read.
    [[nodiscard]] static std::unique_ptr<FontFace> Open(const FontLocation& location,
                                                        int32_t pixelSize);
    ~FontFace();
    FontFace(const FontFace&) = delete;
    FontFace& operator=(const FontFace&) = delete;

    // The advance width of a UTF-8 text in pixels.
    [[nodiscard]] int32_t MeasureText(std::string_view utf8);
    // The distance from the top of a line to its baseline, in pixels.
    [[nodiscard]] int32_t Ascent() const;
    [[nodiscard]] int32_t LineHeight() const;

    // Draws UTF-8 text with its baseline at (x, baseline) in colour 0xRRGGBB, blending the
    // glyphs' coverage over what is on the canvas; clipped to the canvas.
    void DrawText(FontCanvas canvas, int32_t x, int32_t baseline, std::string_view utf8,
                  uint32_t rgb);

  private:
    struct Handles;
    explicit FontFace(std::unique_ptr<Handles> handles);
    std::unique_ptr<Handles> handles_;
};

}  // namespace kivo
