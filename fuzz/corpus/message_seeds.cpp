// Seeds of the message window target: a window's save record with pages revealed part way,
// the backlog stream with entries, screens and a pending entry, and the read-mark stream,
// each written by the player itself in the newest form and read back at the newest version.

#include <cstdint>
#include <string>
#include <vector>

#include "base/byte_io.h"
#include "base/player_state.h"
#include "base/sjis.h"
#include "corpus_seeds.h"
#include "scene/kivo_base_list.h"
#include "scene/kivo_mes.h"
#include "scene/kivo_new_history.h"
#include "scene/kivo_read_list.h"

namespace kivo::corpus {

namespace {

// The selector of the newest save version (the last of the target's version table).
constexpr uint8_t kNewest = 10 << 2;

}  // namespace

void MessageWindowSeeds(SeedFolder& seeds) {
    PlayerState state;
    state.frameDelta = 16;
    TKivoBaseList root(state);
    root.SetSize(64, 64);
    TKivoMes& mes = root.Create<TKivoMes>();
    mes.SetParent(&root.ActiveLayer());
    mes.SetWidth(40);
    mes.SetHeight(10);
    mes.SetFontHeight(10);
    mes.SetOnPlayStart("start.ksb");
    mes.SetText(sjis::FromUtf8("あいうえお<A HREF=\"x\">かき</A><BR>くけこ").value());
    for (int frame = 0; frame < 5; ++frame)
        root.FrameAdvance();
    ByteWriter window;
    mes.Save(window);
    seeds.AddSelected("window", kNewest | 0, window.Bytes());

    TKivoNewHistory history;
    for (int32_t command = 0; command < 3; ++command) {
        history.Record(PendingEntry{"mes", command == 2 ? "b.ksb" : "a.ksb", command, 0, 0, -1, 320,
                                    96, "x=1"});
        history.Commit("mes");
    }
    history.Record(PendingEntry{"mes", "c.ksb", 4, 1, 2, 9, 320, 96, "y=2"});
    ByteWriter backlog;
    history.Save(backlog);
    seeds.AddSelected("backlog", kNewest | 1, backlog.Bytes());

    TKivoReadList marks;
    marks.SetPending("mes", "a.ksb", 0, 3);
    marks.Commit("mes");
    marks.SetPending("mes", "b.ksb", 2, 5);
    ByteWriter read;
    marks.Save(read);
    seeds.AddSelected("read", kNewest | 2, read.Bytes());
}

}  // namespace kivo::corpus
