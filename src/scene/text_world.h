#pragma once
// What message windows and the backlog reach outside the scene: the glyph cache that draws
// their cells, the inline pictures, the expressions of variable fields, the game's files (the
// scenario pages their text records live in), the variable table (@TextDelay and the backlog
// format values) and the program's backlog and read marks. The shell owns every one of them
// and hands the scene root this set of borrowed pointers at start-up; any may be null, and a
// window then draws, shows, loads or records nothing of that kind.

#include <cstdint>

#include "script/param_collection.h"
#include "text/tp_word.h"

namespace kivo {

class TKivoNewHistory;
class TKivoReadList;
class TVrFileManager;

struct TextWorld {
    GlyphPainter* painter = nullptr;
    GlyphImageSource* images = nullptr;
    TextExpressions* expressions = nullptr;
    TVrFileManager* files = nullptr;
    TParamCollection* variables = nullptr;
    TKivoNewHistory* history = nullptr;
    TKivoReadList* readMarks = nullptr;

    // The per-character wait of markup without WAIT tags, in ms.
    [[nodiscard]] int32_t TextDelay() const {
        return variables != nullptr ? variables->textDelay : 50;
    }
    // Gives a text the services it draws and expands with.
    void Equip(TTpWord& word) const {
        word.SetPainter(painter);
        word.SetImages(images);
        word.SetExpressions(expressions);
    }
};

}  // namespace kivo
