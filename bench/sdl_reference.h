#pragma once
// The reference for our stretches: SDL's scaled blit of a whole 32-bit picture over a whole
// 32-bit target, with blending off.

#include <SDL.h>
#include <benchmark/benchmark.h>

#include <cstdint>

namespace kivo::bench {

struct PixelRows {
    void* pixels;
    int32_t width, height, pitch;
};

inline void TimeSdlBlitScaled(benchmark::State& state, PixelRows source, PixelRows target) {
    SDL_Surface* s = SDL_CreateRGBSurfaceWithFormatFrom(source.pixels, source.width, source.height,
                                                        32, source.pitch, SDL_PIXELFORMAT_ARGB8888);
    SDL_Surface* d = SDL_CreateRGBSurfaceWithFormatFrom(target.pixels, target.width, target.height,
                                                        32, target.pitch, SDL_PIXELFORMAT_ARGB8888);
    SDL_SetSurfaceBlendMode(s, SDL_BLENDMODE_NONE);
    SDL_Rect to{0, 0, target.width, target.height};
    for (auto _ : state) {
        SDL_BlitScaled(s, nullptr, d, &to);
        benchmark::ClobberMemory();
    }
    SDL_FreeSurface(d);
    SDL_FreeSurface(s);
}

}  // namespace kivo::bench
