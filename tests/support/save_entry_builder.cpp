#include "save_entry_builder.h"

#include "page_builder.h"

namespace kivo::test {

std::vector<uint8_t> EmptyBacklog(int32_t version) {
    ByteBuilder out;
    if (version <= 112) {
        out.Str("");  // a string older players wrote and never read
        out.I32(0);   // entries
    } else {
        out.I32(0);
    }
    out.Str("").I32(0).I32(0).I32(0).I32(0).Str("");  // pending page, indexes, size, window
    if (version >= 113) {
        for (int i = 0; i < 7; ++i)
            out.I32(0);     // maximum count, font height, border, shadow, width, height,
                            // line spacing
        out.I32(0).I32(0);  // pending start and end
        out.I32(0);         // screens
        if (version >= 124) out.Str("");  // pending frozen values
    }
    return out.Data();
}

std::vector<uint8_t> EmptyReadMarks() {
    ByteBuilder out;
    out.I32(0).Str("").I32(0).I32(0).Str("");
    return out.Data();
}

std::vector<uint8_t> NoTables(bool gameForm, const std::string& active) {
    ByteBuilder out;
    out.I32(100).I32(0);  // format, table count
    if (gameForm) out.Str(active);
    return out.Data();
}

std::vector<uint8_t> WriteGameEntry(const SavedGame& game) {
    ByteBuilder out;
    out.I32(game.version).Str(game.caption).Str(game.resumePage).I32(game.resumeIndex);
    out.Raw(game.scene);
    out.Raw(game.backlog.value_or(EmptyBacklog(game.version)));
    out.Raw(game.interpreter);
    out.Raw(game.variables);
    if (game.version > 122) out.Raw(game.tables.value_or(NoTables(true)));
    return out.Data();
}

std::vector<uint8_t> WriteStatusEntry(const SavedStatus& status) {
    ByteBuilder out;
    for (char c : status.header)
        out.U8(static_cast<uint8_t>(c));
    out.Raw(status.variables);
    out.Raw(status.readMarks.value_or(EmptyReadMarks()));
    if (status.dither) out.U8(*status.dither);
    if (status.tables) out.Raw(*status.tables);
    return out.Data();
}

}  // namespace kivo::test
