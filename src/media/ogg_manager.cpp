#include "media/ogg_manager.h"

#include <algorithm>
#include <exception>

#include "base/error.h"
#include "base/sjis.h"

namespace kivo {

namespace {

constexpr std::string_view kBadSoundData = "サウンドデータが不正です";

bool HasOggExtension(std::string_view fileName) {
    return fileName.size() >= 4 &&
           sjis::ToLowerAscii(fileName.substr(fileName.size() - 4)) == ".ogg";
}

}  // namespace

TCustomOggItem::TCustomOggItem(TOggManager& manager, std::string_view fileName)
    : manager_(manager),
      fileName_(fileName),
      isOgg_(HasOggExtension(fileName)),
      stream_(OpenMediaFile(manager.Files(), fileName)) {}

// ---------------------------------------------------------------------------------------------
// TOggItem

TOggItem::TOggItem(TOggManager& manager, std::string_view fileName)
    : TLibraryItem(manager, fileName) {
    Link(manager, manager.Library().Ogg(), manager.Library().OggmanAdd(stream_.get(), isOgg_),
         true);
}

TOggItem::~TOggItem() {
    // The library stops reading the stream before the item frees it.
    manager_.Library().OggmanDel(Handle());
}

// ---------------------------------------------------------------------------------------------
// TOggStream

TOggStream::TOggStream(SoundDecoder& decoder, std::string name)
    : decoder_(decoder),
      name_(std::move(name)),
      size_(decoder.FrameCount() * decoder.Format().blockAlign) {}

int64_t TOggStream::GetPosition() const {
    return decoder_.Position() * decoder_.Format().blockAlign;
}

void TOggStream::SetPosition(int64_t pos) {
    const int64_t frame = std::clamp<int64_t>(pos, 0, size_) / decoder_.Format().blockAlign;
    // The wave output positions the stream before every block; a decoder is only moved when
    // the block does not follow on.
    if (frame == decoder_.Position()) return;
    try {
        decoder_.Seek(frame);
    } catch (const KivoError&) {
    }
}

int64_t TOggStream::Read(void* buffer, int64_t count) {
    try {
        return decoder_.Read(static_cast<uint8_t*>(buffer), count);
    } catch (const KivoError&) {
        return 0;  // damaged data end the sound
    }
}

// ---------------------------------------------------------------------------------------------
// TOggWaveItem

TOggWaveItem::TOggWaveItem(TOggManager& manager, std::string_view fileName)
    : TCustomOggItem(manager, fileName) {
    MediaDecoderTable& decoders = manager.Library().OggStr();
    decoder_ = decoders.Add(stream_.get(), isOgg_);
    SoundDecoder* decoder = decoders.Decoder(decoder_);
    if (decoder == nullptr || !decoders.GetFormat(decoder_, format_)) {
        decoders.Del(decoder_);
        throw KivoError(fileName_, std::string(kBadSoundData));
    }
    wave_ = std::make_unique<TOggStream>(*decoder, fileName_);
    buffer_ = manager.WaveOutput().AddBuffer(format_, *wave_);
}

TOggWaveItem::~TOggWaveItem() {
    // The buffer goes first: the pump stops reading the decoder before it is freed.
    manager_.WaveOutput().RemoveBuffer(buffer_);
    wave_.reset();
    manager_.Library().OggStr().Del(decoder_);
}

int32_t TOggWaveItem::GainOf(int32_t volume) {
    return (std::max(volume, -5000) + 5000) * 256 / 5000;
}

void TOggWaveItem::SetVolume(int32_t volume) {
    volume_ = volume;
    buffer_->SetGain(GainOf(volume));
}

int64_t TOggWaveItem::BytesPerSecond() const {
    return std::max<int64_t>(
        int64_t{format_.channels} * format_.bitsPerSample * format_.samplesPerSec / 8, 1);
}

int32_t TOggWaveItem::GetPosition() {
    return static_cast<int32_t>(
        std::min<int64_t>(buffer_->GetBytePosition() * 1000 / BytesPerSecond(), INT32_MAX));
}

void TOggWaveItem::SetPosition(int32_t ms) {
    // Rounded to the nearest byte, then floored to a whole frame by the buffer.
    buffer_->SetBytePosition((int64_t{std::max(ms, 0)} * BytesPerSecond() + 500) / 1000);
}

int32_t TOggWaveItem::GetLength() {
    return static_cast<int32_t>(
        std::min<int64_t>(wave_->GetSize() * 1000 / BytesPerSecond(), INT32_MAX));
}

bool TOggWaveItem::IsEnd() {
    if (!buffer_->IsEnded()) return false;
    if (!buffer_->GetLoop()) return true;
    buffer_->SetBytePosition(0);
    buffer_->Play();
    return false;
}

bool TOggWaveItem::IsPlaying() {
    return buffer_->IsPlaying() && !buffer_->IsEnded();
}

void TOggWaveItem::Play() {
    if (!manager_.Active()) {
        playRequested = true;
        return;
    }
    playRequested = false;
    buffer_->Play();
}

void TOggWaveItem::Pause() {
    playRequested = false;
    buffer_->Pause();
}

// ---------------------------------------------------------------------------------------------
// TOggManager

TOggManager::TOggManager(MediaLibrary& library, TVrFileManager& files, bool directSound,
                         int32_t soundDelay, Clock& clock, bool pumpThread)
    : library_(library),
      files_(files),
      directSound_(directSound),
      waveOutput_(clock, soundDelay, pumpThread) {
    library_.Mixer().AddSource(waveOutput_);
}

TOggManager::~TOggManager() {
    // Items release their buffers before the output stops, and the mixer lets go of the
    // output before it is destroyed.
    Clear();
    library_.Mixer().RemoveSource(waveOutput_);
    waveOutput_.Stop();
}

TDMediaItem* TOggManager::Add(std::string_view fileName) {
    if (directSound_) return Append(std::make_unique<TOggItem>(*this, fileName));
    (void)waveOutput_.Start();  // false when it is running already
    return Append(std::make_unique<TOggWaveItem>(*this, fileName));
}

}  // namespace kivo
