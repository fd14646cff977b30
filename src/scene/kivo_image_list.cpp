#include "scene/kivo_image_list.h"

#include <cstdlib>

#include "imaging/draw_context.h"

namespace kivo {

void TKivoImageList::Load(ObjectHandle owner, std::string_view name, bool trim, bool mask) {
    Clear();
    item_ = &cache_.Acquire(owner, name, trim, mask);
    owner_ = owner;
    adjusted_.resize(static_cast<size_t>(item_->FrameCount()));
    Restart();
}

void TKivoImageList::Clear() {
    adjusted_.clear();
    if (item_ == nullptr) return;
    TGaleItem* item = item_;
    item_ = nullptr;
    cache_.Release(*item, owner_);
}

FrameSurfaces TKivoImageList::Surfaces(int32_t index, int32_t brightness) {
    TGaleItemFrame& frame = Frame(index);
    if (brightness == 0) {
        return {&frame.surface, frame.mask.get(), frame.key, &frame.updateRects};
    }
    Adjusted& copy = adjusted_[static_cast<size_t>(index)];
    if (copy.surface == nullptr || copy.brightness != brightness) {
        copy.brightness = brightness;
        copy.surface = std::make_unique<TDIBX>(frame.surface.Width(), frame.surface.Height(), 32);
        copy.surface->Assign(frame.surface);
        const int32_t level = std::abs(brightness);
        TDrawContext context(*copy.surface);
        const uint32_t grey = copy.surface->ColorToPixel(level * 0x010101);
        if (brightness > 0) {
            context.FillRectAdd(copy.surface->ClientRect(), grey);
        } else {
            context.FillRectSub(copy.surface->ClientRect(), grey);
        }
        copy.keyMask.reset();
        if (frame.mask == nullptr && frame.key.IsSet()) {
            const int32_t width = frame.surface.Width(), height = frame.surface.Height();
            copy.keyMask = std::make_unique<TDIBX>(width, height, 8);
            const uint32_t key = frame.key.Pixel() & 0xFFFFFF;
            for (int32_t y = 0; y < height; ++y) {
                uint8_t* row = copy.keyMask->PixelAddress(0, y);
                for (int32_t x = 0; x < width; ++x)
                    row[x] = (frame.surface.GetPixel(x, y) & 0xFFFFFF) == key ? 0 : 255;
            }
        }
    }
    TCustomDIBX* mask = frame.mask != nullptr ? frame.mask.get() : copy.keyMask.get();
    return {copy.surface.get(), mask, TColorKey(), &frame.updateRects};
}

void TKivoImageList::Restart() {
    current_ = 0;
    remaining_ = Count() > 0 ? Frame(0).delay : 0;
}

bool TKivoImageList::Advance(int32_t delta) {
    const int32_t count = Count();
    if (count < 2) return false;
    const int32_t before = current_;
    remaining_ -= delta;
    // Every frame lasts at least 1 ms, so the loop ends.
    while (remaining_ < 1) {
        current_ = (current_ + 1) % count;
        remaining_ += Frame(current_).delay;
    }
    return current_ != before;
}

}  // namespace kivo
