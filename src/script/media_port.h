#pragma once
// What the media commands ask of the sound and movie objects: play again from the start
// (MediaPlay), read and set the play state (Sound and Movie after their properties, MovieStop's
// fades), whether an object's source can play (MovieStop), and the set-up of a property motion
// (PropMotion). The objects are scene objects, found and created through SceneCommands; the
// media layer implements this interface over them. Without it the player puts a stand-in in
// its place for which no object is a media object.
//
// All calls are made on the main thread by commands while the interpreter runs. Play states are
// the LP_ codes: 0 playing, 1 fading in, 2 stopped, 3 fading out.

#include <cstdint>
#include <optional>

#include "scene/kivo_prop_motion.h"
#include "scene/object_handle.h"

namespace kivo {

class MediaPort {
  public:
    virtual ~MediaPort() = default;

    // Plays the sound or movie again from its start.
    virtual void PlayFromStart(ObjectHandle object) = 0;
    // The play state, or nothing when the object is gone or plays no media.
    [[nodiscard]] virtual std::optional<int32_t> PlayState(ObjectHandle object) const = 0;
    // Sets the play state; a fade runs over the object's fade time (PR_DELAY).
    virtual void SetPlayState(ObjectHandle object, int32_t state) = 0;
    // Whether the object's source is a CD track or a file the game holds.
    [[nodiscard]] virtual bool SourceAvailable(ObjectHandle object) const = 0;
    // Gives a property motion its target, property, end, duration, curve and pause.
    virtual void SetUpMotion(ObjectHandle motion, const PropMotionSetup& setup) = 0;
};

// Media of a player whose media layer does not exist: no object plays.
class NullMediaPort final : public MediaPort {
  public:
    void PlayFromStart(ObjectHandle) override {}
    [[nodiscard]] std::optional<int32_t> PlayState(ObjectHandle) const override { return {}; }
    void SetPlayState(ObjectHandle, int32_t) override {}
    [[nodiscard]] bool SourceAvailable(ObjectHandle) const override { return false; }
    void SetUpMotion(ObjectHandle, const PropMotionSetup&) override {}
};

}  // namespace kivo
