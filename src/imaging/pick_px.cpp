#include "imaging/pick_px.h"

namespace kivo {

uint32_t TPickPx16::Next() {
    const uint32_t v = uint32_t{current_[0]} | uint32_t{current_[1]} << 8;
    current_ += 2;
    return v;
}

uint32_t TPickPx24::Next() {
    const uint32_t v =
        uint32_t{current_[0]} | uint32_t{current_[1]} << 8 | uint32_t{current_[2]} << 16;
    current_ += 3;
    return v;
}

uint32_t TPickPx32::Next() {
    const uint32_t v = uint32_t{current_[0]} | uint32_t{current_[1]} << 8 |
                       uint32_t{current_[2]} << 16 | uint32_t{current_[3]} << 24;
    current_ += 4;
    return v;
}

std::unique_ptr<TPickPx> MakePickPx(int bytesPerPixel, const uint8_t* rowStart) {
    switch (bytesPerPixel) {
        case 2:
            return std::make_unique<TPickPx16>(rowStart);
        case 3:
            return std::make_unique<TPickPx24>(rowStart);
        case 4:
            return std::make_unique<TPickPx32>(rowStart);
        default:
            return std::make_unique<TPickPx>(rowStart);
    }
}

void TPxList::Clear() {
    runs_.clear();
    full_ = true;
    cursor_ = 0;
}

void TPxList::Add(uint32_t pixel) {
    if (!full_ && pixel == runValue_) {
        if (++runs_.back() == 128) full_ = true;
        return;
    }
    runs_.push_back(1);
    runValue_ = pixel;
    full_ = false;
}

bool TPxList::NextPacket(Packet& packet) {
    if (cursor_ >= runs_.size()) return false;
    if (runs_[cursor_] >= 2) {
        packet = {true, runs_[cursor_++]};
        return true;
    }
    packet = {false, 0};
    while (cursor_ < runs_.size() && runs_[cursor_] == 1 && packet.Count < 128) {
        ++packet.Count;
        ++cursor_;
    }
    return true;
}

}  // namespace kivo
