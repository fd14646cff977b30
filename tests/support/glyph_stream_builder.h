#pragma once
// Fixture writer for glyph streams, the stored form of a text's decorated glyphs (in TextIns
// records and in save data). It lays out every version by hand: 0 (no header, one-byte
// borders, variable fields compiled), 100 (four-byte borders and shadows), 101 (variable
// fields with wait and link) and 102 (variable fields as expression text).
//
//   GlyphStreamBuilder stream(102);
//   stream.Decoration({.size = 20}).Char(0x82A0, 0).Return(false).Var(0, "name");
//   std::vector<uint8_t> bytes = stream.Bytes();

#include <cstdint>
#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "page_builder.h"

namespace kivo::test {

struct GlyphDecoration {
    int32_t refCount = 1;  // as stored; the reader counts again
    int32_t color = 0;
    int32_t borderColor = -1;
    int32_t size = 16;
    uint8_t style = 0;
    uint8_t noBreak = 0;
    int32_t borderWidth = 0;  // one byte (0 or not) in version 0
    std::string face = {};
    std::string ruby = {};
    int32_t shadowWidth = 0;  // from version 100
    int32_t shadowColor = 0;
};

class GlyphStreamBuilder {
  public:
    explicit GlyphStreamBuilder(int32_t version = 102) : version_(version) {}

    GlyphStreamBuilder& Decoration(const GlyphDecoration& decoration);
    // Glyphs; decoration is an index into the decorations added.
    GlyphStreamBuilder& Char(uint16_t code, int32_t decoration, int32_t wait = 0,
                             std::string_view link = "");
    GlyphStreamBuilder& Align(uint8_t align);  // 0 none, 1 left, 2 right, 3 centre, 4 top, 5 bottom
    GlyphStreamBuilder& Return(bool clears);
    GlyphStreamBuilder& Indent();
    GlyphStreamBuilder& Undent();
    GlyphStreamBuilder& Event(std::string_view value, bool end);
    // A variable field by its expression text (version 102 on).
    GlyphStreamBuilder& Var(int32_t decoration, std::string_view expression, int32_t wait = 0,
                            std::string_view link = "");
    // A variable field by its compiled expression (the versions before 102), given as the
    // bytes the expression engine reads (ExprBuilder::Bytes for the player's engine).
    GlyphStreamBuilder& CompiledVar(int32_t decoration, std::span<const uint8_t> stored,
                                    int32_t wait = 0, std::string_view link = "");
    GlyphStreamBuilder& Image(std::string_view source, uint8_t align, int32_t wait = 0,
                              std::string_view link = "");

    [[nodiscard]] std::vector<uint8_t> Bytes() const;

  private:
    GlyphStreamBuilder& VarHead(int32_t decoration, int32_t wait, std::string_view link);

    int32_t version_;
    int32_t decorationCount_ = 0;
    ByteBuilder decorations_;
    int32_t glyphCount_ = 0;
    ByteBuilder glyphs_;
};

}  // namespace kivo::test
