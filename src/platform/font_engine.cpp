#include "platform/font_engine.h"

#include "base/sjis.h"

namespace kivo {

int32_t GlyphLevels(GlyphDepth depth) {
    switch (depth) {
        case GlyphDepth::Mono:
            return 2;
        case GlyphDepth::Gray5:
            return 5;
        case GlyphDepth::Gray17:
            return 17;
        case GlyphDepth::Gray65:
            return 65;
        case GlyphDepth::Gray256:
            return 256;
    }
    return 256;
}

int32_t Font::MeasureUtf8(std::string_view utf8) {
    int32_t width = 0;
    for (size_t pos = 0; pos < utf8.size();) {
        const std::optional<uint32_t> code = sjis::NextUtf8(utf8, pos);
        if (!code) ++pos;
        width += Advance(code ? static_cast<char32_t>(*code) : U'\uFFFD');
    }
    return width;
}

}  // namespace kivo
