#include "imaging/screen_manager.h"

namespace kivo {

TScreenManager::TScreenManager(DisplayDevice& device, Presenter& presenter, int32_t minWidth,
                               int32_t minHeight, int32_t preferredWidth, int32_t preferredHeight)
    : device_(device),
      presenter_(presenter),
      minWidth_(minWidth),
      minHeight_(minHeight),
      preferredWidth_(preferredWidth),
      preferredHeight_(preferredHeight) {
    const std::vector<DisplayMode> reported = device_.Modes();
    ListModes(reported, device_.DesktopBitCount());
    SetMode(kModeWindowed);
}

bool TScreenManager::Preferred(const DisplayMode& mode) const {
    return mode.width == preferredWidth_ && mode.height == preferredHeight_;
}

void TScreenManager::ListModes(std::span<const DisplayMode> reported, int32_t desktopBitCount) {
    for (const DisplayMode& mode : reported) {
        if (mode.width < minWidth_ || mode.height < minHeight_ || mode.bitCount <= 15) continue;
        modes_.push_back(mode);
        const auto index = static_cast<int32_t>(modes_.size()) - 1;
        if (chosenMode_ < 0) {
            chosenMode_ = index;
            continue;
        }
        // Of the preferred size above all; among those the desktop's depth; among those the
        // lowest refresh rate, which every monitor of that size can show.
        const DisplayMode& chosen = modes_[static_cast<size_t>(chosenMode_)];
        if (!Preferred(mode)) continue;
        const bool desktopDepth = mode.bitCount == desktopBitCount;
        if (!Preferred(chosen) || (desktopDepth && (chosen.bitCount != desktopBitCount ||
                                                    mode.refreshRate < chosen.refreshRate))) {
            chosenMode_ = index;
        }
    }
}

std::optional<DisplayMode> TScreenManager::ModeAt(int32_t index) const {
    if (!ValidMode(index)) return std::nullopt;
    return modes_[static_cast<size_t>(index)];
}

void TScreenManager::SetChosenMode(int32_t index) {
    if (ValidMode(index)) chosenMode_ = index;
}

void TScreenManager::SetMode(int32_t mode) {
    // An index that names no mode would read past the list: it means the window.
    if (mode != kModeWindowed && !ValidMode(mode)) mode = kModeWindowed;
    if (mode == mode_) return;
    mode_ = mode;
    Build();
}

void TScreenManager::Build() {
    if (!device_.SetFullScreen(FullScreen()) && FullScreen()) {
        // Full screen refused: back to the window.
        mode_ = kModeWindowed;
        (void)device_.SetFullScreen(false);
    }
    wholeFrameDue_ = true;
}

void TScreenManager::Release() {
    mode_ = kModeNone;
}

void TScreenManager::Present(const FrameView& frame, std::span<const TRect> dirty) {
    if (mode_ == kModeNone || frame.pixels == nullptr) return;
    if (wholeFrameDue_) {
        const TRect whole{0, 0, frame.width, frame.height};
        presenter_.Present(frame, std::span<const TRect>(&whole, 1));
        wholeFrameDue_ = false;
        return;
    }
    presenter_.Present(frame, dirty);
}

}  // namespace kivo
