// Reads arbitrary bytes as the saved style of a list's text strips, at the three record
// versions. Damaged input must raise KivoError and keep the style; a record that loads must
// save to one that loads to the same style.
#include <cstdint>
#include <cstdlib>
#include <span>

#include "base/error.h"
#include "text/font_pixel_manager.h"
#include "text/tp_label_list.h"

namespace {

// No fonts: the strips measure nothing, which leaves the record reader on its own.
class NoFonts final : public kivo::FontEngine {
  public:
    std::unique_ptr<kivo::Font> Open(std::string_view, int32_t, uint8_t) override {
        return nullptr;
    }
};

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    NoFonts fonts;
    kivo::TFontPixelManager glyphs(fonts);
    for (int32_t version : {108, 121, 122}) {
        kivo::TTpLabelList list(glyphs);
        list.Add("item");
        const kivo::LabelStyle before = list.Style();
        kivo::ByteReader reader(std::span(data, size), "save.dat");
        try {
            list.LoadStyle(reader, version);
        } catch (const kivo::KivoError&) {
            if (!(list.Style() == before)) std::abort();
            continue;
        }
        kivo::ByteWriter writer;
        list.SaveStyle(writer);
        kivo::TTpLabelList again(glyphs);
        kivo::ByteReader back(writer.Bytes(), "again");
        again.LoadStyle(back, 122);
        if (!(again.Style() == list.Style()) || !back.AtEnd()) std::abort();
    }
    return 0;
}
