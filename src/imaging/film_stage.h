#pragma once
// What a film needs from the world it plays in, owned here so that the film layer never sees
// the scene. A film (film_manager.h) drives scene objects and screen transitions through a
// TFilmStage, and learns the frames of its pictures through a TFilmPictureSource; the scene
// implements both (a cinema's own scene list, the main scene, or one object run as a motion),
// and the tests implement them with recording fakes.
//
// Objects are named by TFilmObjectId, a value the stage hands out and resolves again on every
// call, so that an object the scene has already destroyed is simply ignored instead of being
// reached through a stale pointer. All calls come from the main thread, inside the frame step.

#include <cstdint>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "imaging/property_id.h"

namespace kivo {

// The kind byte of a track (its low seven bits).
enum class TFilmTrackKind : uint8_t {
    Image = 0,
    Label = 1,
    Box = 2,
    Wipe = 3,
    Sound = 4,
    Tile = 5,
    Particle = 6,
    Fire = 7,
};
inline constexpr int kFilmTrackKindCount = 8;

// An object of the stage; 0 is none.
using TFilmObjectId = uint64_t;
inline constexpr TFilmObjectId kNoFilmObject = 0;

// One frame of a picture as a film track uses it.
struct TFilmPictureFrame {
    int32_t DelayMs = 100;
    // Where the frame's pixels sit inside the whole picture (trimmed frames).
    int32_t OffsetX = 0;
    int32_t OffsetY = 0;
};

// A picture a track shows, held for as long as the film lives (the scene's implementation
// keeps its image cache entry in use through it).
class TFilmPicture {
  public:
    virtual ~TFilmPicture() = default;
    [[nodiscard]] virtual const std::vector<TFilmPictureFrame>& Frames() const = 0;
};

class TFilmPictureSource {
  public:
    virtual ~TFilmPictureSource() = default;
    // The picture of a virtual file name, or null when there is no such file: a missing
    // picture gives its track no frames (the image cache's transparent stand-in is never
    // asked for).
    [[nodiscard]] virtual std::shared_ptr<const TFilmPicture> Acquire(std::string_view name) = 0;
};

// The emission record a particle track hands its emitter each frame.
struct TFilmEmission {
    int32_t XBase = 0;
    int32_t YBase = 0;
    int32_t XRange = 0;
    int32_t YRange = 0;
    int32_t IntervalBase = 0;
    int32_t IntervalRange = 0;
    friend bool operator==(const TFilmEmission&, const TFilmEmission&) = default;
};

// The transition a transition track runs.
struct TFilmTransition {
    int32_t Kind = 0;  // the WP_ code
    bool Flag = false;
    int32_t Param0 = 0;
    int32_t Param1 = 0;
    std::string RuleFile;  // virtual name, empty for none
};

class TFilmStage {
  public:
    virtual ~TFilmStage() = default;

    // ---- Objects. ----
    // Makes the object a track of the kind drives, visible, hidden from scripts and hit tests
    // and named uniquely by the stage. Sounds are always made in the main scene. layer is the
    // layer of a scene list of its own (0 or 1); a stage without layers ignores it. Returns
    // kNoFilmObject when nothing could be made.
    [[nodiscard]] virtual TFilmObjectId CreateObject(TFilmTrackKind kind, int32_t layer) = 0;
    // Removes an object made by CreateObject.
    virtual void RemoveObject(TFilmObjectId object) = 0;

    // Property writes and reads by PR id, as a script would make them. Booleans are 0 and 1.
    virtual void SetProperty(TFilmObjectId object, PropertyId id, int32_t value) = 0;
    virtual void SetFloatProperty(TFilmObjectId object, PropertyId id, double value) = 0;
    virtual void SetStringProperty(TFilmObjectId object, PropertyId id, std::string_view value) = 0;
    // 0 for an object that is gone.
    [[nodiscard]] virtual int32_t GetProperty(TFilmObjectId object, PropertyId id) = 0;

    // Shows frame index of a picture acquired from the film's picture source.
    virtual void SetPicture(TFilmObjectId object, const TFilmPicture& picture,
                            int32_t frameIndex) = 0;
    // Motion mode places the driven object by its motion position and orders it by its
    // sub-priority, leaving its own left, top and priority alone.
    virtual void SetMotionPosition(TFilmObjectId object, int32_t x, int32_t y) = 0;
    virtual void SetSubPriority(TFilmObjectId object, int32_t subPriority) = 0;
    // The emission record of a particle emitter.
    virtual void SetEmission(TFilmObjectId object, const TFilmEmission& emission) = 0;
    // Starts a paused or stopped sound playing from where it stands.
    virtual void PlaySound(TFilmObjectId object) = 0;

    // ---- The two layers of a scene list of its own. ----
    // Runs the transition at progress (0 to length); fresh when a new transition track took
    // over since the last frame.
    virtual void RunTransition(const TFilmTransition& transition, int32_t progress, int32_t length,
                               bool fresh) = 0;
    // No transition track is active any more.
    virtual void EndTransition() = 0;
    // Shows the layer the transitions have reached (0 or 1).
    virtual void ShowLayer(int32_t layer) = 0;
};

}  // namespace kivo
