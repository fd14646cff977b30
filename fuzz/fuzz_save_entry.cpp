// Feeds arbitrary bytes to the save system as a saved game (even first byte) or as the status
// data (odd first byte) of a running game, then runs frames on and saves whatever it accepted:
// damaged entries must fail with KivoError or leave a game that works.

#include <cstddef>
#include <cstdint>
#include <span>
#include <sstream>

#include "base/error.h"
#include "base/player_state.h"
#include "platform/dialogs.h"
#include "platform/headless/headless_platform.h"
#include "platform/trace_sink.h"
#include "scene/kivo_base_list.h"
#include "scene/timer_list.h"
#include "script/backlog_stand_in.h"
#include "script/function_registry.h"
#include "script/page_file.h"
#include "script/param_collection.h"
#include "script/project.h"
#include "script/project_file.h"
#include "script/save_manager.h"
#include "storage/vr_file_manager.h"

namespace {

class SilentDialogs final : public kivo::MessageDialogs {
  public:
    kivo::DialogAnswer Show(std::string_view, std::string_view, kivo::DialogIcon,
                            kivo::DialogButtons buttons) override {
        return kivo::DefaultAnswer(buttons);
    }
};

class SceneSection final : public kivo::SaveSection {
  public:
    explicit SceneSection(kivo::TKivoBaseList& scene) : scene_(scene) {}
    void Save(kivo::ByteWriter& writer) const override { scene_.Save(writer); }
    void Load(kivo::ByteReader& reader, int32_t version) override { scene_.Load(reader, version); }

  private:
    kivo::TKivoBaseList& scene_;
};

// A page that waits at its second command, so that saved states can name a begun Wait.
std::vector<uint8_t> WaitingPage() {
    kivo::PageFile page;
    kivo::CommandRecord label = kivo::CommandRecord::Make(kivo::CommandCode::Label, page.version);
    label.Field("name") = std::string("here");
    kivo::CommandRecord wait = kivo::CommandRecord::Make(kivo::CommandCode::Wait, page.version);
    page.commands = {label, wait};
    return page.Write("start.ksb");
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    if (size < 1) return 0;
    kivo::PlayerState player;
    player.frameDelta = 16;
    kivo::TVrFileManager files;
    (void)files.AddArchive("");
    kivo::ProjectFile project;
    project.startPage = "start.ksb";
    files.MemoryCollection().AddMemoryEntry("kivo.kpb").memory->Assign(project.Write());
    files.MemoryCollection().AddMemoryEntry("start.ksb").memory->Assign(WaitingPage());
    kivo::TParamCollection variables(&player);
    kivo::SystemFunctionRegistry functions;
    kivo::TTimerList events;
    SilentDialogs dialogs;
    kivo::NullTraceSink trace;
    kivo::TracedUrlOpener urls{trace};
    kivo::HeadlessClock clock;
    kivo::ClockCalendar calendar(clock, kivo::DefaultHeadlessDate());
    kivo::TProcessRandom random;
    kivo::NullSceneCommands sceneCommands;
    kivo::NullMediaPort media;
    kivo::TDBManager tables;
    kivo::TKivoBaseList scene(player, nullptr, &events);
    SceneSection sceneRecord(scene);
    kivo::TBacklogStandIn backlog;
    kivo::TReadMarkStandIn readMarks;
    std::ostringstream warnings;
    kivo::TSaveManager saves({player, variables, tables, dialogs, sceneRecord, backlog, readMarks,
                              warnings},
                             kivo::TSaveFile("/nonexistent-kivo-fuzz/save.dat"));
    kivo::ProjectServices services{
        player,
        files,
        variables,
        functions,
        events,
        dialogs,
        trace,
        kivo::ScriptContext{player, clock, calendar, random, sceneCommands, media, saves, urls,
                            &tables},
        true,
        {},
        &scene,
        &saves};
    kivo::TProject game(services);
    if (game.Interpreter() == nullptr) return 0;
    const std::span<const uint8_t> entry(data + 1, size - 1);
    try {
        if (data[0] & 1) {
            saves.RestoreStatus(entry, "fuzz.sav");
        } else {
            saves.RestoreGame(entry, "fuzz.sav");
        }
    } catch (const kivo::KivoError&) {
    }
    // Whatever was restored before an error must be a game that runs and saves again.
    std::vector<kivo::TRect> dirty;
    for (int frame = 0; frame < 2; ++frame) {
        player.gameClock += 16;
        scene.InputPass();
        game.RunFrame();
        scene.FrameAdvance();
        (void)scene.Draw(dirty);
        scene.ClearDirty();
    }
    (void)saves.GameEntry("fuzz", "", 0);
    (void)saves.StatusEntry();
    return 0;
}
