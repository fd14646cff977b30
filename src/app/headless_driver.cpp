#include "app/headless_driver.h"

namespace kivo {

namespace {

void QueueDialogAnswer(ScriptedDialogs& dialogs, const ScriptedInput& item) {
    if (!item.folder.empty()) {
        dialogs.QueueFolder(item.folder);
    } else if (item.choice >= 0) {
        dialogs.QueueChoice(static_cast<size_t>(item.choice));
    } else {
        dialogs.QueueAnswer(item.answer);
    }
}

}  // namespace

HeadlessDriver::HeadlessDriver(HeadlessPlatform& platform, std::vector<ScriptedInput> script,
                               int32_t frameMs)
    : platform_(platform), script_(std::move(script)), frameMs_(frameMs) {}

void HeadlessDriver::BeforeStartup() {
    // Answers of frame 0 are there before start-up, for the messages start-up may show.
    for (; next_ < script_.size() && script_[next_].frame == 0 && script_[next_].isAnswer;
         ++next_) {
        QueueDialogAnswer(platform_.dialogs, script_[next_]);
    }
}

void HeadlessDriver::BeforePass(int64_t frame) {
    // A headless player has the focus from its first frame on, as a window that just opened.
    if (frame == 0) platform_.input.Push(InputEvent{InputKind::Activate});
    for (; next_ < script_.size() && script_[next_].frame <= frame; ++next_) {
        const ScriptedInput& item = script_[next_];
        if (item.isAnswer) {
            QueueDialogAnswer(platform_.dialogs, item);
        } else {
            platform_.input.Push(item.event);
        }
    }
}

void HeadlessDriver::BeforeIdle() {
    platform_.clock.Advance(static_cast<uint32_t>(frameMs_));
}

bool HeadlessDriver::Capture(std::vector<uint32_t>& pixels, int32_t& width, int32_t& height) {
    const MemoryScreen& screen = platform_.screen;
    if (screen.Presents() == 0) return false;
    pixels = screen.Frame();
    width = screen.FrameWidth();
    height = screen.FrameHeight();
    return true;
}

}  // namespace kivo
