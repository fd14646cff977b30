#pragma once
// What the scene's sound and movie objects ask of the media layer, which lies above the scene:
// an item for a sound file from the manager its type goes to, its release, whether the game
// holds a file, the game's sound switch and the MIDI ports. The media layer implements
// SceneMedia and hands it to the scene root once its managers exist; until then (and in tests
// without media) no sound plays.
//
// Everything runs on the main thread. Levels are attenuations in hundredths of a decibel
// (-10000 silent to 0 full), pans -10000 (left) to 10000 (right), times milliseconds.

#include <cstdint>
#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "base/rect.h"

namespace kivo {

// A playing sound or piece of music as the scene drives it.
class SoundItem {
  public:
    virtual ~SoundItem() = default;

    [[nodiscard]] virtual bool GetLoop() = 0;
    virtual void SetLoop(bool loop) = 0;
    [[nodiscard]] virtual int32_t GetPan() = 0;
    [[nodiscard]] virtual int32_t GetVolume() = 0;
    virtual void SetPan(int32_t pan) = 0;
    virtual void SetVolume(int32_t volume) = 0;
    [[nodiscard]] virtual int32_t GetPosition() = 0;
    virtual void SetPosition(int32_t ms) = 0;
    [[nodiscard]] virtual int32_t GetLength() = 0;
    // True once per end: the report is cleared by reading it.
    [[nodiscard]] virtual bool IsEnd() = 0;
    [[nodiscard]] virtual bool IsPlaying() = 0;
    [[nodiscard]] virtual bool IsPaused() = 0;
    virtual void Play() = 0;
    virtual void Pause() = 0;

  protected:
    SoundItem() = default;
};

// An item handed out by SceneMedia, with whether it is MIDI music (whose levels scale
// linearly, where every other item's follow the decibel curve).
struct SoundItemRef {
    SoundItem* item = nullptr;
    bool midi = false;
};

// The pictures of a playing video, beside its SoundItem.
class VideoFrames {
  public:
    virtual ~VideoFrames() = default;

    // Decodes the frame due now; true when the picture changed.
    [[nodiscard]] virtual bool NeedPaint() = 0;
    // SourceWidth x SourceHeight pixels (B, G, R, X), rows top to bottom.
    [[nodiscard]] virtual std::span<const uint32_t> Frame() const = 0;
    [[nodiscard]] virtual int32_t SourceWidth() const = 0;
    [[nodiscard]] virtual int32_t SourceHeight() const = 0;
    // The overlay: where on the screen the video shows (rect), which part of the video in video
    // pixels (clip), and whether it shows at all.
    virtual void SetRect(const TRect& rect, const TRect& clip) = 0;
    virtual void SetVisible(bool visible) = 0;

  protected:
    VideoFrames() = default;
};

struct VideoItemRef {
    SoundItem* item = nullptr;
    VideoFrames* frames = nullptr;
};

class SceneMedia {
  public:
    virtual ~SceneMedia() = default;

    // Whether the game's files hold the name (sounds of missing files do not play).
    [[nodiscard]] virtual bool GameHasFile(std::string_view name) = 0;
    // A new item for the sound file; a null item when its type plays nothing. May raise
    // KivoError for data the item cannot play. The item stays valid until RemoveSound.
    [[nodiscard]] virtual SoundItemRef AddSound(std::string_view name) = 0;
    virtual void RemoveSound(SoundItem* item) = 0;

    // A new item for the video file (both parts null when no video plays): overlay says the
    // picture is shown over the scene rather than drawn as an image. Valid until RemoveVideo.
    [[nodiscard]] virtual VideoItemRef AddVideo(std::string_view /*name*/, bool /*overlay*/) {
        return {};
    }
    virtual void RemoveVideo(SoundItem* /*item*/) {}

    // The game's sound switch: off pauses every sound and piece of music until it is on again.
    virtual void SetSoundOn(bool on) = 0;

    // The MIDI output ports, the mapper first, and the one selected.
    [[nodiscard]] virtual std::vector<std::string> MidiPortNames() = 0;
    [[nodiscard]] virtual std::string MidiPort() = 0;
    virtual void SelectMidiPort(std::string_view name) = 0;
};

// A sound or movie object as the media commands drive it. Play states are the LP_ codes: 0
// playing, 1 fading in, 2 stopped, 3 fading out.
class MediaObject {
  public:
    virtual ~MediaObject() = default;

    [[nodiscard]] virtual int32_t PlayState() const = 0;
    // A fade runs over the object's fade time; stopping frees the object.
    virtual void SetPlayState(int32_t state) = 0;
    // Plays again from the start: position 0, not paused, not finished, fading in.
    virtual void Restart() = 0;
    [[nodiscard]] virtual const std::string& Source() const = 0;

  protected:
    MediaObject() = default;
};

}  // namespace kivo
