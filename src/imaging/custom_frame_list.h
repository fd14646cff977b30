#pragma once
// The tracks of a film: TCustomFrameList and one class per kind. A track holds the fields its
// file record gives, start and end values with their easing modes, and, once played, the
// object it drives. TFilmManager (film_manager.h) reads the tracks, links the chains and asks
// each active track to apply a frame.

#include <cstdint>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "base/byte_io.h"
#include "imaging/film_stage.h"
#include "imaging/film_tween.h"

namespace kivo {

// A start and an end value. A chained track starts from its parent's end values.
template <typename T>
struct TFilmPair {
    T Start{};
    T End{};
    void Read(ByteReader& reader);
    friend bool operator==(const TFilmPair&, const TFilmPair&) = default;
};

// A point eased in x and y by their own modes.
struct TFilmMove {
    TFilmPair<int32_t> X;
    TFilmPair<int32_t> Y;
    uint8_t ModeX = 0;
    uint8_t ModeY = 0;
};

// A clip rectangle eased by the modes of its block; a size below 1 in either direction at a
// frame means no clip then.
struct TFilmClip {
    TFilmPair<int32_t> Left, Top, Width, Height;
    uint8_t ModeX = 0;
    uint8_t ModeY = 0;
};

// How a file's fields are read: its version and the film's own virtual name, which the names
// inside are relative to.
struct TFilmReadContext {
    int32_t Version = 0;
    std::string_view FilmName;
};

// What a track needs to apply a frame, set by the film for each ApplyFrame.
struct TFilmPlayback {
    TFilmStage* Stage = nullptr;
    // Motion mode: the film drives one given object, placed by its motion position shifted by
    // (ShiftX, ShiftY), and nothing is created or removed.
    bool MotionMode = false;
    TFilmObjectId Driven = kNoFilmObject;
    int32_t ShiftX = 0;
    int32_t ShiftY = 0;
    int32_t Volume = 1000;
    bool Running = true;
    int32_t PreviousFrame = -1;
    int32_t Duration = 0;
    int32_t LoopStart = 0;
};

// Resolves a name found in the film against the film's folder: a name starting with "..\"
// climbs one folder of the film's path per "..\" (only when allowClimb; rule files of
// transitions do not), any other relative name is appended to the film's folder. Names that
// would reach outside the game's files (a leading '\' or '/', a drive letter and colon, or more
// climbs than the film's path has folders) resolve to the empty name, which no file has.
// Folder names are upper-cased (ASCII letters only), as the editor wrote them.
[[nodiscard]] std::string ResolveFilmName(std::string_view filmName, std::string_view name,
                                          bool allowClimb = true);

class TCustomFrameList {
  public:
    virtual ~TCustomFrameList() = default;
    TCustomFrameList() = default;
    TCustomFrameList(const TCustomFrameList&) = delete;
    TCustomFrameList& operator=(const TCustomFrameList&) = delete;

    // Makes the track of a kind byte's low seven bits; null for an unknown kind.
    [[nodiscard]] static std::unique_ptr<TCustomFrameList> Create(uint8_t kind);

