// Reads arbitrary bytes as marked-up text, lays it out in a small box and reveals it. Parsing
// may raise KivoError (a link without HREF) and must never hang or read out of bounds; the
// glyphs read then save to a glyph stream that reads back to the same glyph kinds.
#include <cstdint>
#include <cstdlib>
#include <string>
#include <vector>

#include "base/error.h"
#include "text/tp_word.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    kivo::TTpWord word;
    word.settings.layoutWidth = 120;
    word.settings.pageHeight = 60;
    std::vector<std::string> lines{std::string(reinterpret_cast<const char*>(data), size)};
    try {
        word.Parse(lines, 50);
    } catch (const kivo::KivoError&) {
    }
    std::vector<std::unique_ptr<kivo::TWdPage>> pages;
    word.Layout(pages, 0, -1);
    for (auto& page : pages) {
        page->ResetReveal();
        for (int frame = 0; frame < 4; ++frame)
            (void)page->Tick(1000);
        (void)page->HitTest(5, 5);
    }
    kivo::ByteWriter writer;
    word.SaveGlyphs(writer);
    kivo::TTpWord loaded;
    loaded.LoadGlyphs(writer.Bytes(), "fuzz");
    if (loaded.GlyphCount() != word.GlyphCount()) std::abort();
    for (size_t i = 0; i < word.GlyphCount(); ++i) {
        if (loaded.Glyph(i)->Kind() != word.Glyph(i)->Kind()) std::abort();
    }
    return 0;
}
