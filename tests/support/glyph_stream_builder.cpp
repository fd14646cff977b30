#include "glyph_stream_builder.h"

#include <string>

namespace kivo::test {

namespace {

// Glyph kind bytes.
enum : uint8_t {
    kChar = 1,
    kAlign = 2,
    kReturn = 3,
    kIndent = 4,
    kUndent = 5,
    kEvent = 6,
    kVar = 7,
    kImage = 9
};

}  // namespace

GlyphStreamBuilder& GlyphStreamBuilder::Decoration(const GlyphDecoration& d) {
    decorations_.I32(d.refCount).I32(d.color).I32(d.borderColor).I32(d.size);
    decorations_.U8(d.style).U8(d.noBreak);
    if (version_ >= 100) {
        decorations_.I32(d.borderWidth);
    } else {
        decorations_.U8(d.borderWidth != 0 ? 1 : 0);
    }
    decorations_.Str(d.face).Str(d.ruby);
    if (version_ >= 100) decorations_.I32(d.shadowWidth).I32(d.shadowColor);
    ++decorationCount_;
    return *this;
}

GlyphStreamBuilder& GlyphStreamBuilder::Char(uint16_t code, int32_t decoration, int32_t wait,
                                             std::string_view link) {
    glyphs_.U8(kChar).Str(link).I32(wait);
    glyphs_.U8(static_cast<uint8_t>(code)).U8(static_cast<uint8_t>(code >> 8));
    glyphs_.I32(decoration);
    ++glyphCount_;
    return *this;
}

GlyphStreamBuilder& GlyphStreamBuilder::Align(uint8_t align) {
    glyphs_.U8(kAlign).U8(align);
    ++glyphCount_;
    return *this;
}

GlyphStreamBuilder& GlyphStreamBuilder::Return(bool clears) {
    glyphs_.U8(kReturn).U8(clears ? 1 : 0);
    ++glyphCount_;
    return *this;
}

GlyphStreamBuilder& GlyphStreamBuilder::Indent() {
    glyphs_.U8(kIndent);
    ++glyphCount_;
    return *this;
}

GlyphStreamBuilder& GlyphStreamBuilder::Undent() {
    glyphs_.U8(kUndent);
    ++glyphCount_;
    return *this;
}

GlyphStreamBuilder& GlyphStreamBuilder::Event(std::string_view value, bool end) {
    glyphs_.U8(kEvent).Str((end ? std::string("\x01") : std::string()) + std::string(value));
    ++glyphCount_;
    return *this;
}

GlyphStreamBuilder& GlyphStreamBuilder::VarHead(int32_t decoration, int32_t wait,
                                                std::string_view link) {
    glyphs_.U8(kVar).I32(decoration);
    if (version_ > 100) glyphs_.I32(wait).Str(link);
    ++glyphCount_;
    return *this;
}

GlyphStreamBuilder& GlyphStreamBuilder::Var(int32_t decoration, std::string_view expression,
                                            int32_t wait, std::string_view link) {
    VarHead(decoration, wait, link);
    glyphs_.Str(expression);
    return *this;
}

GlyphStreamBuilder& GlyphStreamBuilder::CompiledVar(int32_t decoration,
                                                    std::span<const uint8_t> stored, int32_t wait,
                                                    std::string_view link) {
    VarHead(decoration, wait, link);
    glyphs_.Raw(stored);
    return *this;
}

GlyphStreamBuilder& GlyphStreamBuilder::Image(std::string_view source, uint8_t align, int32_t wait,
                                              std::string_view link) {
    glyphs_.U8(kImage).Str(link).I32(wait).Str(source).U8(align);
    ++glyphCount_;
    return *this;
}

std::vector<uint8_t> GlyphStreamBuilder::Bytes() const {
    ByteBuilder out;
    if (version_ > 0) {
        const std::string header = "TpWord" + std::to_string(version_);
        out.Raw(std::span(reinterpret_cast<const uint8_t*>(header.data()), header.size()));
    }
    out.I32(decorationCount_).Raw(decorations_.Data());
    out.I32(glyphCount_).Raw(glyphs_.Data());
    return out.Data();
}

}  // namespace kivo::test
