#pragma once
// What the media commands ask of the sound and movie objects: play again from the start
// (MediaPlay), read and set the play state (Sound and Movie after their properties, MovieStop's
// fades). The objects are scene objects, found and created through SceneCommands; their media
// items belong to the media layer, which implements this interface. Until it exists the
// player puts a stand-in in its place for which no object is a media object.
//
// All calls are made on the main thread by commands while the interpreter runs. Play states are
// the LP_ codes: 0 playing, 1 fading in, 2 stopped, 3 fading out.

#include <cstdint>
#include <optional>

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
};

// Media of a player whose media layer does not exist yet: no object plays.
class NullMediaPort final : public MediaPort {
  public:
    void PlayFromStart(ObjectHandle) override {}
    [[nodiscard]] std::optional<int32_t> PlayState(ObjectHandle) const override { return {}; }
    void SetPlayState(ObjectHandle, int32_t) override {}
};

}  // namespace kivo
