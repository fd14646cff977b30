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

#include "base/player_state.h"
#include "platform/calendar.h"
#include "platform/clock.h"
#include "scene/scene_commands.h"
#include "script/media_port.h"
#include "script/save_port.h"
#include "storage/tp_random.h"

namespace kivo {

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
};

}  // namespace kivo
