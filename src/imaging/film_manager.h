#pragma once
// TFilmManager: a film ("KivoCinema" and "KivoMotion" files) read into tracks, and put into its
// state at a frame (60 a second) on a stage. Three players use it: the cinema object, which
// plays a film in its own scene list or in the main scene; motions, which play a film on one
// existing object (motion mode); and particles that follow a motion film.
//
// A film file is hostile input: a damaged or truncated film loads as an empty film, and the
// reason, naming the file, is kept for the caller to report.

#include <algorithm>
#include <cstdint>
#include <memory>
#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "imaging/custom_frame_list.h"
#include "imaging/film_stage.h"

namespace kivo {

class TVrFileManager;

class TFilmManager {
  public:
    static constexpr int32_t kFramesPerSecond = 60;
    static constexpr int32_t kCurrentVersion = 108;

    TFilmManager() = default;
    // Removes every object the film made.
    ~TFilmManager();
    TFilmManager(const TFilmManager&) = delete;
    TFilmManager& operator=(const TFilmManager&) = delete;

    // ---- Reading. ----
    // Reads a film held in memory; filmName is its virtual name (names inside are relative to
    // its folder, and errors name it). With pictures, image-like tracks load their pictures;
    // without, they show none (motion mode drives an object that has its own). Returns false,
    // leaving an empty film, for anything but a whole film: an unknown signature or damaged
    // data. Any film read before is cleared first (its objects removed).
    bool LoadFromBytes(std::span<const uint8_t> data, std::string_view filmName,
                       TFilmPictureSource* pictures);
    // The same from the virtual file system; a missing file leaves an empty film.
    bool LoadFromFile(TVrFileManager& files, std::string_view filmName,
                      TFilmPictureSource* pictures);
    // Removes the film's objects and forgets the film.
    void Clear();
    // Why the last load gave an empty film, naming the file; empty after a good load.
    [[nodiscard]] const std::string& LoadError() const { return loadError_; }

    // ---- The film. ----
    [[nodiscard]] bool IsMotionFile() const { return motionFile_; }
    [[nodiscard]] int32_t Version() const { return version_; }
    [[nodiscard]] int32_t Width() const { return width_; }
    [[nodiscard]] int32_t Height() const { return height_; }
    [[nodiscard]] int32_t BackgroundColor() const { return backgroundColor_; }
    [[nodiscard]] bool Relative() const { return relative_; }
    [[nodiscard]] int32_t OriginX() const { return originX_; }
    [[nodiscard]] int32_t OriginY() const { return originY_; }
    [[nodiscard]] int32_t LoopStart() const { return loopStart_; }
    // The largest track end (start + length).
    [[nodiscard]] int32_t Duration() const { return duration_; }
    [[nodiscard]] const std::vector<std::unique_ptr<TCustomFrameList>>& Tracks() const {
        return tracks_;
    }
    // The image files of the tracks, in track order (preview menus list them).
    [[nodiscard]] std::vector<std::string> ImageNames() const;
    // A film with a transition track or a background colour plays in a scene list of its own;
    // any other plays its objects in the main scene.
    [[nodiscard]] bool NeedsOwnSceneList() const;

    // ---- Playback. ----
    // Where the objects are made; the stage must outlive the film's objects (Clear or the
    // destructor removes them through it). ownSceneList tells whether the stage is a scene
    // list of the film's own, whose layers the transition tracks drive.
    void SetStage(TFilmStage* stage, bool ownSceneList);
    // Motion mode: the film drives object, which stood at (startX, startY) when the motion
    // started; with the film's relative flag, positions are shifted by that point less the
    // film's origin. Nothing is created or removed.
    void SetMotionMode(TFilmObjectId object, int32_t startX, int32_t startY);
    [[nodiscard]] bool MotionMode() const { return motionMode_; }

    // Puts every track's object into its state at frame, then the layers.
    void ApplyFrame(int32_t frame);
    // The frame applied last; -1 before the first.
    [[nodiscard]] int32_t CurrentFrame() const { return currentFrame_; }

    // Cleared while the player is paused; sound tracks follow it.
    void SetRunning(bool running) { running_ = running; }
    [[nodiscard]] bool Running() const { return running_; }
    // Passed to every object the film drives (as its animation pause).
    void SetPaused(bool paused);
    [[nodiscard]] bool Paused() const { return paused_; }
    // The film's volume, 1000 = full; negative values count as 0.
    void SetVolume(int32_t volume) { volume_ = std::max(volume, 0); }
    [[nodiscard]] int32_t Volume() const { return volume_; }

  private:
    void Read(std::span<const uint8_t> data, std::string_view filmName);
    void Link(TFilmPictureSource* pictures);
    void ResolveParents();
    void ComputeChainStarts();
    void ComputeLayers();
    [[nodiscard]] TFilmPlayback Playback() const;
    void ApplyTracks(const TFilmPlayback& playback, int32_t frame);
    void ApplyTransitions(int32_t frame);
    void RemoveObjects();

    std::vector<std::unique_ptr<TCustomFrameList>> tracks_;
    bool motionFile_ = false;
    int32_t version_ = 0;
    int32_t width_ = 0;
    int32_t height_ = 0;
    int32_t backgroundColor_ = -1;
    bool relative_ = false;
    int32_t originX_ = 0;
    int32_t originY_ = 0;
    int32_t loopStart_ = 0;
    int32_t duration_ = 0;
    std::string loadError_;

    TFilmStage* stage_ = nullptr;
    bool ownSceneList_ = false;
    bool motionMode_ = false;
    TFilmObjectId driven_ = kNoFilmObject;
    int32_t motionStartX_ = 0;
    int32_t motionStartY_ = 0;
    int32_t currentFrame_ = -1;
    const TWipeFrameList* lastWipe_ = nullptr;
    bool running_ = true;
    bool paused_ = false;
    int32_t volume_ = 1000;
    // Scratch of ApplyFrame: whether a shared chain object is wanted at the frame, by track.
    std::vector<uint8_t> chainActive_;
};

}  // namespace kivo
