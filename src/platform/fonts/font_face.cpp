#include "platform/fonts/font_face.h"

#include <fontconfig/fontconfig.h>
#include <ft2build.h>
#include FT_FREETYPE_H

#include <string>

namespace kivo {

namespace {

// Decodes one UTF-8 character at pos and advances pos; U+FFFD for a bad sequence.
char32_t NextCodePoint(std::string_view text, size_t& pos) {
    const auto byte = [&](size_t i) { return static_cast<uint8_t>(text[i]); };
    const uint8_t lead = byte(pos);
    int length = lead < 0x80           ? 1
                 : (lead >> 5) == 0x6  ? 2
                 : (lead >> 4) == 0xE  ? 3
                 : (lead >> 3) == 0x1E ? 4
                                       : 0;
    if (length == 0 || pos + static_cast<size_t>(length) > text.size()) {
        ++pos;
        return U'\uFFFD';
    }
    char32_t code = length == 1 ? lead : lead & (0x7F >> length);
    for (int i = 1; i < length; ++i) {
        const uint8_t next = byte(pos + static_cast<size_t>(i));
        if ((next & 0xC0) != 0x80) {
            ++pos;
            return U'\uFFFD';
        }
        code = (code << 6) | (next & 0x3F);
    }
    pos += static_cast<size_t>(length);
    return code;
}

}  // namespace

struct FontFace::Handles {
    FT_Library library = nullptr;
    FT_Face face = nullptr;
    ~Handles() {
        if (face) FT_Done_Face(face);
        if (library) FT_Done_FreeType(library);
    }
};

std::optional<FontLocation> FindFont(std::string_view family) {
    FcConfig* config = FcInitLoadConfigAndFonts();
    if (config == nullptr) return std::nullopt;
    std::optional<FontLocation> found;
    const std::string name(family);
    if (FcPattern* pattern = FcNameParse(reinterpret_cast<const FcChar8*>(name.c_str()))) {
        FcConfigSubstitute(config, pattern, FcMatchPattern);
        FcDefaultSubstitute(pattern);
        FcResult result = FcResultNoMatch;
        if (FcPattern* match = FcFontMatch(config, pattern, &result)) {
            FcChar8* file = nullptr;
            int index = 0;
            if (FcPatternGetString(match, FC_FILE, 0, &file) == FcResultMatch) {
                FcPatternGetInteger(match, FC_INDEX, 0, &index);
                found = FontLocation{reinterpret_cast<const char*>(file), index};
            }
            FcPatternDestroy(match);
        }
        FcPatternDestroy(pattern);
    }
    FcConfigDestroy(config);
    return found;
}

FontFace::FontFace(std::unique_ptr<Handles> handles) : handles_(std::move(handles)) {}
FontFace::~FontFace() = default;

std::unique_ptr<FontFace> FontFace::Open(const FontLocation& location, int32_t pixelSize) {
    auto handles = std::make_unique<Handles>();
    if (FT_Init_FreeType(&handles->library) != 0) return nullptr;
    if (FT_New_Face(handles->library, location.file.c_str(), location.index, &handles->face) != 0)
        return nullptr;
    if (FT_Set_Pixel_Sizes(handles->face, 0, static_cast<FT_UInt>(pixelSize)) != 0) return nullptr;
    return std::unique_ptr<FontFace>(new FontFace(std::move(handles)));
}

int32_t FontFace::Ascent() const {
    return static_cast<int32_t>(handles_->face->size->metrics.ascender >> 6);
}

int32_t FontFace::LineHeight() const {
    return static_cast<int32_t>(handles_->face->size->metrics.height >> 6);
}

int32_t FontFace::MeasureText(std::string_view utf8) {
    int32_t width = 0;
    for (size_t pos = 0; pos < utf8.size();) {
        const char32_t code = NextCodePoint(utf8, pos);
        if (FT_Load_Char(handles_->face, code, FT_LOAD_DEFAULT) == 0) {
            width += static_cast<int32_t>(handles_->face->glyph->advance.x >> 6);
        }
    }
    return width;
}

void FontFace::DrawText(FontCanvas canvas, int32_t x, int32_t baseline, std::string_view utf8,
                        uint32_t rgb) {
    FT_Face face = handles_->face;
    for (size_t pos = 0; pos < utf8.size();) {
        const char32_t code = NextCodePoint(utf8, pos);
        if (FT_Load_Char(face, code, FT_LOAD_RENDER) != 0) continue;
        const FT_GlyphSlot glyph = face->glyph;
        const FT_Bitmap& bitmap = glyph->bitmap;
        const int32_t left = x + glyph->bitmap_left;
        const int32_t top = baseline - glyph->bitmap_top;
        for (int32_t row = 0; row < static_cast<int32_t>(bitmap.rows); ++row) {
            const int32_t cy = top + row;
            if (cy < 0 || cy >= canvas.height) continue;
            for (int32_t col = 0; col < static_cast<int32_t>(bitmap.width); ++col) {
                const int32_t cx = left + col;
                if (cx < 0 || cx >= canvas.width) continue;
                const uint32_t coverage = bitmap.buffer[row * bitmap.pitch + col];
                if (coverage == 0) continue;
                uint32_t& pixel = canvas.pixels[static_cast<ptrdiff_t>(cy) * canvas.stride + cx];
                uint32_t mixed = 0;
                for (int shift = 0; shift <= 16; shift += 8) {
                    const uint32_t under = (pixel >> shift) & 0xFF;
                    const uint32_t over = (rgb >> shift) & 0xFF;
                    mixed |= ((over * coverage + under * (255 - coverage) + 127) / 255) << shift;
                }
                pixel = mixed | 0xFF000000u;
            }
        }
        x += static_cast<int32_t>(glyph->advance.x >> 6);
    }
}

}  // namespace kivo
