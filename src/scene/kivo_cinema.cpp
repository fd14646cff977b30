#include "scene/kivo_cinema.h"

#include <algorithm>
#include <limits>

#include "base/error.h"
#include "imaging/draw_context.h"
#include "scene/film_cache_pictures.h"
#include "scene/kivo_base_list.h"
#include "scene/kivo_motion.h"

namespace kivo {

namespace {

// Save versions that added fields to the cinema's record.
constexpr int32_t kSaveVersionCinemaIdle = 104;
constexpr int32_t kSaveVersionCinemaFrame = 117;
constexpr int32_t kSaveVersionCinemaVolume = 129;
constexpr int32_t kSaveVersionCinemaStopped = 133;

constexpr int32_t kForcedApplyFrames = 2;

}  // namespace

TKivoCinema::TKivoCinema(TKivoBaseList& root) : TKivoControl(root), rulePicture_(root.Images()) {}

TKivoCinema::~TKivoCinema() {
    // Nothing is drawn again here: the cinema's parent may already be gone.
    film_.Clear();
    film_.SetStage(nullptr, false);
}

void TKivoCinema::SetSource(std::string source) {
    if (source == source_) return;
    source_ = std::move(source);
    LoadFilm();
}

void TKivoCinema::DropFilm() {
    film_.Clear();
    film_.SetStage(nullptr, false);
    stage_.reset();
    DropWipe();
    if (ownList_ != nullptr) {
        Invalidate();
        ownList_.reset();
    }
}

void TKivoCinema::LoadFilm() {
    DropFilm();
    elapsed_ = 0;
    stopped_ = false;
    playEndQueued_ = false;
    forcedApply_ = kForcedApplyFrames;
    const SceneServices& services = Root().Services();
    if (services.files == nullptr || source_.empty()) return;
    // The film's pictures are held in the cache for the cinema; its tracks' objects share them.
    TFilmCachePictures pictures(Root().Images(), Handle());
    if (!film_.LoadFromFile(*services.files, source_, &pictures)) return;
    film_.SetVolume(volume_);
    if (film_.NeedsOwnSceneList()) {
        ownList_ = std::make_unique<TKivoBaseList>(Root().State());
        ownList_->SetServices(services);
        ownList_->ShareImages(Root().Images());
        SizeOwnList();
        for (int32_t layer = 0; layer < 2; ++layer)
            ownList_->Layer(layer).SetColor(film_.BackgroundColor());
        FilmTransitionRunner* transitions = this;
        stage_ = std::make_unique<TKivoFilmStage>(*ownList_, Root(), nullptr, "\x01", transitions);
        film_.SetStage(stage_.get(), true);
        Invalidate();
    } else {
        stage_ = std::make_unique<TKivoFilmStage>(Root(), Root(), this, "\x01" + Name() + "\x01");
        film_.SetStage(stage_.get(), false);
        TKivoControl::SetWidth(film_.Width());
        TKivoControl::SetHeight(film_.Height());
    }
}

void TKivoCinema::SizeOwnList() {
    if (ownList_ == nullptr) return;
    // A transition keeps the sizes of the pictures it mixes.
    DropWipe();
    const auto side = [](int32_t value) {
        return std::clamp(value, 1, TKivoBaseList::kMaxSceneSide);
    };
    ownList_->SetSize(side(Width()), side(Height()));
}

void TKivoCinema::RunTransition(const TFilmTransition& transition, int32_t progress, int32_t length,
                                bool fresh) {
    if (ownList_ == nullptr) return;
    // On its last frame the transition has ended and the film shows the other layer whole.
    if (progress >= length - 1) {
        DropWipe();
        return;
    }
    if (fresh || wipe_ == nullptr) {
        TDIBX& from = ownList_->BackBuffer();
        mixed_.SetSize(from.Width(), from.Height(), 32);
        // The other layer draws into a picture of its own while the shown one is on screen.
        TCustomDIBX& to = ownList_->InactiveLayer().Surface();
        wipe_ = CreateWipe(transition.Kind, mixed_, from, to, wipeRandom_);
        if (wipe_ == nullptr) return;
        wipe_->SetReverse(transition.Flag);
        wipe_->SetParam(0, transition.Param0);
        wipe_->SetParam(1, transition.Param1);
        wipe_->SetMaskName(transition.RuleFile);
        LoadRulePicture(transition.RuleFile);
        wipe_->SetDuration(length);
        wipe_->Init();
    }
    if (wipe_ != nullptr) wipe_->SetElapsed(progress);
}

void TKivoCinema::EndTransition() {
    DropWipe();
    Invalidate();
}

void TKivoCinema::DropWipe() {
    wipe_.reset();
    rulePicture_.Clear();
}

void TKivoCinema::LoadRulePicture(const std::string& name) {
    rulePicture_.Clear();
    if (name.empty()) return;
    try {
        rulePicture_.Load(Handle(), name, false, false);
    } catch (const KivoError&) {
        // A damaged rule picture is no rule picture: the transition switches every pixel at once.
        return;
    }
    // A missing file comes as a keyed blank, which is no rule either.
    const TGaleItem* rule = rulePicture_.Item();
    if (rule == nullptr || rule->Missing() || rulePicture_.Count() == 0) return;
    TGaleItemFrame& first = rulePicture_.Frame(0);
    if (!first.key.IsSet()) wipe_->SetRulePicture(&first.surface);
}

void TKivoCinema::SetWidth(int32_t width) {
    TKivoControl::SetWidth(width);
    SizeOwnList();
}

void TKivoCinema::SetHeight(int32_t height) {
    TKivoControl::SetHeight(height);
    SizeOwnList();
}

void TKivoCinema::SetIndex(int32_t frame) {
    elapsed_ = static_cast<int32_t>(
        std::clamp<int64_t>(int64_t{frame} * 1000 / TFilmManager::kFramesPerSecond, 0,
                            std::numeric_limits<int32_t>::max()));
    stopped_ = false;
    forcedApply_ = kForcedApplyFrames;
}

void TKivoCinema::SetRepeat(bool repeat) {
    repeat_ = repeat;
    if (repeat) stopped_ = false;
}

void TKivoCinema::SetVolume(int32_t volume) {
    volume_ = std::max(volume, 0);
    film_.SetVolume(volume_);
}

bool TKivoCinema::FilmPlaying() const {
    return film_.Duration() > 0 && film_.CurrentFrame() < film_.Duration() - 1 && !paused_ &&
           !AniPaused();
}

bool TKivoCinema::AdvanceFrame(int64_t& frame) {
    const int32_t duration = film_.Duration();
    frame = TKivoMotion::FrameAt(elapsed_);
    if (frame < duration) return false;
    if (repeat_) {
        const int64_t loopStart = std::max(film_.LoopStart(), 0);
        frame = std::min<int64_t>(frame % std::max(duration, 1) + loopStart, duration - 1);
        elapsed_ = TKivoMotion::TimeOfFrame(std::max<int64_t>(frame, 0));
        return false;
    }
    stopped_ = true;
    frame = duration - 1;
    if (autoScrap_) return true;
    if (!playEndQueued_) {
        playEndQueued_ = true;
        PostEvent(PR_ONPLAYEND, playEndHandler_);
    }
    return false;
}

bool TKivoCinema::Update() {
    const bool paused = paused_ || AniPaused();
    film_.SetRunning(!paused);
    if (paused != film_.Paused()) film_.SetPaused(paused);
    if (!paused_ && !stopped_ && !AniPaused() && forcedApply_ == 0) {
        elapsed_ = static_cast<int32_t>(
            std::min<int64_t>(int64_t{elapsed_} + std::max(Root().State().frameDelta, 0),
                              std::numeric_limits<int32_t>::max()));
    }
    int64_t frame = 0;
    const bool ended = AdvanceFrame(frame);
    if (frame >= 0 && (frame != film_.CurrentFrame() || forcedApply_ == kForcedApplyFrames))
        film_.ApplyFrame(static_cast<int32_t>(frame));
    forcedApply_ = std::max(forcedApply_ - 1, 0);
    if (ownList_ != nullptr) {
        ownList_->FrameAdvance();
        // A running transition changes the whole picture every frame.
        if (wipe_ != nullptr)
            Invalidate();
        else
            InvalidateOwnDirty();
    }
    return TKivoControl::Update() || ended;
}

void TKivoCinema::InvalidateOwnDirty() {
    TKivoBase* layer = Layer();
    if (layer == nullptr || !Visible()) return;
    const TRect visible = VisibleBounds();
    const int64_t left = AbsLeft(), top = AbsTop();
    for (const TRect& rect : ownList_->ActiveLayer().Dirty().Rects()) {
        const auto at = [](int64_t v) {
            return static_cast<int32_t>(std::clamp<int64_t>(v, INT32_MIN, INT32_MAX));
        };
        const TRect moved{at(rect.Left + left), at(rect.Top + top), at(rect.Right + left),
                          at(rect.Bottom + top)};
        const TRect area = Intersect(moved, visible);
        if (!area.IsEmpty()) layer->AddDirty(area);
    }
}

void TKivoCinema::Draw(TDrawContext& context) {
    if (ownList_ != nullptr) {
        std::vector<TRect> dirty;
        (void)ownList_->Draw(dirty);
        ownList_->ClearDirty();
        TDIBX* picture = &ownList_->BackBuffer();
        if (wipe_ != nullptr && !wipe_->Finished() && mixed_.Width() == picture->Width() &&
            mixed_.Height() == picture->Height()) {
            (void)wipe_->Step();
            picture = &mixed_;
        }
        context.Draw(AbsLeft(), AbsTop(), false, false, TColorKey(), picture->ClientRect(),
                     *picture);
    }
    TKivoControl::Draw(context);
}

const PropertyMap& TKivoCinema::ClassProperties() {
    static const PropertyMap map = [] {
        PropertyMap m = TKivoControl::ClassProperties();
        m[PR_SOURCE] = Accessor<&TKivoCinema::Source, &TKivoCinema::SetSource>();
        m[PR_INDEX] = Accessor<&TKivoCinema::Index, &TKivoCinema::SetIndex>();
        m[PR_COUNT] = Accessor<&TKivoCinema::Count>();
        m[PR_REPEAT] = Accessor<&TKivoCinema::Repeat, &TKivoCinema::SetRepeat>();
        m[PR_PAUSED] = Accessor<&TKivoCinema::PausedFlag, &TKivoCinema::SetPausedFlag>();
        m[PR_VOLUME] = Accessor<&TKivoCinema::Volume, &TKivoCinema::SetVolume>();
        m[PR_AUTOSCRAP] = Accessor<&TKivoCinema::AutoScrap, &TKivoCinema::SetAutoScrap>();
        m[PR_PLAYING] = Accessor<&TKivoCinema::FilmPlaying>();
        m[PR_REWINDONLOAD] = Accessor<&TKivoCinema::RewindOnLoad, &TKivoCinema::SetRewindOnLoad>();
        m[PR_MUTEONLOAD] = Accessor<&TKivoCinema::MuteOnLoad, &TKivoCinema::SetMuteOnLoad>();
        m[PR_ONPLAYEND] = Accessor<&TKivoCinema::PlayEndHandler, &TKivoCinema::SetPlayEndHandler>();
        m[PR_ONIDLE] = Accessor<&TKivoCinema::IdleHandler, &TKivoCinema::SetIdleHandler>();
        return m;
    }();
    return map;
}

void TKivoCinema::Save(ByteWriter& writer) const {
    TKivoControl::Save(writer);
    writer.WriteCountedString(source_);
    writer.WriteBool(repeat_);
    writer.WriteBool(paused_);
    writer.WriteBool(autoScrap_);
    writer.WriteCountedString(playEndHandler_);
    writer.WriteCountedString(idleHandler_);
    writer.WriteI32(std::max(film_.CurrentFrame(), 0));
    writer.WriteBool(rewindOnLoad_);
    writer.WriteI32(volume_);
    writer.WriteBool(muteOnLoad_);
    writer.WriteBool(stopped_);
}

void TKivoCinema::Load(ByteReader& reader, int32_t version) {
    TKivoControl::Load(reader, version);
    std::string source = reader.ReadCountedString();
    repeat_ = reader.ReadBool();
    paused_ = reader.ReadBool();
    autoScrap_ = reader.ReadBool();
    playEndHandler_ = reader.ReadCountedString();
    if (version >= kSaveVersionCinemaIdle) idleHandler_ = reader.ReadCountedString();
    int32_t frame = 0;
    if (version >= kSaveVersionCinemaFrame) {
        frame = reader.ReadI32();
        rewindOnLoad_ = reader.ReadBool();
    }
    if (version >= kSaveVersionCinemaVolume) {
        volume_ = std::max(reader.ReadI32(), 0);
        muteOnLoad_ = reader.ReadBool();
        if (muteOnLoad_) volume_ = 0;
    }
    const bool stopped = version >= kSaveVersionCinemaStopped && reader.ReadBool();
    // The saved size is the own list's; the film is read again at it.
    source_.clear();
    SetSource(std::move(source));
    if (frame > 0 && !rewindOnLoad_) SetIndex(frame);
    stopped_ = stopped;
}

}  // namespace kivo
