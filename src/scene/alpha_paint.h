#pragma once
// Fills and frames of a colour (0x00BBGGRR) in the operation an object's alpha selects:
// 1..254 blends, 255 is opaque, 256..511 adds the colour with each channel scaled by
// (alpha - 256) / 256. Alpha 0 and values beyond 511 draw nothing.

#include <cstdint>

#include "base/rect.h"

namespace kivo {

class TDrawContext;

void FillRectByAlpha(TDrawContext& context, const TRect& rect, int32_t color, int32_t alpha);
void FrameRectByAlpha(TDrawContext& context, const TRect& rect, int32_t thickness, int32_t color,
                      int32_t alpha);

}  // namespace kivo
