#pragma once
// The easing arithmetic of film tracks. A track of length L shows, at its local frame t
// (0 <= t < L), a value between its start value b and end value e; the span count c is L, plus
// one when another track follows on from this one (so the joint is not shown twice: the
// follower starts from the end value). At t = 0 the value is b, at t = c - 1 it is e, and
// between them the mode decides:
//   0 linear     b + t (e - b) / (c - 1) for integers (integer division), b + t (e - b) / c
//                for floating-point values;
//   1 slow start e - (e - b) sin((c - t - 1) pi / 2 / c);
//   2 slow end   b + (e - b) sin(t pi / 2 / c).
// Integer results of modes 1 and 2 go to the nearest integer, ties to even. Other mode bytes
// ease linearly. Products are taken in 64 bits and results clamped to the int32 range, so
// that no value a film file holds can overflow.

#include <cstdint>

namespace kivo {

enum class TFilmEase : uint8_t { Linear = 0, SlowStart = 1, SlowEnd = 2 };

// Where a track stands: local frame t of a span of c frames.
struct TFilmSpan {
    int64_t t = 0;
    int64_t c = 1;
};

// The nearest integer, ties to even, clamped to int32; a value that is not finite counts as 0.
[[nodiscard]] int32_t FilmRound(double value);
// A zoom factor as carried by the tracks: 256 x zoom truncated toward zero, clamped; a zoom
// that is not finite counts as 0.
[[nodiscard]] int32_t FilmZoomToFixed(double zoom);

[[nodiscard]] int32_t TweenInt(int32_t b, int32_t e, uint8_t mode, TFilmSpan span);
[[nodiscard]] double TweenFloat(double b, double e, uint8_t mode, TFilmSpan span);
// Colours 0x00BBGGRR, linear per byte of the three low bytes; equal ends stay as they are (so
// -1, "none", stays -1).
[[nodiscard]] int32_t TweenColor(int32_t b, int32_t e, TFilmSpan span);
// Alpha eases linearly; 0 at either end stands for 255, and with both ends 0 the alpha is 255.
[[nodiscard]] int32_t TweenAlpha(int32_t b, int32_t e, TFilmSpan span);
// The rotation of an image-like track in 256ths of a turn, from its angles in degrees eased in
// floating point; 0 when both ends are 0. A negative turn r maps to 255 - ((-r) mod 256),
// one step short of its true angle: films made for the editor were drawn with that mapping.
[[nodiscard]] int32_t TweenTurn(int32_t b, int32_t e, uint8_t mode, TFilmSpan span);

}  // namespace kivo
