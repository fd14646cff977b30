// Feeds arbitrary bytes to the interpreter as a saved interpreter state, then runs frames on
// whatever it accepted: damaged states must fail with KivoError or run without harm.

#include <cstddef>
#include <cstdint>
#include <memory>
#include <span>

#include "base/error.h"
#include "base/player_state.h"
#include "platform/dialogs.h"
#include "platform/headless/headless_platform.h"
#include "platform/trace_sink.h"
#include "scene/timer_list.h"
#include "script/function_registry.h"
#include "script/page_file.h"
#include "script/param_collection.h"
#include "script/project.h"
#include "script/project_file.h"
#include "storage/vr_file_manager.h"

namespace {

class SilentDialogs final : public kivo::MessageDialogs {
  public:
    kivo::DialogAnswer Show(std::string_view, std::string_view, kivo::DialogIcon,
                            kivo::DialogButtons buttons) override {
        return kivo::DefaultAnswer(buttons);
    }
};

// A page that waits at its second command, so that states can name a begun Wait.
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
    kivo::NullSceneCommands scene;
    kivo::NullMediaPort media;
    kivo::NullSavePort saves;
    kivo::ProjectServices services{
        player,    files,
        variables, functions,
        events,    dialogs,
        trace,     kivo::ScriptContext{player, clock, calendar, random, scene, media, saves, urls},
        true,      {},
        nullptr};
    kivo::TProject game(services);
    kivo::TCallMan* interpreter = game.Interpreter();
    if (interpreter == nullptr) return 0;
    // The first byte picks a save version below or above the one that added the level.
    int32_t version = data[0] & 1 ? 134 : 115;
    kivo::ByteReader reader(std::span<const uint8_t>(data + 1, size - 1), "fuzz.sav");
    try {
        interpreter->LoadState(reader, version);
    } catch (const kivo::KivoError&) {
        return 0;
    }
    for (int frame = 0; frame < 3; ++frame) {
        player.gameClock += 16;
        player.frameDelta = 16;
        events.Post({"start.ksb:here", {}, 33, 0, {}});
        game.RunFrame();
    }
    return 0;
}
