#pragma once
// The frames of one cached picture as one object uses them. The list holds the cache item for
// its owner (one holding, given back when the list is cleared or freed) and, for frames shown
// at a brightness other than 0, a private adjusted copy of the frame.
//
// A brightened or darkened copy keeps the transparency of the original: pixels the original
// key made transparent stay so even when the adjustment turns other pixels into the key's
// colour, because the copy carries a mask made from the original key instead of a key.

#include <cstdint>
#include <memory>
#include <string_view>
#include <vector>

#include "imaging/dibx.h"
#include "scene/gale_collection.h"
#include "scene/object_handle.h"

namespace kivo {

// What a draw needs of one frame.
struct FrameSurfaces {
    TCustomDIBX* surface = nullptr;
    TCustomDIBX* mask = nullptr;
    TColorKey key;
    const std::vector<TRect>* updateRects = nullptr;
};

class TKivoImageList {
  public:
    explicit TKivoImageList(TGaleCollection& cache) : cache_(cache) {}
    ~TKivoImageList() { Clear(); }
    TKivoImageList(const TKivoImageList&) = delete;
    TKivoImageList& operator=(const TKivoImageList&) = delete;

    // Gives back the picture held and takes the picture of name for owner. A damaged file
    // raises its error and leaves the list empty.
    void Load(ObjectHandle owner, std::string_view name, bool trim, bool mask);
    void Clear();

    [[nodiscard]] bool Empty() const { return item_ == nullptr; }
    [[nodiscard]] TGaleItem* Item() const { return item_; }
    [[nodiscard]] int32_t Count() const { return item_ != nullptr ? item_->FrameCount() : 0; }
    [[nodiscard]] bool ValidIndex(int32_t index) const { return index >= 0 && index < Count(); }
    [[nodiscard]] TGaleItemFrame& Frame(int32_t index) const { return item_->Frame(index); }
    // The frame at a brightness (-255..255): the cache's frame at 0, else the adjusted copy.
    [[nodiscard]] FrameSurfaces Surfaces(int32_t index, int32_t brightness);

    // The list's own looping, for objects whose pictures animate by themselves (map images,
    // buttons): the frame shown and the time it has left.
    [[nodiscard]] int32_t Current() const { return current_; }
    void Restart();
    // Moves the looping on by delta ms; true when the frame changed. A single frame stays.
    bool Advance(int32_t delta);

  private:
    struct Adjusted {
        int32_t brightness = 0;
        std::unique_ptr<TDIBX> surface;
        std::unique_ptr<TDIBX> keyMask;
    };

    TGaleCollection& cache_;
    TGaleItem* item_ = nullptr;
    ObjectHandle owner_;
    std::vector<Adjusted> adjusted_;
    int32_t current_ = 0;
    int32_t remaining_ = 0;
};

}  // namespace kivo
