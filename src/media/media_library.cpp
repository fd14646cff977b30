#include "media/media_library.h"

#include <algorithm>

namespace kivo {

namespace {

// Handles count up from 1 and skip 0 when they wrap, so a handle is never mistaken for "none".
int32_t NextHandle(int32_t& next) {
    const int32_t h = next;
    next = next == INT32_MAX ? 1 : next + 1;
    return h;
}

}  // namespace

int32_t MediaItemTable::Add() {
    const int32_t h = NextHandle(nextHandle_);
    items_[h] = Item{};
    return h;
}

MediaItemTable::Item* MediaItemTable::Find(int32_t h) {
    const auto it = items_.find(h);
    return it == items_.end() ? nullptr : &it->second;
}

const MediaItemTable::Item* MediaItemTable::Find(int32_t h) const {
    const auto it = items_.find(h);
    return it == items_.end() ? nullptr : &it->second;
}

// Nothing is decoded yet: playing finishes at once, so Play leaves the item ended at 0 and
// un-pauses it, exactly as an item looks after playing a sound of length 0.
void MediaItemTable::Play(int32_t h) {
    if (Item* item = Find(h)) item->paused = false;
}

void MediaItemTable::Pause(int32_t h) {
    if (Item* item = Find(h)) item->paused = true;
}

bool MediaItemTable::IsPlaying(int32_t) const {
    return false;
}

bool MediaItemTable::IsPaused(int32_t h) const {
    const Item* item = Find(h);
    return item != nullptr && item->paused;
}

bool MediaItemTable::IsEnd(int32_t) const {
    return true;
}
int32_t MediaItemTable::GetLen(int32_t) const {
    return 0;
}
int32_t MediaItemTable::GetPosition(int32_t) const {
    return 0;
}
void MediaItemTable::SetPosition(int32_t, int32_t) {}

int32_t MediaItemTable::GetVol(int32_t h) const {
    const Item* item = Find(h);
    return item ? item->volume : 0;
}

void MediaItemTable::SetVol(int32_t h, int32_t volume) {
    if (Item* item = Find(h)) item->volume = std::clamp(volume, -10000, 0);
}

int32_t MediaItemTable::GetPan(int32_t h) const {
    const Item* item = Find(h);
    return item ? item->pan : 0;
}

void MediaItemTable::SetPan(int32_t h, int32_t pan) {
    if (Item* item = Find(h)) item->pan = std::clamp(pan, -10000, 10000);
}

bool MediaItemTable::GetAutoRepeat(int32_t h) const {
    const Item* item = Find(h);
    return item != nullptr && item->autoRepeat;
}

void MediaItemTable::SetAutoRepeat(int32_t h, bool repeat) {
    if (Item* item = Find(h)) item->autoRepeat = repeat;
}

bool MediaItemTable::NeedPaint(int32_t) const {
    return false;
}

void MediaItemTable::SetRect(int32_t h, const TRect& rect, const TRect& clip) {
    if (Item* item = Find(h)) {
        item->rect = rect;
        item->clip = clip;
    }
}

bool MediaItemTable::GetVisible(int32_t h) const {
    const Item* item = Find(h);
    return item != nullptr && item->visible;
}

void MediaItemTable::SetVisible(int32_t h, bool visible) {
    if (Item* item = Find(h)) item->visible = visible;
}

int32_t MediaItemTable::GetSourceWidth(int32_t) const {
    return 0;
}
int32_t MediaItemTable::GetSourceHeight(int32_t) const {
    return 0;
}

int32_t MediaDecoderTable::Add(TStream* stream, bool isOgg) {
    const int32_t h = NextHandle(nextHandle_);
    decoders_[h] = Decoder{stream, isOgg};
    return h;
}

bool MediaDecoderTable::GetFormat(int32_t, WaveFormat& format) const {
    format = WaveFormat{};
    return false;
}

int32_t MediaDecoderTable::Read(int32_t, void*, int32_t) {
    return 0;
}
int32_t MediaDecoderTable::GetPos(int32_t) const {
    return 0;
}
void MediaDecoderTable::SetPos(int32_t, int32_t) {}
int32_t MediaDecoderTable::GetSize(int32_t) const {
    return 0;
}
int32_t MediaDecoderTable::GetLen(int32_t) const {
    return 0;
}

void MediaLibrary::Init(bool useThread) {
    useThread_ = useThread;
    initialized_ = true;
}

void MediaLibrary::Final() {
    wmp_ = MediaItemTable{};
    ogg_ = MediaItemTable{};
    video_ = MediaItemTable{};
    oggStr_ = MediaDecoderTable{};
    initialized_ = false;
}

int32_t MediaLibrary::WmpmanAdd(std::span<const uint8_t>) {
    return wmp_.Add();
}
int32_t MediaLibrary::OggmanAdd(TStream*, bool) {
    return ogg_.Add();
}
int32_t MediaLibrary::VidmanAdd(std::string_view, TStream*, bool) {
    return video_.Add();
}

}  // namespace kivo
