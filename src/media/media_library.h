#pragma once
// The media library object: the Windows Media, Ogg/WAV player, Ogg/WAV decoder and video
// families that the media managers drive, with the operations the managers call on them.
// Items are 32-bit handles; 0 is never a valid handle.
//
// Sound items play as voices of the player's mixer; the decoders come from MediaCodecs (the
// media backend). A file that cannot be decoded still gives an item, which plays nothing and
// reports itself ended as soon as it is played, so a script that waits for it goes on. Video
// frames follow the clock the library is given (game time in headless runs).
//
// One object per player, created at start-up (Init) and finalised at shutdown (Final), used on
// the main thread only. Streams handed to the Ogg families are borrowed: they are read by the
// mixer's decoding thread until the item is deleted.

#include <cstdint>
#include <memory>
#include <span>
#include <string>
#include <string_view>
#include <unordered_map>

#include "base/rect.h"
#include "media/sound_decoder.h"
#include "media/sound_mixer.h"
#include "media/wave_format.h"
#include "platform/clock.h"

namespace kivo {

class TStream;

// A window message forwarded to a family's event pump.
struct MediaWindowEvent {
    uint32_t message = 0;
    uint64_t wParam = 0;
    uint64_t lParam = 0;
};

// The item operations the three playing families share (kivoWmpPlay, kivoOggPlay,
// kivoVideoPlay and the rest). Volumes are attenuations in hundredths of a decibel (-10000..0),
// pans -10000..10000, times in milliseconds. Unknown handles answer like an ended item.
class MediaItemTable {
  public:
    MediaItemTable(TSoundMixer& mixer, Clock& clock) : mixer_(mixer), clock_(clock) {}
    ~MediaItemTable() { Clear(); }
    MediaItemTable(const MediaItemTable&) = delete;
    MediaItemTable& operator=(const MediaItemTable&) = delete;

    // A sound item playing decoder (null: nothing to play), with the video when there is one.
    [[nodiscard]] int32_t Add(std::unique_ptr<SoundDecoder> decoder,
                              std::unique_ptr<VideoDecoder> video = nullptr);
    void Del(int32_t h);
    void Clear();
    [[nodiscard]] bool Has(int32_t h) const { return items_.contains(h); }
    [[nodiscard]] size_t Count() const { return items_.size(); }

    void Play(int32_t h);
    void Pause(int32_t h);
    [[nodiscard]] bool IsPlaying(int32_t h) const;
    [[nodiscard]] bool IsPaused(int32_t h) const;
    [[nodiscard]] bool IsEnd(int32_t h) const;
    [[nodiscard]] int32_t GetLen(int32_t h) const;
    [[nodiscard]] int32_t GetPosition(int32_t h) const;
    void SetPosition(int32_t h, int32_t ms);
    [[nodiscard]] int32_t GetVol(int32_t h) const;
    void SetVol(int32_t h, int32_t volume);
    [[nodiscard]] int32_t GetPan(int32_t h) const;
    void SetPan(int32_t h, int32_t pan);
    [[nodiscard]] bool GetAutoRepeat(int32_t h) const;
    void SetAutoRepeat(int32_t h, bool repeat);

    // Video only. NeedPaint decodes the frame due at the item's position and says whether the
    // picture changed; Frame gives it (source width x height pixels, B, G, R, X).
    [[nodiscard]] bool NeedPaint(int32_t h);
    [[nodiscard]] std::span<const uint32_t> Frame(int32_t h) const;
    void SetRect(int32_t h, const TRect& rect, const TRect& clip);
    [[nodiscard]] TRect GetRect(int32_t h) const;
    [[nodiscard]] bool GetVisible(int32_t h) const;
    void SetVisible(int32_t h, bool visible);
    [[nodiscard]] int32_t GetSourceWidth(int32_t h) const;
    [[nodiscard]] int32_t GetSourceHeight(int32_t h) const;

    // Every video pauses (focus lost) and resumes what it paused.
    void SuspendVideos();
    void ResumeVideos();

  private:
    struct Item {
        std::shared_ptr<TSoundVoice> voice;
        std::unique_ptr<VideoDecoder> video;
        int32_t volume = 0;
        int32_t pan = 0;
        bool visible = true;
        TRect rect;
        TRect clip;
        // Video timing: the clock reading at position 0 while running, else the position.
        bool running = false;
        bool paused = false;
        bool suspended = false;
        bool repeat = false;
        uint32_t startClock = 0;
        int64_t stoppedAt = 0;
    };
    [[nodiscard]] Item* Find(int32_t h);
    [[nodiscard]] const Item* Find(int32_t h) const;
    [[nodiscard]] int64_t VideoPosition(const Item& item) const;
    [[nodiscard]] int64_t VideoLength(const Item& item) const;
    [[nodiscard]] int64_t FramesOf(int64_t ms) const;
    [[nodiscard]] int32_t MsOf(int64_t frames) const;

