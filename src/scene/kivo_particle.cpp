#include "scene/kivo_particle.h"

#include <algorithm>
#include <cmath>
#include <limits>
#include <numbers>

#include "base/error.h"
#include "imaging/draw_context.h"
#include "imaging/film_manager.h"
#include "scene/film_motion.h"
#include "scene/kivo_base_list.h"
#include "scene/kivo_film_stage.h"

namespace kivo {

namespace {

constexpr double kTurn = 2 * std::numbers::pi;
// Save versions that added fields to the emitter's record.
constexpr int32_t kSaveVersionParticlePreRun = 104;
// The ignore-mouse mode that takes no pointer events at all.
constexpr uint8_t kIgnoreAllMouse = 1;

// The integer nearest to v, ties to even; none when v is not finite or beyond int32.
std::optional<int32_t> Nearest(double v) {
    const double r = std::nearbyint(v);
    if (!std::isfinite(r) || r < std::numeric_limits<int32_t>::min() ||
        r > std::numeric_limits<int32_t>::max()) {
        return std::nullopt;
    }
    return static_cast<int32_t>(r);
}

int32_t NearestClamped(double v) {
    if (std::isnan(v)) return 0;
    return Nearest(v).value_or(v < 0 ? std::numeric_limits<int32_t>::min()
                                     : std::numeric_limits<int32_t>::max());
}

// The emitter's picture from the cache; null when the file is missing, damaged or empty.
std::shared_ptr<const TParticlePictures> AcquirePictures(TGaleCollection& cache, ObjectHandle user,
                                                         const std::string& name) {
    TGaleItem* item = nullptr;
    try {
        item = &cache.Acquire(user, name, false, false);
    } catch (const KivoError&) {
        return nullptr;
    }
    auto pictures = std::make_shared<const TParticlePictures>(cache, *item, user);
    if (item->Missing() || item->FrameCount() == 0) return nullptr;
    return pictures;
}

bool HasExtension(std::string_view name, std::string_view extension) {
    if (name.size() < extension.size()) return false;
    const std::string_view tail = name.substr(name.size() - extension.size());
    return std::equal(tail.begin(), tail.end(), extension.begin(), [](char a, char b) {
        return (a >= 'A' && a <= 'Z' ? static_cast<char>(a + 32) : a) == b;
    });
}

}  // namespace

// ---- One particle ----

void TKivoParticleImages::Place(int64_t x, int64_t y) {
    const auto clamp = [](int64_t v) {
        return static_cast<int32_t>(std::clamp<int64_t>(v, INT32_MIN, INT32_MAX));
    };
    SetLeft(clamp(x));
    SetTop(clamp(y));
}

void TKivoParticleImages::SetZoom(int32_t zoom) {
    zoom_ = std::max(zoom, 1);
    const TDIBX* picture = Pictures ? &Pictures->Frame().surface : nullptr;
    SetWidth(picture ? static_cast<int32_t>(int64_t{picture->Width()} * zoom_ / 256) : 0);
    SetHeight(picture ? static_cast<int32_t>(int64_t{picture->Height()} * zoom_ / 256) : 0);
}

void TKivoParticleImages::Init(TProcessRandom& random) {
    // A uniform value in [0, 1).
    const auto uniform = [&random] {
        constexpr int32_t kSteps = 1 << 30;
        return random.Below(kSteps) / static_cast<double>(kSteps);
    };
    if (Pictures) {
        const TDIBX& picture = Pictures->Frame().surface;
        SetOffsetX(picture.Width() / 2);
        SetOffsetY(picture.Height() / 2);
    }
    SetZoom(256);
    originX_ = Left();
    originY_ = Top();
    const TKivoControl* parent = Parent();
    const int32_t parentWidth = parent ? parent->Width() : 0;
    const int32_t parentHeight = parent ? parent->Height() : 0;
    switch (Mode) {
        case 1:
            c_ = 0;
            b_ = uniform() * 0.02 + 0.02;
            if (P[0] <= 0) P[0] = 0.2;
            a_ = P[2] > P[1] ? uniform() * (P[2] - P[1]) : 0;
            break;
        case 2: {
            c_ = uniform() * kTurn;
            d_ = P[0] + 0.1;
            Place(int64_t{NearestClamped(d_ * std::cos(c_))} + originX_,
                  int64_t{NearestClamped(d_ * std::sin(c_))} + originY_);
            const double cornerX = originX_ >= parentWidth / 2.0 ? 0 : parentWidth;
            const double cornerY = originY_ >= parentHeight / 2.0 ? 0 : parentHeight;
            g_ = std::hypot(cornerX - originX_, cornerY - originY_);
            P[2] = uniform() * (0.3 * P[2]) + 0.7 * P[2];
            break;
        }
        case 3:
            P[1] = (P[2] - P[1]) * uniform() + P[1];
            e_ = Left();
            break;
        case 4:
            f_ = Top();
            a_ = uniform() * (P[1] / 2 * 0.05) + P[1] / 2 * 0.95;
            d_ = uniform() * P[2] / 2 + P[2] / 2;
            break;
        default:
            break;
    }
}

bool TKivoParticleImages::Outside() const {
    const TKivoControl* parent = Parent();
    const int64_t parentWidth = parent ? parent->Width() : 0;
    const int64_t parentHeight = parent ? parent->Height() : 0;
    const int64_t x = Left(), y = Top();
    switch (Mode) {
        case 1:
            return y >= parentHeight;
        case 3:
            if (y + Height() < 0) return true;
            return P[1] >= 0 ? x >= parentWidth : x + Width() < 0;
        case 4:
            return y + Height() < 0;
        default:
            return false;
    }
}

bool TKivoParticleImages::StepMode(int32_t steps) {
    const double n = steps;
    switch (Mode) {
        case 1: {
            c_ += b_ * n;
            int64_t y = Top();
            f_ += n * P[0];
            if (f_ >= 1) {
                const double whole = std::trunc(f_);
                y += static_cast<int64_t>(std::min(whole, 1e15));
                f_ -= whole;
            }
            Place(int64_t{NearestClamped(std::sin(c_) * (P[1] + a_))} + originX_, y);
            return !Outside();
        }
        case 2: {
            if (steps > 1) d_ *= std::pow(P[1], n - 1);
            const auto x = Nearest(std::cos(c_) * d_);
            const auto y = Nearest(std::sin(c_) * d_);
            if (!x || !y) return false;
            Place(int64_t{*x} + originX_, int64_t{*y} + originY_);
            d_ *= P[1];
            c_ += P[2];
            return std::isfinite(d_) && d_ < g_;
        }
        case 3: {
            e_ += n * P[1];
            f_ += n;
            Place(NearestClamped(e_), int64_t{originY_} - NearestClamped(P[0] * f_ * f_));
            return !Outside();
        }
        case 4: {
            c_ += n * d_;
            if (c_ > kTurn) c_ -= kTurn;
            const double g = std::abs(std::cos(c_ / 2)) * 0.5 + 0.5;
            SetZoom(NearestClamped(g * 256));
            f_ -= P[0];
            Place(int64_t{NearestClamped(g * std::sin(c_) * a_)} + originX_, NearestClamped(f_));
            SetPriority(NearestClamped((g - 0.5) / 0.5 * 2000 - 1000));
            return !Outside();
        }
        default:
            return false;
    }
}

bool TKivoParticleImages::FollowFilm() {
    const int64_t frame = TKivoMotion::FrameAt(AgeMs);
    if (frame >= Film->Duration()) return false;
    if (Motion() == nullptr) AssignMotion(std::make_unique<TFilmMotion>(Film));
    Motion()->Film().ApplyFrame(*this, static_cast<int32_t>(frame), originX_, originY_);
    return Mode == 2 || !Outside();
}

bool TKivoParticleImages::Advance(int32_t steps, int32_t stepMs) {
    if (steps <= 0) return true;
    AgeMs = std::min<int64_t>(AgeMs + int64_t{steps} * stepMs, int64_t{1} << 50);
    if (Film) return Mode >= 1 && Mode <= 4 && FollowFilm();
    return StepMode(steps);
}

void TKivoParticleImages::Draw(TDrawContext& context) {
    if (Pictures && Alpha > 0 && Alpha < 512) {
        TGaleItemFrame& frame = Pictures->Frame();
        TDIBX& picture = frame.surface;
        TDIBX* mask = frame.mask.get();
        const TColorKey key = frame.key;
        const TRect source = picture.ClientRect();
        const int32_t x = AbsLeft(), y = AbsTop();
        if (zoom_ != 256) {
            const TRect target = BoundsRect();
            if (mask != nullptr)
                context.StretchDrawMask(target, picture, std::min(Alpha, 255), *mask, false, false,
                                        source);
            else
                context.StretchDraw(target, picture, std::min(Alpha, 255), false, false, key,
                                    source);
        } else if (Alpha >= 256) {
            if (mask != nullptr)
                context.DrawMaskAdd(x, y, Alpha - 256, *mask, false, false, source, picture);
            else
                context.DrawAdd(x, y, Alpha - 256, false, false, key, source, picture);
        } else if (Alpha == 255) {
            if (mask != nullptr)
                context.DrawMask(x, y, *mask, false, false, source, picture);
            else
                context.Draw(x, y, false, false, key, source, picture);
        } else if (mask != nullptr) {
            context.DrawMaskAlpha(x, y, Alpha, *mask, false, false, source, picture);
        } else {
            context.DrawAlpha(x, y, Alpha, false, false, key, source, picture);
        }
    }
    TKivoControl::Draw(context);
}

// ---- The emitter ----

TKivoParticle::TKivoParticle(TKivoBaseList& root) : TKivoControl(root) {}

TKivoParticle::~TKivoParticle() = default;

void TKivoParticle::SetSource(std::string source) {
    if (source == source_) return;
    source_ = std::move(source);
    LoadSource();
}

void TKivoParticle::LoadSource() {
    RemoveParticles();
    pictures_.reset();
    film_.reset();
    if (source_.empty()) return;
    if (IsMotionFileName(source_)) {
        film_ = TFilmMotion::Read(Root(), source_);
    } else if (HasExtension(source_, ".gal")) {
        pictures_ = AcquirePictures(Root().Images(), Handle(), source_);
    }
}

void TKivoParticle::RemoveParticles() {
    for (ObjectHandle handle : particles_) {
        if (TKivoObject* particle = Root().Resolve(handle)) Root().ScheduleDestroy(*particle);
    }
    particles_.clear();
}

void TKivoParticle::SetMode(int32_t mode) {
    if (mode == mode_) return;
    mode_ = mode;
    state_ = 0;
}

void TKivoParticle::SetParam(int32_t index, double value) {
    if (index >= 0 && index < 3) params_[static_cast<size_t>(index)] = value;
}

void TKivoParticle::SetDuration(int32_t ms) {
    duration_ = ms;
    durationLeft_ = ms;
}

void TKivoParticle::KeepExpression(int32_t prId, const TKivoParser& expression) {
    switch (prId) {
        case PR_APPEARX:
            appearX_ = expression;
            break;
        case PR_APPEARY:
            appearY_ = expression;
            break;
        case PR_DELAY:
            interval_ = expression;
            break;
        default:
            break;
    }
}

int32_t TKivoParticle::LiveParticles() const {
    return static_cast<int32_t>(particles_.size());
}

int32_t TKivoParticle::StepMs() const {
    const int32_t step = Root().State().frameInterval;
    return step > 0 ? step : 16;
}

int32_t TKivoParticle::RandomBelow(int32_t range) {
    return range > 0 ? Root().Random().Below(range) : 0;
}

std::optional<int32_t> TKivoParticle::Evaluate(const TKivoParser& expression) {
    ExpressionEvaluator* evaluator = Root().Services().expressions;
    if (evaluator == nullptr || expression.Empty()) return std::nullopt;
    return evaluator->EvaluateInt(expression);
}

bool TKivoParticle::Update() {
    const bool motionEnded = TKivoControl::Update();
    if (paused_ || AniPaused()) return motionEnded;
    const int32_t step = StepMs();
    const int64_t elapsed = std::max(Root().State().frameDelta, 0);
    switch (state_) {
        case 0:
            state_ = 1;
            countdown_ = 0;
            durationLeft_ = duration_;
            accumulator_ = std::max(preRun_, 0) % step;
            RunSteps(std::min<int64_t>(std::max(preRun_, 0) / step, kMaxPreRunSteps), true);
            break;
        case 1:
            accumulator_ += elapsed;
            RunSteps(accumulator_ / step, true);
            accumulator_ %= step;
            if (duration_ > 0) {
                durationLeft_ -= elapsed;
                if (durationLeft_ <= 0) state_ = 2;
            }
            break;
        default:
            accumulator_ += elapsed;
            RunSteps(accumulator_ / step, false);
            accumulator_ %= step;
            if (particles_.empty()) return true;
            break;
    }
    return motionEnded;
}

void TKivoParticle::RunSteps(int64_t steps, bool emit) {
    const int32_t step = StepMs();
    if (emit) countdown_ -= steps * step;
    const auto n = static_cast<int32_t>(std::min<int64_t>(steps, INT32_MAX));
    // Last to first; a dead particle leaves the list here and the scene at the end of the
    // frame's update.
    for (auto it = particles_.rbegin(); it != particles_.rend(); ++it) {
        auto* particle = static_cast<TKivoParticleImages*>(Root().Resolve(*it));
        if (particle == nullptr || Root().IsScheduled(*particle)) {
            *it = {};
        } else if (!particle->Advance(n, step)) {
            Root().ScheduleDestroy(*particle);
            *it = {};
        }
    }
    std::erase(particles_, ObjectHandle{});
    if (!emit || mode_ == 0) return;
    while (countdown_ <= 0) {
        const int64_t late = -countdown_;
        int32_t interval = 0;
        int32_t x = 0, y = 0;
        if (emission_) {
            x = RandomBelow(emission_->XRange) + emission_->XBase;
            y = RandomBelow(emission_->YRange) + emission_->YBase;
            interval = RandomBelow(emission_->IntervalRange) + emission_->IntervalBase;
        } else {
            x = Evaluate(appearX_).value_or(0);
            y = Evaluate(appearY_).value_or(0);
            interval = Evaluate(interval_).value_or(step);
        }
        countdown_ += std::max(interval, kMinInterval);
        if (LiveParticles() < kMaxLiveParticles) Emit(late, x, y);
    }
}

void TKivoParticle::Emit(int64_t lateMs, int32_t x, int32_t y) {
    TKivoParticleImages& particle = Root().Create<TKivoParticleImages>();
    std::string name;
    do {
        name = "\x01" + Name() + "\x01" + std::to_string(nextNumber_++);
    } while (Root().FindComponent(name) != nullptr);
    Root().SetObjectName(particle, std::move(name));
    particle.SetParent(this);
    particle.SetIgnoreMouse(kIgnoreAllMouse);
    particle.Mode = static_cast<uint8_t>(std::clamp(mode_, 0, 255));
    particle.P = params_;
    particle.Alpha = alpha_;
    particle.Pictures = pictures_;
    particle.Film = film_;
    particle.SetLeft(x);
    particle.SetTop(y);
    particle.Init(Root().Random());
    particles_.push_back(particle.Handle());
    const int64_t extra = lateMs / StepMs();
    if (extra > 0 &&
        !particle.Advance(static_cast<int32_t>(std::min<int64_t>(extra, INT32_MAX)), StepMs())) {
        Root().ScheduleDestroy(particle);
        particles_.pop_back();
    }
}

const PropertyMap& TKivoParticle::ClassProperties() {
    static const PropertyMap map = [] {
        PropertyMap m = TKivoControl::ClassProperties();
        m[PR_SOURCE] = Accessor<&TKivoParticle::Source, &TKivoParticle::SetSource>();
        m[PR_PARTMOTION] = Accessor<&TKivoParticle::Mode, &TKivoParticle::SetMode>();
        int32_t cell = 0;
        for (const int32_t id : {PR_PARAM1, PR_PARAM2, PR_PARAM3}) {
            m[id].get = [](const TKivoObject& o, int32_t c) -> PropertyValue {
                return static_cast<const TKivoParticle&>(o).Param(c);
            };
            m[id].set = [](TKivoObject& o, const PropertyValue& v, int32_t c) {
                static_cast<TKivoParticle&>(o).SetParam(c, std::get<double>(v));
            };
            m[id].cell = cell++;
        }
        m[PR_ALPHA] = Accessor<&TKivoParticle::Alpha, &TKivoParticle::SetAlpha>();
        m[PR_INDEX] = Accessor<&TKivoParticle::PreRun, &TKivoParticle::SetPreRun>();
        m[PR_DURATION] = Accessor<&TKivoParticle::Duration, &TKivoParticle::SetDuration>();
        m[PR_PAUSED] = Accessor<&TKivoParticle::PausedFlag, &TKivoParticle::SetPausedFlag>();
        m[PR_PLAYING] = Accessor<&TKivoParticle::EmitterPlaying>();
        m[PR_ONIDLE] = Accessor<&TKivoParticle::IdleHandler, &TKivoParticle::SetIdleHandler>();
        return m;
    }();
    return map;
}

void TKivoParticle::Save(ByteWriter& writer) const {
    TKivoControl::Save(writer);
    appearX_.Save(writer);
    appearY_.Save(writer);
    interval_.Save(writer);
    writer.WriteCountedString(source_);
    writer.WriteU8(static_cast<uint8_t>(std::clamp(mode_, 0, 255)));
    for (const double p : params_)
        writer.WriteExt80(Ext80::FromExtended(p));
    writer.WriteI32(alpha_);
    writer.WriteI32(preRun_);
    writer.WriteCountedString(idleHandler_);
    writer.WriteBool(paused_);
    writer.WriteI32(duration_);
}

void TKivoParticle::Load(ByteReader& reader, int32_t version) {
    TKivoControl::Load(reader, version);
    appearX_.Load(reader);
    appearY_.Load(reader);
    interval_.Load(reader);
    std::string source = reader.ReadCountedString();
    mode_ = reader.ReadU8();
    for (double& p : params_)
        p = static_cast<double>(reader.ReadExt80().ToExtended());
    alpha_ = reader.ReadI32();
    if (version >= kSaveVersionParticlePreRun) {
        preRun_ = reader.ReadI32();
        idleHandler_ = reader.ReadCountedString();
        paused_ = reader.ReadBool();
        SetDuration(reader.ReadI32());
    }
    source_.clear();
    SetSource(std::move(source));
    state_ = 0;
}

}  // namespace kivo
