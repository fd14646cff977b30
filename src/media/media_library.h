#pragma once
// The media library object: the Windows Media, Ogg/WAV player, Ogg/WAV decoder and video
// families that the media managers drive, with the operations the managers call on them.
// Items are 32-bit handles; 0 is never a valid handle.
//
// Decoding is not in yet. Until it is, every item accepts its settings and reads them back,
// plays nothing and reports itself ended (IsEnd true, IsPlaying false, length 0), so a script
// that waits for a sound or a video to finish goes on at once instead of waiting for ever.
// Decoders report no format and read nothing.
//
// One object per player, created at start-up (Init) and finalised at shutdown (Final), used on
// the main thread only. When streaming threads arrive, their reads of TStream objects are
// serialised by one lock held by this object.

#include <cstdint>
#include <span>
#include <string>
#include <string_view>
#include <unordered_map>

#include "base/rect.h"

namespace kivo {

class TStream;

// The format record of decoded wave data, laid out as the managers expect it.
struct WaveFormat {
    uint16_t formatTag = 0;
    uint16_t channels = 0;
    uint32_t samplesPerSec = 0;
    uint32_t avgBytesPerSec = 0;
    uint16_t blockAlign = 0;
    uint16_t bitsPerSample = 0;
};

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
    [[nodiscard]] int32_t Add();
    void Del(int32_t h) { items_.erase(h); }
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

    // Video only: the panel rectangle, visibility and picture size.
    [[nodiscard]] bool NeedPaint(int32_t h) const;
    void SetRect(int32_t h, const TRect& rect, const TRect& clip);
    [[nodiscard]] bool GetVisible(int32_t h) const;
    void SetVisible(int32_t h, bool visible);
    [[nodiscard]] int32_t GetSourceWidth(int32_t h) const;
    [[nodiscard]] int32_t GetSourceHeight(int32_t h) const;

  private:
    struct Item {
        bool paused = false;
        int32_t volume = 0;
        int32_t pan = 0;
        bool autoRepeat = false;
        bool visible = true;
        TRect rect;
        TRect clip;
    };
    [[nodiscard]] Item* Find(int32_t h);
    [[nodiscard]] const Item* Find(int32_t h) const;

    std::unordered_map<int32_t, Item> items_;
    int32_t nextHandle_ = 1;
};

// The Ogg/WAV decoder family (kivoOggStr...): wave data read out by the wave output.
class MediaDecoderTable {
  public:
    [[nodiscard]] int32_t Add(TStream* stream, bool isOgg);
    void Del(int32_t h) { decoders_.erase(h); }
    [[nodiscard]] size_t Count() const { return decoders_.size(); }

    // Fills format and returns true when h decodes; false while decoding is not in.
    [[nodiscard]] bool GetFormat(int32_t h, WaveFormat& format) const;
    // Reads up to count bytes of wave data into buffer; returns the bytes read (0 at the end).
    [[nodiscard]] int32_t Read(int32_t h, void* buffer, int32_t count);
    [[nodiscard]] int32_t GetPos(int32_t h) const;
    void SetPos(int32_t h, int32_t pos);
    [[nodiscard]] int32_t GetSize(int32_t h) const;
    [[nodiscard]] int32_t GetLen(int32_t h) const;

  private:
    struct Decoder {
        TStream* stream = nullptr;  // borrowed: the caller keeps it alive until Del
        bool isOgg = false;
    };
    std::unordered_map<int32_t, Decoder> decoders_;
    int32_t nextHandle_ = 1;
};

class MediaLibrary {
  public:
    // The interface version the managers were written against.
    static constexpr int32_t kVersion = 108;
    [[nodiscard]] int32_t Version() const { return kVersion; }

    // Called once by the shell's media start-up; useThread says whether streams may be
    // serviced by threads of their own.
    void Init(bool useThread);
    // Called once by the shell's shutdown, after the managers are gone; frees every item.
    void Final();
    [[nodiscard]] bool Initialized() const { return initialized_; }

    // Windows Media audio: the data are copied, so the caller may free them after the call.
    [[nodiscard]] int32_t WmpmanAdd(std::span<const uint8_t> data);
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

    // Video: fileName names the source for messages; stream is borrowed until VidmanDel.
    [[nodiscard]] int32_t VidmanAdd(std::string_view fileName, TStream* stream, bool flag);
    void VidmanDel(int32_t h) { video_.Del(h); }
    void VidmanSuspend() {}
    void VidmanResume() {}
    void VidmanProcessEvent(const MediaWindowEvent&) {}
    [[nodiscard]] MediaItemTable& Video() { return video_; }

  private:
    bool initialized_ = false;
    bool useThread_ = false;
    bool oggUseThread_ = false;
    MediaItemTable wmp_;
    MediaItemTable ogg_;
    MediaItemTable video_;
    MediaDecoderTable oggStr_;
};

}  // namespace kivo