    TSoundMixer& mixer_;
    Clock& clock_;
    std::unordered_map<int32_t, Item> items_;
    int32_t nextHandle_ = 1;
};

// The Ogg/WAV decoder family (kivoOggStr...): wave data read out by the wave output. A sound in
// a format the wave output converts itself (mono or stereo, 8 or 16 bits, 44100 or 22050 Hz)
// is read as it is; any other is converted to 16-bit stereo at 44100 Hz first. Positions and
// sizes are bytes of that wave data, in 64 bits.
class MediaDecoderTable {
  public:
    explicit MediaDecoderTable(MediaCodecs* codecs) : codecs_(codecs) {}

    // Opens the sound in stream (borrowed until Del); a sound that cannot be decoded gives a
    // handle whose GetFormat fails.
    [[nodiscard]] int32_t Add(TStream* stream, bool isOgg);
    void Del(int32_t h) { decoders_.erase(h); }
    void Clear() { decoders_.clear(); }
    [[nodiscard]] size_t Count() const { return decoders_.size(); }

    // Fills format and returns true when h decodes.
    [[nodiscard]] bool GetFormat(int32_t h, WaveFormat& format) const;
    // Reads up to count bytes of whole frames into buffer; the bytes read, 0 at the end or for
    // data that turn out damaged.
    [[nodiscard]] int64_t Read(int32_t h, void* buffer, int64_t count);
    [[nodiscard]] int64_t GetPos(int32_t h) const;
    // Moves to pos, floored to a whole frame.
    void SetPos(int32_t h, int64_t pos);
    [[nodiscard]] int64_t GetSize(int32_t h) const;
    [[nodiscard]] int32_t GetLen(int32_t h) const;

    // The decoder itself, for a reader on another thread (the wave output's pump), which must
    // not look handles up while the main thread adds others. Null for a failed handle.
    [[nodiscard]] SoundDecoder* Decoder(int32_t h) const { return Find(h); }

  private:
    [[nodiscard]] SoundDecoder* Find(int32_t h) const;

    MediaCodecs* codecs_;
    std::unordered_map<int32_t, std::unique_ptr<SoundDecoder>> decoders_;
    int32_t nextHandle_ = 1;
};

class MediaLibrary {
  public:
    // The interface version the managers were written against.
    static constexpr int32_t kVersion = 108;

    // codecs (null: nothing decodes), mixer and clock are borrowed for the library's life.
    MediaLibrary(MediaCodecs* codecs, TSoundMixer& mixer, Clock& clock);
    [[nodiscard]] int32_t Version() const { return kVersion; }

    // Called once by the shell's media start-up; useThread says whether streams may be
    // serviced by threads of their own.
    void Init(bool useThread);
    // Called once by the shell's shutdown, after the managers are gone; frees every item.
    void Final();
    [[nodiscard]] bool Initialized() const { return initialized_; }

    [[nodiscard]] MediaCodecs* Codecs() const { return codecs_; }
    [[nodiscard]] TSoundMixer& Mixer() const { return mixer_; }

    // Windows Media audio: the data are copied, so the caller may free them after the call.
    [[nodiscard]] int32_t WmpmanAdd(std::span<const uint8_t> data, std::string_view fileName = {});
    void WmpmanDel(int32_t h) { wmp_.Del(h); }
    void WmpmanRestore() {}
    void WmpmanProcessEvent(const MediaWindowEvent&) {}
    [[nodiscard]] MediaItemTable& Wmp() { return wmp_; }

    // The Ogg/WAV player. Without threads the frame step calls OggmanUpdate once per frame.
    [[nodiscard]] int32_t OggmanAdd(TStream* stream, bool isOgg);
    void OggmanDel(int32_t h) { ogg_.Del(h); }
    void OggmanRestore() {}
    void OggmanSetUseThread(bool useThread) { oggUseThread_ = useThread; }
    [[nodiscard]] bool OggmanUseThread() const { return oggUseThread_; }
    void OggmanUpdate() {}
    [[nodiscard]] MediaItemTable& Ogg() { return ogg_; }

    [[nodiscard]] MediaDecoderTable& OggStr() { return oggStr_; }

    // Video: fileName names the source for messages; stream is borrowed until VidmanDel, and so
    // is soundStream, a second stream over the same file from which the film's sound is read
    // (null: the film plays without sound).
    [[nodiscard]] int32_t VidmanAdd(std::string_view fileName, TStream* stream, bool flag,
                                    TStream* soundStream = nullptr);
    void VidmanDel(int32_t h) { video_.Del(h); }
    void VidmanSuspend() { video_.SuspendVideos(); }
    void VidmanResume() { video_.ResumeVideos(); }
    void VidmanProcessEvent(const MediaWindowEvent&) {}
    [[nodiscard]] MediaItemTable& Video() { return video_; }

    // A sound from stream (borrowed) as a voice-ready decoder at the mix's rate; null when it
    // cannot be decoded.
    [[nodiscard]] std::unique_ptr<SoundDecoder> OpenMixable(std::unique_ptr<TStream> stream,
                                                            SoundContainer container);

  private:
    MediaCodecs* codecs_;
    TSoundMixer& mixer_;
    bool initialized_ = false;
    bool useThread_ = false;
    bool oggUseThread_ = false;
    MediaItemTable wmp_;
    MediaItemTable ogg_;
    MediaItemTable video_;
    MediaDecoderTable oggStr_;
};

}  // namespace kivo
