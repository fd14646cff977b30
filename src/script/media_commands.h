#pragma once
// The commands that drive sound and movie objects and start property motions: MediaPlay plays
// an object again from its start, MovieStop stops one (at once, or fading out and optionally
// waiting for the fade), PropMotion makes a property-motion object. They reach the objects
// through the context's MediaPort and SceneCommands.

#include <cstdint>
#include <string>

#include "scene/object_handle.h"
#include "script/command.h"

namespace kivo {

// MediaPlay object.
class TComMediaPlay : public TCommand {
  public:
    TComMediaPlay() : TCommand(CommandCode::MediaPlay) {}
    void Load(CommandRecord& record) override;
    void Execute(TCallMan& man) override;

  private:
    TKivoParser object_;
};

// MovieStop object, fade time, wait, events-blocked. A fade time above 0 fades a playing object
// out over that time and, with wait, holds the script until the object has gone; otherwise
// the object stops and is deleted at once.
class TComMovieStop : public TCommand {
  public:
    TComMovieStop() : TCommand(CommandCode::MovieStop) {}
    void Load(CommandRecord& record) override;
    void Begin(TCallMan& man) override;
    void Execute(TCallMan& man) override;
    [[nodiscard]] bool BlocksEvents() const override { return eventsBlocked_; }
    [[nodiscard]] bool IsWaitPoint() const override { return wait_; }
    // The object waited for (by name), whether the stop waits, and the events-blocked flag.
    void SaveRunningState(ByteWriter& writer) const override;
    void RestoreRunningState(ByteReader& reader) override;

  private:
    TKivoParser object_;
    TKivoParser fadeTime_;
    TKivoParser waitExpr_;
    TKivoParser eventsBlockedExpr_;

    ObjectHandle target_;
    // The target's name while it fades; a restored stop finds its target again by it.
    std::string targetName_;
    bool wait_ = false;
    bool eventsBlocked_ = false;
};

// PropMotion name, object, property, value, duration, curve, paused.
class TComPropMotion : public TCommand {
  public:
    TComPropMotion() : TCommand(CommandCode::PropMotion) {}
    void Load(CommandRecord& record) override;
    void Execute(TCallMan& man) override;

  private:
    TKivoParser name_;
    TKivoParser object_;
    TKivoParser property_;
    TKivoParser value_;
    TKivoParser duration_;
    TKivoParser curve_;
    TKivoParser paused_;
};

}  // namespace kivo
