#pragma once
// What commands and system functions reach beyond the variables: the player's process-wide
// state, the clock, the calendar and the random generator, and the scene, media and save
// layers through the interfaces those layers own. The interpreter hands it to every command
// (TCallMan::Context) and to every system function it evaluates (FunctionCall::Context); neither
// sees the Player or a concrete subsystem, so tests drive them with fakes.
//
// Where the layers plug in:
// - The scene root implements SceneCommands (scene/scene_commands.h): object creation, lookup,
//   properties by PR id, deletion, layers. It also serves the system variables it owns
//   (mouse, keys, @ScrWidth/@ScrHeight ...) as a SystemVariableProvider of the variable table,
//   taking them over from the stand-ins that serve them before it exists.
// - The media layer implements MediaPort (script/media_port.h): play states of sound and movie
//   objects.
// - The save system implements SavePort (script/save_port.h): save and load requests, served
//   by the frame step, and the save captions.
// The shell's Player owns the implementations and assembles the context when it creates the
// project; until a subsystem exists it puts a stand-in that does nothing in its place.

#include <cstdint>
#include <string_view>
#include <vector>

#include "base/player_state.h"
#include "platform/calendar.h"
#include "platform/clock.h"
#include "platform/url_opener.h"
#include "scene/scene_commands.h"
#include "script/media_port.h"
#include "script/save_port.h"
#include "script/screen_port.h"
#include "storage/tp_random.h"

namespace kivo {

// The running interpreter as the system functions see it: the game's files and the call
// stack. Implemented by the interpreter, which puts itself into the context it evaluates with.
class InterpreterPort {
  public:
    virtual ~InterpreterPort() = default;
    // Whether the virtual file system holds the name; no data disc is asked for.
    [[nodiscard]] virtual bool FileExists(std::string_view name) = 0;
    // Whether the file can be had, asking for the data disc that holds it.
    [[nodiscard]] virtual bool FileAvailable(std::string_view name) = 0;
    // The bytes of an available file; raises the missing-file error.
    [[nodiscard]] virtual std::vector<uint8_t> LoadFile(std::string_view name) = 0;
    // Forgets frame n of the call stack (0 the oldest) with the local variables of its level;
    // false when there is no such frame.
    virtual bool DeleteStackFrame(int32_t n) = 0;
};

class TDBManager;

struct ScriptContext {
    PlayerState& player;
    // The platform's millisecond clock and local calendar (a headless run's move with game
    // time).
    Clock& clock;
    Calendar& calendar;
    // The process random generator, seeded at start-up.
    TProcessRandom& random;
    SceneCommands& scene;
    MediaPort& media;
    SavePort& saves;
    // Where OpenUrl hands web addresses: the desktop's browser, or a log in headless runs.
    UrlOpener& urls;
    // The scripts' data tables with their active table, owned by the Player; null where no
    // game runs (the table functions then refuse to run).
    TDBManager* tables = nullptr;
    // Set by the interpreter for the expressions it evaluates; null elsewhere.
    InterpreterPort* interpreter = nullptr;
    // The display modes, the desktop and the game's folders for the screen functions; null
    // where no player runs.
    ScreenPort* screen = nullptr;
};

}  // namespace kivo
