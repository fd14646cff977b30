// The easing arithmetic of film tracks.

#include "imaging/film_tween.h"

#include <algorithm>
#include <cmath>
#include <numbers>

namespace kivo {

namespace {

constexpr double kHalfPi = std::numbers::pi / 2;

int32_t ClampToInt32(int64_t value) {
    return static_cast<int32_t>(std::clamp<int64_t>(value, INT32_MIN, INT32_MAX));
}

// The eased fraction of modes 1 and 2 applied to b and e; linear easing is done by the
// callers, whose integer and floating forms differ.
double Curve(double b, double e, uint8_t mode, TFilmSpan span) {
    const auto c = static_cast<double>(span.c);
    const auto t = static_cast<double>(span.t);
    if (mode == static_cast<uint8_t>(TFilmEase::SlowStart))
        return e - (e - b) * std::sin((c - t - 1) * kHalfPi / c);
    return b + (e - b) * std::sin(t * kHalfPi / c);
}

bool IsCurve(uint8_t mode) {
    return mode == static_cast<uint8_t>(TFilmEase::SlowStart) ||
           mode == static_cast<uint8_t>(TFilmEase::SlowEnd);
}

}  // namespace

int32_t FilmRound(double value) {
    if (!std::isfinite(value)) return 0;
    if (value >= static_cast<double>(INT32_MAX)) return INT32_MAX;
    if (value <= static_cast<double>(INT32_MIN)) return INT32_MIN;
    return static_cast<int32_t>(std::nearbyint(value));
}

int32_t FilmZoomToFixed(double zoom) {
    const double fixed = zoom * 256;
    if (!std::isfinite(fixed)) return 0;
    if (fixed >= static_cast<double>(INT32_MAX)) return INT32_MAX;
    if (fixed <= static_cast<double>(INT32_MIN)) return INT32_MIN;
    return static_cast<int32_t>(fixed);
}

int32_t TweenInt(int32_t b, int32_t e, uint8_t mode, TFilmSpan span) {
    if (span.t <= 0) return b;
    if (span.t >= span.c - 1) return e;
    if (IsCurve(mode)) return FilmRound(Curve(b, e, mode, span));
    return ClampToInt32(b + span.t * (int64_t{e} - b) / (span.c - 1));
}

double TweenFloat(double b, double e, uint8_t mode, TFilmSpan span) {
    if (span.t <= 0) return b;
    if (span.t >= span.c - 1) return e;
    if (IsCurve(mode)) return Curve(b, e, mode, span);
    return b + static_cast<double>(span.t) * (e - b) / static_cast<double>(span.c);
}

int32_t TweenColor(int32_t b, int32_t e, TFilmSpan span) {
    if (b == e) return b;
    uint32_t color = 0;
    for (int shift = 0; shift < 24; shift += 8) {
        const auto channel = [shift](int32_t c) {
            return static_cast<int32_t>((static_cast<uint32_t>(c) >> shift) & 0xFF);
        };
        const int32_t value = TweenInt(channel(b), channel(e), 0, span);
        color |= static_cast<uint32_t>(value & 0xFF) << shift;
    }
    return static_cast<int32_t>(color);
}

int32_t TweenAlpha(int32_t b, int32_t e, TFilmSpan span) {
    if (b == 0 && e == 0) return 255;
    return TweenInt(b == 0 ? 255 : b, e == 0 ? 255 : e, 0, span);
}

int32_t TweenTurn(int32_t b, int32_t e, uint8_t mode, TFilmSpan span) {
    if (b == 0 && e == 0) return 0;
    const int64_t r = FilmRound(TweenFloat(b, e, mode, span) * 256 / 360);
    return static_cast<int32_t>(r >= 0 ? r % 256 : 255 - (-r) % 256);
}

}  // namespace kivo
