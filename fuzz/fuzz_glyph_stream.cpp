// Reads arbitrary bytes as a stored glyph stream (with the expression engine for the oldest
// form), then lays the glyphs out and reveals them. Damaged input must raise KivoError and
// add no glyph; a stream that loads must save to one that loads to the same glyph kinds.
#include <cstdint>
#include <cstdlib>
#include <span>

#include "base/error.h"
#include "script/function_registry.h"
#include "script/param_collection.h"
#include "script/text_expressions.h"
#include "text/tp_word.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    kivo::TParamCollection variables;
    kivo::SystemFunctionRegistry functions;
    kivo::ScriptTextExpressions expressions(variables, functions);
    kivo::TTpWord word;
    word.SetExpressions(&expressions);
    word.settings.layoutWidth = 200;
    word.settings.pageHeight = 100;
    try {
        word.LoadGlyphs(std::span(data, size), "fuzz.dat");
    } catch (const kivo::KivoError&) {
        if (word.GlyphCount() != 0 || word.Decorations().Count() != 0) std::abort();
        return 0;
    }
    word.ExpandVars(0, -1);
    std::vector<std::unique_ptr<kivo::TWdPage>> pages;
    word.Layout(pages, 0, -1);
    for (auto& page : pages) {
        page->ResetReveal();
        for (int frame = 0; frame < 4; ++frame)
            (void)page->Tick(1000);
    }
    pages.clear();
    word.CollapseVars(0, -1);
    kivo::ByteWriter writer;
    word.SaveGlyphs(writer);
    kivo::TTpWord loaded;
    loaded.SetExpressions(&expressions);
    loaded.LoadGlyphs(writer.Bytes(), "again");
    if (loaded.GlyphCount() != word.GlyphCount()) std::abort();
    return 0;
}
