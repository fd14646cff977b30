#include "media/cdda_manager.h"

#include <algorithm>
#include <array>
#include <exception>

#include "storage/vr_loose_folder.h"

namespace kivo {

namespace {

constexpr int32_t kLastTrack = 99;

struct TrackFile {
    std::string_view extension;
    SoundContainer container;
};
constexpr std::array<TrackFile, 3> kTrackFiles = {{{".ogg", SoundContainer::Ogg},
                                                   {".flac", SoundContainer::Media},
                                                   {".wav", SoundContainer::Wave}}};

}  // namespace

std::optional<int32_t> CdTrackNumber(std::string_view name) {
    if (name.size() < 4 || name.substr(0, 3) != "CD_") return std::nullopt;
    int32_t track = 0;
    for (const char c : name.substr(3)) {
        if (c < '0' || c > '9' || track > kLastTrack) return std::nullopt;
        track = track * 10 + (c - '0');
    }
    if (track < 1 || track > kLastTrack) return std::nullopt;
    return track;
}

// ---------------------------------------------------------------------------------------------
// TCddaItem

TCddaItem::TCddaItem(TCddaManager& manager, std::optional<int32_t> track)
    : manager_(manager), track_(track) {}

TCddaItem::~TCddaItem() {
    if (manager_.Current() == this) manager_.SetCurrent(nullptr);
    manager_.Library().Mixer().RemoveVoice(voice_);
}

void TCddaItem::OpenVoice() {
    if (opened_) return;
    opened_ = true;
    // A missing track still gets a voice: it ends as soon as it plays.
    voice_ = manager_.Library().Mixer().AddVoice(track_ ? manager_.OpenTrack(*track_) : nullptr);
    voice_->SetLoop(loop_);
    SetVolume(volume_);
}

int64_t TCddaItem::VoiceSeconds() const {
    return voice_ ? voice_->Position() / manager_.Library().Mixer().SampleRate() : 0;
}

void TCddaItem::SetLoop(bool loop) {
    loop_ = loop;
    if (voice_) voice_->SetLoop(loop);
}

void TCddaItem::SetVolume(int32_t volume) {
    volume_ = volume;
    if (!voice_) return;
    const int32_t gain = (std::clamp(volume, -5000, 0) + 5000) * kUnityGain / 5000;
    voice_->SetGains({gain, gain});
}

int32_t TCddaItem::GetPosition() {
    if (manager_.Current() != this || paused_) return rememberedSeconds_ * 1000;
    return static_cast<int32_t>(VoiceSeconds() * 1000);
}

void TCddaItem::SetPosition(int32_t ms) {
    rememberedSeconds_ = std::max(ms, 0) / 1000;
    if (manager_.Current() == this && voice_ && !paused_) {
        voice_->SetPosition(int64_t{rememberedSeconds_} * manager_.Library().Mixer().SampleRate());
    }
}

int32_t TCddaItem::GetLength() {
    if (lengthMs_ > 0) return lengthMs_;
    OpenVoice();
    const int64_t seconds = voice_->Length() / manager_.Library().Mixer().SampleRate();
    lengthMs_ = static_cast<int32_t>(std::min<int64_t>(seconds, INT32_MAX / 1000) * 1000);
    return lengthMs_;
}

bool TCddaItem::IsEnd() {
    return manager_.Current() == this && voice_ && voice_->IsEnd();
}

bool TCddaItem::IsPlaying() {
    return manager_.Current() == this && voice_ && voice_->IsPlaying();
}

void TCddaItem::Play() {
    if (!manager_.Active()) {
        playRequested = true;
        return;
    }
    playRequested = false;
    OpenVoice();
    if (TCddaItem* other = manager_.Current(); other != nullptr && other != this)
        other->StopForOther();
    manager_.SetCurrent(this);
    paused_ = false;
    voice_->SetLoop(loop_);
    voice_->SetPosition(int64_t{rememberedSeconds_} * manager_.Library().Mixer().SampleRate());
    voice_->Play();
}

void TCddaItem::Pause() {
    playRequested = false;
    if (manager_.Current() == this && voice_ && !paused_) {
        rememberedSeconds_ = static_cast<int32_t>(std::max<int64_t>(VoiceSeconds() - 1, 0));
        voice_->Pause();
    }
    paused_ = true;
}

void TCddaItem::StopForOther() {
    if (voice_) voice_->Pause();
    if (manager_.Current() == this) manager_.SetCurrent(nullptr);
}

// ---------------------------------------------------------------------------------------------
// TCddaManager

TDMediaItem* TCddaManager::Add(std::string_view name) {
    return Append(std::make_unique<TCddaItem>(*this, CdTrackNumber(name)));
}

std::unique_ptr<SoundDecoder> TCddaManager::OpenTrack(int32_t track) {
    if (!discsListed_) {
        // The discs are looked for once, before the first track is needed.
        files_.RefreshDiscRoots();
        discsListed_ = true;
    }
    std::vector<std::filesystem::path> roots;
    if (!files_.Folder().empty()) roots.push_back(files_.Folder());
    for (const auto& disc : files_.DiscRoots())
        roots.push_back(disc);
    const std::string stem =
        std::string("cdda\\track") + (track < 10 ? "0" : "") + std::to_string(track);
    for (const auto& root : roots) {
        const TVrLooseFolder folder(root);
        for (const TrackFile& file : kTrackFiles) {
            const auto path = folder.Find(stem + std::string(file.extension));
            if (!path) continue;
            try {
                if (auto decoder = library_.OpenMixable(std::make_unique<TFileRangeStream>(*path),
                                                        file.container)) {
                    return decoder;
                }
            } catch (const std::exception&) {
                // A file that cannot be opened: the next place is tried.
            }
        }
    }
    return nullptr;
}

}  // namespace kivo
