#pragma once
// What the shell needs from the project: its settings, the interpreter's run for a frame, the
// pending save or load, and closing it (exit page and status data). The project itself is the
// script engine's; the shell reaches it only through this interface, so that the frame loop
// can be driven by a test project as well.

#include <cstdint>
#include <functional>
#include <memory>
#include <string>

#include "script/variable_dump.h"

namespace kivo {

class Player;

class GameProject {
  public:
    virtual ~GameProject() = default;

    // The project title, CP932. Read by the shell at start-up and by the quit question.
    [[nodiscard]] virtual std::string Title() const = 0;
    // The scene size and the full-screen display size from the project file.
    [[nodiscard]] virtual int32_t ScreenWidth() const = 0;
    [[nodiscard]] virtual int32_t ScreenHeight() const = 0;
    [[nodiscard]] virtual int32_t FullScreenWidth() const = 0;
    [[nodiscard]] virtual int32_t FullScreenHeight() const = 0;
    // The code that unlocks the game's protected GAL pictures (0: none).
    [[nodiscard]] virtual int32_t IdentificationCode() const { return 0; }
    // True when the frame loop sleeps to the frame interval after each frame.
    [[nodiscard]] virtual bool FramePacing() const = 0;

    // The interpreter's run for this frame. Called once per frame step.
    virtual void RunFrame() = 0;
    // Serves a save or load that commands requested this frame; true when a game was loaded.
    // Called once per frame step, after the scene advanced.
    [[nodiscard]] virtual bool ServePendingSaveLoad() = 0;
    // Where the interpreter stands, kept for the variable dump.
    [[nodiscard]] virtual InterpreterPosition Position() const = 0;
    // Runs the exit page and stores the status data. Called once by the shutdown sequence,
    // right before the project is freed.
    virtual void Close() = 0;
};

// Creates the project for a player during start-up. It reports its own failures (dialogs) and
// sets the quit request; it may then return null.
using ProjectFactory = std::function<std::unique_ptr<GameProject>(Player&)>;

}  // namespace kivo
