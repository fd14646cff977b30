// Reading a film, linking its chains, and applying its frames.

#include "imaging/film_manager.h"

#include <algorithm>

#include "base/byte_io.h"
#include "base/error.h"
#include "storage/vr_file_manager.h"

namespace kivo {

namespace {

constexpr size_t kSignatureLength = 13;
constexpr std::string_view kCinemaSignature = "KivoCinema";
constexpr std::string_view kMotionSignature = "KivoMotion";
// The kind byte and the base fields: the least a track takes in the file.
constexpr size_t kMinTrackBytes = 1 + 6 * 4 + 3;

// Version gates of the film header.
constexpr int32_t kFirstRelativeVersion = 102;
constexpr int32_t kFirstOriginVersion = 104;
constexpr int32_t kFirstLoopStartVersion = 106;
constexpr int32_t kLastDoubledTimeVersion = 106;

int32_t ClampToInt32(int64_t value) {
    return static_cast<int32_t>(std::clamp<int64_t>(value, INT32_MIN, INT32_MAX));
}

}  // namespace

TFilmManager::~TFilmManager() {
    RemoveObjects();
}

bool TFilmManager::LoadFromBytes(std::span<const uint8_t> data, std::string_view filmName,
                                 TFilmPictureSource* pictures) {
    Clear();
    try {
        Read(data, filmName);
        Link(pictures);
        return true;
    } catch (const KivoError& error) {
        Clear();
        loadError_ = error.what();
        return false;
    }
}

bool TFilmManager::LoadFromFile(TVrFileManager& files, std::string_view filmName,
                                TFilmPictureSource* pictures) {
    std::vector<uint8_t> data;
    try {
        data = files.Load(filmName);
    } catch (const KivoError& error) {
        Clear();
        loadError_ = error.what();
        return false;
    }
    return LoadFromBytes(data, filmName, pictures);
}

void TFilmManager::Clear() {
    RemoveObjects();
    tracks_.clear();
    motionFile_ = false;
    version_ = 0;
    width_ = height_ = 0;
    backgroundColor_ = -1;
    relative_ = false;
    originX_ = originY_ = 0;
    loopStart_ = 0;
    duration_ = 0;
    loadError_.clear();
    currentFrame_ = -1;
    lastWipe_ = nullptr;
}

void TFilmManager::Read(std::span<const uint8_t> data, std::string_view filmName) {
    ByteReader reader(data, std::string(filmName));
    const auto signature = reader.ReadBytes(kSignatureLength);
    const std::string_view text(reinterpret_cast<const char*>(signature.data()), signature.size());
    const std::string_view digits = text.substr(kCinemaSignature.size());
    const bool cinema = text.starts_with(kCinemaSignature);
    if ((!cinema && !text.starts_with(kMotionSignature)) ||
        !std::ranges::all_of(digits, [](char c) { return c >= '0' && c <= '9'; })) {
        reader.Fail("not a film");
    }
    motionFile_ = !cinema;
    version_ = (digits[0] - '0') * 100 + (digits[1] - '0') * 10 + (digits[2] - '0');

    width_ = reader.ReadI32();
    height_ = reader.ReadI32();
    backgroundColor_ = reader.ReadI32();
    if (version_ >= kFirstRelativeVersion) relative_ = reader.ReadBool();
    if (version_ >= kFirstOriginVersion) {
        originX_ = reader.ReadI32();
        originY_ = reader.ReadI32();
    }
    if (version_ >= kFirstLoopStartVersion) {
        loopStart_ = reader.ReadI32();
        if (version_ <= kLastDoubledTimeVersion) loopStart_ = ClampToInt32(int64_t{loopStart_} * 2);
    }

    const TFilmReadContext context{.Version = version_, .FilmName = filmName};
    const uint32_t count = reader.ReadCount(kMinTrackBytes);
    tracks_.reserve(count);
    for (uint32_t i = 0; i < count; ++i) {
        // A kind this player does not know ends the film: its record cannot be skipped.
        auto track = TCustomFrameList::Create(reader.ReadU8());
        if (!track) break;
        track->TrackIndex = static_cast<int32_t>(i);
        track->Read(reader, context);
        tracks_.push_back(std::move(track));
    }
}

void TFilmManager::Link(TFilmPictureSource* pictures) {
    ResolveParents();
    if (pictures) {
        for (const auto& track : tracks_)
            track->Prepare(*pictures);
    }
    ComputeChainStarts();
    int64_t duration = 0;
    for (const auto& track : tracks_)
        duration = std::max(duration, track->End());
    duration_ = ClampToInt32(duration);
    ComputeLayers();
}

// A parent outside the list, the track itself, a track of another kind, or a link that closes
// a cycle counts as none: each would make the chain endless or share an object of the wrong
// type.
void TFilmManager::ResolveParents() {
    const auto n = static_cast<int32_t>(tracks_.size());
    std::vector<int32_t> parents(tracks_.size(), -1);
    for (int32_t i = 0; i < n; ++i) {
        const int32_t p = tracks_[i]->ParentIndex;
        if (p >= 0 && p < n && p != i && tracks_[p]->Kind() == tracks_[i]->Kind()) parents[i] = p;
    }
    // Every track has at most one parent, so walking up from each track either ends or runs
    // into a cycle; each cycle is found once, on the walk that first enters it.
    enum : uint8_t { kUnseen, kOnWalk, kDone };
    std::vector<uint8_t> state(tracks_.size(), kUnseen);
    std::vector<int32_t> walk;
    for (int32_t i = 0; i < n; ++i) {
        int32_t j = i;
        while (j >= 0 && state[j] == kUnseen) {
            state[j] = kOnWalk;
            walk.push_back(j);
            j = parents[j];
        }
        if (j >= 0 && state[j] == kOnWalk) {
            for (auto it = std::find(walk.begin(), walk.end(), j); it != walk.end(); ++it)
                parents[*it] = -1;
        }
        for (const int32_t k : walk)
            state[k] = kDone;
        walk.clear();
    }
    for (int32_t i = 0; i < n; ++i) {
        TCustomFrameList& track = *tracks_[i];
        track.Parent = parents[i] >= 0 ? tracks_[parents[i]].get() : nullptr;
        if (!track.Parent) continue;
        track.Parent->HasFollower = true;
        track.InheritStarts(*track.Parent);
    }
}

// A chained track starts where its parent ends; chains are walked without recursion, as a
// film may hold long ones.
void TFilmManager::ComputeChainStarts() {
    std::vector<uint8_t> done(tracks_.size(), 0);
    std::vector<TCustomFrameList*> pending;
    for (const auto& owned : tracks_) {
        TCustomFrameList* track = owned.get();
        while (!done[track->TrackIndex] && track->Parent) {
            pending.push_back(track);
            track = track->Parent;
        }
        if (!track->Parent) {
            track->ChainFirst = track;
            done[track->TrackIndex] = 1;
        }
        for (auto it = pending.rbegin(); it != pending.rend(); ++it) {
            TCustomFrameList& chained = **it;
            chained.Start = ClampToInt32(chained.Parent->End());
            chained.ChainFirst = chained.Parent->ChainFirst;
            done[chained.TrackIndex] = 1;
        }
        pending.clear();
    }
}

// Each ended transition flips the layers; an image-like object sits on the layer reached at
// its own start, or on the other one when it asks for the other side.
void TFilmManager::ComputeLayers() {
    std::vector<int64_t> flips;
    for (const auto& track : tracks_) {
        if (track->Kind() == TFilmTrackKind::Wipe) flips.push_back(track->End() - 1);
    }
    std::ranges::sort(flips);
    for (const auto& track : tracks_) {
        if (!track->Layered()) continue;
        const auto ended =
            std::upper_bound(flips.begin(), flips.end(), int64_t{track->Start}) - flips.begin();
        track->Layer = static_cast<int32_t>(ended & 1) ^ (track->OtherSide ? 1 : 0);
    }
}

std::vector<std::string> TFilmManager::ImageNames() const {
    std::vector<std::string> names;
    for (const auto& track : tracks_)
        track->AppendImageNames(names);
    return names;
}

bool TFilmManager::NeedsOwnSceneList() const {
    return backgroundColor_ >= 0 ||
           std::ranges::any_of(tracks_, [](const auto& t) { return !t->DrivesObject(); });
}

void TFilmManager::SetStage(TFilmStage* stage, bool ownSceneList) {
    if (stage != stage_) RemoveObjects();
    stage_ = stage;
    ownSceneList_ = ownSceneList;
}

void TFilmManager::SetMotionMode(TFilmObjectId object, int32_t startX, int32_t startY) {
    motionMode_ = true;
    driven_ = object;
    motionStartX_ = startX;
    motionStartY_ = startY;
}

void TFilmManager::SetPaused(bool paused) {
    paused_ = paused;
    if (!stage_) return;
    for (const auto& track : tracks_) {
        if (track->Object != kNoFilmObject && track->Kind() != TFilmTrackKind::Sound)
            stage_->SetProperty(track->Object, PR_ANIPAUSED, paused);
    }
}

TFilmPlayback TFilmManager::Playback() const {
    TFilmPlayback playback{.Stage = stage_,
                           .MotionMode = motionMode_,
                           .Driven = driven_,
                           .Volume = volume_,
                           .Running = running_,
                           .PreviousFrame = currentFrame_,
                           .Duration = duration_,
                           .LoopStart = loopStart_};
    if (motionMode_ && relative_) {
        playback.ShiftX = ClampToInt32(int64_t{motionStartX_} - originX_);
        playback.ShiftY = ClampToInt32(int64_t{motionStartY_} - originY_);
    }
    return playback;
}

void TFilmManager::ApplyFrame(int32_t frame) {
    if (stage_) {
        const TFilmPlayback playback = Playback();
        if (motionMode_) {
            for (const auto& track : tracks_) {
                if (track->DrivesInMotionMode() && track->IsActive(frame) && track->HasFrames())
                    track->Apply(playback, frame, driven_);
            }
        } else {
            ApplyTracks(playback, frame);
            if (ownSceneList_) ApplyTransitions(frame);
        }
    }
    currentFrame_ = frame;
}

void TFilmManager::ApplyTracks(const TFilmPlayback& playback, int32_t frame) {
    // Which shared chain objects some track of their chain still wants at this frame.
    chainActive_.assign(tracks_.size(), 0);
    for (const auto& track : tracks_) {
        if (track->SharesChainObject() && track->IsActive(frame) && track->HasFrames())
            chainActive_[track->ChainFirst->TrackIndex] = 1;
    }
    for (const auto& owned : tracks_) {
        TCustomFrameList& track = *owned;
        if (!track.DrivesObject()) continue;
        TCustomFrameList& owner = track.SharesChainObject() ? *track.ChainFirst : track;
        if (track.IsActive(frame) && track.HasFrames()) {
            if (owner.Object == kNoFilmObject) {
                owner.Object = stage_->CreateObject(track.Kind(), track.Layer);
                if (owner.Object == kNoFilmObject) continue;
                if (paused_ && track.Kind() != TFilmTrackKind::Sound)
                    stage_->SetProperty(owner.Object, PR_ANIPAUSED, 1);
                track.Created(playback, owner.Object);
            }
            track.Apply(playback, frame, owner.Object);
        } else if (owner.Object != kNoFilmObject) {
            if (track.SharesChainObject() && chainActive_[owner.TrackIndex]) continue;
            if (track.KeepInactive(playback, frame, owner.Object)) continue;
            stage_->RemoveObject(owner.Object);
            owner.Object = kNoFilmObject;
        }
    }
}

void TFilmManager::ApplyTransitions(int32_t frame) {
    int32_t layer = 0;
    const TWipeFrameList* active = nullptr;
    for (const auto& track : tracks_) {
        if (track->Kind() != TFilmTrackKind::Wipe) continue;
        if (frame >= track->End() - 1) layer ^= 1;
        if (!active && track->IsActive(frame))
            active = static_cast<const TWipeFrameList*>(track.get());
    }
    if (active) {
        stage_->RunTransition(active->Transition, frame - active->Start, active->Length,
                              active != lastWipe_);
    } else if (lastWipe_) {
        stage_->EndTransition();
    }
    lastWipe_ = active;
    stage_->ShowLayer(layer);
}

void TFilmManager::RemoveObjects() {
    if (stage_) {
        for (const auto& track : tracks_) {
            if (track->Object != kNoFilmObject) stage_->RemoveObject(track->Object);
        }
    }
    for (const auto& track : tracks_)
        track->Object = kNoFilmObject;
    lastWipe_ = nullptr;
}

}  // namespace kivo
