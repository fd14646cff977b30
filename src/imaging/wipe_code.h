#pragma once
// The transition (wipe) codes of Flip and the other screen transitions: the scripts' WP_
// constants and the styles of the transitions.

#include <cstdint>

namespace kivo {

enum WipeCode : int32_t {
    WP_NONE,
    WP_FADE,
    WP_BLINDH,
    WP_BLINDV,
    WP_CURTAINH,
    WP_CURTAINV,
    WP_SCROLLH,
    WP_SCROLLV,
    WP_GRID,
    WP_GRIDH,
    WP_GRIDV,
    WP_DITHER,
    WP_WHITE,
    WP_BLACK,
    WP_FLASH,
    WP_MOSAIC,
    WP_SUDAREH,
    WP_SUDAREV,
    WP_SPOT,
    WP_MASKFADE,
    WP_MASKWHITE,
    WP_MASKBLACK,
    WP_SMALL,
    WP_BIG,
    WP_RIPPLE,
    WP_BLURWHITE,
    WP_BLURBLACK,
    WP_TWISTH,
    WP_TWISTV,
    WP_CRACK,
    WP_ZOOMIN,
    WP_CLOCKHAND,
    WP_RUBBERH,
    WP_RUBBERV,
    WP_FAN,
    WP_WFAN,
    WP_CIRCLE,
    WP_BLOCKCOIL,
    WP_BLOCKRANDOM
};

inline constexpr int kWipeCount = 39;

}  // namespace kivo
