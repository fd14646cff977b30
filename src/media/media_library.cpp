#include "media/media_library.h"

#include <algorithm>
#include <limits>

#include "base/error.h"
#include "storage/stream.h"

namespace kivo {

namespace {

// Handles count up from 1 and skip 0 when they wrap, so a handle is never mistaken for "none".
int32_t NextHandle(int32_t& next) {
    const int32_t h = next;
    next = next == INT32_MAX ? 1 : next + 1;
    return h;
}

int32_t ClampToInt32(int64_t value) {
    return static_cast<int32_t>(std::clamp<int64_t>(value, std::numeric_limits<int32_t>::min(),
                                                    std::numeric_limits<int32_t>::max()));
}

// The formats the wave output converts by itself.
bool WaveOutputReads(const WaveFormat& format) {
    return (format.channels == 1 || format.channels == 2) &&
           (format.bitsPerSample == 8 || format.bitsPerSample == 16) &&
           (format.samplesPerSec == 44100 || format.samplesPerSec == 22050);
}

}  // namespace

// ---------------------------------------------------------------------------------------------
// MediaItemTable

int32_t MediaItemTable::Add(std::unique_ptr<SoundDecoder> decoder,
                            std::unique_ptr<VideoDecoder> video) {
    const int32_t h = NextHandle(nextHandle_);
    Item& item = items_[h];
    // A video without sound still has a voice: it carries the end of a failed video too.
    if (decoder || !video) item.voice = mixer_.AddVoice(std::move(decoder));
    item.video = std::move(video);
    return h;
}

void MediaItemTable::Del(int32_t h) {
    const auto it = items_.find(h);
    if (it == items_.end()) return;
    mixer_.RemoveVoice(it->second.voice);
    items_.erase(it);
}

void MediaItemTable::Clear() {
    for (auto& [h, item] : items_)
        mixer_.RemoveVoice(item.voice);
    items_.clear();
}

MediaItemTable::Item* MediaItemTable::Find(int32_t h) {
    const auto it = items_.find(h);
    return it == items_.end() ? nullptr : &it->second;
}

const MediaItemTable::Item* MediaItemTable::Find(int32_t h) const {
    const auto it = items_.find(h);
    return it == items_.end() ? nullptr : &it->second;
}

int64_t MediaItemTable::FramesOf(int64_t ms) const {
    return ms * mixer_.SampleRate() / 1000;
}

int32_t MediaItemTable::MsOf(int64_t frames) const {
    return ClampToInt32(frames * 1000 / mixer_.SampleRate());
}

int64_t MediaItemTable::VideoLength(const Item& item) const {
    return item.video ? item.video->DurationMs() : 0;
}

int64_t MediaItemTable::VideoPosition(const Item& item) const {
    int64_t position = item.stoppedAt;
    if (item.running && !item.paused && !item.suspended)
        position = static_cast<uint32_t>(clock_.NowMs() - item.startClock);
    const int64_t length = VideoLength(item);
    if (length <= 0) return position;
    return item.repeat ? position % length : std::min(position, length);
}

void MediaItemTable::Play(int32_t h) {
    Item* item = Find(h);
    if (item == nullptr) return;
    if (item->voice) item->voice->Play();
    if (!item->video) return;
    if (IsEnd(h)) item->stoppedAt = 0;
    if (!item->running || item->paused) {
        item->startClock = clock_.NowMs() - static_cast<uint32_t>(item->stoppedAt);
    }
    item->running = true;
    item->paused = false;
}

void MediaItemTable::Pause(int32_t h) {
    Item* item = Find(h);
    if (item == nullptr) return;
    if (item->voice) item->voice->Pause();
    if (!item->video) return;
    if (!item->paused) item->stoppedAt = VideoPosition(*item);
    item->paused = true;
}

bool MediaItemTable::IsPlaying(int32_t h) const {
    const Item* item = Find(h);
    if (item == nullptr) return false;
    if (item->video) return item->running && !item->paused && !IsEnd(h);
    return item->voice->IsPlaying();
}

bool MediaItemTable::IsPaused(int32_t h) const {
    const Item* item = Find(h);
    if (item == nullptr) return false;
    return item->video ? item->paused : item->voice->IsPaused();
}

bool MediaItemTable::IsEnd(int32_t h) const {
    const Item* item = Find(h);
    if (item == nullptr) return true;
    if (!item->video) return item->voice->IsEnd();
    return !item->repeat && VideoPosition(*item) >= VideoLength(*item);
}

int32_t MediaItemTable::GetLen(int32_t h) const {
    const Item* item = Find(h);
    if (item == nullptr) return 0;
    return item->video ? ClampToInt32(VideoLength(*item)) : MsOf(item->voice->Length());
}

int32_t MediaItemTable::GetPosition(int32_t h) const {
    const Item* item = Find(h);
    if (item == nullptr) return 0;
    return item->video ? ClampToInt32(VideoPosition(*item)) : MsOf(item->voice->Position());
}

void MediaItemTable::SetPosition(int32_t h, int32_t ms) {
    Item* item = Find(h);
    if (item == nullptr) return;
    const int64_t position = std::max(ms, 0);
    if (item->voice) item->voice->SetPosition(FramesOf(position));
    if (!item->video) return;
    item->stoppedAt = std::min(position, std::max<int64_t>(VideoLength(*item), 0));
    item->startClock = clock_.NowMs() - static_cast<uint32_t>(item->stoppedAt);
}

int32_t MediaItemTable::GetVol(int32_t h) const {
    const Item* item = Find(h);
    return item ? item->volume : 0;
}

void MediaItemTable::SetVol(int32_t h, int32_t volume) {
    Item* item = Find(h);
    if (item == nullptr) return;
    item->volume = std::clamp(volume, -10000, 0);
    if (item->voice) item->voice->SetGains(AttenuationGains(item->volume, item->pan));
}

int32_t MediaItemTable::GetPan(int32_t h) const {
    const Item* item = Find(h);
    return item ? item->pan : 0;
}

void MediaItemTable::SetPan(int32_t h, int32_t pan) {
    Item* item = Find(h);
    if (item == nullptr) return;
    item->pan = std::clamp(pan, -10000, 10000);
    if (item->voice) item->voice->SetGains(AttenuationGains(item->volume, item->pan));
}

bool MediaItemTable::GetAutoRepeat(int32_t h) const {
    const Item* item = Find(h);
    if (item == nullptr) return false;
    return item->video ? item->repeat : item->voice->Loop();
}

void MediaItemTable::SetAutoRepeat(int32_t h, bool repeat) {
    Item* item = Find(h);
    if (item == nullptr) return;
    if (item->voice) item->voice->SetLoop(repeat);
    item->repeat = repeat;
}

bool MediaItemTable::NeedPaint(int32_t h) {
    Item* item = Find(h);
    if (item == nullptr || !item->video) return false;
    return item->video->ShowAt(VideoPosition(*item));
}

std::span<const uint32_t> MediaItemTable::Frame(int32_t h) const {
    const Item* item = Find(h);
    if (item == nullptr || !item->video) return {};
    return item->video->Pixels();
}

void MediaItemTable::SetRect(int32_t h, const TRect& rect, const TRect& clip) {
    if (Item* item = Find(h)) {
        item->rect = rect;
        item->clip = clip;
    }
}

TRect MediaItemTable::GetRect(int32_t h) const {
    const Item* item = Find(h);
    return item ? item->rect : TRect{};
}

bool MediaItemTable::GetVisible(int32_t h) const {
    const Item* item = Find(h);
    return item != nullptr && item->visible;
}

void MediaItemTable::SetVisible(int32_t h, bool visible) {
    if (Item* item = Find(h)) item->visible = visible;
}

int32_t MediaItemTable::GetSourceWidth(int32_t h) const {
    const Item* item = Find(h);
    return item && item->video ? item->video->Width() : 0;
}

int32_t MediaItemTable::GetSourceHeight(int32_t h) const {
    const Item* item = Find(h);
    return item && item->video ? item->video->Height() : 0;
}

void MediaItemTable::SuspendVideos() {
    for (auto& [h, item] : items_) {
        if (item.suspended || !item.running || item.paused) continue;
        item.stoppedAt = VideoPosition(item);
        item.suspended = true;
        if (item.voice) item.voice->Pause();
    }
}

void MediaItemTable::ResumeVideos() {
    for (auto& [h, item] : items_) {
        if (!item.suspended) continue;
        item.suspended = false;
        item.startClock = clock_.NowMs() - static_cast<uint32_t>(item.stoppedAt);
        if (item.voice) item.voice->Play();
    }
}

// ---------------------------------------------------------------------------------------------
// MediaDecoderTable

int32_t MediaDecoderTable::Add(TStream* stream, bool isOgg) {
    const int32_t h = NextHandle(nextHandle_);
    std::unique_ptr<SoundDecoder>& decoder = decoders_[h];
    if (codecs_ == nullptr || stream == nullptr) return h;
    try {
        decoder = codecs_->OpenSound(std::make_unique<BorrowedStream>(*stream),
                                     isOgg ? SoundContainer::Ogg : SoundContainer::Wave);
        if (!WaveOutputReads(decoder->Format()))
            decoder = codecs_->ToStereo16(std::move(decoder), 44100, stream->SourceName());
    } catch (const KivoError&) {
        decoder.reset();
    }
    return h;
}

SoundDecoder* MediaDecoderTable::Find(int32_t h) const {
    const auto it = decoders_.find(h);
    return it == decoders_.end() ? nullptr : it->second.get();
}

bool MediaDecoderTable::GetFormat(int32_t h, WaveFormat& format) const {
    const SoundDecoder* decoder = Find(h);
    format = decoder ? decoder->Format() : WaveFormat{};
    return decoder != nullptr;
}

int64_t MediaDecoderTable::Read(int32_t h, void* buffer, int64_t count) {
    SoundDecoder* decoder = Find(h);
    if (decoder == nullptr || count <= 0) return 0;
    try {
        return decoder->Read(static_cast<uint8_t*>(buffer), count);
    } catch (const KivoError&) {
        return 0;
    }
}

int64_t MediaDecoderTable::GetPos(int32_t h) const {
    const SoundDecoder* decoder = Find(h);
    return decoder ? decoder->Position() * decoder->Format().blockAlign : 0;
}

void MediaDecoderTable::SetPos(int32_t h, int64_t pos) {
    SoundDecoder* decoder = Find(h);
    if (decoder == nullptr) return;
    try {
        decoder->Seek(std::max<int64_t>(pos, 0) / decoder->Format().blockAlign);
    } catch (const KivoError&) {
    }
}

int64_t MediaDecoderTable::GetSize(int32_t h) const {
    const SoundDecoder* decoder = Find(h);
    return decoder ? decoder->FrameCount() * decoder->Format().blockAlign : 0;
}

int32_t MediaDecoderTable::GetLen(int32_t h) const {
    const SoundDecoder* decoder = Find(h);
    if (decoder == nullptr) return 0;
    return ClampToInt32(decoder->FrameCount() * 1000 / decoder->Format().samplesPerSec);
}

// ---------------------------------------------------------------------------------------------
// MediaLibrary

MediaLibrary::MediaLibrary(MediaCodecs* codecs, TSoundMixer& mixer, Clock& clock)
    : codecs_(codecs),
      mixer_(mixer),
      wmp_(mixer, clock),
      ogg_(mixer, clock),
      video_(mixer, clock),
      oggStr_(codecs) {}

void MediaLibrary::Init(bool useThread) {
    useThread_ = useThread;
    initialized_ = true;
}

void MediaLibrary::Final() {
    wmp_.Clear();
    ogg_.Clear();
    video_.Clear();
    oggStr_.Clear();
    initialized_ = false;
}

std::unique_ptr<SoundDecoder> MediaLibrary::OpenMixable(std::unique_ptr<TStream> stream,
                                                        SoundContainer container) {
    if (codecs_ == nullptr || stream == nullptr) return nullptr;
    const std::string name = stream->SourceName();
    try {
        return codecs_->ToStereo16(codecs_->OpenSound(std::move(stream), container),
                                   mixer_.SampleRate(), name);
    } catch (const KivoError&) {
        return nullptr;
    }
}

int32_t MediaLibrary::WmpmanAdd(std::span<const uint8_t> data, std::string_view fileName) {
    auto copy = std::make_unique<TTpMemoryStream>(std::vector<uint8_t>(data.begin(), data.end()),
                                                  std::string(fileName));
    return wmp_.Add(OpenMixable(std::move(copy), SoundContainer::Media));
}

int32_t MediaLibrary::OggmanAdd(TStream* stream, bool isOgg) {
    std::unique_ptr<TStream> borrowed;
    if (stream != nullptr) borrowed = std::make_unique<BorrowedStream>(*stream);
    return ogg_.Add(
        OpenMixable(std::move(borrowed), isOgg ? SoundContainer::Ogg : SoundContainer::Wave));
}

int32_t MediaLibrary::VidmanAdd(std::string_view, TStream* stream, bool, TStream* soundStream) {
    std::unique_ptr<VideoDecoder> video;
    std::unique_ptr<SoundDecoder> sound;
    if (codecs_ != nullptr && stream != nullptr) {
        try {
            video = codecs_->OpenVideo(std::make_unique<BorrowedStream>(*stream));
        } catch (const KivoError&) {
            video.reset();
        }
        // The two decoders read at different places of the file, each through its own
        // stream. A film without sound just has none.
        if (video && soundStream != nullptr) {
            sound =
                OpenMixable(std::make_unique<BorrowedStream>(*soundStream), SoundContainer::Media);
        }
    }
    return video_.Add(std::move(sound), std::move(video));
}

}  // namespace kivo
