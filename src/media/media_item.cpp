#include "media/media_item.h"

#include <algorithm>
#include <exception>

namespace kivo {

std::unique_ptr<TStream> OpenMediaFile(TVrFileManager& files, std::string_view fileName) {
    try {
        return files.OpenRange(fileName);
    } catch (const std::exception&) {
        return nullptr;
    }
}

TDMediaItem* TMediaManager::Append(std::unique_ptr<TDMediaItem> item) {
    items_.push_back(std::move(item));
    return items_.back().get();
}

void TMediaManager::Remove(TDMediaItem* item) {
    std::erase_if(items_, [item](const auto& owned) { return owned.get() == item; });
}

TDMediaItem* TMediaManager::Items(size_t index) const {
    return index < items_.size() ? items_[index].get() : nullptr;
}

void TMediaManager::Clear() {
    items_.clear();
}

void TMediaManager::Suspend() {
    if ((hasActive_ && !active_) || suspended_) return;
    suspended_ = true;
    for (const auto& item : items_) {
        if (item->IsPlaying() && !item->IsPaused() && !item->IsEnd()) {
            item->Pause();
            item->pausedByManager = true;
        } else {
            item->pausedByManager = false;
        }
    }
}

void TMediaManager::Resume() {
    if (!suspended_) return;
    suspended_ = false;
    PlayMarked();
}

void TMediaManager::PlayMarked() {
    for (const auto& item : items_) {
        const bool play = item->pausedByManager || item->playRequested;
        item->pausedByManager = false;
        item->playRequested = false;
        if (play) item->Play();
    }
}

void TMediaManager::SetActive(bool active) {
    if (!hasActive_ || active == active_) return;
    if (!active) {
        Suspend();
        active_ = false;
    } else {
        // What was asked to play while the sound was off plays now, whether or not the
        // manager was suspended.
        active_ = true;
        suspended_ = false;
        PlayMarked();
    }
}

void LibraryItemLink::Play(TDMediaItem& item, const TMediaManager& manager) {
    if (!manager.Active()) {
        item.playRequested = true;
        return;
    }
    item.playRequested = false;
    table_.Play(handle_);
}

void LibraryItemLink::Pause(TDMediaItem& item) {
    item.playRequested = false;
    table_.Pause(handle_);
}

bool LibraryItemLink::IsEnd() {
    if (!latchEnd_) return table_.IsEnd(handle_);
    if (endReported_ || !table_.IsEnd(handle_)) return false;
    endReported_ = true;
    return true;
}

void LibraryItemLink::SetPosition(int32_t ms) {
    table_.SetPosition(handle_, std::max(ms, 0));
    endReported_ = false;
}

}  // namespace kivo
