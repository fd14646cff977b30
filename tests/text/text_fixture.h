#pragma once
// Helpers of the text tests: texts read from markup, glyph lists and pages written as short
// strings, and a painter that records the cells it is asked to draw.

#include <memory>
#include <string>
#include <vector>

#include "base/sjis.h"
#include "imaging/dibx.h"
#include "imaging/draw_context.h"
#include "text/tp_word.h"

namespace kivo::text_test {

// Markup and expectations are written in UTF-8 in the tests and read as code page 932.
inline std::string J(const char* utf8) {
    return sjis::FromUtf8(utf8).value();
}

// Glyphs as text: characters as themselves, "~" a line break ("~~" one that clears), "{L}"
// "{R}" "{C}" alignments, ">>" indent, "<<" undent, "[v]" an event (with "!" when it ends),
// "$name" a variable field, "#src" an image, "_" an indent filler.
inline std::string Describe(const TWdGlyph& g) {
    switch (g.Kind()) {
        case GlyphKind::Char:
            return g.CharText();
        case GlyphKind::Return:
            return g.Clears() ? "~~" : "~";
        case GlyphKind::Align:
            return g.Alignment() == TextAlign::Right    ? "{R}"
                   : g.Alignment() == TextAlign::Center ? "{C}"
                                                        : "{L}";
        case GlyphKind::Indent:
            return ">>";
        case GlyphKind::Undent:
            return "<<";
        case GlyphKind::Event:
            return "[" + g.Value() + (static_cast<const TWdOpeEvent&>(g).IsEnd() ? "!" : "") + "]";
        case GlyphKind::Var:
            return "$" + g.Value();
        case GlyphKind::Image:
            return "#" + g.Value();
        case GlyphKind::Composite:
            return "_";
    }
    return "?";
}

inline std::string Describe(const TTpWord& word) {
    std::string out;
    for (size_t i = 0; i < word.GlyphCount(); ++i)
        out += Describe(*word.Glyph(i));
    return out;
}

// Pages as rows of glyphs: "|" between rows, "/" between pages.
inline std::string Describe(const std::vector<std::unique_ptr<TWdPage>>& pages) {
    std::string out;
    for (size_t p = 0; p < pages.size(); ++p) {
        if (p > 0) out += "/";
        for (size_t r = 0; r < pages[p]->RowCount(); ++r) {
            if (r > 0) out += "|";
            for (const TWdGlyph* g : pages[p]->Row(r)->Children())
                out += Describe(*g);
        }
    }
    return out;
}

inline void ParseInto(TTpWord& word, const std::string& markup, int32_t waitDefault = 50) {
    std::vector<std::string> lines{markup};
    word.Parse(lines, waitDefault);
}

// A text box of cells `size` pixels square, `columns` cells wide and `rows` cells high.
struct Box {
    explicit Box(int32_t columns = 5, int32_t rows = 10, int32_t size = 10) {
        word.settings.defaultSize = size;
        word.settings.layoutWidth = columns * size;
        word.settings.pageHeight = rows * size;
    }
    std::vector<std::unique_ptr<TWdPage>>& Lay(const std::string& markup) {
        ParseInto(word, markup);
        pages.clear();
        word.Layout(pages, 0, -1);
        return pages;
    }
    TTpWord word;
    std::vector<std::unique_ptr<TWdPage>> pages;
};

class RecordingPainter : public GlyphPainter {
  public:
    TRect DrawCell(const CellRequest& request, TCustomDIBX& colour, TCustomDIBX& mask) override {
        Drawn drawn{request, std::string(request.face)};
        drawn.request.face = {};  // the text owns the face; keep a copy instead
        cells.push_back(drawn);
        TDrawContext(colour).FillRect(request.cell, request.textPixel);
        TDrawContext(mask).FillRect(request.cell, 255);
        return request.cell;
    }
    struct Drawn {
        CellRequest request;
        std::string face;
    };
    std::vector<Drawn> cells;
};

}  // namespace kivo::text_test
