#pragma once
// A game for the fuzz targets that feed saved data to a running game: the services a project
// needs, over a memory archive with a project file and a start page that waits at its second
// command (a label "here" at 0), so that saved states can name a begun Wait.

#include <sstream>
#include <string_view>
#include <vector>

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
#include "storage/db_manager.h"
#include "storage/vr_file_manager.h"

namespace kivo::fuzz {

class SilentDialogs final : public MessageDialogs {
  public:
    DialogAnswer Show(std::string_view, std::string_view, DialogIcon,
                      DialogButtons buttons) override {
        return DefaultAnswer(buttons);
    }
};

inline std::vector<uint8_t> WaitingPage() {
    PageFile page;
    CommandRecord label = CommandRecord::Make(CommandCode::Label, page.version);
    label.Field("name") = std::string("here");
    CommandRecord wait = CommandRecord::Make(CommandCode::Wait, page.version);
    page.commands = {label, wait};
    return page.Write("start.ksb");
}

struct FuzzGame {
    FuzzGame() {
        player.frameDelta = 16;
        (void)files.AddArchive("");
        ProjectFile project;
        project.startPage = "start.ksb";
        files.MemoryCollection().AddMemoryEntry("kivo.kpb").memory->Assign(project.Write());
        files.MemoryCollection().AddMemoryEntry("start.ksb").memory->Assign(WaitingPage());
    }
    // The project's services over this game, with the scene commands and saves given.
    [[nodiscard]] ProjectServices Services(SceneCommands& scene, SavePort& saves,
                                           const ObjectDirectory* objects = nullptr,
                                           TSaveManager* saveManager = nullptr) {
        return {player,
                files,
                variables,
                functions,
                events,
                dialogs,
                trace,
                ScriptContext{player, clock, calendar, random, scene, media, saves, urls, &tables},
                true,
                {},
                objects,
                saveManager};
    }

    PlayerState player;
    TVrFileManager files;
    TParamCollection variables{&player};
    SystemFunctionRegistry functions;
    TTimerList events;
    SilentDialogs dialogs;
    NullTraceSink trace;
    TracedUrlOpener urls{trace};
    HeadlessClock clock;
    ClockCalendar calendar{clock, DefaultHeadlessDate()};
    TProcessRandom random;
    NullMediaPort media;
    TDBManager tables;
};

}  // namespace kivo::fuzz
