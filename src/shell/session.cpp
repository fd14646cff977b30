#include "shell/session.h"

#include <cstring>
#include <iostream>

#include "base/error.h"
#include "imaging/dib_surface.h"
#include "imaging/png_codec.h"
#include "platform/headless/headless_platform.h"
#include "script/variable_dump.h"
#include "shell/bounded_file.h"
#include "shell/form_view.h"

namespace kivo {

namespace {

void QueueDialogAnswer(ScriptedDialogs& dialogs, const ScriptedInput& item) {
    if (item.choice >= 0) {
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

void WriteScreenshot(const std::filesystem::path& path, const std::vector<uint32_t>& pixels,
                     int32_t width, int32_t height) {
    TDIBSurface surface(width, height, 32);
    for (int32_t y = 0; y < height; ++y) {
        std::memcpy(surface.ScanLine(y), pixels.data() + static_cast<ptrdiff_t>(y) * width,
                    static_cast<size_t>(width) * 4);
    }
    const std::vector<uint8_t> png = EncodePng(surface);
    WriteWholeFile(path, std::string(png.begin(), png.end()));
}

int RunSession(Player& player, const SessionOptions& options, SessionDriver& driver) {
    int status = 0;
    TFormView view(player);
    view.beforeVariablesFreed = [&](Player& p) {
        if (options.dumpVarsFile.empty()) return;
        try {
            // A start-up that failed before the table was made still leaves a dump to read.
            const TParamCollection empty(&p.state);
            const TParamCollection& variables = p.variables ? *p.variables : empty;
            WriteWholeFile(options.dumpVarsFile,
                           DumpVariables(p.state, p.lastPosition, variables) + "\n");
        } catch (const KivoError& error) {
            std::cerr << "kivoplay: " << error.what() << '\n';
            status = 2;
        }
    };

    driver.BeforeStartup();
    view.FormCreate();
    int64_t frames = 0;
    InputEvent event;
    while (!view.CloseRequested()) {
        if (options.frames && frames >= *options.frames) break;
        driver.BeforePass(frames);
        while (!view.CloseRequested() && player.platform.input.PollEvent(event))
            view.HandleEvent(event);
        if (view.CloseRequested()) break;
        driver.BeforeIdle();
        const bool idle = view.Idle();
        if (driver.Headless() || !idle) {
            ++frames;
        } else {
            // Nothing to do until the window gets the focus back: wait for its events.
            player.platform.input.WaitForEvent(100);
        }
    }
    view.FormClose();

    if (!options.screenshotFile.empty()) {
        std::vector<uint32_t> pixels;
        int32_t width = 0;
        int32_t height = 0;
        try {
            if (driver.Capture(pixels, width, height) && width > 0 && height > 0) {
                WriteScreenshot(options.screenshotFile, pixels, width, height);
            } else {
                std::cerr << "kivoplay: no frame was presented; " << options.screenshotFile.string()
                          << " was not written\n";
            }
        } catch (const KivoError& error) {
            std::cerr << "kivoplay: " << error.what() << '\n';
            status = 2;
        }
    }
    if (!view.Started()) return 1;
    return status;
}

}  // namespace kivo