    [[nodiscard]] virtual TFilmTrackKind Kind() const = 0;
    // Reads the base fields (times doubled for old versions), then the kind's fields.
    void Read(ByteReader& reader, const TFilmReadContext& context);
    // Takes the parent's end values as this track's start values.
    virtual void InheritStarts(const TCustomFrameList& parent) = 0;
    // Loads what the track shows; a track without a picture of its own is always ready.
    virtual void Prepare(TFilmPictureSource& /*pictures*/) {}
    // False once Prepare found a picture missing: the track has no frames and no object.
    [[nodiscard]] virtual bool HasFrames() const { return true; }
    // Whether the object of a chain belongs to its first track, shared by the followers.
    [[nodiscard]] virtual bool SharesChainObject() const { return false; }
    // Whether the track drives an object of the stage (transitions drive the layers).
    [[nodiscard]] virtual bool DrivesObject() const { return true; }
    // Whether the object sits on a layer chosen by the transitions.
    [[nodiscard]] virtual bool Layered() const { return false; }
    // Whether motion mode applies the track to the driven object.
    [[nodiscard]] virtual bool DrivesInMotionMode() const { return false; }
    // The image files the track shows (preview menus list them).
    virtual void AppendImageNames(std::vector<std::string>& /*names*/) const {}
    // Puts object into the state of frame (an active frame of this track).
    virtual void Apply(const TFilmPlayback& playback, int32_t frame, TFilmObjectId object) = 0;
    // Called once when the track made its object, before its first Apply.
    virtual void Created(const TFilmPlayback& /*playback*/, TFilmObjectId /*object*/) const {}
    // Called instead of removing the object when the track is inactive at frame; returns true
    // when it kept the object (a sound that has played pauses instead).
    virtual bool KeepInactive(const TFilmPlayback& /*playback*/, int32_t /*frame*/,
                              TFilmObjectId /*object*/) {
        return false;
    }

    [[nodiscard]] bool IsActive(int32_t frame) const {
        return Start <= frame && int64_t{frame} < End();
    }
    [[nodiscard]] int64_t End() const { return int64_t{Start} + Length; }
    // The easing position of frame.
    [[nodiscard]] TFilmSpan SpanAt(int32_t frame) const {
        return {int64_t{frame} - Start, int64_t{Length} + (HasFollower ? 1 : 0)};
    }

    // ---- Fields of the file, in file order. ----
    int32_t ParentIndex = -1;
    int32_t Length = 0;
    int32_t Reserved = 0;
    int32_t Start = 0;
    int32_t Cycle = 0;
    int32_t Priority = 0;
    bool FlipH = false;
    bool FlipV = false;
    bool OtherSide = false;

    // ---- Set when the film is read and linked. ----
    // The track's place in the film.
    int32_t TrackIndex = 0;
    // The parent, when it is of the same kind and the links make no cycle.
    TCustomFrameList* Parent = nullptr;
    // The first track of the chain (this one without a parent).
    TCustomFrameList* ChainFirst = this;
    bool HasFollower = false;
    // The layer of the object in a scene list of its own: the transitions' parity at the
    // track's start, flipped by OtherSide.
    int32_t Layer = 0;
    // The object this track made (or, for a shared chain object, the first track holds it).
    TFilmObjectId Object = kNoFilmObject;

  protected:
    virtual void ReadData(ByteReader& reader, const TFilmReadContext& context) = 0;
    // Sets left and top, or the motion position in motion mode.
    static void Place(const TFilmPlayback& playback, TFilmObjectId object, int32_t x, int32_t y);
    // Sets the priority, or the sub-priority in motion mode.
    void Order(const TFilmPlayback& playback, TFilmObjectId object) const;
    static void SetClip(const TFilmPlayback& playback, TFilmObjectId object, const TFilmClip& clip,
                        TFilmSpan span);
};

// The block image, tile and label tracks share: placement, rotation, zoom, alpha and clip.
class TImageLikeFrameList : public TCustomFrameList {
  public:
    int32_t AnchorX = 0;
    int32_t AnchorY = 0;
    TFilmMove Position;
    TFilmPair<int32_t> Angle;  // degrees
    // Zooms as 256 x the file's factor, truncated.
    TFilmPair<int32_t> ZoomX{256, 256};
    uint8_t ZoomXMode = 0;
    TFilmPair<int32_t> Alpha;
    uint8_t AngleMode = 0;
    TFilmClip Clip;
    TFilmPair<int32_t> ZoomY{256, 256};
    uint8_t ZoomYMode = 0;

    void InheritStarts(const TCustomFrameList& parent) override;
    [[nodiscard]] bool Layered() const override { return true; }
    [[nodiscard]] bool DrivesInMotionMode() const override { return true; }

