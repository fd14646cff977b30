#include "scene/gale_collection.h"

#include <algorithm>

#include "imaging/gale_frame_list.h"

namespace kivo {

namespace {

// A missing file shows nothing: one 8 x 8 frame of pixel 0 keyed on pixel 0.
constexpr int32_t kMissingSide = 8;

int64_t SurfaceBytes(const TCustomDIBX& surface) {
    return int64_t{surface.Width()} * surface.Height() * surface.BytesPerPixel();
}

}  // namespace

int32_t TGaleItem::HoldingsOf(ObjectHandle user) const {
    for (const auto& [holder, count] : users_) {
        if (holder == user) return count;
    }
    return 0;
}

TGaleCollection::~TGaleCollection() = default;

std::string TGaleCollection::MakeKey(std::string_view name, bool mask, bool trim) {
    std::string key(name);
    if (mask) key += "?m";
    if (trim) key += "?t";
    return key;
}

TGaleItem* TGaleCollection::Find(std::string_view key) const {
    const auto found = index_.find(std::string(key));
    return found != index_.end() ? found->second.get() : nullptr;
}

TGaleItem& TGaleCollection::Acquire(ObjectHandle user, std::string_view name, bool trim,
                                    bool mask) {
    std::string key = MakeKey(name, mask, trim);
    auto found = index_.find(key);
    if (found == index_.end()) {
        std::unique_ptr<TGaleItem> loaded = LoadItem(key, name, trim, mask);
        found = index_.emplace(std::move(key), std::move(loaded)).first;
    }
    TGaleItem& item = *found->second;
    if (item.released_) TakeOffReleasedList(item);
    auto holder = std::find_if(item.users_.begin(), item.users_.end(),
                               [&](const auto& entry) { return entry.first == user; });
    if (holder != item.users_.end()) {
        ++holder->second;
    } else {
        item.users_.emplace_back(user, 1);
    }
    return item;
}

void TGaleCollection::Release(TGaleItem& item, ObjectHandle user) {
    auto holder = std::find_if(item.users_.begin(), item.users_.end(),
                               [&](const auto& entry) { return entry.first == user; });
    if (holder == item.users_.end()) return;
    if (--holder->second > 0) return;
    item.users_.erase(holder);
    if (!item.users_.empty()) return;
    if (!item.indexed_) {
        FreeItem(item);
        return;
    }
    PutOnReleasedList(item);
    EvictOverBudget();
}

void TGaleCollection::Invalidate(std::string_view name) {
    for (const bool mask : {false, true}) {
        for (const bool trim : {false, true}) {
            const auto found = index_.find(MakeKey(name, mask, trim));
            if (found == index_.end()) continue;
            TGaleItem& item = *found->second;
            if (item.InUse()) {
                // Its users keep drawing it; it goes when the last lets it go.
                item.indexed_ = false;
                detached_.push_back(std::move(found->second));
                index_.erase(found);
            } else {
                FreeItem(item);
            }
        }
    }
}

void TGaleCollection::PutOnReleasedList(TGaleItem& item) {
    item.releasedAt_ = released_.insert(released_.end(), &item);
    item.released_ = true;
    releasedBytes_ += item.byteSize_;
}

void TGaleCollection::TakeOffReleasedList(TGaleItem& item) {
    released_.erase(item.releasedAt_);
    item.released_ = false;
    releasedBytes_ -= item.byteSize_;
}

void TGaleCollection::EvictOverBudget() {
    while (released_.size() > 1 && releasedBytes_ > kReleasedBudget) {
        FreeItem(*released_.front());
    }
}

void TGaleCollection::FreeItem(TGaleItem& item) {
    if (item.released_) TakeOffReleasedList(item);
    if (item.indexed_) {
        index_.erase(item.key_);
        return;
    }
    std::erase_if(detached_, [&](const auto& held) { return held.get() == &item; });
}

std::unique_ptr<TGaleItem> TGaleCollection::LoadItem(std::string key, std::string_view name,
                                                     bool trim, bool mask) {
    auto item = std::make_unique<TGaleItem>();
    item->key_ = std::move(key);
    item->fileName_ = std::string(name);
    ++loadCount_;

    std::optional<std::vector<uint8_t>> bytes;
    if (files_ != nullptr && !name.empty()) bytes = files_->Load(name);
    TGaleFrameList list(files_ != nullptr ? files_->IdentificationCode() : 0);
    if (bytes) list.LoadPlayerPicture(*bytes, item->fileName_);
    if (!bytes) {
        item->fileMissing_ = true;
        auto frame = std::make_unique<TGaleItemFrame>();
        frame->surface.SetSize(kMissingSide, kMissingSide, 32);
        frame->key = TColorKey(0);
        if (mask) frame->mask = std::make_unique<TDIBX>(kMissingSide, kMissingSide, 8);
        item->frames_.push_back(std::move(frame));
        item->width_ = item->height_ = kMissingSide;
    } else {
        if (mask) list.MakeMasks();
        if (list.Count() > 0) {
            item->width_ = list[0].Bitmap.Width();
            item->height_ = list[0].Bitmap.Height();
        }
        for (auto& source : list.Frames) {
            auto frame = std::make_unique<TGaleItemFrame>();
            if (trim) {
                const TRect kept = source->Trim();
                frame->offsetX = kept.Left;
                frame->offsetY = kept.Top;
            }
            CopyFrameToSurface(*source, frame->surface);
            frame->transparentColor = source->TransparentColor;
            if (source->TransparentColor >= 0) {
                frame->key = frame->surface.ColorToKey(source->TransparentColor);
            }
            if (source->Bitmap.HasMask()) {
                frame->mask = std::make_unique<TDIBX>();
                CopyMaskToSurface(*source, *frame->mask);
            }
            frame->delay = std::max(source->Delay, 1);
            frame->updateRects = source->UpdateRects;
            item->frames_.push_back(std::move(frame));
        }
    }
    for (const auto& frame : item->frames_) {
        item->totalTime_ += frame->delay;
        item->byteSize_ += SurfaceBytes(frame->surface);
        if (frame->mask != nullptr) item->byteSize_ += SurfaceBytes(*frame->mask);
    }
    return item;
}

std::vector<std::string> TGaleCollection::ReleasedKeys() const {
    std::vector<std::string> keys;
    for (const TGaleItem* item : released_)
        keys.push_back(item->key_);
    return keys;
}

void TGaleCollection::Save(ByteWriter& writer) const {
    writer.WriteBool(screenDepth_);
}

void TGaleCollection::Load(ByteReader& reader, int32_t version) {
    if (version < kSaveVersionCache) return;
    SetScreenDepth(reader.ReadBool());
}

}  // namespace kivo
