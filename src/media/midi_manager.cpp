#include "media/midi_manager.h"

#include <algorithm>
#include <exception>

#include "base/error.h"

namespace kivo {

namespace {

std::vector<uint8_t> LoadOrEmpty(TVrFileManager& files, std::string_view fileName) {
    try {
        return files.Load(fileName);
    } catch (const std::exception&) {
        return {};
    }
}

}  // namespace

// ---------------------------------------------------------------------------------------------
// TMidiItem

TMidiItem::TMidiItem(TMidiManager& manager, std::string_view fileName)
    : manager_(manager), fileName_(fileName) {}

TMidiItem::~TMidiItem() {
    if (!Current()) return;
    manager_.Sequencer().Stop();
    manager_.Sequencer().CloseDevice();
    manager_.SetCurrent(nullptr);
}

bool TMidiItem::Current() const {
    return manager_.Current() == this;
}

void TMidiItem::Load() {
    const std::vector<uint8_t> bytes = LoadOrEmpty(manager_.Files(), fileName_);
    if (bytes.empty()) return;
    TMidiPlayV& sequencer = manager_.Sequencer();
    if (sequencer.IsRunning()) sequencer.Stop();
    manager_.SetCurrent(this);
    try {
        sequencer.LoadFromStream(bytes, fileName_);
    } catch (const KivoError&) {
        // A damaged file leaves an empty song, which ends at once.
    }
    lengthMs_ = sequencer.SongLength();
}

bool TMidiItem::GetLoop() {
    return Current() && manager_.Sequencer().GetLooping();
}

void TMidiItem::SetLoop(bool loop) {
    if (Current()) manager_.Sequencer().SetLooping(loop);
}

void TMidiItem::SetVolume(int32_t volume) {
    volume_ = volume;
    // Applied at once while the song plays, so fades are heard.
    if (Current()) manager_.Sequencer().SetControllerScale(7, volume_ / 100 + 100);
}

int32_t TMidiItem::GetPosition() {
    return Current() ? manager_.Sequencer().GetClock() : 0;
}

void TMidiItem::SetPosition(int32_t ms) {
    emptyEndDue_ = false;
    if (Current() && !paused_) {
        manager_.Sequencer().PlayFrom(std::max(ms, 0));
    } else {
        position_ = std::max(ms, 0);
    }
}

int32_t TMidiItem::GetLength() {
    if (lengthMs_ >= 0) return lengthMs_;
    // Read on its own, without disturbing the song that plays.
    TMidiV song;
    try {
        song.LoadFromBytes(LoadOrEmpty(manager_.Files(), fileName_), fileName_);
    } catch (const KivoError&) {
        song.Clear();
    }
    lengthMs_ = song.SongLength();
    return lengthMs_;
}

bool TMidiItem::IsEnd() {
    if (emptyEndDue_) {
        emptyEndDue_ = false;
        return true;
    }
    return Current() && manager_.Sequencer().IsAtEnd();
}

bool TMidiItem::IsPlaying() {
    return Current() && manager_.Sequencer().IsRunning();
}

void TMidiItem::Play() {
    if (!manager_.Active()) {
        playRequested = true;
        return;
    }
    playRequested = false;
    if (!Current()) Load();
    if (!Current()) {
        // Nothing to play (an empty or missing file): the end is reported once, so that a
        // script waiting for the music goes on.
        emptyEndDue_ = true;
        paused_ = false;
        return;
    }
    TMidiPlayV& sequencer = manager_.Sequencer();
    manager_.OpenSelectedDevice();
    sequencer.SendSystemOn();
    sequencer.PlayFrom(position_);
    sequencer.SetControllerScale(7, volume_ / 100 + 100);
    paused_ = false;
}

void TMidiItem::Pause() {
    playRequested = false;
    if (Current()) {
        position_ = manager_.Sequencer().GetClock();
        manager_.Sequencer().Stop();
    }
    paused_ = true;
}

// ---------------------------------------------------------------------------------------------
// TMidiManager

TMidiManager::TMidiManager(TVrFileManager& files, MidiPortProvider& ports, TSoundMixer& mixer,
                           Clock* hostClock, TraceSink* trace)
    : files_(files),
      mixer_(mixer),
      sequencer_(std::make_unique<TMidiPlayV>(ports, mixer.SampleRate(), hostClock)) {
    sequencer_->SetTrace(trace);
    // Fast-forward raises the song's rate instead of skipping the synthesizer's sound.
    mixer_.AddSource(*sequencer_, TSoundMixer::SourcePace::OwnRate);
}

TMidiManager::~TMidiManager() {
    Clear();
    mixer_.RemoveSource(*sequencer_);
    sequencer_->CloseDevice();
}

TDMediaItem* TMidiManager::Add(std::string_view fileName) {
    return Append(std::make_unique<TMidiItem>(*this, fileName));
}

void TMidiManager::OpenSelectedDevice() {
    if (!sequencer_->IsDeviceOpen()) (void)sequencer_->OpenDevice(selected_ - 1);
}

void TMidiManager::SelectPort(int32_t index) {
    const auto count = static_cast<int32_t>(PortNames().size());
    const int32_t chosen = std::clamp(index, 0, count - 1);
    const bool changed = chosen != selected_;
    selected_ = chosen;
    if (sequencer_->IsRunning()) {
        const int32_t clock = sequencer_->GetClock();
        sequencer_->Stop();
        sequencer_->CloseDevice();
        (void)sequencer_->OpenDevice(selected_ - 1);
        sequencer_->PlayFrom(clock);
    } else if (changed) {
        sequencer_->CloseDevice();
    }
}

bool TMidiManager::SelectPortByName(std::string_view name) {
    const std::vector<std::string> names = PortNames();
    const auto it = std::find(names.begin(), names.end(), name);
    if (it == names.end()) return false;
    SelectPort(static_cast<int32_t>(it - names.begin()));
    return true;
}

void TMidiManager::BeforeScreenSwitch() {
    reopenAfterSwitch_ = sequencer_->IsDeviceOpen();
    resumeAfterSwitch_ = false;
    if (!reopenAfterSwitch_) return;
    if (sequencer_->IsRunning()) {
        switchClock_ = sequencer_->GetClock();
        resumeAfterSwitch_ = true;
        sequencer_->Stop();
    }
    sequencer_->CloseDevice();
}

void TMidiManager::AfterScreenSwitch() {
    if (!reopenAfterSwitch_) return;
    reopenAfterSwitch_ = false;
    if (!sequencer_->OpenDevice(selected_ - 1)) return;
    sequencer_->SendSystemOn();
    if (resumeAfterSwitch_) sequencer_->PlayFrom(switchClock_);
}

}  // namespace kivo