  protected:
    void ReadImageBlock(ByteReader& reader, const TFilmReadContext& context);
    // Position, offset (anchor less the frame's offset), zoom, rotation, alpha, flips,
    // priority, clip and visibility.
    void ApplyPlacement(const TFilmPlayback& playback, TFilmObjectId object, TFilmSpan span,
                        int32_t frameOffsetX, int32_t frameOffsetY) const;
};

class TImageFrameList : public TImageLikeFrameList {
  public:
    std::string ImageFile;  // resolved virtual name

    [[nodiscard]] TFilmTrackKind Kind() const override { return TFilmTrackKind::Image; }
    void Prepare(TFilmPictureSource& pictures) override;
    [[nodiscard]] bool HasFrames() const override { return !prepared_ || picture_ != nullptr; }
    void AppendImageNames(std::vector<std::string>& names) const override;
    void Apply(const TFilmPlayback& playback, int32_t frame, TFilmObjectId object) override;

    // Frame durations in film frames, one per picture frame.
    [[nodiscard]] const std::vector<int32_t>& FrameDurations() const { return durations_; }
    // The picture frame shown at frame, by the frame durations over the cycle.
    [[nodiscard]] int32_t PictureFrameAt(int32_t frame) const;

  protected:
    void ReadData(ByteReader& reader, const TFilmReadContext& context) override;
    // The picture frame, placement and picture of frame; the tile and label kinds add theirs.
    void ApplyPicture(const TFilmPlayback& playback, int32_t frame, TFilmObjectId object);

  private:
    std::shared_ptr<const TFilmPicture> picture_;
    std::vector<int32_t> durations_;
    bool prepared_ = false;
};

class TTileFrameList : public TImageFrameList {
  public:
    TFilmPair<int32_t> Width, Height;
    TFilmPair<int32_t> ScrollX, ScrollY;
    uint8_t ScrollXMode = 0;
    uint8_t ScrollYMode = 0;
    int32_t SpacingX = 0;
    int32_t SpacingY = 0;

    [[nodiscard]] TFilmTrackKind Kind() const override { return TFilmTrackKind::Tile; }
    void InheritStarts(const TCustomFrameList& parent) override;
    void Apply(const TFilmPlayback& playback, int32_t frame, TFilmObjectId object) override;

  protected:
    void ReadData(ByteReader& reader, const TFilmReadContext& context) override;
};

class TLabelFrameList : public TImageLikeFrameList {
  public:
    std::string Text;
    bool AntiAlias = false;
    std::string FontName;
    int32_t FontHeight = 0;
    int32_t LineSpacing = 0;
    uint8_t FontStyle = 0;
    int32_t FontColor = 0;
    uint8_t HAlign = 0;

    [[nodiscard]] TFilmTrackKind Kind() const override { return TFilmTrackKind::Label; }
    void Apply(const TFilmPlayback& playback, int32_t frame, TFilmObjectId object) override;

  protected:
    void ReadData(ByteReader& reader, const TFilmReadContext& context) override;
};

class TBoxFrameList : public TCustomFrameList {
  public:
    TFilmMove Position;
    TFilmPair<int32_t> Alpha;
    TFilmPair<int32_t> Width{100, 100};
    TFilmPair<int32_t> Height{100, 100};
    TFilmPair<int32_t> Color;
    TFilmPair<int32_t> BorderWidth;
    TFilmPair<int32_t> BorderColor;
    TFilmClip Clip;

    [[nodiscard]] TFilmTrackKind Kind() const override { return TFilmTrackKind::Box; }
    void InheritStarts(const TCustomFrameList& parent) override;
    [[nodiscard]] bool DrivesInMotionMode() const override { return true; }
    void Apply(const TFilmPlayback& playback, int32_t frame, TFilmObjectId object) override;

