#include "platform/fonts_reference/freetype_reference.h"

#include <ft2build.h>
#include FT_FREETYPE_H

#include "base/error.h"

namespace kivo {

struct FreeTypeReference::Impl {
    FT_Library library = nullptr;
    FT_Face face = nullptr;
    ~Impl() {
        if (face != nullptr) FT_Done_Face(face);
        if (library != nullptr) FT_Done_FreeType(library);
    }
};

FreeTypeReference::FreeTypeReference(const std::filesystem::path& file, int32_t index, int32_t size)
    : impl_(std::make_unique<Impl>()) {
    if (FT_Init_FreeType(&impl_->library) != 0 ||
        FT_New_Face(impl_->library, file.c_str(), index, &impl_->face) != 0 ||
        FT_Set_Pixel_Sizes(impl_->face, 0, static_cast<FT_UInt>(size)) != 0) {
        throw KivoError(file.string(), "FreeType cannot open the font");
    }
}

FreeTypeReference::~FreeTypeReference() = default;

int64_t FreeTypeReference::LoadAndRender(char32_t code) {
    FT_Face face = impl_->face;
    if (FT_Load_Char(face, code, FT_LOAD_NO_BITMAP | FT_LOAD_TARGET_NORMAL) != 0) return 0;
    if (FT_Render_Glyph(face->glyph, FT_RENDER_MODE_NORMAL) != 0) return 0;
    return int64_t{face->glyph->bitmap.rows} * face->glyph->bitmap.width;
}

}  // namespace kivo