  protected:
    void ReadData(ByteReader& reader, const TFilmReadContext& context) override;
};

class TFireFrameList : public TCustomFrameList {
  public:
    TFilmMove Position;
    TFilmPair<int32_t> Width, Height;
    TFilmClip Clip;
    TFilmPair<int32_t> ZoomX{1024, 1024};
    TFilmPair<int32_t> ZoomY{1024, 1024};
    uint8_t ZoomXMode = 0;
    uint8_t ZoomYMode = 0;
    int32_t Power = 100;

    [[nodiscard]] TFilmTrackKind Kind() const override { return TFilmTrackKind::Fire; }
    void InheritStarts(const TCustomFrameList& parent) override;
    [[nodiscard]] bool SharesChainObject() const override { return true; }
    void Apply(const TFilmPlayback& playback, int32_t frame, TFilmObjectId object) override;

  protected:
    void ReadData(ByteReader& reader, const TFilmReadContext& context) override;
};

class TParticleFrameList : public TCustomFrameList {
  public:
    std::string ImageFile;  // resolved; empty ends the record
    uint8_t Mode = 0;
    int32_t Index = 0;
    TFilmPair<int32_t> IntervalBase, IntervalRange;
    TFilmPair<int32_t> XBase, YBase, XRange, YRange;
    uint8_t XBaseMode = 0;
    uint8_t YBaseMode = 0;
    TFilmPair<double> Param0, Param1, Param2;
    TFilmMove Position;
    TFilmPair<int32_t> Width, Height;
    TFilmClip Clip;
    TFilmPair<int32_t> Alpha;

    [[nodiscard]] TFilmTrackKind Kind() const override { return TFilmTrackKind::Particle; }
    void InheritStarts(const TCustomFrameList& parent) override;
    // A track without a particle image makes no emitter.
    [[nodiscard]] bool HasFrames() const override { return !ImageFile.empty(); }
    [[nodiscard]] bool SharesChainObject() const override { return true; }
    void AppendImageNames(std::vector<std::string>& names) const override;
    void Apply(const TFilmPlayback& playback, int32_t frame, TFilmObjectId object) override;

  protected:
    void ReadData(ByteReader& reader, const TFilmReadContext& context) override;
};

class TWipeFrameList : public TCustomFrameList {
  public:
    TFilmTransition Transition;

    [[nodiscard]] TFilmTrackKind Kind() const override { return TFilmTrackKind::Wipe; }
    void InheritStarts(const TCustomFrameList& /*parent*/) override {}
    [[nodiscard]] bool DrivesObject() const override { return false; }
    void Apply(const TFilmPlayback& /*playback*/, int32_t /*frame*/,
               TFilmObjectId /*object*/) override {}

  protected:
    void ReadData(ByteReader& reader, const TFilmReadContext& context) override;
};

class TSoundFrameList : public TCustomFrameList {
  public:
    // A sound more than this far from where the film stands is moved there.
    static constexpr int64_t kResyncMs = 3000;

    std::string SoundFile;  // resolved; may be empty
    TFilmPair<int32_t> Volume, Balance;
    uint8_t VolumeMode = 0;
    uint8_t BalanceMode = 0;

    [[nodiscard]] TFilmTrackKind Kind() const override { return TFilmTrackKind::Sound; }
    void InheritStarts(const TCustomFrameList& parent) override;
    [[nodiscard]] bool SharesChainObject() const override { return true; }
    void Apply(const TFilmPlayback& playback, int32_t frame, TFilmObjectId object) override;
    bool KeepInactive(const TFilmPlayback& playback, int32_t frame, TFilmObjectId object) override;
    // The sound starts paused, and loops when it is shorter than the track or when the film
    // loops back into the track from its end.
    void Created(const TFilmPlayback& playback, TFilmObjectId object) const override;

  protected:
    void ReadData(ByteReader& reader, const TFilmReadContext& context) override;
};

// Frames of a film (60 a second) as milliseconds, in 64 bits.
[[nodiscard]] inline int64_t FilmFramesToMs(int64_t frames) {
    return frames * 1000 / 60;
}

}  // namespace kivo
